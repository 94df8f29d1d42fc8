#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace linksift {

// The system copies between its page cache and a program's memory at full
// speed only where both sides sit alike within a page, so the buffers that
// take reads, and those whose bytes are written, start on a page.
inline constexpr std::size_t kPageSize = 4096;

struct PageAlignedDelete {
  void operator()(char* bytes) const noexcept {
    ::operator delete[](bytes, std::align_val_t{kPageSize});
  }
};
using AlignedBuffer = std::unique_ptr<char[], PageAlignedDelete>;

// `size` bytes, uninitialised, on a page boundary. Throws std::bad_alloc.
inline AlignedBuffer MakeAlignedBuffer(std::size_t size) {
  return AlignedBuffer(static_cast<char*>(::operator new[](size, std::align_val_t{kPageSize})));
}

}  // namespace linksift
