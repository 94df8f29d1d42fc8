// Preloaded into linksift-extract by the tests to fail the system calls they
// name by what the call works on (a path, a descriptor written to), never by
// how many calls came before: a loader, a sanitizer or a libc of another build
// makes calls of its own, and those are never failed.
//
// LINKSIFT_FAULTS holds rules separated by ';', each "CALL WHERE ERROR [WHICH]":
//   CALL   read, pread, write, fsync, sync_file_range, close-after-write (the
//          close of a descriptor written to), rename (rename, renameat,
//          renameat2, by the new name) or thread (pthread_create);
//   WHERE  a prefix of the path the call works on, or * for any;
//   ERROR  the errno name to fail with;
//   WHICH  the matching calls to fail, counted from 1 per rule: N, N..M, and
//          +S for every S-th from there (N+S, N..M+S); every one when left out.
// Each failed call is noted as a line in the file LINKSIFT_FAULTS_LOG names.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Rule {
  std::string call;
  std::string where;
  std::string error_name;
  int error = 0;
  unsigned long first = 1;
  unsigned long last = ULONG_MAX;
  unsigned long step = 0;  // 0: only first..last
  std::atomic<unsigned long> seen{0};

  bool Fails(unsigned long n) const {
    return n >= first && n <= last && (step == 0 || (n - first) % step == 0);
  }
};

constexpr std::pair<const char*, int> kErrors[] = {
    {"EIO", EIO},       {"ENOSPC", ENOSPC}, {"EINTR", EINTR}, {"EXDEV", EXDEV},
    {"EAGAIN", EAGAIN}, {"ENOSYS", ENOSYS}, {"EPERM", EPERM}, {"EROFS", EROFS},
};

template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

using Write = ssize_t (*)(int, const void*, size_t);

// Straight to the system: this library's own write would look up the rules.
void WriteDirectly(int fd, const std::string& text) {
  static const auto real = Real<Write>("write");
  (void)!real(fd, text.data(), text.size());
}

[[noreturn]] void Refuse(const std::string& rule) {
  WriteDirectly(2, "faults: cannot read the rule '" + rule + "'\n");
  std::_Exit(125);
}

// N, N..M, with +S after either.
void ParseWhich(const std::string& which, Rule& rule, const std::string& text) {
  std::string range = which;
  if (const std::size_t plus = which.find('+'); plus != std::string::npos) {
    rule.step = std::stoul(which.substr(plus + 1));
    range = which.substr(0, plus);
    if (rule.step == 0) Refuse(text);
  }
  const std::size_t dots = range.find("..");
  rule.first = std::stoul(range.substr(0, dots));
  if (dots != std::string::npos) {
    rule.last = std::stoul(range.substr(dots + 2));
  } else if (rule.step == 0) {
    rule.last = rule.first;
  }
  if (rule.first == 0 || rule.last < rule.first) Refuse(text);
}

Rule* ParseRule(const std::string& text) {
  std::istringstream fields(text);
  auto* rule = new Rule;
  std::string which;
  if (!(fields >> rule->call >> rule->where >> rule->error_name)) Refuse(text);
  if (rule->where == "*") rule->where.clear();
  for (const auto& [name, value] : kErrors) {
    if (rule->error_name == name) rule->error = value;
  }
  if (rule->error == 0) Refuse(text);
  if (fields >> which) {
    try {
      ParseWhich(which, *rule, text);
    } catch (const std::exception&) {
      Refuse(text);
    }
  }
  return rule;
}

struct Faults {
  std::vector<Rule*> rules;  // never freed: calls may come while the process ends
  int log = -1;
};

const Faults& TheFaults() {
  static const Faults* faults = [] {
    auto* loaded = new Faults;
    if (const char* rules = std::getenv("LINKSIFT_FAULTS")) {
      std::istringstream list(rules);
      for (std::string text; std::getline(list, text, ';');) {
        if (text.find_first_not_of(" \t") != std::string::npos) {
          loaded->rules.push_back(ParseRule(text));
        }
      }
    }
    if (const char* log = std::getenv("LINKSIFT_FAULTS_LOG")) {
      loaded->log = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    return loaded;
  }();
  return *faults;
}

// Empty when the system cannot say.
std::string PathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[PATH_MAX];
  const ssize_t size = ::readlink(link, path, sizeof path);
  return size > 0 ? std::string(path, static_cast<std::size_t>(size)) : std::string();
}

std::string PathAt(int folder, const char* name) {
  if (name[0] == '/') return name;
  if (folder == AT_FDCWD) {
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + name : name;
  }
  return PathOf(folder) + "/" + name;
}

// The errno to fail this call with, or 0 to make it. Every matching rule
// counts the call; the first that fails it is noted.
int FaultFor(const char* call, const std::string& path) {
  int error = 0;
  for (Rule* rule : TheFaults().rules) {
    if (rule->call != call || path.compare(0, rule->where.size(), rule->where) != 0) continue;
    const unsigned long n = ++rule->seen;
    if (error != 0 || !rule->Fails(n)) continue;
    error = rule->error;
    const std::string note =
        rule->call + " " + path + " " + rule->error_name + " " + std::to_string(n) + "\n";
    if (TheFaults().log >= 0) WriteDirectly(TheFaults().log, note);
  }
  return error;
}

int FaultOnDescriptor(const char* call, int fd) {
  return TheFaults().rules.empty() ? 0 : FaultFor(call, PathOf(fd));
}

// Descriptors written to since they were opened, for close-after-write.
constexpr int kTracked = 4096;
std::atomic<bool> g_written[kTracked];

void NoteWritten(int fd) {
  if (fd >= 0 && fd < kTracked) g_written[fd].store(true);
}

bool TakeWritten(int fd) {
  return fd >= 0 && fd < kTracked && g_written[fd].exchange(false);
}

}  // namespace

extern "C" {

ssize_t read(int fd, void* buffer, size_t size) {
  if (const int error = FaultOnDescriptor("read", fd)) return errno = error, -1;
  static const auto real = Real<ssize_t (*)(int, void*, size_t)>("read");
  return real(fd, buffer, size);
}

ssize_t pread64(int fd, void* buffer, size_t size, off64_t offset) {
  if (const int error = FaultOnDescriptor("pread", fd)) return errno = error, -1;
  static const auto real = Real<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
  return real(fd, buffer, size, offset);
}

// The same call where off_t has 64 bits, as on every system these tests run on.
ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
  static_assert(sizeof(off_t) == sizeof(off64_t));
  return pread64(fd, buffer, size, offset);
}

ssize_t write(int fd, const void* data, size_t size) {
  NoteWritten(fd);
  if (const int error = FaultOnDescriptor("write", fd)) return errno = error, -1;
  static const auto real = Real<Write>("write");
  return real(fd, data, size);
}

int fsync(int fd) {
  if (const int error = FaultOnDescriptor("fsync", fd)) return errno = error, -1;
  static const auto real = Real<int (*)(int)>("fsync");
  return real(fd);
}

int sync_file_range(int fd, off64_t offset, off64_t size, unsigned int flags) {
  if (const int error = FaultOnDescriptor("sync_file_range", fd)) return errno = error, -1;
  static const auto real = Real<int (*)(int, off64_t, off64_t, unsigned int)>("sync_file_range");
  return real(fd, offset, size, flags);
}

// As on Linux, a close that fails has still released the descriptor.
int close(int fd) {
  const int error = TakeWritten(fd) ? FaultOnDescriptor("close-after-write", fd) : 0;
  static const auto real = Real<int (*)(int)>("close");
  const int result = real(fd);
  if (error != 0) return errno = error, -1;
  return result;
}

int rename(const char* from, const char* to) {
  if (const int error = FaultFor("rename", PathAt(AT_FDCWD, to))) return errno = error, -1;
  static const auto real = Real<int (*)(const char*, const char*)>("rename");
  return real(from, to);
}

int renameat(int from_folder, const char* from, int to_folder, const char* to) {
  if (const int error = FaultFor("rename", PathAt(to_folder, to))) return errno = error, -1;
  static const auto real = Real<int (*)(int, const char*, int, const char*)>("renameat");
  return real(from_folder, from, to_folder, to);
}

int renameat2(int from_folder, const char* from, int to_folder, const char* to,
              unsigned int flags) {
  if (const int error = FaultFor("rename", PathAt(to_folder, to))) return errno = error, -1;
  static const auto real =
      Real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
  return real(from_folder, from, to_folder, to, flags);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument) {
  if (const int error = FaultFor("thread", "")) return error;
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = Real<Create>("pthread_create");
  return real(thread, attributes, start, argument);
}

}  // extern "C"
