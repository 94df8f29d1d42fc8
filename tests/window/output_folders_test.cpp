// Where a run writes urls.txt: beside the program, or in the user's data
// folder when the program's folder cannot be written to; and how its path shows.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "error_text.h"
#include "fakes.h"
#include "open_command.h"
#include "output_folders.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

constexpr char kInput[] = "a http://new/ b\r\n";
constexpr char kOld[] = "http://old/\r\n";
// A folder in which no one, root included, may make a file.
const fs::path kUnwritable = "/sys";

std::error_code Errno(int value) {
  return {value, std::generic_category()};
}

TEST(CallsForUserData, OnlyAFolderThatRefusesForWantOfPermission) {
  struct Case {
    ExtractionError error;
    bool expected;
  };
  const Case cases[] = {
      {ExtractionError::FolderRefused("/a/urls.txt", Errno(EACCES)), true},
      {ExtractionError::FolderRefused("/a/urls.txt", Errno(EPERM)), true},
      {ExtractionError::FolderRefused("/a/urls.txt", Errno(EROFS)), true},
      {ExtractionError::FolderRefused("/a/urls.txt", Errno(ENOSPC)), false},
      {ExtractionError::FolderRefused("/a/urls.txt", Errno(ENOENT)), false},
      // The user protected urls.txt itself: that stays an error.
      {ExtractionError(Stage::kCreateOutput, "/a/urls.txt", Errno(EACCES),
                       "cannot replace the write-protected output"),
       false},
      {ExtractionError(Stage::kReplace, "/a/urls.txt", Errno(EACCES)), false},
      {ExtractionError(Stage::kOpenInput, "/a/in.txt", Errno(EACCES)), false},
  };
  for (const Case& c : cases) EXPECT_EQ(CallsForUserData(c.error), c.expected) << c.error.what();
}

TEST(DisplayPath, ShowsUtf8AsItIsAndEveryOtherByteAsAReplacement) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const std::string kReplacement = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"/tmp/plain", "/tmp/plain"},
      {"/tmp/Папка/😀", "/tmp/Папка/😀"},
      {"/tmp/x\xff", "/tmp/x" + kReplacement},
      {"/tmp/\xd0", "/tmp/" + kReplacement},                                // cut short
      {"/\xc0\xaf", "/" + kReplacement + kReplacement},                     // overlong '/'
      {"/\xed\xa0\x80", "/" + kReplacement + kReplacement + kReplacement},  // a surrogate
      {"/\xf4\x90\x80\x80z", "/" + kReplacement + kReplacement + kReplacement + kReplacement + "z"},
      {"/\xd0\x9f\xff\xd0\x9f", "/П" + kReplacement + "П"},
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayPath(c.bytes), c.shown) << c.bytes;
}

class OutputFoldersTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    fs::create_directory(program());
    WriteFile(input(), kInput);
  }
  fs::path program() const { return dir_ / "app"; }
  fs::path user_data() const { return dir_ / "home" / ".local" / "share" / "linksift"; }
  fs::path input() const { return dir_ / "in.txt"; }
  OutputFolders Folders(const fs::path& program_folder) const {
    OutputFolders folders;
    folders.program = program_folder;
    folders.user_data = user_data();
    return folders;
  }
};

TEST_F(OutputFoldersTest, UserDataOnlyWhenTheProgramFolderCannotBeWritten) {
  const RunOutcome beside = RunExtraction(input(), Folders(program()));
  ASSERT_EQ(beside.kind, RunOutcome::Kind::kCompleted) << beside.error_text;
  EXPECT_EQ(beside.output_path, program().string() + "/urls.txt");
  EXPECT_EQ(ReadFile(program() / "urls.txt"), "http://new/\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "home")) << "the data folder was made for nothing";

  const RunOutcome moved = RunExtraction(input(), Folders(kUnwritable));
  ASSERT_EQ(moved.kind, RunOutcome::Kind::kCompleted) << moved.error_text;
  EXPECT_EQ(moved.output_path, user_data().string() + "/urls.txt") << "the label names it";
  EXPECT_EQ(ReadFile(user_data() / "urls.txt"), "http://new/\r\n");
  EXPECT_FALSE(fs::exists(kUnwritable / "urls.txt"));
}

// A package's program never writes in its own folder, even one it may write
// to, as root may in /usr/bin.
TEST_F(OutputFoldersTest, InstalledProgramWritesInTheDataFolderOnly) {
  OutputFolders folders = Folders(program());
  folders.placement = Placement::kInstalled;
  const RunOutcome outcome = RunExtraction(input(), folders);
  ASSERT_EQ(outcome.kind, RunOutcome::Kind::kCompleted) << outcome.error_text;
  EXPECT_EQ(outcome.output_path, user_data().string() + "/urls.txt");
  EXPECT_EQ(ReadFile(user_data() / "urls.txt"), "http://new/\r\n");
  EXPECT_FALSE(fs::exists(program() / "urls.txt"));
}

TEST_F(OutputFoldersTest, OtherFailuresAreReportedAndWriteNothingAnywhere) {
  struct Case {
    std::string name;
    OutputFolders folders;
    std::string message_start;
    std::string also = {};  // further on in the message
    bool both = false;      // the data folder's failure too
  };
  WriteFile(program() / "urls.txt", kOld);
  WriteFile(dir_ / "file", "");
  OutputFolders unknown;
  unknown.program_unknown = Errno(ENOENT);
  unknown.user_data = user_data();
  OutputFolders no_data_folder;
  no_data_folder.program = kUnwritable;
  OutputFolders data_folder_impossible = no_data_folder;
  data_folder_impossible.user_data = dir_ / "file" / "linksift";
  OutputFolders installed_without_data_folder;
  installed_without_data_folder.program = program();
  installed_without_data_folder.placement = Placement::kInstalled;
  const Case cases[] = {
      {"program folder unknown", unknown, "Не удалось создать файл:\nurls.txt\n\n"},
      {"installed, with no data folder", installed_without_data_folder,
       "Не удалось создать файл:\nurls.txt\n\n"},
      {"program folder missing", Folders(dir_ / "gone"),
       "Не удалось создать файл:\n" + (dir_ / "gone/urls.txt").string() + "\n\n"},
      {"no data folder to turn to", no_data_folder, "Не удалось создать файл:\n/sys/urls.txt\n\n"},
      // Both refusals, so that the user sees why the data folder was tried.
      {"data folder cannot be made", data_folder_impossible,
       "Не удалось создать файл:\n/sys/urls.txt\n\nПричина: ",
       "\n\nНе удалось создать файл и в папке данных пользователя:\n" +
           (dir_ / "file/linksift/urls.txt").string() + "\n\nПричина: Не является папкой\n",
       true},
  };
  for (const Case& c : cases) {
    const RunOutcome outcome = RunExtraction(input(), c.folders);
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::kFailed) << c.name;
    EXPECT_EQ(outcome.error_text.rfind(c.message_start, 0), 0u)
        << c.name << ": " << outcome.error_text;
    EXPECT_NE(outcome.error_text.find(c.also), std::string::npos) << c.name;
    EXPECT_EQ(outcome.error_text.find("в папке данных") != std::string::npos, c.both)
        << c.name << ": " << outcome.error_text;
    EXPECT_FALSE(fs::exists(dir_ / "home")) << c.name;
    EXPECT_EQ(ReadFile(program() / "urls.txt"), kOld) << c.name;
  }
}

// urls.txt a link into another folder: the message names the folder the run
// tried, where the link leads, not the program's.
TEST_F(OutputFoldersTest, ALinkedUrlsNamesTheFolderItLeadsTo) {
  const std::pair<std::string, std::string> cases[] = {
      {"/sys/urls.txt", "/sys/urls.txt"},                         // refuses, root too
      {"gone/urls.txt", (program() / "gone/urls.txt").string()},  // no such folder
  };
  for (const auto& [link, named] : cases) {
    fs::remove(program() / "urls.txt");
    fs::create_symlink(link, program() / "urls.txt");
    const RunOutcome outcome = RunExtraction(input(), ProgramFolder(program()));
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::kFailed) << link;
    EXPECT_EQ(outcome.error_text.rfind("Не удалось создать файл:\n" + named + "\n\n", 0), 0u)
        << link << ": " << outcome.error_text;
  }
}

TEST_F(OutputFoldersTest, WriteProtectedUrlsInAWritableFolderIsKeptAndReported) {
  WriteFile(program() / "urls.txt", kOld);
  fs::permissions(program() / "urls.txt", fs::perms::owner_read | fs::perms::group_read);
  const RunOutcome outcome = RunExtraction(input(), Folders(program()));
  EXPECT_EQ(outcome.kind, RunOutcome::Kind::kFailed);
  EXPECT_EQ(outcome.error_text.rfind("Не удалось создать файл:\n", 0), 0u) << outcome.error_text;
  EXPECT_EQ(ReadFile(program() / "urls.txt"), kOld);
  EXPECT_EQ(Names(program()), std::set<std::string>{"urls.txt"}) << "a temporary was left";
  EXPECT_FALSE(fs::exists(dir_ / "home")) << "written in two places";
}

// The folder's refusal decides, whatever urls.txt in it would say: a
// write-protected one in a read-only folder sends the run to the data folder.
TEST_F(OutputFoldersTest, ReadOnlyFolderHoldingAWriteProtectedUrlsMovesToTheDataFolder) {
  const int code = InChild([this] {
    if (::unshare(CLONE_NEWNS) != 0) return kChildSkipped;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kChildSkipped;
    if (::mount("tmpfs", program().c_str(), "tmpfs", 0, "size=64k") != 0) return kChildSkipped;
    WriteFile(program() / "urls.txt", kOld);
    fs::permissions(program() / "urls.txt", fs::perms::owner_read);
    if (::mount(nullptr, program().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      return kChildSkipped;
    }
    const RunOutcome outcome = RunExtraction(input(), Folders(program()));
    const bool moved = outcome.kind == RunOutcome::Kind::kCompleted &&
                       outcome.output_path == user_data().string() + "/urls.txt" &&
                       ReadFile(user_data() / "urls.txt") == "http://new/\r\n" &&
                       ReadFile(program() / "urls.txt") == kOld;
    if (!moved) std::fprintf(stderr, "not moved: %s\n", outcome.error_text.c_str());
    return moved ? 0 : 1;
  });
  if (code == kChildSkipped) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(code, 0);
}

TEST_F(OutputFoldersTest, ProgramFolderNamedInBytesThatAreNotUtf8) {
  const fs::path odd = dir_ / "x\xff";
  fs::create_directory(odd);
  const RunOutcome outcome = RunExtraction(input(), Folders(odd));
  ASSERT_EQ(outcome.kind, RunOutcome::Kind::kCompleted) << outcome.error_text;
  EXPECT_EQ(ReadFile(odd / "urls.txt"), "http://new/\r\n");
  EXPECT_EQ(outcome.output_path, dir_.string() + "/x\xEF\xBF\xBD/urls.txt");
  EXPECT_FALSE(fs::exists("/urls.txt"));
}

}  // namespace
}  // namespace linksift
