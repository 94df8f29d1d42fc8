#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

#include "file_io_os.h"

namespace linksift {

// Every failure throws ExtractionError.

// A file read from start to end. A wait for a pipe's next bytes ends with
// ExtractionCancelled once `cancel` is set. "-" is standard input, and a
// descriptor's name (/dev/stdin, /dev/fd/N) is read through that descriptor.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path, const std::atomic<bool>* cancel = nullptr);

  using Consumer = os::Consumer;

  // Hands the whole input to `consume` as it comes, in stretches of at most
  // `block_size` bytes, each valid only during its call. A file on disk is
  // read to its end, whatever size it claimed; one that shrank meanwhile is
  // a read error.
  void ForEachBlock(std::size_t block_size, const Consumer& consume);

  // A file on disk (facts().regular) may be read anywhere, from any thread:
  // up to `size` bytes from `offset`; `got` is fewer only at its end.
  std::error_code ReadAt(char* buffer, std::size_t size, std::uint64_t offset, std::size_t& got);
  // Throws a read error for `error`, if it is one.
  void CheckRead(std::error_code error) const;
  // Once a file on disk is read to its end: one that is now smaller than it
  // was when opened changed under the run, and what was read is not the file.
  // Fewer bytes than its size, where the size stayed, are the file (sysfs
  // and some network file systems give a size they do not hold).
  void CheckNotShrunk();

  // The size when the file was opened, 0 when it has none (a pipe).
  std::uint64_t size() const { return facts_.size; }
  // A file on disk that claims a size, which ReadAt may read anywhere.
  bool sized() const { return facts_.regular && facts_.size > 0; }
  const os::InputFacts& facts() const { return facts_; }

 private:
  void WaitForData();

  std::filesystem::path path_;
  const std::atomic<bool>* cancel_;
  os::InputFacts facts_;
  os::InputPtr input_;
};

}  // namespace linksift
