#include "temp_dir.h"

#include <random>
#include <stdexcept>
#include <system_error>

#include "files.h"

namespace linksift::testing_support {
namespace fs = std::filesystem;

// Not mkdtemp: the tests also run as Windows programs.
TempDir::TempDir() {
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("linksift-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("cannot make a temporary directory");
  fs::permissions(path_, fs::perms::owner_all);  // as private as mkdtemp's
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path TempDir::Write(const std::string& name, std::string_view bytes) const {
  const fs::path file = path_ / name;
  WriteFile(file, bytes);
  return file;
}

}  // namespace linksift::testing_support
