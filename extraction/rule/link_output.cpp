#include "link_output.h"

namespace linksift {

void LinkOutput::MakeRoom() {
  const std::size_t end = used_ - used_ % kPageSize;
  if (end <= start_) return;
  Pass(buffer_.get() + start_, end - start_);
  const std::size_t rest = used_ - end;
  std::memmove(buffer_.get(), buffer_.get() + end, rest);
  start_ = 0;
  used_ = rest;
}

void LinkOutput::Stream(const char* data, std::size_t size) {
  const std::size_t fill = (kPageSize - used_ % kPageSize) % kPageSize;
  Write(data, fill);
  MakeRoom();
  data += fill;
  size -= fill;
  const std::size_t whole = size - size % kPageSize;
  Pass(data, whole);
  Write(data + whole, size - whole);
}

void LinkOutput::Pass(const char* data, std::size_t size) {
  if (size == 0) return;
  sink_.Write(std::string_view(data, size));
  passed_ += size;
}

}  // namespace linksift
