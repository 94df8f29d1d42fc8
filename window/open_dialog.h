#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace linksift {

// The Open dialog CD1, as the open command drives it. Front ends show their
// toolkit's dialog; tests answer without showing anything.
class OpenDialog {
 public:
  virtual ~OpenDialog() = default;

  virtual void SetTitle(const std::string& title) = 0;
  // Descriptions and their patterns, alternating, joined by "|".
  virtual void SetFilter(const std::string& filter) = 0;
  // Shows the dialog modally; returns once the user has closed it.
  virtual void Show() = 0;
  // The file chosen at the last showing, or nothing when it was cancelled.
  virtual std::optional<std::filesystem::path> FileName() const = 0;
};

}  // namespace linksift
