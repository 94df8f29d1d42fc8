#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace linksift {

// Starts an output's written bytes on their way to the disk from a thread of
// its own, so that the thread that writes never waits while the system sets
// the disk going, and the final flush waits for the tail only. Stretches of
// at least `interval` bytes are started, ending on whole multiples of `unit`
// so that a page still being filled is not written twice. Where no thread
// can be started, Written() starts them on the caller's thread.
class WriteBehind {
 public:
  // Starts [offset, offset + size) and returns without waiting for the disk;
  // errc::not_supported where the system cannot, which ends the starts and
  // is no failure.
  using Start = std::function<std::error_code(std::uint64_t offset, std::uint64_t size)>;
  // Done once, first, on the thread: work that only saves time later, which
  // stops early once `finishing` is set.
  using Prepare = std::function<void(const std::atomic<bool>& finishing)>;

  WriteBehind(Start start, Prepare prepare, std::uint64_t interval, std::uint64_t unit);
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // The output's first `written` bytes are written. The reason a start
  // failed, once one has.
  std::error_code Written(std::uint64_t written);
  // Waits until the thread is done; the reason a start failed, if one has.
  // Nothing is started after it.
  std::error_code Finish();

 private:
  void Run();
  std::error_code StartUpTo(std::uint64_t written);

  const Start start_;
  const std::uint64_t interval_;
  const std::uint64_t unit_;
  std::uint64_t told_ = 0;  // the writer's thread only: `written` last passed on

  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t written_ = 0;  // what the writer has told, under the lock
  std::uint64_t started_ = 0;  // the thread's only, or the writer's where there is none
  std::error_code error_;
  bool supported_ = true;
  std::atomic<bool> finishing_ = false;
  std::thread thread_;
};

}  // namespace linksift
