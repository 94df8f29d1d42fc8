// The file layer's system calls on Linux and other POSIX systems.
#include <fcntl.h>
#include <poll.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <string>

#include "extraction_error.h"
#include "file_io_os.h"
#include "window_mapper_posix.h"

namespace linksift {
namespace fs = std::filesystem;

// strerror's text, which is UTF-8 in a UTF-8 locale.
std::string SystemReason(std::error_code code) {
  return code.message();
}

namespace os {
namespace {

std::error_code LastError() {
  return SystemError(errno);
}

// Follows symbolic links by hand so that a link to a file that does not exist
// yet still leads to where the file belongs.
fs::path ResolveLinks(fs::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
    if (size < 0) return path;
    target.resize(static_cast<std::size_t>(size));
    path = fs::path(target).is_absolute() ? fs::path(target) : path.parent_path() / target;
  }
  return path;
}

thread_local sigjmp_buf* t_fault_exit = nullptr;
struct sigaction g_previous_bus_action;

void OnBusError(int signal, siginfo_t* info, void* context) {
  if (t_fault_exit != nullptr) siglongjmp(*t_fault_exit, 1);
  // Not a fault in a mapped input: hand it to whoever handled it before.
  if ((g_previous_bus_action.sa_flags & SA_SIGINFO) != 0) {
    g_previous_bus_action.sa_sigaction(signal, info, context);
  } else if (g_previous_bus_action.sa_handler != SIG_IGN &&
             g_previous_bus_action.sa_handler != SIG_DFL) {
    g_previous_bus_action.sa_handler(signal);
  } else {
    ::signal(SIGBUS, SIG_DFL);  // Returning re-runs the access, which then ends the process.
  }
}

// Runs a consumer over mapped memory and reports a bus error as failure. The
// frames a fault unwinds (the scanner and the output buffer) own nothing
// that needs destroying.
class FaultGuard {
 public:
  FaultGuard() {
    static std::once_flag installed;
    std::call_once(installed, [] {
      struct sigaction action = {};
      action.sa_sigaction = OnBusError;
      action.sa_flags = SA_SIGINFO;
      sigemptyset(&action.sa_mask);
      ::sigaction(SIGBUS, &action, &g_previous_bus_action);
    });
  }
  ~FaultGuard() { t_fault_exit = nullptr; }
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;

  bool Run(const Consumer& consume, std::string_view block) {
    sigjmp_buf exit;
    if (sigsetjmp(exit, 1) != 0) {
      t_fault_exit = nullptr;
      return false;
    }
    t_fault_exit = &exit;
    consume(block);
    t_fault_exit = nullptr;
    return true;
  }
};

}  // namespace

struct Input {
  int fd = -1;
};

void Release(Input* input) noexcept {
  if (input->fd >= 0) ::close(input->fd);
  delete input;
}

std::error_code OpenInput(const fs::path& path, bool, InputPtr& input, InputFacts& facts) {
  // Opening a pipe that has no writer yet would block, out of reach of a cancel.
  input.reset(new Input{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)});
  if (input->fd < 0) return LastError();
  ::fcntl(input->fd, F_SETFL, ::fcntl(input->fd, F_GETFL) & ~O_NONBLOCK);
  struct stat st;
  if (::fstat(input->fd, &st) != 0) return LastError();
  // Linux opens a directory for reading without complaint; it is still no text file.
  if (S_ISDIR(st.st_mode)) return SystemError(EISDIR);
  if (S_ISREG(st.st_mode)) {
    facts = {.size = static_cast<std::uint64_t>(st.st_size), .regular = true};
    ::posix_fadvise(input->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  return {};
}

std::error_code ReadSome(Input& input, char* buffer, std::size_t size, std::size_t& got) {
  for (;;) {
    const ssize_t result = ::read(input.fd, buffer, size);
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
  pollfd request = {input.fd, POLLIN, 0};
  const int result = ::poll(&request, 1, 50);
  ready = result > 0;
  return result < 0 && errno != EINTR ? LastError() : std::error_code();
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
    if (next.error != 0 && next.offset == 0) return false;  // Some file systems cannot map.
    if (next.error != 0) error = SystemError(next.error);
    if (next.error != 0 || next.bytes.empty()) return true;
    if (!guard.Run(consume, next.bytes)) {
      error = SystemError(EIO);
      return true;
    }
  }
}

struct Output {
  fs::path resolved;  // the file a symbolic link leads to
  struct stat existing = {};
  bool exists = false;
  int fd = -1;
  int directory = -1;
  std::string temporary;  // empty while the file has no name
};

void Release(Output* output) noexcept {
  if (output->fd >= 0) ::close(output->fd);
  if (!output->temporary.empty()) ::unlinkat(output->directory, output->temporary.c_str(), 0);
  if (output->directory >= 0) ::close(output->directory);
  delete output;
}

OutputPtr InspectTarget(const fs::path& target, TargetKind& kind) {
  OutputPtr output(new Output);
  output->resolved = ResolveLinks(target);
  output->exists = ::stat(output->resolved.c_str(), &output->existing) == 0;
  const mode_t mode = output->existing.st_mode;
  kind = !output->exists ? TargetKind::kMissing
         : S_ISDIR(mode) ? TargetKind::kDirectory
         : S_ISREG(mode) ? TargetKind::kFile
                         : TargetKind::kDevice;
  return output;
}

std::error_code OpenInPlace(Output& output) {
  output.fd = ::open(output.resolved.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  return output.fd < 0 ? LastError() : std::error_code();
}

std::error_code CreateTemporary(Output& output) {
  output.directory =
      ::open(DirectoryOf(output.resolved).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (output.directory < 0) return LastError();
  const std::string target = output.resolved.filename();
  // A write-protected output stays as it is, as it would if written in place.
  if (output.exists && ::faccessat(output.directory, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return LastError();
  }
  // An unnamed file vanishes by itself if the run is killed.
  output.fd = ::openat(output.directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (output.fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    const std::error_code error = CreateUnderFreshName(output.resolved, [&](const fs::path& name) {
      output.fd =
          ::openat(output.directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (output.fd < 0) return LastError();
      output.temporary = name;
      return std::error_code();
    });
    if (error) return error;
  }
  if (output.fd < 0) return LastError();
  if (output.exists) ::fchmod(output.fd, output.existing.st_mode & 07777);
  return {};
}

std::error_code WriteSome(Output& output, const char* data, std::size_t size,
                          std::size_t& written) {
  for (;;) {
    const ssize_t result = ::write(output.fd, data, size);
    if (result > 0) {
      written = static_cast<std::size_t>(result);
      return {};
    }
    if (result == 0) return SystemError(EIO);
    if (errno != EINTR) return LastError();
  }
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
  ::fsync(dir);  // Best effort: the content is already safe.
  return {};
}

}  // namespace os
}  // namespace linksift
