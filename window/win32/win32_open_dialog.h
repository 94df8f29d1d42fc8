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

// CD1 as the system's Open dialog, for one existing file. It opens where the
// user chose a file the last time.
class Win32OpenDialog final : public OpenDialog {
 public:
  explicit Win32OpenDialog(HWND owner) : owner_(owner) {}

  std::optional<std::filesystem::path> Show(const std::string& title,
                                            const std::string& filter) override;

 private:
  HWND owner_;
};

}  // namespace linksift
