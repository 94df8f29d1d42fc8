#pragma once

// Descriptors, listings and file identities as the POSIX file layer keeps them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

#include "file_io_os.h"

namespace linksift::os {

inline std::error_code LastError() {
  return SystemError(errno);
}

// A descriptor this code opened, closed with it. Moving hands it over: the
// moved-from handle holds -1 and closes nothing.
class Handle {
 public:
  Handle() = default;
  explicit Handle(int fd) noexcept : fd_(fd) {}
  Handle(Handle&& other) noexcept : fd_(other.Release()) {}
  Handle& operator=(Handle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int Release() noexcept { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0 && fd_ != fd) ::close(fd_);
    fd_ = fd;
  }
  // Closes now, for the late write errors some file systems report here.
  // Don't retry on EINTR: the descriptor is gone either way.
  std::error_code Close() {
    return ::close(Release()) != 0 && errno != EINTR ? LastError() : std::error_code();
  }

 private:
  int fd_ = -1;
};

// A copy of a descriptor of this process, out of the standard streams' way.
inline Handle CopyDescriptor(int descriptor) {
  return Handle(::fcntl(descriptor, F_DUPFD_CLOEXEC, 3));
}

struct CloseListing {
  void operator()(DIR* entries) const noexcept { ::closedir(entries); }
};
using Listing = std::unique_ptr<DIR, CloseListing>;

// The entries of the folder `folder` is open on, read through a copy of it,
// so that `folder` stays open and its owner's. Null when it cannot be listed.
inline Listing ListFolder(int folder) {
  Handle copy = CopyDescriptor(folder);
  if (!copy.valid()) return nullptr;
  Listing entries(::fdopendir(copy.get()));
  // The listing owns the copy once it has one.
  if (entries != nullptr) copy.Release();
  return entries;
}

// A file's identity, to tell it from others whatever its name.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;

  static FileId Of(const struct stat& st) { return {st.st_dev, st.st_ino}; }
  bool operator==(const FileId&) const = default;
};

inline bool SameFile(const struct stat& a, const struct stat& b) {
  return FileId::Of(a) == FileId::Of(b);
}

}  // namespace linksift::os
