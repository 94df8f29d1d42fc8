// What the Windows file layer does beyond the shared cases: wide names, a
// target held open by another program, and the system's reasons in UTF-8.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extract.h"
#include "system_reason.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

using FileIoWin32Test = TempDirTest;

TEST_F(FileIoWin32Test, TakesNamesInAnyScript) {
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

// Another program holding urls.txt open without sharing it: the replace
// fails at the very end, and everything is still as it was.
TEST_F(FileIoWin32Test, OutputHeldOpenByAnotherProgramStaysAsItWas) {
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

}  // namespace
}  // namespace linksift
