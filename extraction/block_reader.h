#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "file_io_os.h"

namespace linksift {

// Reads a regular file block by block on a thread of its own, a few blocks
// ahead of its reader: on two cores, copying the next block out of the page
// cache overlaps with scanning this one.
class BlockReader {
 public:
  struct Block {
    std::string_view bytes;  // empty at the end of the file or on a failure
    std::error_code error;
  };

  // Reads `size` bytes, no more: a file cut shorter than that is a read error.
  BlockReader(os::Input& input, std::uint64_t size, std::size_t block_size);
  // Stops reading ahead. A read the system holds up is waited for.
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The next block in file order; the one returned before is read over.
  Block Next();

 private:
  // Blocks being filled or waiting to be taken, besides the one being scanned.
  static constexpr std::size_t kAhead = 2;

  void ReadAll();
  Block Fill(char* buffer, std::uint64_t offset);

  os::Input& input_;
  const std::uint64_t size_;
  const std::size_t block_size_;
  std::vector<std::unique_ptr<char[]>> buffers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> ready_;
  std::size_t in_use_ = 0;  // buffers being filled, ready or held by the reader
  bool holding_ = false;    // the reader holds the block Next() returned last
  bool stopping_ = false;
  std::thread reader_;
};

}  // namespace linksift
