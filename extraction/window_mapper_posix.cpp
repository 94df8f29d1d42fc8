#include "window_mapper_posix.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>

namespace linksift {

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
  if (offset >= file_size_) return {.bytes = {}, .error = 0, .offset = offset};
  const auto length =
      static_cast<std::size_t>(std::min<std::uint64_t>(window_size_, file_size_ - offset));
  void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_,
                      static_cast<off_t>(offset));
  if (view == MAP_FAILED) return {.bytes = {}, .error = errno, .offset = offset};
  return {.bytes = std::string_view(static_cast<const char*>(view), length),
          .error = 0,
          .offset = offset};
}

void WindowMapper::Unmap(const Window& window) {
  if (!window.bytes.empty()) ::munmap(const_cast<char*>(window.bytes.data()), window.bytes.size());
}

}  // namespace linksift
