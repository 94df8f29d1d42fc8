#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <random>
#include <string>

#include "extraction_error.h"
#include "file_io.h"

namespace linksift {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void Fail(Stage stage, const fs::path& path, int error) {
  throw ExtractionError(stage, path, std::error_code(error, std::system_category()));
}

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

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
  if (::linkat(AT_FDCWD, proc_path.c_str(), dir_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  return ::linkat(fd, "", dir_fd, name.c_str(), AT_EMPTY_PATH) == 0;
}

}  // namespace

InputFile::InputFile(const fs::path& path) : path_(path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(Stage::kOpenInput, path, errno);
  handle_ = fd;
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
    size_ = static_cast<std::uint64_t>(st.st_size);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
}

InputFile::~InputFile() { ::close(Fd(handle_)); }

std::size_t InputFile::Read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = ::read(Fd(handle_), buffer, capacity);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) Fail(Stage::kRead, path_, errno);
  }
}

ReplacementFile::ReplacementFile(const fs::path& target)
    : target_(target), resolved_(ResolveLinks(target)) {
  const fs::path directory = DirectoryOf(resolved_);
  const int dir_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) Fail(Stage::kCreateOutput, target_, errno);
  directory_ = dir_fd;
  // A write-protected output stays as it is, as it would if written in place.
  struct stat st;
  const bool exists = ::stat(resolved_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    ::close(dir_fd);
    Fail(Stage::kCreateOutput, target_, EISDIR);
  }
  if (exists && ::faccessat(dir_fd, resolved_.filename().c_str(), W_OK, AT_EACCESS) != 0) {
    const int error = errno;
    ::close(dir_fd);
    Fail(Stage::kCreateOutput, target_, error);
  }
  // An unnamed file vanishes by itself if the run is killed.
  int fd = ::openat(dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = TemporaryName(resolved_);
      fd = ::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) temporary_ = name;
      if (fd >= 0 || errno != EEXIST) break;
    }
  }
  if (fd < 0) {
    const int error = errno;
    ::close(dir_fd);
    Fail(Stage::kCreateOutput, target_, error);
  }
  handle_ = fd;
  if (exists) ::fchmod(fd, st.st_mode & 07777);
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
  const int fd = Fd(handle_);
  const int dir_fd = Fd(directory_);
  if (::fsync(fd) != 0) Fail(Stage::kWrite, target_, errno);
  if (temporary_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
      const std::string name = TemporaryName(resolved_);
      if (GiveName(fd, self, dir_fd, name)) {
        temporary_ = name;
      } else if (errno != EEXIST) {
        Fail(Stage::kReplace, target_, errno);
      }
    }
  }
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

}  // namespace linksift
