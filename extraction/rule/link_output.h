#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "aligned_buffer.h"

namespace linksift {

// Receives a scanner's output, the links each followed by CR LF, in large
// pieces that need not end where a link does.
class LinkSink {
 public:
  virtual ~LinkSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

// Keeps a scanner's output in memory.
class StringSink final : public LinkSink {
 public:
  void Write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

// Gathers a scanner's output into large writes to its sink. Each byte sits
// in the buffer where it will sit within a page of the output, and every
// write but the last covers whole pages of it, so that the system copies
// every write at full speed and fills no page twice.
class LinkOutput {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  explicit LinkOutput(LinkSink& sink, std::size_t capacity = kCapacity)
      : sink_(sink), capacity_(capacity + kPageSize), buffer_(MakeAlignedBuffer(capacity_)) {}

  // A piece longer than the room left streams through.
  void Write(const char* data, std::size_t size) {
    if (size > room()) MakeRoom();
    if (size > room()) return Stream(data, size);
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
  }

  // Room for `size` bytes (at most the capacity given) to write in place, then Commit().
  char* Reserve(std::size_t size) {
    if (size > room()) MakeRoom();
    return buffer_.get() + used_;
  }
  void Commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

  // Writes all that is buffered, the last part page too.
  void Flush() {
    Pass(buffer_.get() + start_, used_ - start_);
    start_ = used_ = passed_ % kPageSize;
  }

  // What is buffered, not yet written to the sink; Drop() forgets it.
  std::string_view pending() const {
    return std::string_view(buffer_.get() + start_, used_ - start_);
  }
  void Drop() { used_ = start_; }

 private:
  std::size_t room() const { return capacity_ - used_; }

  // Writes the buffered whole pages; the part page after them moves to the
  // buffer's first page, which leaves more room than the capacity given.
  void MakeRoom();
  // A piece longer than the room left completes the buffered page, then
  // streams through in whole pages; the part page after them stays.
  void Stream(const char* data, std::size_t size);
  void Pass(const char* data, std::size_t size);

  LinkSink& sink_;
  const std::size_t capacity_;
  AlignedBuffer buffer_;
  std::size_t passed_ = 0;  // bytes given to the sink
  std::size_t start_ = 0;   // where the pending bytes start: passed_ within a page
  std::size_t used_ = 0;
};

}  // namespace linksift
