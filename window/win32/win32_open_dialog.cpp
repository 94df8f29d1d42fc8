#include "win32_open_dialog.h"

#include <commdlg.h>

#include <vector>

#include "dialog_filter.h"
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

std::optional<std::filesystem::path> Win32OpenDialog::Show(const std::string& title,
                                                           const std::string& filter) {
  const std::wstring wide_title = Widen(title);
  const std::wstring wide_filter = Win32FilterString(filter);
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
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  // Cancelled, or the system could not show the dialog: no file either way.
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::filesystem::path(name.data());
}

}  // namespace linksift
