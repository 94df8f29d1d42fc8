#pragma once

#include <windows.h>

#include "result_opener.h"

namespace linksift {

// Explorer shows urls.txt selected in its folder (SHOpenFolderAndSelectItems),
// or opens the folder where it cannot; urls.txt itself opens in the program
// for text files.
class Win32ResultOpener final : public ResultOpener {
 public:
  explicit Win32ResultOpener(HWND owner) : owner_(owner) {}

  void ShowInFolder(const std::filesystem::path& file) override;
  void Open(const std::filesystem::path& file) override;

 private:
  HWND owner_;
};

// The shell call behind ShowInFolder, for tests: S_OK once Explorer has it.
HRESULT SelectInFolder(const std::filesystem::path& file);

}  // namespace linksift
