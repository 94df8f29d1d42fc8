#include "write_behind.h"

#include <utility>

namespace linksift {

WriteBehind::WriteBehind(Start start, Prepare prepare, std::uint64_t interval, std::uint64_t unit)
    : start_(std::move(start)), interval_(interval), unit_(unit) {
  try {
    thread_ = std::thread([this, prepare = std::move(prepare)] {
      if (prepare) prepare(finishing_);
      Run();
    });
  } catch (const std::system_error&) {
    // No thread to spare: the writer's thread starts the stretches itself.
  }
}

WriteBehind::~WriteBehind() {
  Finish();
}

std::error_code WriteBehind::Written(std::uint64_t written) {
  if (written - told_ < interval_) return {};
  told_ = written;
  if (!thread_.joinable()) {
    if (error_ || !supported_) return error_;
    return error_ = StartUpTo(written);
  }
  const std::lock_guard lock(mutex_);
  written_ = written;
  changed_.notify_one();
  return error_;
}

std::error_code WriteBehind::Finish() {
  {
    const std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  changed_.notify_one();
  if (thread_.joinable()) thread_.join();
  return error_;
}

void WriteBehind::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return finishing_ || written_ - started_ >= interval_; });
    if (finishing_) return;
    const std::uint64_t written = written_;
    lock.unlock();
    const std::error_code error = StartUpTo(written);
    lock.lock();
    error_ = error;
    if (error_ || !supported_) return;
  }
}

// Starts what is written up to the last whole unit; not_supported ends the starts.
std::error_code WriteBehind::StartUpTo(std::uint64_t written) {
  const std::uint64_t end = written / unit_ * unit_;
  if (end <= started_) return {};
  const std::error_code error = start_(started_, end - started_);
  started_ = end;
  if (error != std::errc::not_supported) return error;
  supported_ = false;
  return {};
}

}  // namespace linksift
