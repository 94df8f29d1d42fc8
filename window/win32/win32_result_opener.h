#pragma once

#include <windows.h>

#include <string>

#include "result_opener.h"

namespace linksift {

// Explorer shows urls.txt selected in its folder (SHOpenFolderAndSelectItems),
// or opens the folder where it cannot; urls.txt itself opens in the program
// for text files. What the shell cannot open is reported at once.
class Win32ResultOpener final : public ResultOpener {
 public:
  explicit Win32ResultOpener(HWND owner) : owner_(owner) {}

  void ShowInFolder(const std::filesystem::path& file, Failed failed) override;
  void Open(const std::filesystem::path& file, Failed failed) override;

 private:
  HWND owner_;
};

// The shell call behind ShowInFolder, for tests: S_OK once Explorer has it.
HRESULT SelectInFolder(const std::filesystem::path& file);

// Why ShellExecute could not open something, from what it returned (32 or
// less) and the thread's last error then, in the window's language.
std::string ShellExecuteReason(INT_PTR result, DWORD last_error);

}  // namespace linksift
