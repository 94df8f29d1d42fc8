#include "files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace linksift::testing_support {
namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> Names(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    // UTF-8 on every system; string() would use Windows' code page.
    const std::u8string name = entry.path().filename().u8string();
    names.emplace(name.begin(), name.end());
  }
  return names;
}

std::size_t CountTemporaries(const fs::path& directory) {
  std::size_t count = 0;
  for (const std::string& name : Names(directory)) {
    if (name.find(".linksift-") != std::string::npos && name.ends_with(".tmp")) ++count;
  }
  return count;
}

}  // namespace linksift::testing_support
