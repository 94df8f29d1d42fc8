#include "win32_result_opener.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <system_error>

#include "error_text.h"
#include "reason_text.h"

namespace linksift {
namespace {

void OpenWithShell(HWND owner, const std::filesystem::path& path,
                   const ResultOpener::Failed& failed) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) failed(ShellExecuteReason(result, ::GetLastError()));
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

std::string ShellExecuteReason(INT_PTR result, DWORD last_error) {
  if (result == SE_ERR_NOASSOC || result == SE_ERR_ASSOCINCOMPLETE) {
    return std::string(kNoProgramReason);
  }
  if (last_error == ERROR_NO_ASSOCIATION) return std::string(kNoProgramReason);
  // The small results are the error codes of old; the last error says more.
  const DWORD code = last_error != 0 ? last_error : static_cast<DWORD>(result);
  return ReasonText(std::error_code(static_cast<int>(code), std::system_category()));
}

void Win32ResultOpener::ShowInFolder(const std::filesystem::path& file, Failed failed) {
  if (FAILED(SelectInFolder(file))) OpenWithShell(owner_, file.parent_path(), failed);
}

void Win32ResultOpener::Open(const std::filesystem::path& file, Failed failed) {
  OpenWithShell(owner_, file, failed);
}

}  // namespace linksift
