#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace linksift::testing_support {

// A fresh private directory under the system's temporary one, removed with
// everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` inside the directory and returns its path.
  std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// A test with a directory of its own in `dir_`.
class TempDirTest : public testing::Test {
 protected:
  TempDir temp_;
  const std::filesystem::path dir_ = temp_.path();
};

}  // namespace linksift::testing_support
