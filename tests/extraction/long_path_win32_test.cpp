// Names past MAX_PATH reach the system with the \\?\ prefix; shorter ones and
// names already in the system's own form go as they are. Wine takes long
// names either way, so the mapping itself is what these check.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extract.h"
#include "long_path_win32.h"
#include "test_support.h"
#include "utf16.h"

namespace linksift {
namespace {
using namespace testing_support;

// Five folders of 60 characters: a name past 300 under any folder.
std::wstring Folders(wchar_t separator) {
  std::wstring folders(60, L'a');
  for (const wchar_t letter : {L'b', L'c', L'd', L'e'}) {
    folders += separator + std::wstring(60, letter);
  }
  return folders;
}

TEST(ExtendedPath, PrefixesOnlyNamesPastTheLimit) {
  const std::wstring deep = Folders(L'\\');
  const std::wstring cwd = fs::current_path().native();
  const struct {
    std::wstring given, expected;
  } cases[] = {
      {LR"(C:\short\urls.txt)", LR"(C:\short\urls.txt)"},
      {L"urls.txt", L"urls.txt"},
      {L"NUL", L"NUL"},
      {LR"(\\.\pipe\linksift)", LR"(\\.\pipe\linksift)"},
      {LR"(C:\)" + deep + LR"(\urls.txt)", LR"(\\?\C:\)" + deep + LR"(\urls.txt)"},
      // The system does not tidy a prefixed name: that is done first.
      {L"C:/" + Folders(L'/') + L"/urls.txt", LR"(\\?\C:\)" + deep + LR"(\urls.txt)"},
      {LR"(C:\)" + deep + LR"(\.\x\..\urls.txt)", LR"(\\?\C:\)" + deep + LR"(\urls.txt)"},
      {LR"(\\server\share\)" + deep + LR"(\urls.txt)",
       LR"(\\?\UNC\server\share\)" + deep + LR"(\urls.txt)"},
      {LR"(\\?\C:\)" + deep + LR"(\urls.txt)", LR"(\\?\C:\)" + deep + LR"(\urls.txt)"},
      {deep + LR"(\urls.txt)", LR"(\\?\)" + cwd + L"\\" + deep + LR"(\urls.txt)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtendedPath(c.given).native(), c.expected) << Narrow(c.given);
  }
}

// The test's own files, named so that any Windows takes them: the C runtime's
// calls behind std::filesystem stop at MAX_PATH.
std::wstring Prefixed(const fs::path& absolute) {
  return LR"(\\?\)" + absolute.native();
}

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW((Prefixed(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(Narrow(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

using LongPathTest = TempDirTest;

// A run whose input and urls.txt lie in a folder past the limit, replacing an
// older urls.txt there.
TEST_F(LongPathTest, RunsInAFolderPastTheLimit) {
  const fs::path folder = dir_ / Folders(L'\\');
  ASSERT_GE(folder.native().size(), 300u);
  fs::create_directories(Prefixed(folder));
  WriteFile(Prefixed(folder / "in.txt"), "see http://example.org/a, next\r\n");
  WriteFile(Prefixed(folder / "urls.txt"), "old\r\n");

  EXPECT_EQ(ExtractLinksFromFile(folder / "in.txt", folder / "urls.txt"), 1u);
  EXPECT_EQ(ReadFile(Prefixed(folder / "urls.txt")), "http://example.org/a\r\n");
  EXPECT_EQ(NamesIn(folder), (std::set<std::string>{"in.txt", "urls.txt"}));

  for (const char* name : {"in.txt", "urls.txt"}) ::DeleteFileW(Prefixed(folder / name).c_str());
  for (fs::path inner = folder; inner != dir_; inner = inner.parent_path()) {
    ::RemoveDirectoryW(Prefixed(inner).c_str());
  }
}

}  // namespace
}  // namespace linksift
