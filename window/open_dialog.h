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

  // Shows the dialog modally under `title`, listing the files `filter` names
  // (descriptions and their patterns, alternating, joined by "|"), in
  // `start_folder`, or in the user's home folder when that is empty. Returns
  // once the user has closed it: the chosen file, or nothing when cancelled.
  virtual std::optional<std::filesystem::path> Show(const std::string& title,
                                                    const std::string& filter,
                                                    const std::filesystem::path& start_folder) = 0;
};

}  // namespace linksift
