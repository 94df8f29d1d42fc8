#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "open_dialog.h"

namespace linksift {

// The filter as GetOpenFileNameW takes it: description and patterns of each
// entry, each closed by a NUL, and one more NUL at the end.
std::wstring Win32FilterString(const std::string& filter);

// The folder the dialog opens in: `start_folder`, or the user's Documents
// (their profile folder where there is none) when that is empty.
std::wstring Win32StartFolder(const std::filesystem::path& start_folder);

// CD1 as the system's Open dialog, for one existing file.
class Win32OpenDialog final : public OpenDialog {
 public:
  explicit Win32OpenDialog(HWND owner) : owner_(owner) {}

  std::optional<std::filesystem::path> Show(const std::string& title, const std::string& filter,
                                            const std::filesystem::path& start_folder) override;

 private:
  HWND owner_;
};

}  // namespace linksift
