#include "temporary_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "file_io_os.h"

namespace linksift::os {
namespace {

// Whether `name` in `folder` is still the file `opened`.
bool StillNamed(int folder, const char* name, const struct stat& opened) {
  struct stat named;
  return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(named, opened);
}

// A temporary of this target's pattern is stale when no run holds its lock:
// its run was killed before it could remove it. A live run locks its
// temporary before it has a name, or checks that the name is still its own.
void RemoveIfStale(int folder, const char* name, const FileId& spare) {
  Handle file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.valid() && errno == EACCES) {
    file.Reset(::openat(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  }
  if (!file.valid()) return;
  struct stat opened;
  // A run's temporary has no other name: a file linked elsewhere was not made by one.
  if (::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_nlink == 1 &&
      FileId::Of(opened) != spare && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 &&
      StillNamed(folder, name, opened)) {
    ::unlinkat(folder, name, 0);
  }
}

}  // namespace

void TemporaryFile::SweepStale(int folder, const std::string& leaf, const FileId& spare) {
  // A folder that can be written but not read (mode 0733) cannot be listed.
  const Handle readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const Listing entries = readable.valid() ? ListFolder(readable.get()) : nullptr;
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries.get())) {
    if (IsTemporaryNameFor(leaf, entry->d_name)) RemoveIfStale(folder, entry->d_name, spare);
  }
}

std::error_code TemporaryFile::Create(int folder, const std::string& leaf) {
  folder_ = folder;
  leaf_ = leaf;
  // An unnamed file vanishes by itself if the run is killed.
  file_.Reset(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (!file_.valid() && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    return CreateNamed(leaf);
  }
  if (!file_.valid()) return LastError();
  return Lock(nullptr);
}

// Without unnamed files the temporary has a name from the start.
std::error_code TemporaryFile::CreateNamed(const std::string& leaf) {
  return CreateUnderFreshName(leaf, [&](const std::filesystem::path& name) {
    file_.Reset(::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file_.valid()) return LastError();
    Name(name);
    const std::error_code error = Lock(name.c_str());
    if (error == std::errc::file_exists) {
      // A sweeping run took the name between the creation and the lock.
      Unname();
      file_.Reset();
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
  while (::flock(file_.get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  lock_ = CopyDescriptor(file_.get());
  if (!lock_.valid()) return LastError();
  struct stat opened;
  if (name == nullptr ||
      (::fstat(file_.get(), &opened) == 0 && StillNamed(folder_, name, opened))) {
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

void TemporaryFile::Name(const std::string& name) {
  name_ = name;
  live_.Remember(folder_, name_);
}

// The name is no longer ours: the ending signals must not remove it.
void TemporaryFile::Unname() noexcept {
  live_.Forget();
  name_.clear();
}

// Linux cannot link an unnamed file over an existing one, so it gets a
// temporary name first and is renamed from there. Without /proc,
// AT_EMPTY_PATH needs privileges but is worth a try.
std::error_code TemporaryFile::Settle() {
  if (!name_.empty()) return {};
  const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
  return CreateUnderFreshName(leaf_, [&](const std::filesystem::path& name) {
    if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        (errno != ENOENT || ::linkat(file_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) != 0)) {
      return LastError();
    }
    Name(name);
    return std::error_code();
  });
}

std::error_code TemporaryFile::CommitAs(const std::string& leaf) {
  if (::renameat(folder_, name_.c_str(), folder_, leaf.c_str()) != 0) return LastError();
  Unname();
  return {};
}

void TemporaryFile::Remove() noexcept {
  file_.Reset();
  if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
  Unname();
  lock_.Reset();
}

}  // namespace linksift::os
