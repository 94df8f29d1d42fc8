#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "link_output.h"
#include "link_scanner.h"

namespace linksift {

// Scans a stretch of a regular file with a byte scanner on two threads. The
// stretch is cut into chunks that the run's thread feeds to the scanner in
// file order. Meanwhile a helper reads the chunks ahead and scans each from
// just past its first line end into memory; for such a chunk the run's thread
// feeds only the head up to that line end and goes on from where the helper's
// scan stands. While the helper holds the next chunk, the run's thread does
// the same for a later one. Each thread scans bytes it read itself: copying
// them from one core to the other costs more than reading them twice. A chunk
// without a line end is fed whole.
class SplitScan {
 public:
  // Reads exactly `size` bytes at `offset`, or fails. Called on both threads.
  using Reader =
      std::function<std::error_code(char* buffer, std::size_t size, std::uint64_t offset)>;
  // Told of each chunk's size once it is fed, on the run's thread; may throw to stop.
  using Progress = std::function<void(std::size_t bytes)>;

  // Bytes [begin, end) of the file, in chunks of `chunk` bytes.
  SplitScan(LinkScanner& scanner, Reader read, std::uint64_t begin, std::uint64_t end,
            std::size_t chunk);
  // Stops the helper. A read the system holds up is waited for.
  ~SplitScan();
  SplitScan(const SplitScan&) = delete;
  SplitScan& operator=(const SplitScan&) = delete;

  // The reason of the first read that failed, or none once the stretch is fed.
  std::error_code Run(const Progress& progress);

 private:
  // Chunks read and scanned ahead at most, by both threads together.
  static constexpr std::size_t kPieces = 4;

  struct Piece;

  Piece* AwaitChunk(std::uint64_t next);
  std::error_code ScanHere(char* buffer, std::uint64_t index, std::size_t& size);
  std::error_code TakeOver(Piece& piece, std::size_t& size);
  void Help();
  Piece* Holding(std::uint64_t index);
  Piece* Claim();
  void ScanAside(Piece& piece);
  std::error_code ReadChunk(char* buffer, std::uint64_t index, std::size_t& size) const;

  LinkScanner& scanner_;
  const Reader read_;
  const std::uint64_t begin_;
  const std::uint64_t end_;
  const std::size_t chunk_;
  const std::uint64_t chunks_;
  std::vector<std::unique_ptr<Piece>> pieces_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t claimed_ = 0;  // chunks either thread has set out to read
  bool stopping_ = false;      // the run is over, or a read failed
  std::thread helper_;
};

}  // namespace linksift
