#include "split_scan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "link_scanner.h"
#include "utf16_scanner.h"

namespace linksift {
namespace {

// The scan aside is sized for the most output a chunk can give, so it never
// writes to a sink: the run's thread takes its output from the buffer.
class NoSink final : public LinkSink {
 public:
  void Write(std::string_view) override {
    std::fputs("linksift: a chunk gave more output than its scan aside can hold\n", stderr);
    std::abort();
  }
};

NoSink no_sink;

}  // namespace

std::error_code ReadWhole(const ChunkReader& read, char* buffer, std::size_t size,
                          std::uint64_t offset, std::size_t& got) {
  for (got = 0; got < size;) {
    std::size_t part = 0;
    if (const std::error_code error = read(buffer + got, size - got, offset + got, part)) {
      return error;
    }
    if (part == 0) break;
    got += part;
  }
  return {};
}

template <typename Scanner>
SplitScan<Scanner>::Piece::Piece(const Scanner& like, std::size_t chunk)
    : bytes(MakeAlignedBuffer(chunk)), ahead(like.Sibling(no_sink, Scanner::OutputBound(chunk))) {}

template <typename Scanner>
SplitScan<Scanner>::SplitScan(Scanner& scanner, Reader read, std::uint64_t begin, std::size_t chunk,
                              bool help)
    : scanner_(scanner), read_(std::move(read)), begin_(begin), chunk_(chunk) {
  for (std::size_t i = 0; i < kPieces; ++i) {
    pieces_.push_back(std::make_unique<Piece>(scanner_, chunk_));
  }
  if (!help) return;
  try {
    helper_ = std::thread([this] { Help(); });
  } catch (const std::system_error&) {
    // No thread to spare (a process limit, say): this one reads it all.
  }
}

template <typename Scanner>
SplitScan<Scanner>::~SplitScan() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

template <typename Scanner>
std::error_code SplitScan<Scanner>::Run(const Progress& progress) {
  for (std::uint64_t next = 0;; ++next) {
    std::size_t size = 0;
    if (const std::error_code error = TakeOver(AwaitChunk(next), size)) return error;
    progress(size);
    if (size < chunk_) return {};
  }
}

// The piece that holds chunk `next` once it is scanned. While the helper
// reads it, this thread reads and scans a later chunk; when no one has set
// out to read it, every piece is free and this thread claims it.
template <typename Scanner>
typename SplitScan<Scanner>::Piece& SplitScan<Scanner>::AwaitChunk(std::uint64_t next) {
  std::unique_lock lock(mutex_);
  for (;;) {
    Piece* const piece = Holding(next);
    if (piece != nullptr && piece->state == Piece::State::kReady) return *piece;
    Piece* const spare = Claim();
    if (spare == nullptr) {
      changed_.wait(lock);
      continue;
    }
    lock.unlock();
    Fill(*spare);
    lock.lock();
    Filled(*spare);
  }
}

// Feeds the chunk's head and goes on from where the scan aside stands.
template <typename Scanner>
std::error_code SplitScan<Scanner>::TakeOver(Piece& piece, std::size_t& size) {
  if (piece.error) return piece.error;
  size = piece.size;
  scanner_.Feed(std::string_view(piece.bytes.get(), piece.head));
  if (piece.split) scanner_.ContinueFrom(piece.ahead);
  {
    const std::lock_guard lock(mutex_);
    piece.state = Piece::State::kFree;
  }
  changed_.notify_all();
  return {};
}

// Runs on the helper's thread until the file's end is claimed, a read fails
// or the run ends.
template <typename Scanner>
void SplitScan<Scanner>::Help() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Piece* piece = nullptr;
    changed_.wait(lock, [&] {
      if (stopping_ || claimed_ > last_) return true;
      piece = Claim();
      return piece != nullptr;
    });
    if (piece == nullptr) return;
    lock.unlock();
    Fill(*piece);
    lock.lock();
    Filled(*piece);
  }
}

// The piece that holds or is being filled with chunk `index`, if any.
template <typename Scanner>
typename SplitScan<Scanner>::Piece* SplitScan<Scanner>::Holding(std::uint64_t index) {
  for (const auto& piece : pieces_) {
    if (piece->state != Piece::State::kFree && piece->index == index) return piece.get();
  }
  return nullptr;
}

// A free piece for the next unclaimed chunk, marked as being filled; null
// when there is none or the file ends before that chunk.
template <typename Scanner>
typename SplitScan<Scanner>::Piece* SplitScan<Scanner>::Claim() {
  if (claimed_ > last_) return nullptr;
  const auto free = std::ranges::find_if(
      pieces_, [](const auto& piece) { return piece->state == Piece::State::kFree; });
  if (free == pieces_.end()) return nullptr;
  Piece& piece = **free;
  piece.state = Piece::State::kFilling;
  piece.index = claimed_++;
  return &piece;
}

// Reads the chunk and scans it aside from just past its first line end.
// Runs without the lock, on the thread that claimed the piece.
template <typename Scanner>
void SplitScan<Scanner>::Fill(Piece& piece) {
  piece.split = false;
  piece.size = 0;
  piece.error = {};
  piece.error =
      ReadWhole(read_, piece.bytes.get(), chunk_, begin_ + piece.index * chunk_, piece.size);
  if (piece.error) return;
  const char* const begin = piece.bytes.get();
  // Whole units only: a short last chunk of UTF-16 may end in half of one.
  const char* const end = begin + piece.size / Scanner::kUnitSize * Scanner::kUnitSize;
  const char* const line_end = piece.ahead.FindLineEndIn(begin, end);
  piece.head = line_end == end ? piece.size : static_cast<std::size_t>(line_end - begin);
  if (line_end == end) return;
  piece.head += Scanner::kUnitSize;
  piece.split = true;
  piece.ahead.Feed(std::string_view(begin + piece.head, piece.size - piece.head));
}

// Hands a filled piece to the run's thread. Under the lock.
template <typename Scanner>
void SplitScan<Scanner>::Filled(Piece& piece) {
  piece.state = Piece::State::kReady;
  // Nothing past the file's end, or past a failed read, is worth reading.
  if (piece.error || piece.size < chunk_) last_ = std::min(last_, piece.index);
  if (piece.error) stopping_ = true;
  changed_.notify_all();
}

template class SplitScan<LinkScanner>;
template class SplitScan<Utf16LinkScanner>;

}  // namespace linksift
