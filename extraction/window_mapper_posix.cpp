#include "window_mapper_posix.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

// Linux 5.14 reads a range in and reports what fails; older headers lack the name.
#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22
#endif

namespace linksift {
namespace {

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

// Reads every page of a fresh mapping into memory, so that a disk that fails
// is reported here rather than retried without end. Without the kernel's
// help, one byte of every page is touched under the fault guard.
int Prefetch(const char* data, std::size_t length) {
  if (::madvise(const_cast<char*>(data), length, MADV_POPULATE_READ) == 0) return 0;
  // EFAULT: a page could not be read in, which an access would see as a bus error.
  if (errno == EFAULT || errno == EHWPOISON) return EIO;
  if (errno != EINVAL) return errno;
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  FaultGuard guard;
  const bool read = guard.Run([&] {
    for (std::size_t at = 0; at < length; at += page) {
      (void)*static_cast<const volatile char*>(data + at);
    }
  });
  return read ? 0 : EIO;
}

}  // namespace

FaultGuard::FaultGuard() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous_bus_action);
  });
}

FaultGuard::~FaultGuard() {
  t_fault_exit = nullptr;
}

bool FaultGuard::Run(const std::function<void()>& touch) {
  sigjmp_buf exit;
  if (sigsetjmp(exit, 1) != 0) {
    t_fault_exit = nullptr;
    return false;
  }
  t_fault_exit = &exit;
  touch();
  t_fault_exit = nullptr;
  return true;
}

WindowMapper::WindowMapper(int fd, std::uint64_t file_size, std::size_t window_size)
    : fd_(fd), file_size_(file_size), window_size_(window_size), mapper_([this] { MapAhead(); }) {}

WindowMapper::~WindowMapper() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  mapper_.join();
  for (const Window& window : ready_) Unmap(window);
  for (const Window& window : done_) Unmap(window);
  Unmap(current_);
}

WindowMapper::Window WindowMapper::Next() {
  std::unique_lock lock(mutex_);
  done_.push_back(current_);
  current_ = {};
  changed_.notify_all();
  changed_.wait(lock, [this] { return !ready_.empty(); });
  current_ = ready_.front();
  ready_.pop_front();
  changed_.notify_all();
  return current_;
}

// Runs on the mapper's thread until the file's end, a failure or the destructor.
void WindowMapper::MapAhead() {
  for (std::uint64_t offset = 0;; offset += window_size_) {
    std::vector<Window> to_unmap;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || ready_.size() < kAhead; });
      if (stopping_) return;
      to_unmap.swap(done_);
    }
    for (const Window& window : to_unmap) Unmap(window);
    const Window window = MapAt(offset);
    {
      const std::lock_guard lock(mutex_);
      ready_.push_back(window);
    }
    changed_.notify_all();
    if (window.bytes.empty()) return;  // the end, or a failure
  }
}

WindowMapper::Window WindowMapper::MapAt(std::uint64_t offset) const {
  if (offset >= file_size_) return {.bytes = {}, .error = 0, .mapped = false, .offset = offset};
  const auto length =
      static_cast<std::size_t>(std::min<std::uint64_t>(window_size_, file_size_ - offset));
  void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, static_cast<off_t>(offset));
  if (view == MAP_FAILED) return {.bytes = {}, .error = errno, .mapped = false, .offset = offset};
  const char* data = static_cast<const char*>(view);
  if (const int error = Prefetch(data, length); error != 0) {
    ::munmap(view, length);
    return {.bytes = {}, .error = error, .mapped = true, .offset = offset};
  }
  return {.bytes = std::string_view(data, length), .error = 0, .mapped = true, .offset = offset};
}

void WindowMapper::Unmap(const Window& window) {
  if (!window.bytes.empty()) ::munmap(const_cast<char*>(window.bytes.data()), window.bytes.size());
}

}  // namespace linksift
