#pragma once

#include <sys/stat.h>

#include <string>
#include <system_error>

namespace linksift::os {

// A file's identity, to tell it from others whatever its name.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool Is(const struct stat& st) const { return st.st_dev == device && st.st_ino == inode; }
};

// The temporary a replacement is written to, in a folder the caller keeps
// open: it owns creating, locking, registering with the signal handlers,
// committing and removing, so that neither a failed run nor one ended by a
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
  int fd() const { return fd_; }
  // Gives an unnamed temporary its name.
  std::error_code Settle();
  // Closes the file; its late write errors are reported here.
  std::error_code Close();
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
  void Register(const std::string& name);

  int folder_ = -1;  // borrowed
  int fd_ = -1;
  int lock_ = -1;  // holds the lock from the creation to the rename
  std::string leaf_;
  std::string name_;  // empty while the file has no name
  int live_slot_ = -1;
};

}  // namespace linksift::os
