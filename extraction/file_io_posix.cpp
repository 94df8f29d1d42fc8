#include <fcntl.h>
#include <poll.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <mutex>
#include <random>
#include <string>

#include "extraction_error.h"
#include "file_io.h"
#include "window_mapper_posix.h"

namespace linksift {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void Fail(Stage stage, const fs::path& path, int error) {
  throw ExtractionError(stage, path, std::error_code(error, std::system_category()));
}

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
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

fs::path DirectoryOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

std::string TemporaryName(const fs::path& target) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  constexpr char kDigits[] = "0123456789abcdef";
  std::string name = ".";
  name.append(target.filename().string()).append(".linksift-");
  for (std::uint64_t bits = random(), i = 0; i < 8; ++i, bits >>= 4) name += kDigits[bits & 15];
  return name.append(".tmp");
}

// Writes all of `size` bytes, going on after short writes and interruptions.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Links an unnamed file into the directory. Without /proc, AT_EMPTY_PATH
// needs privileges but is worth a try.
bool GiveName(int fd, const std::string& proc_path, int dir_fd, const std::string& name) {
  if (::linkat(AT_FDCWD, proc_path.c_str(), dir_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
    return true;
  if (errno != ENOENT) return false;
  return ::linkat(fd, "", dir_fd, name.c_str(), AT_EMPTY_PATH) == 0;
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

  bool Run(const InputFile::Consumer& consume, std::string_view block) {
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

std::string SystemReason(std::error_code code) {
  return code.message();
}

InputFile::InputFile(const fs::path& path, const std::atomic<bool>* cancel)
    : path_(path), cancel_(cancel) {
  // Opening a pipe that has no writer yet would block, out of reach of a cancel.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) Fail(Stage::kOpenInput, path, errno);
  handle_ = fd;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    Fail(Stage::kOpenInput, path, error);
  }
  // Linux opens a directory for reading without complaint; it is still no text file.
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    Fail(Stage::kOpenInput, path, EISDIR);
  }
  if (S_ISREG(st.st_mode)) {
    regular_ = true;
    size_ = static_cast<std::uint64_t>(st.st_size);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
}

InputFile::~InputFile() {
  ::close(Fd(handle_));
}

void InputFile::ForEachBlock(std::size_t block_size, const Consumer& consume) {
  if (regular_ && size_ > 0 && MapBlocks(block_size, consume)) return;
  ReadBlocks(block_size, consume);
}

void InputFile::ReadBlocks(std::size_t block_size, const Consumer& consume) {
  const std::unique_ptr<char[]> buffer(new char[block_size]);
  for (;;) {
    if (!regular_) WaitForData();
    const ssize_t got = ::read(Fd(handle_), buffer.get(), block_size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail(Stage::kRead, path_, errno);
    if (got == 0) return;
    consume(std::string_view(buffer.get(), static_cast<std::size_t>(got)));
  }
}

// A pipe may stay silent for as long as its writer likes; a cancel must not
// wait for it. Reading a pipe that never had a writer would report its end at
// once, so the first writer is waited for too.
void InputFile::WaitForData() {
  pollfd ready = {Fd(handle_), POLLIN, 0};
  for (;;) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) throw ExtractionCancelled();
    const int result = ::poll(&ready, 1, 50);
    if (result > 0) return;
    if (result < 0 && errno != EINTR) Fail(Stage::kRead, path_, errno);
  }
}

// Scanning the page cache in place beats copying it out with read(). A file
// that shrinks under us, or a disk that fails, raises SIGBUS on access; the
// fault guard turns that into a read error.
bool InputFile::MapBlocks(std::size_t block_size, const Consumer& consume) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t window = (block_size + page - 1) / page * page;
  FaultGuard guard;
  WindowMapper mapper(Fd(handle_), size_, window);
  for (;;) {
    const WindowMapper::Window next = mapper.Next();
    if (next.error != 0 && next.offset == 0) return false;  // Some file systems cannot map.
    if (next.error != 0) Fail(Stage::kRead, path_, next.error);
    if (next.bytes.empty()) return true;
    if (!guard.Run(consume, next.bytes)) Fail(Stage::kRead, path_, EIO);
  }
}

ReplacementFile::ReplacementFile(const fs::path& target)
    : target_(target), resolved_(ResolveLinks(target)) {
  struct stat st;
  const bool exists = ::stat(resolved_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) Fail(Stage::kCreateOutput, target_, EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    OpenInPlace();
    return;
  }
  const int dir_fd = ::open(DirectoryOf(resolved_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) Fail(Stage::kCreateOutput, target_, errno);
  directory_ = dir_fd;
  // A write-protected output stays as it is, as it would if written in place.
  if (exists && ::faccessat(dir_fd, resolved_.filename().c_str(), W_OK, AT_EACCESS) != 0) {
    Abandon(errno);
  }
  // An unnamed file vanishes by itself if the run is killed.
  int fd = ::openat(dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) fd = CreateNamed();
  if (fd < 0) Abandon(errno);
  handle_ = fd;
  if (exists) ::fchmod(fd, st.st_mode & 07777);
}

// A device or a pipe has no content to keep, and replacing it would be wrong.
void ReplacementFile::OpenInPlace() {
  const int fd = ::open(resolved_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail(Stage::kCreateOutput, target_, errno);
  handle_ = fd;
  in_place_ = true;
}

int ReplacementFile::CreateNamed() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(resolved_);
    const int fd =
        ::openat(Fd(directory_), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) temporary_ = name;
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void ReplacementFile::Abandon(int error) {
  Discard();
  Fail(Stage::kCreateOutput, target_, error);
}

ReplacementFile::~ReplacementFile() {
  if (!committed_) Discard();
}

void ReplacementFile::Discard() noexcept {
  if (handle_ >= 0) ::close(Fd(handle_));
  handle_ = -1;
  if (!temporary_.empty()) ::unlinkat(Fd(directory_), temporary_.c_str(), 0);
  temporary_.clear();
  if (directory_ >= 0) ::close(Fd(directory_));
  directory_ = -1;
}

void ReplacementFile::Write(const char* data, std::size_t size) {
  if (const int error = WriteAll(Fd(handle_), data, size)) Fail(Stage::kWrite, target_, error);
}

void ReplacementFile::Commit() {
  if (in_place_) return CloseInPlace();
  const int fd = Fd(handle_);
  const int dir_fd = Fd(directory_);
  if (::fsync(fd) != 0) Fail(Stage::kWrite, target_, errno);
  if (temporary_.empty()) NameUnnamed();
  handle_ = -1;
  // close() reports late write errors on some file systems; the descriptor is gone either way.
  if (::close(fd) != 0 && errno != EINTR) Fail(Stage::kWrite, target_, errno);
  if (::renameat(dir_fd, temporary_.c_str(), dir_fd, resolved_.filename().c_str()) != 0) {
    Fail(Stage::kReplace, target_, errno);
  }
  temporary_.clear();
  ::fsync(dir_fd);  // Best effort: the content is already safe.
  committed_ = true;
  ::close(dir_fd);
  directory_ = -1;
}

// Linux cannot link an unnamed file over an existing one, so it gets a
// temporary name first and is renamed from there.
void ReplacementFile::NameUnnamed() {
  const int fd = Fd(handle_);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
    const std::string name = TemporaryName(resolved_);
    if (GiveName(fd, self, Fd(directory_), name)) {
      temporary_ = name;
    } else if (errno != EEXIST) {
      Fail(Stage::kReplace, target_, errno);
    }
  }
  if (temporary_.empty()) Fail(Stage::kReplace, target_, EEXIST);
}

void ReplacementFile::CloseInPlace() {
  const int fd = Fd(handle_);
  handle_ = -1;
  committed_ = true;
  if (::close(fd) != 0 && errno != EINTR) Fail(Stage::kWrite, target_, errno);
}

}  // namespace linksift
