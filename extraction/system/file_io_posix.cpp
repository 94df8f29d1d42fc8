// The file layer's system calls on Linux and other POSIX systems.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <algorithm>
#include <cerrno>
#include <string>
#include <variant>

#include "file_io_os.h"
#include "handle_posix.h"
#include "resolve_posix.h"
#include "signals_posix.h"
#include "temporary_posix.h"

namespace linksift {
namespace fs = std::filesystem;

namespace os {
namespace {

// Waits up to 50 ms for `event` on `fd`: short enough for a cancel to be seen.
std::error_code AwaitEvent(int fd, short event, bool& ready) {
  pollfd request = {fd, event, 0};
  const int result = ::poll(&request, 1, 50);
  ready = result > 0;
  return result < 0 && errno != EINTR ? LastError() : std::error_code();
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

FileId IdOf(const InputFacts& input) {
  return {static_cast<dev_t>(input.device), static_cast<ino_t>(input.inode)};
}

}  // namespace

struct Input {
  Handle fd;
};

void Release(Input* input) noexcept {
  delete input;
}

namespace {

std::error_code LearnInput(int fd, std::uint64_t position, InputFacts& facts) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return LastError();
  // Linux opens a directory for reading without complaint; it is still no text file.
  if (S_ISDIR(st.st_mode)) return SystemError(EISDIR);
  facts.device = st.st_dev;
  facts.inode = st.st_ino;
  // A file handed over part-read is read on from where it stands.
  if (S_ISREG(st.st_mode) && position == 0) {
    facts.size = static_cast<std::uint64_t>(st.st_size);
    facts.regular = true;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  return {};
}

}  // namespace

std::error_code OpenInput(const fs::path& path, bool, InputPtr& input, InputFacts& facts) {
  // Opening a pipe that has no writer yet would block, out of reach of a cancel.
  input.reset(new Input{Handle(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))});
  const int fd = input->fd.get();
  if (fd < 0) return LastError();
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return LastError();
  return LearnInput(fd, 0, facts);
}

std::error_code OpenInputDescriptor(int descriptor, bool, InputPtr& input, InputFacts& facts) {
  input.reset(new Input{CopyDescriptor(descriptor)});
  const int fd = input->fd.get();
  if (fd < 0) return LastError();
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  return LearnInput(fd, position > 0 ? static_cast<std::uint64_t>(position) : 0, facts);
}

std::error_code ReadSome(Input& input, char* buffer, std::size_t size, std::size_t& got) {
  for (;;) {
    const ssize_t result = ::read(input.fd.get(), buffer, size);
    if (result >= 0) {
      got = static_cast<std::size_t>(result);
      return {};
    }
    // A descriptor handed over may be in non-blocking mode, which is not ours to change.
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd request = {input.fd.get(), POLLIN, 0};
      ::poll(&request, 1, 50);
    } else if (errno != EINTR) {
      return LastError();
    }
  }
}

std::error_code ReadSomeAt(Input& input, char* buffer, std::size_t size, std::uint64_t offset,
                           std::size_t& got) {
  for (;;) {
    const ssize_t result = ::pread(input.fd.get(), buffer, size, static_cast<off_t>(offset));
    if (result >= 0) {
      got = static_cast<std::size_t>(result);
      return {};
    }
    if (errno != EINTR) return LastError();
  }
}

// Reading a pipe that never had a writer would report its end at once, so
// the first writer is waited for too.
std::error_code AwaitData(Input& input, bool& ready) {
  return AwaitEvent(input.fd.get(), POLLIN, ready);
}

std::error_code InputSize(Input& input, std::uint64_t& size) {
  struct stat st;
  if (::fstat(input.fd.get(), &st) != 0) return LastError();
  size = static_cast<std::uint64_t>(st.st_size);
  return {};
}

namespace {

// One of this process's descriptors, a device or a pipe, written directly.
// A device's is opened by OpenInPlace.
struct InPlace {
  Handle fd;
};

// A file, or nothing yet: replaced through a temporary beside it.
struct ThroughTemporary {
  TemporaryFile temporary;
};

}  // namespace

struct Output {
  Resolved target;
  std::variant<InPlace, ThroughTemporary> writing;
};

bool WrittenInPlace(const Output& output) {
  return std::holds_alternative<InPlace>(output.writing);
}

fs::path FileTried(const Output& output) {
  return output.target.tried;
}

namespace {

// What the links are written to.
int WrittenTo(const Output& output) {
  if (const auto* in_place = std::get_if<InPlace>(&output.writing)) return in_place->fd.get();
  return std::get<ThroughTemporary>(output.writing).temporary.fd();
}

TemporaryFile& Temporary(Output& output) {
  return std::get<ThroughTemporary>(output.writing).temporary;
}

std::error_code AdoptCopy(int descriptor, Output& output) {
  Handle& fd = output.writing.emplace<InPlace>().fd;
  fd = CopyDescriptor(descriptor);
  return fd.valid() ? std::error_code() : LastError();
}

}  // namespace

void Release(Output* output) noexcept {
  delete output;
}

std::error_code ResolveOutput(const fs::path& target, OutputPtr& output, TargetKind& kind) {
  output.reset(new Output);
  Resolved& resolved = output->target;
  const std::error_code error = Resolve(target, resolved);
  kind = resolved.kind;
  if (error) return error;
  if (kind == TargetKind::kMissing || kind == TargetKind::kFile) {
    output->writing.emplace<ThroughTemporary>();
  }
  if (kind == TargetKind::kDescriptor) return AdoptCopy(resolved.descriptor, *output);
  // A device or pipe in a folder: pinned as it was found.
  if (kind == TargetKind::kDevice && !resolved.handle.valid()) {
    const char* leaf = resolved.leaf.c_str();
    resolved.handle =
        Handle(::openat(resolved.folder.get(), leaf, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!resolved.handle.valid() || ::fstat(resolved.handle.get(), &st) != 0) return LastError();
    if (!SameFile(st, resolved.existing)) return SystemError(EAGAIN);
  }
  return {};
}

std::error_code AdoptOutputDescriptor(int descriptor, OutputPtr& output) {
  output.reset(new Output);
  return AdoptCopy(descriptor, *output);
}

// Non-blocking, so that neither a pipe without a reader nor a full one holds
// up a cancel. Opened through the handle the name was resolved to.
std::error_code OpenInPlace(Output& output, bool& ready) {
  ready = true;
  const std::string self = "/proc/self/fd/" + std::to_string(output.target.handle.get());
  const int append = output.target.append ? O_APPEND : 0;
  Handle& fd = std::get<InPlace>(output.writing).fd;
  fd.Reset(::open(self.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | append));
  if (fd.valid()) return {};
  // A fifo without a reader; from a device, ENXIO means it is not there.
  if (errno == ENXIO && S_ISFIFO(output.target.existing.st_mode)) ready = false;
  return ready ? LastError() : std::error_code();
}

std::error_code CreateTemporary(Output& output, const InputFacts& input) {
  const Resolved& target = output.target;
  // Listing the folder and reading its flags need it readable; writing to it does not (0733).
  const Handle readable(::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.valid()) {
    if (const std::error_code error = RefuseUnchangeableFolder(readable.get())) return error;
    TemporaryFile::SweepStale(target.folder.get(), target.leaf, IdOf(input));
  }
  TemporaryFile& temporary = Temporary(output);
  if (const std::error_code error = temporary.Create(target.folder.get(), target.leaf)) {
    return error;
  }
  if (target.kind == TargetKind::kFile) {
    // Only root may give a file away; anyone may keep a group of their own.
    if (::fchown(temporary.fd(), target.existing.st_uid, target.existing.st_gid) != 0) {
      (void)::fchown(temporary.fd(), static_cast<uid_t>(-1), target.existing.st_gid);
    }
    ::fchmod(temporary.fd(), target.existing.st_mode & 07777);
  }
  return {};
}

// Write protection is the mode's: root passes every access check, yet a
// file that nobody may write is left alone for root too.
std::error_code CheckWritable(Output& output) {
  const Resolved& target = output.target;
  if (target.kind != TargetKind::kFile) return {};
  if ((target.existing.st_mode & 0222) == 0) return SystemError(EACCES);
  if (::faccessat(target.folder.get(), target.leaf.c_str(), W_OK, AT_EACCESS) != 0 &&
      errno == EACCES) {
    return LastError();
  }
  return {};
}

std::error_code WriteSome(Output& output, const char* data, std::size_t size,
                          std::size_t& written) {
  written = 0;
  for (;;) {
    const ssize_t result = ::write(WrittenTo(output), data, size);
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
  return AwaitEvent(WrittenTo(output), POLLOUT, ready);
}

unsigned UsableCores() {
#ifdef CPU_COUNT
  cpu_set_t cores;
  if (::sched_getaffinity(0, sizeof cores, &cores) == 0) {
    return static_cast<unsigned>(std::max(CPU_COUNT(&cores), 1));
  }
#endif
  // More cores than the set holds, or no affinity to ask.
  return static_cast<unsigned>(std::max(::sysconf(_SC_NPROCESSORS_ONLN), 1L));
}

void Pause() {
  const timespec pause = {0, 20'000'000};
  ::nanosleep(&pause, nullptr);
}

// A failure here is one of the bytes written: the run fails rather than count
// on the final fsync to report it again. Only a call the system refuses is harmless.
std::error_code StartWriteBack(Output& output, std::uint64_t offset, std::uint64_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
  while (::sync_file_range(WrittenTo(output), static_cast<off_t>(offset), static_cast<off_t>(size),
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

void ForgetReplaced(const Output& output, const InputFacts& input, const std::atomic<bool>& stop) {
  const Resolved& target = output.target;
  if (target.kind != TargetKind::kFile) return;
  // Not blocking: a lease or a fifo put there since holds nothing up.
  const Handle file(::openat(target.folder.get(), target.leaf.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  const FileId found = FileId::Of(st);
  if (found != FileId::Of(target.existing) || found == IdOf(input)) return;
  constexpr off_t kStretch = off_t{64} << 20;
  for (off_t offset = 0; offset < st.st_size && !stop.load(std::memory_order_relaxed);
       offset += kStretch) {
    ::posix_fadvise(file.get(), offset, kStretch, POSIX_FADV_DONTNEED);
  }
}

std::error_code Flush(Output& output) {
  return ::fsync(WrittenTo(output)) != 0 ? LastError() : std::error_code();
}

std::error_code Settle(Output& output) {
  return Temporary(output).Settle();
}

std::error_code Close(Output& output) {
  if (auto* in_place = std::get_if<InPlace>(&output.writing)) return in_place->fd.Close();
  return Temporary(output).Close();
}

std::error_code PutInPlace(Output& output) {
  const Resolved& target = output.target;
  if (const std::error_code error = Temporary(output).CommitAs(target.leaf)) return error;
  // Best effort: the content is already safe.
  const Handle folder(::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());
  return {};
}

}  // namespace os
}  // namespace linksift
