#include "test_support.h"

#include <array>
#include <fstream>
#include <sstream>

#include "link_rule.h"

namespace linksift::testing_support {

std::string ReferenceOutput(std::string_view input) {
  std::string out;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = input.size();
    if (const auto link = ExtractLink(input.substr(start, end - start))) {
      out.append(*link);
      out.append("\r\n");
    }
    start = end + 1;
  }
  return out;
}

std::string RandomText(std::mt19937_64& random, std::size_t size) {
  static const std::array<std::string_view, 16> kPieces = {
      "http://", "HTTP://", "hTtP://", "http:/", "ttp://", "://", " ",  "\t",
      "\r\n",    "\n",      "\r",      ".",      ",",      ";:",  "ab", "\xff\x80"};
  std::string text;
  while (text.size() < size) {
    const auto pick = random() % (kPieces.size() + 4);
    if (pick < kPieces.size()) {
      text.append(kPieces[pick]);
    } else {
      text.push_back(static_cast<char>(random() % 256));
    }
  }
  text.resize(size);
  return text;
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::set<std::string> Names(const std::filesystem::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Not mkdtemp: these tests also run as Windows programs.
void TempDirTest::SetUp() {
  namespace fs = std::filesystem;
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("linksift-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) dir_ = candidate;
  }
  ASSERT_FALSE(dir_.empty());
  fs::permissions(dir_, fs::perms::owner_all);  // as private as mkdtemp's
}

void TempDirTest::TearDown() {
  std::filesystem::remove_all(dir_);
}

}  // namespace linksift::testing_support
