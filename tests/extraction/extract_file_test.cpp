// Whole runs on files, through the file layer of whichever system the tests
// run on: the chosen file may be the output itself, and every failure is
// reported and keeps the old output.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

struct SameFileCase {
  std::string name;
  // Makes another name for `output`, or returns `output` itself.
  fs::path (*name_the_output)(const fs::path& output);
};

class SameFileTest : public TempDirTest, public testing::WithParamInterface<SameFileCase> {};

TEST_P(SameFileTest, ChosenOutputAsInputKeepsItsLinks) {
  const fs::path output = dir_ / "urls.txt";
  WriteFile(output, "keep http://a\r\nhttp://b, x\r\n");
  const fs::path input = GetParam().name_the_output(output);
  const auto names = Names(dir_);
  EXPECT_EQ(ExtractLinksFromFile(input, output), 2u);
  EXPECT_EQ(ReadFile(output), "http://a\r\nhttp://b\r\n");
  EXPECT_EQ(Names(dir_), names);
}

fs::path Itself(const fs::path& output) {
  return output;
}

fs::path HardLink(const fs::path& output) {
  fs::create_hard_link(output, output.parent_path() / "hard.txt");
  return output.parent_path() / "hard.txt";
}

#ifndef _WIN32
// Windows allows symbolic links to administrators only.
fs::path SymbolicLink(const fs::path& output) {
  fs::create_symlink(output, output.parent_path() / "link.txt");
  return output.parent_path() / "link.txt";
}
#endif

const SameFileCase kSameFileCases[] = {
    {"Itself", Itself},
    {"HardLink", HardLink},
#ifndef _WIN32
    {"SymbolicLink", SymbolicLink},
#endif
};

INSTANTIATE_TEST_SUITE_P(Files, SameFileTest, testing::ValuesIn(kSameFileCases),
                         [](const auto& info) { return info.param.name; });

struct FailureCase {
  std::string name;
  std::string input;   // relative to the test directory
  std::string output;  // relative to the test directory
  Stage stage;
  std::errc reason;
};

class FailureTest : public TempDirTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, ReportsAndKeepsTheOldOutput) {
  const FailureCase& c = GetParam();
  WriteFile(dir_ / "in.txt", "http://new\r\n");
  WriteFile(dir_ / "urls.txt", "old\r\n");
  WriteFile(dir_ / "locked.txt", "old\r\n");
  fs::permissions(dir_ / "locked.txt", fs::perms::owner_read);
  fs::create_directory(dir_ / "folder");
  const auto before = Names(dir_);
  try {
    ExtractLinksFromFile(c.input.empty() ? fs::path() : dir_ / c.input, dir_ / c.output);
    ADD_FAILURE() << "no error";
  } catch (const ExtractionError& e) {
    EXPECT_EQ(e.stage(), c.stage);
    EXPECT_EQ(e.code(), c.reason) << e.what();
    // The message names the file in UTF-8, whatever the system's code page.
    const std::u8string path = e.path().u8string();
    EXPECT_NE(std::string(e.what()).find(std::string(path.begin(), path.end())), std::string::npos)
        << e.what();
    EXPECT_TRUE(IsUtf8(e.what())) << e.what();
  }
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "old\r\n");
  EXPECT_EQ(ReadFile(dir_ / "locked.txt"), "old\r\n");
  EXPECT_EQ(Names(dir_), before);
  EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
  fs::permissions(dir_ / "locked.txt", fs::perms::owner_all);
}

const FailureCase kFailureCases[] = {
    {"MissingInput", "none.txt", "urls.txt", Stage::kOpenInput,
     std::errc::no_such_file_or_directory},
    {"EmptyInputName", "", "urls.txt", Stage::kOpenInput, std::errc::no_such_file_or_directory},
    {"InputIsADirectory", "folder", "urls.txt", Stage::kOpenInput, std::errc::is_a_directory},
    {"MissingOutputDirectory", "in.txt", "gone/urls.txt", Stage::kCreateOutput,
     std::errc::no_such_file_or_directory},
    {"OutputIsADirectory", "in.txt", "folder", Stage::kCreateOutput, std::errc::is_a_directory},
#ifdef _WIN32
    // Root writes anything on Linux; extract_privileged_test drops it first.
    {"ReadOnlyOutput", "in.txt", "locked.txt", Stage::kCreateOutput, std::errc::permission_denied},
#endif
};

INSTANTIATE_TEST_SUITE_P(Files, FailureTest, testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace linksift
