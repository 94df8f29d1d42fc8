#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {
namespace fs = std::filesystem;

using testing_support::Names;
using testing_support::ReadFile;
using testing_support::WriteFile;

class ExtractFileTest : public testing_support::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    output_ = dir_ / "urls.txt";
  }

  fs::path output_;
};

TEST_F(ExtractFileTest, ChosenOutputAsInputKeepsItsLinks) {
  WriteFile(output_, "keep http://a\r\nhttp://b, x\r\n");
  fs::create_symlink(output_, dir_ / "link.txt");
  fs::create_hard_link(output_, dir_ / "hard.txt");
  for (const char* input : {"urls.txt", "link.txt", "hard.txt"}) {
    EXPECT_EQ(ExtractLinksFromFile(dir_ / input, output_), 2u) << input;
    EXPECT_EQ(ReadFile(output_), "http://a\r\nhttp://b\r\n") << input;
  }
}

TEST_F(ExtractFileTest, FollowsASymlinkedOutput) {
  fs::create_directory(dir_ / "real");
  WriteFile(dir_ / "in.txt", "http://a");
  fs::create_symlink("real/target.txt", output_);  // dangling until the first run
  for (int run = 0; run < 2; ++run) {
    ExtractLinksFromFile(dir_ / "in.txt", output_);
    EXPECT_TRUE(fs::is_symlink(output_));
    EXPECT_EQ(ReadFile(dir_ / "real" / "target.txt"), "http://a\r\n");
  }
  EXPECT_EQ(Names(dir_ / "real"), std::set<std::string>{"target.txt"});
}

TEST_F(ExtractFileTest, KeepsTheOldModeAndGivesNewFilesTheUsualOne) {
  WriteFile(dir_ / "in.txt", "http://a");
  const mode_t old_mask = ::umask(022);
  ExtractLinksFromFile(dir_ / "in.txt", output_);
  EXPECT_EQ(fs::status(output_).permissions(), fs::perms(0644));
  fs::permissions(output_, fs::perms(0640));
  ExtractLinksFromFile(dir_ / "in.txt", output_);
  ::umask(old_mask);
  EXPECT_EQ(fs::status(output_).permissions(), fs::perms(0640));
}

struct FailureCase {
  std::string name;
  std::string input;   // relative to the test directory
  std::string output;  // relative to the test directory
  Stage stage;
  std::errc reason;
};

class FailureTest : public ExtractFileTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, ReportsAndKeepsTheOldOutput) {
  const FailureCase& c = GetParam();
  WriteFile(dir_ / "in.txt", "http://new\r\n");
  WriteFile(output_, "old\r\n");
  fs::create_directory(dir_ / "folder");
  const auto before = Names(dir_);
  try {
    ExtractLinksFromFile(c.input.empty() ? fs::path() : dir_ / c.input, dir_ / c.output);
    FAIL() << "no error";
  } catch (const ExtractionError& e) {
    EXPECT_EQ(e.stage(), c.stage);
    EXPECT_EQ(e.code(), c.reason) << e.what();
    EXPECT_NE(std::string(e.what()).find(e.path().string()), std::string::npos);
  }
  EXPECT_EQ(ReadFile(output_), "old\r\n");
  EXPECT_EQ(Names(dir_), before);
  EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, FailureTest,
    testing::Values(FailureCase{"MissingInput", "none.txt", "urls.txt", Stage::kOpenInput,
                                std::errc::no_such_file_or_directory},
                    FailureCase{"EmptyInputName", "", "urls.txt", Stage::kOpenInput,
                                std::errc::no_such_file_or_directory},
                    FailureCase{"InputIsADirectory", "folder", "urls.txt", Stage::kOpenInput,
                                std::errc::is_a_directory},
                    FailureCase{"MissingOutputDirectory", "in.txt", "gone/urls.txt",
                                Stage::kCreateOutput, std::errc::no_such_file_or_directory},
                    FailureCase{"OutputIsADirectory", "in.txt", "folder", Stage::kCreateOutput,
                                std::errc::is_a_directory}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace linksift
