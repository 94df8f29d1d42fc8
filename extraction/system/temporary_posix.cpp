#include "temporary_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "file_io_os.h"
#include "signals_posix.h"

namespace linksift::os {
namespace {

std::error_code LastError() {
  return SystemError(errno);
}

bool SameFile(int folder, const char* name, const struct stat& opened) {
  struct stat named;
  return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// A temporary of this target's pattern is stale when no run holds its lock:
// its run was killed before it could remove it. A live run locks its
// temporary before it has a name, or checks that the name is still its own.
void RemoveIfStale(int folder, const char* name, const FileId& spare) {
  int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    fd = ::openat(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  }
  if (fd < 0) return;
  struct stat opened;
  // A run's temporary has no other name: a file linked elsewhere was not made by one.
  if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_nlink == 1 &&
      !spare.Is(opened) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(folder, name, opened)) {
    ::unlinkat(folder, name, 0);
  }
  ::close(fd);
}

}  // namespace

void TemporaryFile::SweepStale(int folder, const std::string& leaf, const FileId& spare) {
  // A folder that can be written but not read (mode 0733) cannot be listed.
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    ::close(listing);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    if (IsTemporaryNameFor(leaf, entry->d_name)) RemoveIfStale(folder, entry->d_name, spare);
  }
  ::closedir(entries);
}

std::error_code TemporaryFile::Create(int folder, const std::string& leaf) {
  folder_ = folder;
  leaf_ = leaf;
  // An unnamed file vanishes by itself if the run is killed.
  fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    return CreateNamed(leaf);
  }
  if (fd_ < 0) return LastError();
  return Lock(nullptr);
}

// Without unnamed files the temporary has a name from the start.
std::error_code TemporaryFile::CreateNamed(const std::string& leaf) {
  return CreateUnderFreshName(leaf, [&](const std::filesystem::path& name) {
    fd_ = ::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) return LastError();
    Register(name);
    const std::error_code error = Lock(name.c_str());
    if (error == std::errc::file_exists) {
      // A sweeping run took the name between the creation and the lock.
      ForgetTemporary(live_slot_);
      name_.clear();
      ::close(fd_);
      fd_ = -1;
    }
    return error;
  });
}

// Locks the fresh temporary for as long as the run keeps it; a named one must
// still be under its name, which a sweeping run may have taken between the
// creation and the lock.
std::error_code TemporaryFile::Lock(const char* name) {
  // Where the file system has no locks, no sweep can take one either: the
  // temporary is safe from it all the same.
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
  if (lock_ >= 0) ::close(lock_);
  lock_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 3);
  if (lock_ < 0) return LastError();
  struct stat opened;
  if (name == nullptr || (::fstat(fd_, &opened) == 0 && SameFile(folder_, name, opened))) return {};
  return std::make_error_code(std::errc::file_exists);
}

void TemporaryFile::Register(const std::string& name) {
  name_ = name;
  live_slot_ = RememberTemporary(folder_, name_);
}

// Linux cannot link an unnamed file over an existing one, so it gets a
// temporary name first and is renamed from there. Without /proc,
// AT_EMPTY_PATH needs privileges but is worth a try.
std::error_code TemporaryFile::Settle() {
  if (!name_.empty()) return {};
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return CreateUnderFreshName(leaf_, [&](const std::filesystem::path& name) {
    if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        (errno != ENOENT || ::linkat(fd_, "", folder_, name.c_str(), AT_EMPTY_PATH) != 0)) {
      return LastError();
    }
    Register(name);
    return std::error_code();
  });
}

// Don't retry close on EINTR: the descriptor is gone either way.
std::error_code TemporaryFile::Close() {
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) != 0 && errno != EINTR ? LastError() : std::error_code();
}

std::error_code TemporaryFile::CommitAs(const std::string& leaf) {
  if (::renameat(folder_, name_.c_str(), folder_, leaf.c_str()) != 0) return LastError();
  name_.clear();
  ForgetTemporary(live_slot_);
  return {};
}

void TemporaryFile::Remove() noexcept {
  if (fd_ >= 0) ::close(fd_);
  if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
  ForgetTemporary(live_slot_);
  if (lock_ >= 0) ::close(lock_);
  fd_ = lock_ = -1;
  name_.clear();
}

}  // namespace linksift::os
