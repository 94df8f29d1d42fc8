// The extraction core on Windows: wide paths, atomic replacement through the
// Win32 file layer, failures with the system's reason, cancel and progress.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "extract.h"
#include "test_support.h"
#include "win32_test_support.h"

namespace linksift {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::CountTemporaries;
using testing_support::Names;
using testing_support::ReadFile;
using testing_support::TempDirTest;
using testing_support::WriteFile;

bool IsUtf8(const std::string& text) {
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

using Win32Run = TempDirTest;

TEST_F(Win32Run, TakesNamesInAnyScript) {
  const fs::path folder = dir_ / L"Папка ссылок 日本";
  fs::create_directory(folder);
  WriteFile(folder / L"вход ω.txt", "see HTTP://Ab/Cd, next\r\n");
  EXPECT_EQ(ExtractLinksFromFile(folder / L"вход ω.txt", folder / L"urls.txt"), 1u);
  EXPECT_EQ(ReadFile(folder / L"urls.txt"), "HTTP://Ab/Cd\r\n");
  try {
    ExtractLinksFromFile(folder / L"нет.txt", folder / L"urls.txt");
    FAIL() << "no error";
  } catch (const ExtractionError& e) {
    // The message names the file in UTF-8, whatever the system's code page.
    EXPECT_NE(std::string(e.what()).find("Папка ссылок 日本\\нет.txt"), std::string::npos)
        << e.what();
  }
}

TEST_F(Win32Run, ChosenOutputAsInputKeepsItsLinks) {
  const fs::path output = dir_ / "urls.txt";
  WriteFile(output, "keep http://a\r\nhttp://b, x\r\n");
  EXPECT_EQ(ExtractLinksFromFile(output, output), 2u);
  EXPECT_EQ(ReadFile(output), "http://a\r\nhttp://b\r\n");
  EXPECT_EQ(CountTemporaries(dir_), 0u);
}

struct FailureCase {
  std::string name;
  std::string input;   // relative to the test directory
  std::string output;  // relative to the test directory
  Stage stage;
  std::errc reason;
};

class Win32Failure : public TempDirTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(Win32Failure, ReportsAndKeepsTheOldOutput) {
  const FailureCase& c = GetParam();
  WriteFile(dir_ / "in.txt", "http://new\r\n");
  WriteFile(dir_ / "urls.txt", "old\r\n");
  WriteFile(dir_ / "locked.txt", "old\r\n");
  ::SetFileAttributesW((dir_ / "locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  fs::create_directory(dir_ / "folder");
  const auto before = Names(dir_);
  try {
    ExtractLinksFromFile(c.input.empty() ? fs::path() : dir_ / c.input, dir_ / c.output);
    FAIL() << "no error";
  } catch (const ExtractionError& e) {
    EXPECT_EQ(e.stage(), c.stage);
    EXPECT_EQ(e.code(), c.reason) << e.what();
    EXPECT_TRUE(IsUtf8(e.what())) << e.what();
  }
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "old\r\n");
  EXPECT_EQ(ReadFile(dir_ / "locked.txt"), "old\r\n");
  EXPECT_EQ(Names(dir_), before);
  ::SetFileAttributesW((dir_ / "locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Win32Failure,
    testing::Values(FailureCase{"MissingInput", "none.txt", "urls.txt", Stage::kOpenInput,
                                std::errc::no_such_file_or_directory},
                    FailureCase{"EmptyInputName", "", "urls.txt", Stage::kOpenInput,
                                std::errc::no_such_file_or_directory},
                    FailureCase{"InputIsADirectory", "folder", "urls.txt", Stage::kOpenInput,
                                std::errc::is_a_directory},
                    FailureCase{"MissingOutputDirectory", "in.txt", "gone\\urls.txt",
                                Stage::kCreateOutput, std::errc::no_such_file_or_directory},
                    FailureCase{"OutputIsADirectory", "in.txt", "folder", Stage::kCreateOutput,
                                std::errc::is_a_directory},
                    FailureCase{"ReadOnlyOutput", "in.txt", "locked.txt", Stage::kCreateOutput,
                                std::errc::permission_denied}),
    [](const auto& info) { return info.param.name; });

// Another program holding urls.txt open without sharing it: the replace
// fails at the very end, and everything is still as it was.
TEST_F(Win32Run, OutputHeldOpenByAnotherProgramStaysAsItWas) {
  WriteFile(dir_ / "in.txt", "http://new\r\n");
  WriteFile(dir_ / "urls.txt", "old\r\n");
  const HANDLE holder = ::CreateFileW((dir_ / "urls.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  try {
    ExtractLinksFromFile(dir_ / "in.txt", dir_ / "urls.txt");
    ADD_FAILURE() << "no error";
  } catch (const ExtractionError& e) {
    EXPECT_EQ(e.stage(), Stage::kReplace) << e.what();
  }
  ::CloseHandle(holder);
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "old\r\n");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"in.txt", "urls.txt"}));
}

TEST(SystemReason, IsUtf8WithoutALineEnd) {
  for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_DISK_FULL}) {
    const std::string reason =
        SystemReason(std::error_code(static_cast<int>(code), std::system_category()));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(IsUtf8(reason)) << reason;
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
    // A Russian system words it in Russian; the ANSI text would not be UTF-8.
    if (PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_RUSSIAN) {
      EXPECT_NE(reason.find_first_of("абвгдеёжзийклмнопрстуфхцчшщъыьэюя"), std::string::npos)
          << reason;
    }
  }
}

// Pipes and killed runs: what is particular to Windows about stopping a run.
class Win32Cancel : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    output_ = dir_ / "urls.txt";
    WriteFile(output_, "old\r\n");
  }

  fs::path output_;
};

// A pipe whose writer has gone quiet must not hold a cancel up.
TEST_F(Win32Cancel, StopsWhileAPipeIsSilent) {
  testing_support::PipeWriter pipe;
  std::atomic<bool> cancel{false};
  auto run = std::async(std::launch::async, [&] {
    RunOptions options;
    options.cancel = &cancel;
    return ExtractLinksFromFile(pipe.path(), output_, options);
  });
  pipe.Send("http://a\r\n");
  EXPECT_EQ(run.wait_for(300ms), std::future_status::timeout);
  cancel = true;
  EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
  EXPECT_THROW(run.get(), ExtractionCancelled);
  EXPECT_EQ(ReadFile(output_), "old\r\n");
  EXPECT_EQ(CountTemporaries(dir_), 0u);
}

TEST_F(Win32Cancel, PipeInputIsReadToItsEnd) {
  testing_support::PipeWriter pipe;
  auto run =
      std::async(std::launch::async, [&] { return ExtractLinksFromFile(pipe.path(), output_); });
  pipe.Send("a http://x\r\nb http://y.\r\n");
  pipe.Close();
  ASSERT_EQ(run.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(run.get(), 2u);
  EXPECT_EQ(ReadFile(output_), "http://x\r\nhttp://y\r\n");
}

// The build may run on Linux with the tests under Wine, which shows / as drive Z:.
fs::path DriverPath() {
  std::string path = LINKSIFT_EXTRACT_EXE;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  return fs::path(path).make_preferred();
}

// A killed run must not leave its temporary behind: the file is set to
// vanish with the last handle until the moment it is put in place.
TEST_F(Win32Cancel, KilledRunLeavesNoTemporary) {
  testing_support::PipeWriter pipe;
  std::wstring command = L"\"" + DriverPath().wstring() + L"\" \"" + pipe.path().wstring() +
                         L"\" \"" + output_.wstring() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
      << ::GetLastError();
  pipe.Send("http://a\r\n");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (CountTemporaries(dir_) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(CountTemporaries(dir_), 1u) << "the run never created its temporary";
  ::TerminateProcess(process.hProcess, 9);
  ::WaitForSingleObject(process.hProcess, 5000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 100 && CountTemporaries(dir_) > 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(CountTemporaries(dir_), 0u);
  EXPECT_EQ(ReadFile(output_), "old\r\n");
}

}  // namespace
}  // namespace linksift
