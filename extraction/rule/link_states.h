#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>

#include "link_output.h"
#include "link_rule.h"

namespace linksift {

// Where a scanner stands in its line: looking for a link, inside one, or past
// the line's link and waiting for its end.
enum class LinkState { kSearching, kInLink, kSkippingLine };

// What both scanners keep between blocks, over their code unit (char for
// bytes, char16_t for UTF-16), and how one takes over from another.
template <typename Unit>
class ScannerState {
 public:
  LinkCount count() const { return count_; }

 protected:
  ScannerState(LinkSink& sink, std::size_t buffer) : out_(sink, buffer) {}

  // Goes on where `later` stands, and leaves `later` as new. Past a line end
  // every scanner stands where a new one does, so a scan started just past
  // one continues this one: this scanner was last fed up to a line end,
  // `later` from just past it. What `later` buffers follows this one's output.
  void TakeOver(ScannerState& later) {
    const std::string_view pending = later.out_.pending();
    out_.Write(pending.data(), pending.size());
    later.out_.Drop();
    state_ = std::exchange(later.state_, LinkState::kSearching);
    count_ += std::exchange(later.count_, 0);
    held_ = later.held_;
    holding_ = std::exchange(later.holding_, false);
    std::copy(later.tail_, later.tail_ + kTail, tail_);
    std::fill_n(later.tail_, kTail, Unit{'\n'});
  }

  // Enough units of history for a prefix that straddles blocks.
  static constexpr std::size_t kTail = kLinkPrefix.size() - 1;

  LinkOutput out_;
  LinkState state_ = LinkState::kSearching;
  LinkCount count_ = 0;
  // The link's last unit is held back until the link ends: it may be a mark to drop.
  Unit held_ = 0;
  bool holding_ = false;
  // The last units fed, oldest first; a line end stands in before the stream starts.
  Unit tail_[kTail] = {'\n', '\n', '\n', '\n', '\n', '\n'};
};

// Runs a scanner's states over one stretch of its input [begin, end): first
// the seam with the previous stretch, then each state's step until the
// stretch is used up, then the tail kept for the next seam. Both scanners,
// bytes and UTF-16 code units, share this order and the skip to a line's
// end; each supplies the other steps, its line-end search and its unit size.
template <typename Scanner>
void ScanStretch(Scanner& scanner, const char* begin, const char* end) {
  const char* pos = begin;
  if (scanner.state_ == LinkState::kSearching) pos = scanner.ScanSeam(begin, end);
  while (pos < end) {
    switch (scanner.state_) {
      case LinkState::kSearching:
        pos = scanner.Search(pos, begin, end);
        break;
      case LinkState::kInLink:
        pos = scanner.ContinueLink(pos, end);
        break;
      case LinkState::kSkippingLine:
        pos = scanner.FindLineEndIn(pos, end);
        if (pos == end) break;
        scanner.state_ = LinkState::kSearching;
        pos += Scanner::kUnitSize;
        break;
    }
  }
  scanner.RememberTail(begin, end);
}

}  // namespace linksift
