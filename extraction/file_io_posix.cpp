// The file layer's system calls on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <cerrno>
#include <charconv>
#include <climits>
#include <string>

#include "extraction_error.h"
#include "file_io_os.h"
#include "signals_posix.h"
#include "window_mapper_posix.h"

namespace linksift {
namespace fs = std::filesystem;

// strerror's text, which is UTF-8 in a UTF-8 locale.
std::string SystemReason(std::error_code code) {
  return code.message();
}

namespace os {
namespace {

// As many symbolic links as the kernel follows in one name.
constexpr int kMaxLinks = 40;

std::error_code LastError() {
  return SystemError(errno);
}

// Waits up to 50 ms for `event` on `fd`: short enough for a cancel to be seen.
std::error_code AwaitEvent(int fd, short event, bool& ready) {
  pollfd request = {fd, event, 0};
  const int result = ::poll(&request, 1, 50);
  ready = result > 0;
  return result < 0 && errno != EINTR ? LastError() : std::error_code();
}

// A copy of a descriptor of this process, out of the standard streams' way.
int CopyDescriptor(int descriptor) {
  return ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
}

// The descriptor a name stands for by itself, or -1.
int DescriptorNamed(const fs::path& path) {
  const std::string name = path.lexically_normal().native();
  if (name == "/dev/stdin") return 0;
  if (name == "/dev/stdout") return 1;
  if (name == "/dev/stderr") return 2;
  // This process by its number, too: the name a link to one of its descriptors may hold.
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string_view prefix :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"), std::string_view(own)}) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
    const char* const end = name.data() + name.size();
    int descriptor = -1;
    const auto result = std::from_chars(name.data() + prefix.size(), end, descriptor);
    if (result.ec == std::errc() && result.ptr == end) return descriptor;
  }
  return -1;
}

// Follows symbolic links by hand so that a link to a file that does not exist
// yet still leads to where the file belongs. Stops at a descriptor's name:
// /dev/stdout leads on to "pipe:[N]" or to the file behind the descriptor,
// which must never be replaced.
std::error_code ResolveLinks(fs::path& path, int& descriptor) {
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    descriptor = DescriptorNamed(path);
    if (descriptor >= 0) return {};
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? std::error_code() : LastError();
    if (!S_ISLNK(st.st_mode)) return {};
    std::string target(PATH_MAX, '\0');
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
    if (size < 0) return LastError();
    target.resize(static_cast<std::size_t>(size));
    // Another process's descriptor (/proc/PID/fd/N) reads as "pipe:[N]" or
    // "socket:[N]", no path at all: opening the link itself reaches it.
    if (target.find(":[") != std::string::npos && target.front() != '/') return {};
    path = fs::path(target).is_absolute() ? fs::path(target) : path.parent_path() / target;
  }
  return SystemError(ELOOP);
}

// A temporary of this target's pattern is stale when no run holds its lock:
// its run was killed before it could remove it. A live run locks its
// temporary before it has a name, or checks that the name is still its own.
void RemoveIfStale(int directory, const char* name) {
  int fd = ::openat(directory, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    fd = ::openat(directory, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  }
  if (fd < 0) return;
  struct stat opened;
  struct stat named;
  if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
    ::unlinkat(directory, name, 0);
  }
  ::close(fd);
}

void RemoveStaleTemporaries(int directory, const std::string& target) {
  const int listing = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    ::close(listing);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    if (IsTemporaryNameFor(target, entry->d_name)) RemoveIfStale(directory, entry->d_name);
  }
  ::closedir(entries);
}

// A folder whose entries can be added but not removed (chattr +a) or not
// changed at all (+i) would keep the temporary: refuse before making one.
std::error_code RefuseUnchangeableFolder(int directory) {
#ifdef FS_IOC_GETFLAGS
  int flags = 0;
  if (::ioctl(directory, FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
    return SystemError(EPERM);
  }
#else
  (void)directory;
#endif
  return {};
}

}  // namespace

int DescriptorBehind(const fs::path& path) {
  fs::path resolved = path;
  int descriptor = -1;
  return ResolveLinks(resolved, descriptor) ? -1 : descriptor;
}

struct Input {
  int fd = -1;
};

void Release(Input* input) noexcept {
  if (input->fd >= 0) ::close(input->fd);
  delete input;
}

namespace {

std::error_code LearnInput(int fd, std::uint64_t position, InputFacts& facts) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return LastError();
  // Linux opens a directory for reading without complaint; it is still no text file.
  if (S_ISDIR(st.st_mode)) return SystemError(EISDIR);
  // A file handed over part-read is read on from where it stands.
  if (S_ISREG(st.st_mode) && position == 0) {
    facts = {.size = static_cast<std::uint64_t>(st.st_size), .regular = true};
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  return {};
}

}  // namespace

std::error_code OpenInput(const fs::path& path, bool, InputPtr& input, InputFacts& facts) {
  // Opening a pipe that has no writer yet would block, out of reach of a cancel.
  input.reset(new Input{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)});
  if (input->fd < 0) return LastError();
  ::fcntl(input->fd, F_SETFL, ::fcntl(input->fd, F_GETFL) & ~O_NONBLOCK);
  return LearnInput(input->fd, 0, facts);
}

std::error_code OpenInputDescriptor(int descriptor, bool, InputPtr& input, InputFacts& facts) {
  input.reset(new Input{CopyDescriptor(descriptor)});
  if (input->fd < 0) return LastError();
  const off_t position = ::lseek(input->fd, 0, SEEK_CUR);
  return LearnInput(input->fd, position > 0 ? static_cast<std::uint64_t>(position) : 0, facts);
}

std::error_code ReadSome(Input& input, char* buffer, std::size_t size, std::size_t& got) {
  for (;;) {
    const ssize_t result = ::read(input.fd, buffer, size);
    if (result >= 0) {
      got = static_cast<std::size_t>(result);
      return {};
    }
    // A descriptor handed over may be in non-blocking mode, which is not ours to change.
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd request = {input.fd, POLLIN, 0};
      ::poll(&request, 1, 50);
    } else if (errno != EINTR) {
      return LastError();
    }
  }
}

// Reading a pipe that never had a writer would report its end at once, so
// the first writer is waited for too.
std::error_code AwaitData(Input& input, bool& ready) {
  return AwaitEvent(input.fd, POLLIN, ready);
}

// Scanning the page cache in place beats copying it out with read(). A file
// that shrinks under us, or a disk that fails, raises SIGBUS on access; the
// fault guard turns that into a read error.
bool ConsumeMapped(Input& input, std::uint64_t size, std::size_t block_size,
                   const Consumer& consume, std::error_code& error) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t window = (block_size + page - 1) / page * page;
  FaultGuard guard;
  WindowMapper mapper(input.fd, size, window);
  for (;;) {
    const WindowMapper::Window next = mapper.Next();
    // Some file systems cannot map.
    if (next.error != 0 && next.offset == 0 && !next.mapped) return false;
    if (next.error != 0) error = SystemError(next.error);
    if (next.error != 0 || next.bytes.empty()) return true;
    if (!guard.Run([&] { consume(next.bytes); })) {
      error = SystemError(EIO);
      return true;
    }
  }
}

struct Output {
  WriteSignalsAsErrors signals;
  fs::path resolved;  // the file a symbolic link leads to
  struct stat existing = {};
  bool exists = false;
  int fd = -1;
  int lock = -1;  // holds the temporary's lock from its creation to its rename
  int directory = -1;
  std::string temporary;  // empty while the file has no name
  int live_slot = -1;     // where a signal handler finds the named temporary
};

void Release(Output* output) noexcept {
  if (output->fd >= 0) ::close(output->fd);
  if (!output->temporary.empty()) ::unlinkat(output->directory, output->temporary.c_str(), 0);
  ForgetTemporary(output->live_slot);
  if (output->lock >= 0) ::close(output->lock);
  if (output->directory >= 0) ::close(output->directory);
  delete output;
}

std::error_code InspectTarget(const fs::path& target, OutputPtr& output, TargetKind& kind) {
  output.reset(new Output);
  output->resolved = target;
  int descriptor = -1;
  if (const std::error_code error = ResolveLinks(output->resolved, descriptor)) return error;
  output->exists = ::stat(output->resolved.c_str(), &output->existing) == 0;
  if (!output->exists && errno != ENOENT) return LastError();
  const mode_t mode = output->existing.st_mode;
  kind = !output->exists ? TargetKind::kMissing
         : S_ISDIR(mode) ? TargetKind::kDirectory
         : S_ISREG(mode) ? TargetKind::kFile
                         : TargetKind::kDevice;
  return {};
}

std::error_code AdoptOutputDescriptor(int descriptor, OutputPtr& output) {
  output.reset(new Output);
  output->fd = CopyDescriptor(descriptor);
  return output->fd < 0 ? LastError() : std::error_code();
}

// Non-blocking, so that neither a pipe without a reader nor a full one holds
// up a cancel.
std::error_code OpenInPlace(Output& output, bool& ready) {
  ready = true;
  output.fd = ::open(output.resolved.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (output.fd >= 0) return {};
  // A fifo without a reader; from a device, ENXIO means it is not there.
  if (errno == ENXIO && S_ISFIFO(output.existing.st_mode)) ready = false;
  return ready ? LastError() : std::error_code();
}

namespace {

// Locks a fresh temporary for as long as the run keeps it; a named one must
// still be under its name, which a sweeping run may have taken between the
// creation and the lock.
std::error_code LockTemporary(Output& output, const char* name) {
  // Where the file system has no locks, no sweep can take one either: the
  // temporary is safe from it all the same.
  while (::flock(output.fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  output.lock = CopyDescriptor(output.fd);
  if (output.lock < 0) return LastError();
  if (name == nullptr) return {};
  struct stat opened;
  struct stat named;
  if (::fstat(output.fd, &opened) == 0 &&
      ::fstatat(output.directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

void Discard(Output& output) {
  if (output.fd >= 0) ::close(output.fd);
  if (output.lock >= 0) ::close(output.lock);
  output.fd = output.lock = -1;
}

// Without unnamed files the temporary has a name from the start.
std::error_code CreateNamedTemporary(Output& output) {
  return CreateUnderFreshName(output.resolved, [&](const fs::path& name) {
    output.fd =
        ::openat(output.directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (output.fd < 0) return LastError();
    output.temporary = name;
    output.live_slot = RememberTemporary(output.directory, output.temporary);
    const std::error_code error = LockTemporary(output, name.c_str());
    if (error == std::errc::file_exists) {
      ForgetTemporary(output.live_slot);
      output.temporary.clear();
      Discard(output);
    }
    return error;
  });
}

}  // namespace

std::error_code CreateTemporary(Output& output) {
  output.directory =
      ::open(DirectoryOf(output.resolved).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (output.directory < 0) return LastError();
  if (const std::error_code error = RefuseUnchangeableFolder(output.directory)) return error;
  const std::string target = output.resolved.filename();
  RemoveStaleTemporaries(output.directory, target);
  // An unnamed file vanishes by itself if the run is killed.
  output.fd = ::openat(output.directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (output.fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    if (const std::error_code error = CreateNamedTemporary(output)) return error;
  } else if (output.fd < 0) {
    return LastError();
  } else if (const std::error_code error = LockTemporary(output, nullptr)) {
    return error;
  }
  if (output.exists) ::fchmod(output.fd, output.existing.st_mode & 07777);
  return {};
}

// Write protection is the mode's: root passes every access check, yet a
// file that nobody may write is left alone for root too.
std::error_code CheckWritable(Output& output) {
  if (!output.exists) return {};
  if ((output.existing.st_mode & 0222) == 0) return SystemError(EACCES);
  if (::faccessat(AT_FDCWD, output.resolved.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) {
    return LastError();
  }
  return {};
}

std::error_code WriteSome(Output& output, const char* data, std::size_t size,
                          std::size_t& written) {
  written = 0;
  for (;;) {
    const ssize_t result = ::write(output.fd, data, size);
    if (result > 0) {
      written = static_cast<std::size_t>(result);
      return {};
    }
    if (result == 0) return SystemError(EIO);
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
    if (errno != EINTR) return LastError();
  }
}

// A reader gone (POLLERR) counts as ready: the next write reports it.
std::error_code AwaitRoom(Output& output, bool& ready) {
  return AwaitEvent(output.fd, POLLOUT, ready);
}

void Pause() {
  const timespec pause = {0, 20'000'000};
  ::nanosleep(&pause, nullptr);
}

// A failure here is one of the bytes written: the run fails rather than count
// on the final fsync to report it again. Only a call the system refuses is harmless.
std::error_code StartWriteBack(Output& output, std::uint64_t offset, std::uint64_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
  while (::sync_file_range(output.fd, static_cast<off_t>(offset), static_cast<off_t>(size),
                           SYNC_FILE_RANGE_WRITE) != 0) {
    if (errno == EINTR) continue;
    if (errno == ENOSYS || errno == EINVAL || errno == ESPIPE || errno == EOPNOTSUPP) {
      return std::make_error_code(std::errc::not_supported);
    }
    return LastError();
  }
  return {};
#else
  (void)output, (void)offset, (void)size;
  return std::make_error_code(std::errc::not_supported);
#endif
}

std::error_code Flush(Output& output) {
  return ::fsync(output.fd) != 0 ? LastError() : std::error_code();
}

// Linux cannot link an unnamed file over an existing one, so it gets a
// temporary name first and is renamed from there. Without /proc,
// AT_EMPTY_PATH needs privileges but is worth a try.
std::error_code Settle(Output& output) {
  if (!output.temporary.empty()) return {};
  const std::string self = "/proc/self/fd/" + std::to_string(output.fd);
  return CreateUnderFreshName(output.resolved, [&](const fs::path& name) {
    if (::linkat(AT_FDCWD, self.c_str(), output.directory, name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        (errno != ENOENT ||
         ::linkat(output.fd, "", output.directory, name.c_str(), AT_EMPTY_PATH) != 0)) {
      return LastError();
    }
    output.temporary = name;
    output.live_slot = RememberTemporary(output.directory, output.temporary);
    return std::error_code();
  });
}

// Don't retry close on EINTR: the descriptor is gone either way.
std::error_code Close(Output& output) {
  const int fd = output.fd;
  output.fd = -1;
  return ::close(fd) != 0 && errno != EINTR ? LastError() : std::error_code();
}

std::error_code PutInPlace(Output& output) {
  const int dir = output.directory;
  if (::renameat(dir, output.temporary.c_str(), dir, output.resolved.filename().c_str()) != 0) {
    return LastError();
  }
  output.temporary.clear();
  ForgetTemporary(output.live_slot);
  ::fsync(dir);  // Best effort: the content is already safe.
  return {};
}

}  // namespace os
}  // namespace linksift
