// The extraction core on Windows: wide paths, atomic replacement through the
// Win32 file layer, failures with the system's reason, cancel and progress.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
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

struct RunCase {
  std::string name;
  std::string input;
  std::string output;
  LinkCount count;
};

class WholeRun : public TempDirTest, public testing::WithParamInterface<RunCase> {};

TEST_P(WholeRun, ReplacesTheOldOutputWithTheLinks) {
  const RunCase& c = GetParam();
  const fs::path output = dir_ / "urls.txt";
  WriteFile(dir_ / "in.txt", c.input);
  for (const std::size_t block : {std::size_t{1}, std::size_t{5}, kDefaultBlockSize}) {
    WriteFile(output, "old content\r\n");
    RunOptions options;
    options.block_size = block;
    EXPECT_EQ(ExtractLinksFromFile(dir_ / "in.txt", output, options), c.count);
    EXPECT_EQ(ReadFile(output), c.output) << "block size " << block;
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"in.txt", "urls.txt"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, WholeRun,
    testing::Values(RunCase{"EmptyFile", "", "", 0}, RunCase{"NoLinks", "a\r\nb\r\n", "", 0},
                    RunCase{"FirstAndThirdLines", "x http://a.\r\nnone\r\nhttp://c y\r\n",
                            "http://a\r\nhttp://c\r\n", 2},
                    RunCase{"UnixLineEnds", "http://a\nhttp://b\n", "http://a\r\nhttp://b\r\n", 2},
                    RunCase{"LastLineUnterminated", "a\r\nsee http://z", "http://z\r\n", 1}),
    [](const auto& info) { return info.param.name; });

using Win32Run = TempDirTest;

TEST_F(Win32Run, MatchesTheLineByLineRuleOnALargeRandomFile) {
  std::mt19937_64 random(7);
  const std::string input = testing_support::RandomText(random, 3'000'000);
  WriteFile(dir_ / "in.txt", input);
  ExtractLinksFromFile(dir_ / "in.txt", dir_ / "urls.txt");
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), testing_support::ReferenceOutput(input));
}

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

class Win32Cancel : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    input_ = dir_ / "in.txt";
    output_ = dir_ / "urls.txt";
    WriteFile(input_, "see http://" + std::string(1 << 20, 'a') + "\r\nhttp://b\r\n");
    WriteFile(output_, "old\r\n");
  }

  fs::path input_;
  fs::path output_;
};

TEST_F(Win32Cancel, AtAnyPointKeepsTheOldOutput) {
  const std::uint64_t size = fs::file_size(input_);
  for (const std::uint64_t at : {std::uint64_t{0}, size / 2, size}) {
    std::atomic<bool> cancel{at == 0};
    RunOptions options;
    options.block_size = 4096;
    options.progress_interval = {};
    options.cancel = &cancel;
    options.on_progress = [&](std::uint64_t done, std::uint64_t) {
      if (done >= at) cancel = true;
    };
    EXPECT_THROW(ExtractLinksFromFile(input_, output_, options), ExtractionCancelled) << at;
    EXPECT_EQ(ReadFile(output_), "old\r\n");
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"in.txt", "urls.txt"}));
  }
}

TEST_F(Win32Cancel, ProgressRisesToTheFileSize) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  RunOptions options;
  options.block_size = 4096;
  options.progress_interval = {};
  options.on_progress = [&](std::uint64_t done, std::uint64_t total) {
    calls.emplace_back(done, total);
  };
  EXPECT_EQ(ExtractLinksFromFile(input_, output_, options), 2u);
  const std::uint64_t size = fs::file_size(input_);
  ASSERT_GT(calls.size(), 100u);
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
  EXPECT_EQ(calls.back(), std::make_pair(size, size));
}

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
