#include "split_scan.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "byte_search.h"

namespace linksift {

struct SplitScan::Piece {
  // A chunk's links take at most 9 bytes for every 8 of it (a bare "http://"
  // and its line end give the link and CR LF), so the scan aside never calls
  // its sink: the run's thread takes its output from the buffer.
  explicit Piece(std::size_t chunk)
      : bytes(new char[chunk]), ahead(overflow, chunk + chunk / 8 + 16) {}

  enum class State { kFree, kBusy, kReady };
  State state = State::kFree;
  std::uint64_t index = 0;
  std::unique_ptr<char[]> bytes;  // not cleared: read over before it is looked at
  std::size_t size = 0;
  std::error_code error;
  // Up to and with the first line end; `size` when the chunk has none.
  std::size_t head = 0;
  bool split = false;  // the chunk has a line end, and `ahead` scanned past it
  StringSink overflow;
  LinkScanner ahead;
};

SplitScan::SplitScan(LinkScanner& scanner, Reader read, std::uint64_t begin, std::uint64_t end,
                     std::size_t chunk)
    : scanner_(scanner),
      read_(std::move(read)),
      begin_(begin),
      end_(end),
      chunk_(chunk),
      chunks_(end > begin ? (end - begin + chunk - 1) / chunk : 0) {
  for (std::size_t i = 0; i < kPieces; ++i) pieces_.push_back(std::make_unique<Piece>(chunk_));
  // One chunk has nothing to overlap with.
  if (chunks_ > 1) helper_ = std::thread([this] { Help(); });
}

SplitScan::~SplitScan() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

std::error_code SplitScan::Run(const Progress& progress) {
  const std::unique_ptr<char[]> own(new char[chunk_]);
  for (std::uint64_t next = 0; next < chunks_; ++next) {
    std::size_t size = 0;
    Piece* const piece = AwaitChunk(next);
    const std::error_code error =
        piece != nullptr ? TakeOver(*piece, size) : ScanHere(own.get(), next, size);
    if (error) return error;
    progress(size);
  }
  return {};
}

// The piece that holds chunk `next` once it is scanned, or null when no one
// has set out to read it: then the run's thread does, and it is claimed.
SplitScan::Piece* SplitScan::AwaitChunk(std::uint64_t next) {
  std::unique_lock lock(mutex_);
  for (;;) {
    Piece* const piece = Holding(next);
    if (piece == nullptr) {
      ++claimed_;  // every chunk before it is claimed: claimed_ == next
      return nullptr;
    }
    if (piece->state == Piece::State::kReady) return piece;
    // The helper is reading the next chunk: scan a later one meanwhile.
    if (Piece* const spare = Claim()) {
      lock.unlock();
      ScanAside(*spare);
      lock.lock();
      spare->state = Piece::State::kReady;
      continue;
    }
    changed_.wait(lock);
  }
}

std::error_code SplitScan::ScanHere(char* buffer, std::uint64_t index, std::size_t& size) {
  if (const std::error_code error = ReadChunk(buffer, index, size)) return error;
  scanner_.Feed(std::string_view(buffer, size));
  return {};
}

// Feeds the chunk's head and goes on from where the scan aside stands.
std::error_code SplitScan::TakeOver(Piece& piece, std::size_t& size) {
  if (piece.error) return piece.error;
  size = piece.size;
  scanner_.Feed(std::string_view(piece.bytes.get(), piece.head));
  if (piece.split) scanner_.ContinueFrom(piece.ahead, piece.overflow.text);
  piece.overflow.text.clear();
  {
    const std::lock_guard lock(mutex_);
    piece.state = Piece::State::kFree;
  }
  changed_.notify_all();
  return {};
}

// Runs on the helper's thread until every chunk is claimed, a read fails or
// the run ends.
void SplitScan::Help() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Piece* piece = nullptr;
    changed_.wait(lock, [&] {
      if (stopping_ || claimed_ == chunks_) return true;
      piece = Claim();
      return piece != nullptr;
    });
    if (piece == nullptr) return;
    lock.unlock();
    ScanAside(*piece);
    lock.lock();
    piece->state = Piece::State::kReady;
    // Nothing after a failed read is worth reading.
    if (piece->error) stopping_ = true;
    changed_.notify_all();
  }
}

// The piece that holds or is being filled with chunk `index`, if any.
SplitScan::Piece* SplitScan::Holding(std::uint64_t index) {
  for (const auto& piece : pieces_) {
    if (piece->state != Piece::State::kFree && piece->index == index) return piece.get();
  }
  return nullptr;
}

// A free piece for the next unclaimed chunk, marked busy; null when there is none.
SplitScan::Piece* SplitScan::Claim() {
  if (claimed_ == chunks_) return nullptr;
  const auto free = std::ranges::find_if(
      pieces_, [](const auto& piece) { return piece->state == Piece::State::kFree; });
  if (free == pieces_.end()) return nullptr;
  Piece& piece = **free;
  piece.state = Piece::State::kBusy;
  piece.index = claimed_++;
  return &piece;
}

void SplitScan::ScanAside(Piece& piece) {
  piece.split = false;
  piece.error = ReadChunk(piece.bytes.get(), piece.index, piece.size);
  if (piece.error) return;
  const char* const begin = piece.bytes.get();
  const char* const end = begin + piece.size;
  const char* const line_end = FindLineEnd(begin, end);
  piece.head = static_cast<std::size_t>(line_end - begin);
  if (line_end == end) return;
  ++piece.head;
  piece.split = true;
  piece.ahead.Feed(std::string_view(line_end + 1, end));
}

std::error_code SplitScan::ReadChunk(char* buffer, std::uint64_t index, std::size_t& size) const {
  const std::uint64_t offset = begin_ + index * chunk_;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(chunk_, end_ - offset));
  return read_(buffer, size, offset);
}

}  // namespace linksift
