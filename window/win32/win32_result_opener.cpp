#include "win32_result_opener.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>

namespace linksift {
namespace {

void OpenWithShell(HWND owner, const std::filesystem::path& path) {
  ::ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

HRESULT SelectInFolder(const std::filesystem::path& file) {
  // The shell's calls need COM on this thread; a second initialisation is harmless.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  PIDLIST_ABSOLUTE item = nullptr;
  HRESULT result = ::SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr);
  if (SUCCEEDED(result)) {
    const std::unique_ptr<ITEMIDLIST, decltype(&::ILFree)> owner(item, &::ILFree);
    result = ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}

void Win32ResultOpener::ShowInFolder(const std::filesystem::path& file) {
  if (FAILED(SelectInFolder(file))) OpenWithShell(owner_, file.parent_path());
}

void Win32ResultOpener::Open(const std::filesystem::path& file) {
  OpenWithShell(owner_, file);
}

}  // namespace linksift
