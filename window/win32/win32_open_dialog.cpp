#include "win32_open_dialog.h"

#include <commdlg.h>

#include <vector>

#include "dialog_filter.h"
#include "known_folder.h"
#include "utf16.h"

namespace linksift {

std::wstring Win32FilterString(const std::string& filter) {
  std::wstring result;
  for (const FilterEntry& entry : SplitDialogFilter(filter)) {
    result.append(Widen(entry.description)).push_back(L'\0');
    result.append(Widen(entry.patterns)).push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

std::wstring Win32StartFolder(const std::filesystem::path& start_folder) {
  if (!start_folder.empty()) return start_folder.wstring();
  // Where Windows programs start: the user's Documents.
  const std::filesystem::path documents = KnownFolder(FOLDERID_Documents);
  if (!documents.empty()) return documents.wstring();
  std::vector<wchar_t> profile(32768, L'\0');
  const DWORD length =
      ::GetEnvironmentVariableW(L"USERPROFILE", profile.data(), static_cast<DWORD>(profile.size()));
  // Without one the system picks a folder itself.
  if (length == 0 || length >= profile.size()) return {};
  return std::wstring(profile.data(), length);
}

std::optional<std::filesystem::path> Win32OpenDialog::Show(
    const std::string& title, const std::string& filter,
    const std::filesystem::path& start_folder) {
  const std::wstring wide_title = Widen(title);
  const std::wstring wide_filter = Win32FilterString(filter);
  const std::wstring initial_folder = Win32StartFolder(start_folder);
  // Long paths reach 32767 characters.
  std::vector<wchar_t> name(32768, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = wide_filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = wide_title.c_str();
  dialog.lpstrInitialDir = initial_folder.empty() ? nullptr : initial_folder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  // Cancelled, or the system could not show the dialog: no file either way.
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::filesystem::path(name.data());
}

}  // namespace linksift
