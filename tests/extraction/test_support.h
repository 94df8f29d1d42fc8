#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <string_view>

namespace linksift::testing_support {

// The expected run output: the first link of every line, each with CR LF.
// Lines are split here independently of the scanner.
std::string ReferenceOutput(std::string_view input);

// Random text rich in the bytes that matter: prefixes in mixed case, marks,
// blanks, tabs, CR, LF and arbitrary high bytes.
std::string RandomText(std::mt19937_64& random, std::size_t size);

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);
// The names in a directory, to see that a run left nothing behind.
std::set<std::string> Names(const std::filesystem::path& directory);

// A fresh directory under /tmp for each test, removed afterwards.
class TempDirTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path dir_;
};

}  // namespace linksift::testing_support
