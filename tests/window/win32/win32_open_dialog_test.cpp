#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <system_error>

#include "command_line.h"
#include "error_text.h"
#include "reason_text.h"
#include "temp_dir.h"
#include "win32_open_dialog.h"
#include "win32_result_opener.h"

namespace linksift {
namespace {

// A wide literal with its inner NULs, less the terminating one.
template <std::size_t N>
std::wstring Fields(const wchar_t (&text)[N]) {
  return std::wstring(text, N - 1);
}

TEST(Win32FilterString, ClosesEachFieldWithANul) {
  EXPECT_EQ(Win32FilterString("Текстовые файлы (*.txt)|*.txt"),
            Fields(L"Текстовые файлы (*.txt)\0*.txt\0\0"));
  EXPECT_EQ(Win32FilterString("A|*.a;*.b|All"), Fields(L"A\0*.a;*.b\0All\0*\0\0"));
}

TEST(Win32StartFolder, TheGivenFolderOrDocuments) {
  EXPECT_EQ(Win32StartFolder(std::filesystem::path(L"C:\\Данные\\списки")), L"C:\\Данные\\списки");
  wchar_t documents[MAX_PATH] = {};
  ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents),
            S_OK);
  EXPECT_EQ(Win32StartFolder({}), documents);
}

// A Windows user has neither displays to start nor Linux names to call.
TEST(Win32HelpText, SpeaksOfLinksiftExe) {
  const std::string help = HelpText();
  EXPECT_EQ(help, HelpBoxText()) << "the box's help, in Russian";
  EXPECT_NE(WrongCommandLineText("x").find("'linksift.exe --help'"), std::string::npos);
}

// Windows' own codes, in Russian as the window speaks.
TEST(Win32Reasons, TheCommonOnesInRussian) {
  const auto reason = [](DWORD code) {
    return ReasonText(std::error_code(static_cast<int>(code), std::system_category()));
  };
  EXPECT_EQ(reason(ERROR_ACCESS_DENIED), "Отказано в доступе");
  EXPECT_EQ(reason(ERROR_PATH_NOT_FOUND), "Нет такого файла или папки");
  EXPECT_EQ(reason(ERROR_DISK_FULL), "На диске не осталось места");
  EXPECT_EQ(reason(ERROR_SHARING_VIOLATION), "Файл или устройство занято другим процессом");
  EXPECT_EQ(ShellExecuteReason(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION), kNoProgramReason);
}

// What the shell cannot open is said, not passed over in silence: a file of a
// type no program opens, and one that is gone.
TEST(Win32ResultOpener, SaysWhyTheShellCouldNotOpen) {
  const testing_support::TempDir dir;
  const std::filesystem::path odd = dir.Write("urls.linksift-no-program", "http://a/\r\n");
  struct Case {
    const char* what;
    std::filesystem::path file;
    std::string reason;
  };
  const Case cases[] = {
      {"no program for its type", odd, std::string(kNoProgramReason)},
      {"gone", dir.path() / "gone" / "urls.txt", "Нет такого файла или папки"},
  };
  Win32ResultOpener opener(nullptr);
  for (const Case& c : cases) {
    std::optional<std::string> failure;
    opener.Open(c.file, [&failure](const std::string& reason) { failure = reason; });
    EXPECT_EQ(failure, c.reason) << c.what;
  }
}

}  // namespace
}  // namespace linksift
