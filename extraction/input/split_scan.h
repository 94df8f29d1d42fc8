#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "aligned_buffer.h"
#include "link_output.h"

namespace linksift {

// Reads up to `size` bytes at `offset` into `buffer`; `got` is 0 at the end.
using ChunkReader = std::function<std::error_code(char* buffer, std::size_t size,
                                                  std::uint64_t offset, std::size_t& got)>;

// Reads `size` bytes at `offset` with as many reads as it takes; `got` is
// fewer only at the file's end.
std::error_code ReadWhole(const ChunkReader& read, char* buffer, std::size_t size,
                          std::uint64_t offset, std::size_t& got);

// Scans a file from `begin` to its end on two threads, with any scanner that
// stands as new past a line end (LinkScanner, Utf16LinkScanner). The file is
// cut into chunks, read at offsets that are whole multiples of the chunk
// size, that the run's thread gives to the scanner in file order. A helper
// thread reads chunks ahead and scans each from just past its first line end
// into a scanner of its own; for such a chunk the run's thread feeds only the
// head up to that line end and goes on from where that scan stands. Each
// thread scans bytes it read itself: copying them from one core to the other
// costs more than reading them twice. A chunk without a line end is fed
// whole. Where no helper can be started, the run's thread does it all.
//
// The file ends at the first chunk that comes back short, whatever size it
// claimed: a file that grows is read on, one that says more than it holds is
// read to its end.
template <typename Scanner>
class SplitScan {
 public:
  // Called on both threads.
  using Reader = ChunkReader;
  // Told of each chunk's size once it is fed, on the run's thread; may throw to stop.
  using Progress = std::function<void(std::size_t bytes)>;

  // `begin` and `chunk` are whole multiples of kPageSize. Without `help`
  // (a file expected to end within a chunk or two) no helper is started.
  SplitScan(Scanner& scanner, Reader read, std::uint64_t begin, std::size_t chunk, bool help);
  // Stops the helper. A read the system holds up is waited for.
  ~SplitScan();
  SplitScan(const SplitScan&) = delete;
  SplitScan& operator=(const SplitScan&) = delete;

  // The reason of the first read that failed, or none once the file is fed.
  std::error_code Run(const Progress& progress);

 private:
  // Chunks read and scanned ahead at most, by both threads together.
  static constexpr std::size_t kPieces = 4;
  static constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

  // One chunk's buffer and the scan of it from its first line end.
  // Who may touch it: a kFree piece no one but Claim(), under the lock; a
  // kFilling piece only the thread that claimed it; a kReady piece only the
  // run's thread, which alone frees it. The state changes under the lock.
  struct Piece {
    Piece(const Scanner& like, std::size_t chunk);

    enum class State { kFree, kFilling, kReady };
    State state = State::kFree;
    std::uint64_t index = 0;
    AlignedBuffer bytes;  // not cleared: read over before it is looked at
    std::size_t size = 0;
    std::error_code error;
    std::size_t head = 0;  // up to and with the first line end; `size` when it has none
    bool split = false;    // the chunk has a line end, and `ahead` scanned past it
    Scanner ahead;
  };

  Piece& AwaitChunk(std::uint64_t next);
  std::error_code TakeOver(Piece& piece, std::size_t& size);
  void Help();
  Piece* Holding(std::uint64_t index);
  Piece* Claim();
  void Fill(Piece& piece);
  void Filled(Piece& piece);

  Scanner& scanner_;
  const Reader read_;
  const std::uint64_t begin_;
  const std::size_t chunk_;
  std::vector<std::unique_ptr<Piece>> pieces_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t claimed_ = 0;    // chunks either thread has set out to read
  std::uint64_t last_ = kNoEnd;  // the first chunk found short: the file's last
  bool stopping_ = false;        // the run is over, or a read failed
  std::thread helper_;
};

}  // namespace linksift
