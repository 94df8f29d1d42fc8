#include "resolve_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/vfs.h>
#ifdef __linux__
#include <linux/magic.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <optional>
#include <string_view>
#include <vector>

namespace linksift::os {
namespace fs = std::filesystem;
namespace {

// As many symbolic links as the kernel follows in one name.
constexpr int kMaxLinks = 40;

// The descriptors the program was given at its start; empty until it says.
std::optional<std::vector<int>> g_given;

bool Given(int descriptor) {
  return !g_given || std::binary_search(g_given->begin(), g_given->end(), descriptor);
}

bool OnProc(int folder) {
  struct statfs info;
  return ::fstatfs(folder, &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
}

// This process's table of descriptors, under /proc/self/fd or any of its
// threads' /proc/self/task/T/fd, however the name reached it.
bool IsOwnDescriptorFolder(int folder) {
  struct stat st;
  struct stat own;
  if (::fstat(folder, &st) != 0) return false;
  if (::stat("/proc/self/fd", &own) == 0 && SameFile(st, own)) return true;
  const Handle tasks(::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const Listing entries = tasks.valid() ? ListFolder(tasks.get()) : nullptr;
  if (entries == nullptr) return false;
  while (const dirent* entry = ::readdir(entries.get())) {
    const std::string table = std::string(entry->d_name) + "/fd";
    if (entry->d_name[0] != '.' && ::fstatat(tasks.get(), table.c_str(), &own, 0) == 0 &&
        SameFile(st, own)) {
      return true;
    }
  }
  return false;
}

std::error_code ResolveOwnDescriptor(const std::string& leaf, Resolved& resolved) {
  int descriptor = -1;
  const char* const end = leaf.data() + leaf.size();
  const auto result = std::from_chars(leaf.data(), end, descriptor);
  if (result.ec != std::errc() || result.ptr != end) return SystemError(ENOENT);
  // One of the program's own files (the input, a connection) is not the user's to name.
  if (!Given(descriptor) || ::fcntl(descriptor, F_GETFD) < 0) return SystemError(EBADF);
  resolved.kind = TargetKind::kDescriptor;
  resolved.descriptor = descriptor;
  return {};
}

// A link in /proc (another process's descriptor, "pipe:[N]" or "/x (deleted)"
// by its text) means only what the kernel makes of it: open it through it.
std::error_code ResolveThroughKernel(int folder, const std::string& leaf, Resolved& resolved) {
  resolved.handle = Handle(::openat(folder, leaf.c_str(), O_PATH | O_CLOEXEC));
  if (!resolved.handle.valid() || ::fstat(resolved.handle.get(), &resolved.existing) != 0) {
    return LastError();
  }
  if (S_ISDIR(resolved.existing.st_mode)) return SystemError(EISDIR);
  resolved.kind = TargetKind::kDevice;
  // Another's descriptor has its own offset: add to the file, never overwrite it.
  resolved.append = S_ISREG(resolved.existing.st_mode);
  return {};
}

// As the kernel's protected_symlinks: in a sticky folder anyone may write to,
// a link is followed only when its owner is the follower or the folder's owner.
std::error_code RefuseForeignLink(int folder, const struct stat& link) {
  struct stat st;
  if (::fstat(folder, &st) != 0) return LastError();
  const bool shared = (st.st_mode & S_ISVTX) != 0 && (st.st_mode & S_IWOTH) != 0;
  if (shared && link.st_uid != ::geteuid() && link.st_uid != st.st_uid) return SystemError(EACCES);
  return {};
}

std::error_code ReadLink(int folder, const std::string& leaf, std::string& text) {
  char buffer[PATH_MAX];
  const ssize_t size = ::readlinkat(folder, leaf.c_str(), buffer, sizeof buffer);
  if (size < 0) return LastError();
  // A text that fills the buffer may have been cut short.
  if (static_cast<std::size_t>(size) == sizeof buffer) return SystemError(ENAMETOOLONG);
  text.assign(buffer, static_cast<std::size_t>(size));
  return {};
}

// The kernel's name for an open folder.
fs::path NameOf(int folder) {
  std::string text;
  if (ReadLink(AT_FDCWD, "/proc/self/fd/" + std::to_string(folder), text)) return {};
  return text;
}

// Where a link led: `parent` from the folder that held the link.
fs::path Reached(const Handle& base, const fs::path& parent) {
  if (parent.is_absolute() || !base.valid()) return parent;
  return NameOf(base.get()) / parent;
}

}  // namespace

std::error_code Resolve(const fs::path& path, Resolved& resolved) {
  fs::path name = path;
  Handle base;
  for (int hops = 0;; ++hops) {
    std::string leaf = name.filename().native();
    fs::path parent = name.has_parent_path() ? name.parent_path() : fs::path(".");
    if (leaf.empty() || leaf == "." || leaf == "..") {
      parent = name;
      leaf.assign(1, '.');  // not = ".": GCC 12 misreads that as an overlapping copy at -O2
    }
    Handle folder(::openat(base.valid() ? base.get() : AT_FDCWD, parent.c_str(),
                           O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
      const std::error_code error = LastError();
      resolved.kind = TargetKind::kUnreachableFolder;
      resolved.tried = hops == 0 ? path : Reached(base, parent) / leaf;
      return error;
    }
    const bool proc = OnProc(folder.get());
    if (proc && IsOwnDescriptorFolder(folder.get())) return ResolveOwnDescriptor(leaf, resolved);
    struct stat st;
    const bool exists = ::fstatat(folder.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) return LastError();
    if (exists && S_ISLNK(st.st_mode)) {
      if (proc) return ResolveThroughKernel(folder.get(), leaf, resolved);
      if (hops == kMaxLinks) return SystemError(ELOOP);
      if (const std::error_code error = RefuseForeignLink(folder.get(), st)) return error;
      std::string text;
      if (const std::error_code error = ReadLink(folder.get(), leaf, text)) return error;
      name = text;
      base = std::move(folder);
      continue;
    }
    resolved.leaf = leaf;
    resolved.kind = TargetKind::kMissing;
    if (exists) {
      resolved.existing = st;
      resolved.kind = S_ISDIR(st.st_mode)   ? TargetKind::kDirectory
                      : S_ISREG(st.st_mode) ? TargetKind::kFile
                                            : TargetKind::kDevice;
    }
    resolved.tried = hops == 0 ? path : NameOf(folder.get()) / leaf;
    resolved.folder = std::move(folder);
    return {};
  }
}

void RecordGivenDescriptors(int below) {
  std::vector<int> given;
  const Listing entries(::opendir("/proc/self/fd"));
  if (entries == nullptr) {
    // Without /proc, no name reaches a descriptor by it but /dev/fd's.
    for (int fd = 0; fd < below && fd < 1024; ++fd) {
      if (::fcntl(fd, F_GETFD) >= 0) given.push_back(fd);
    }
    g_given = std::move(given);
    return;
  }
  while (const dirent* entry = ::readdir(entries.get())) {
    int fd = -1;
    const std::string_view name(entry->d_name);
    const auto result = std::from_chars(name.data(), name.data() + name.size(), fd);
    if (result.ec == std::errc() && fd < below && fd != ::dirfd(entries.get())) given.push_back(fd);
  }
  std::sort(given.begin(), given.end());
  g_given = std::move(given);
}

std::error_code DescriptorBehind(const fs::path& path, int& descriptor) {
  descriptor = -1;
  Resolved resolved;
  const std::error_code error = Resolve(path, resolved);
  // Any other failure is the open's to report.
  if (error == std::errc::bad_file_descriptor) return error;
  if (!error && resolved.kind == TargetKind::kDescriptor) descriptor = resolved.descriptor;
  return {};
}

}  // namespace linksift::os
