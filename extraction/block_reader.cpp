#include "block_reader.h"

#include <algorithm>
#include <cerrno>

namespace linksift {

BlockReader::BlockReader(os::Input& input, std::uint64_t size, std::size_t block_size)
    : input_(input), size_(size), block_size_(block_size) {
  // Not cleared: each is read over before it is looked at.
  for (std::size_t i = 0; i < kAhead + 1; ++i) buffers_.emplace_back(new char[block_size_]);
  reader_ = std::thread([this] { ReadAll(); });
}

BlockReader::~BlockReader() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  reader_.join();
}

BlockReader::Block BlockReader::Next() {
  std::unique_lock lock(mutex_);
  if (holding_) --in_use_;  // the block handed out last time is free again
  holding_ = false;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !ready_.empty(); });
  const Block block = ready_.front();
  ready_.pop_front();
  holding_ = true;
  return block;
}

// Runs on the reader's thread until the file's end, a failure or the destructor.
void BlockReader::ReadAll() {
  for (std::uint64_t offset = 0, turn = 0;; ++turn) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || in_use_ < buffers_.size(); });
      if (stopping_) return;
      ++in_use_;
    }
    const Block block = Fill(buffers_[turn % buffers_.size()].get(), offset);
    offset += block.bytes.size();
    {
      const std::lock_guard lock(mutex_);
      ready_.push_back(block);
    }
    changed_.notify_all();
    if (block.bytes.empty()) return;  // the end, or a failure
  }
}

BlockReader::Block BlockReader::Fill(char* buffer, std::uint64_t offset) {
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(block_size_, size_ - offset));
  std::size_t filled = 0;
  while (filled < want) {
    std::size_t got = 0;
    if (const std::error_code error = os::ReadSome(input_, buffer + filled, want - filled, got)) {
      return {.bytes = {}, .error = error};
    }
    // The file was cut short under us.
    if (got == 0) return {.bytes = {}, .error = os::SystemError(EIO)};
    filled += got;
  }
  return {.bytes = std::string_view(buffer, filled), .error = {}};
}

}  // namespace linksift
