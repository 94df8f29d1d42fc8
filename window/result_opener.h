#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace linksift {

// What the desktop does with the file a run wrote. Front ends ask their
// system; tests record the calls. Neither call waits for the program it starts.
class ResultOpener {
 public:
  // Called, perhaps later, when the desktop could not do it: why, in the
  // window's language (UTF-8).
  using Failed = std::function<void(const std::string& reason)>;

  virtual ~ResultOpener() = default;

  // The file manager shows `file`'s folder with `file` selected; where none
  // can, the folder opens as the desktop opens folders.
  virtual void ShowInFolder(const std::filesystem::path& file, Failed failed) = 0;
  // `file` opens in the desktop's program for text files.
  virtual void Open(const std::filesystem::path& file, Failed failed) = 0;
};

}  // namespace linksift
