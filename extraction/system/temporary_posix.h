#pragma once

#include <string>
#include <system_error>

#include "handle_posix.h"
#include "signals_posix.h"

namespace linksift::os {

// The temporary a replacement is written to, in a folder the caller keeps
// open: it owns its descriptors, its name and its slot among the names the
// ending signals remove, so that neither a failed run nor one ended by a
// signal leaves it behind. Unnamed (O_TMPFILE) where the file system can,
// named only from Settle on; named from the start elsewhere. Its lock tells a
// live run's temporary from one a killed run left.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Remove(); }

  // A new empty file in `folder` for a target named `leaf`.
  std::error_code Create(int folder, const std::string& leaf);
  int fd() const { return file_.get(); }
  // Gives an unnamed temporary its name.
  std::error_code Settle();
  // Closes the file; its late write errors are reported here.
  std::error_code Close() { return file_.Close(); }
  // Renames the temporary over `leaf`, after which it is no longer ours to remove.
  std::error_code CommitAs(const std::string& leaf);
  void Remove() noexcept;

  // Removes the temporaries for `leaf` that killed runs left in `folder`:
  // named like one, a plain file of one link that no run holds, never `spare`
  // (the run's own input may be named like one). Best effort: a folder that
  // cannot be listed is left as it is.
  static void SweepStale(int folder, const std::string& leaf, const FileId& spare);

 private:
  std::error_code CreateNamed(const std::string& leaf);
  std::error_code Lock(const char* name);
  void Name(const std::string& name);
  void Unname() noexcept;

  int folder_ = -1;  // borrowed
  Handle file_;
  Handle lock_;  // holds the lock from the creation to the rename
  std::string leaf_;
  std::string name_;  // empty while the file has no name
  LiveName live_;     // name_ for the ending signals
};

}  // namespace linksift::os
