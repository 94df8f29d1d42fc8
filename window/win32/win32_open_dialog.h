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

  void SetTitle(const std::string& title) override;
  void SetFilter(const std::string& filter) override;
  void Show() override;
  std::optional<std::filesystem::path> FileName() const override { return chosen_; }

 private:
  HWND owner_;
  std::wstring title_;
  std::wstring filter_;
  std::optional<std::filesystem::path> chosen_;
};

}  // namespace linksift
