#pragma once

namespace linksift {

// Where a scanner stands in its line: looking for a link, inside one, or past
// the line's link and waiting for its end.
enum class LinkState { kSearching, kInLink, kSkippingLine };

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
