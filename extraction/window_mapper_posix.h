#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace linksift {

// Runs code that reads mapped memory and reports a bus error (a file that
// shrank, a disk that failed) as failure. The frames a fault unwinds must
// own nothing that needs destroying.
class FaultGuard {
 public:
  FaultGuard();
  ~FaultGuard();
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;

  // False when `touch` hit a bus error.
  bool Run(const std::function<void()>& touch);
};

// Maps a file window by window, read-only, one window ahead of its reader:
// on two cores, mapping the next window and reading it into memory (which
// costs about as much as scanning one) overlaps with scanning this one.
class WindowMapper {
 public:
  struct Window {
    std::string_view bytes;  // empty at the end of the file
    int error = 0;           // errno of a failed mapping or read
    bool mapped = false;     // the failure came once the file was mapped: a read error
    std::uint64_t offset = 0;
  };

  WindowMapper(int fd, std::uint64_t file_size, std::size_t window_size);
  // Stops mapping ahead and unmaps everything.
  ~WindowMapper();
  WindowMapper(const WindowMapper&) = delete;
  WindowMapper& operator=(const WindowMapper&) = delete;

  // The next window in file order; the one returned before is unmapped.
  Window Next();

 private:
  // Windows mapped ahead of the reader: two keep mapping going while it scans,
  // and with the one being scanned they bound the memory mapped.
  static constexpr std::size_t kAhead = 2;

  void MapAhead();
  Window MapAt(std::uint64_t offset) const;
  static void Unmap(const Window& window);

  const int fd_;
  const std::uint64_t file_size_;
  const std::size_t window_size_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Window> ready_;
  std::vector<Window> done_;  // handed back, to unmap
  Window current_;
  bool stopping_ = false;
  std::thread mapper_;
};

}  // namespace linksift
