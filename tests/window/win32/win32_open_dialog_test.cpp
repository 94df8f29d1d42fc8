#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "command_line.h"
#include "win32_open_dialog.h"

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
  EXPECT_EQ(help.find("display"), std::string::npos) << help;
  EXPECT_NE(WrongCommandLineText("x").find("'linksift.exe --help'"), std::string::npos);
}

}  // namespace
}  // namespace linksift
