#include "link_scanner.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "byte_search.h"

namespace linksift {
namespace {

// Setting bit 5 folds exactly A-Z onto a-z for these letters and maps no
// other byte onto them.
constexpr bool IsLowerCaseWord(std::string_view word) {
  for (const char c : word) {
    if (c < 'a' || c > 'z') return false;
  }
  return true;
}
static_assert(IsLowerCaseWord(kLinkScheme));

// The bytes before a separator spell the scheme in any case.
bool IsSchemeBefore(const char* separator) {
  const char* p = separator - kLinkScheme.size();
  for (std::size_t i = 0; i < kLinkScheme.size(); ++i) {
    if ((p[i] | 0x20) != kLinkScheme[i]) return false;
  }
  return true;
}

bool IsPrefixAt(const char* p) {
  const char* separator = p + kLinkScheme.size();
  return std::memcmp(separator, kSchemeSeparator.data(), kSchemeSeparator.size()) == 0 &&
         IsSchemeBefore(separator);
}

}  // namespace

void LinkScanner::Feed(std::string_view block) {
  ScanStretch(*this, block.data(), block.data() + block.size());
}

void LinkScanner::Finish() {
  if (state_ == LinkState::kInLink) CloseLink();
  state_ = LinkState::kSearching;
  out_.Flush();
}

// Looks for a prefix that ends in the first bytes of this block and starts in
// the bytes before it. Search() takes over where a whole scheme fits before
// a separator.
const char* LinkScanner::ScanSeam(const char* begin, const char* end) {
  const std::size_t fresh = std::min<std::size_t>(kTail, static_cast<std::size_t>(end - begin));
  char window[2 * kTail];
  std::memcpy(window, tail_, kTail);
  std::memcpy(window + kTail, begin, fresh);
  for (std::size_t last = 0; last < fresh; ++last) {
    const char* start = window + last;
    if (!IsPrefixAt(start)) continue;
    state_ = LinkState::kInLink;
    AppendToLink(start, start + kLinkPrefix.size());
    return begin + last + 1;
  }
  return begin;
}

const char* LinkScanner::Search(const char* pos, const char* begin, const char* end) {
  // A separator closer than the scheme's length to the block's start was ScanSeam's to find.
  const char* from = std::max(pos, begin + kLinkScheme.size());
  while (from < end) {
    const char* separator = FindSchemeSeparator(from, end);
    if (separator == end) break;
    if (IsSchemeBefore(separator)) {
      state_ = LinkState::kInLink;
      return separator - kLinkScheme.size();
    }
    from = separator + 1;
  }
  return end;
}

const char* LinkScanner::ContinueLink(const char* pos, const char* end) {
  const char* stop = FindLinkEnd(pos, end);
  AppendToLink(pos, stop);
  if (stop == end) return end;
  CloseLink();
  state_ = *stop == ' ' ? LinkState::kSkippingLine : LinkState::kSearching;
  return stop + 1;
}

void LinkScanner::AppendToLink(const char* begin, const char* end) {
  if (begin == end) return;
  if (holding_) out_.Write(&held_, 1);
  out_.Write(begin, static_cast<std::size_t>(end - begin - 1));
  held_ = end[-1];
  holding_ = true;
}

void LinkScanner::CloseLink() {
  if (holding_ && !IsTrailingMark(held_)) out_.Write(&held_, 1);
  holding_ = false;
  out_.Write("\r\n", 2);
  ++count_;
}

void LinkScanner::RememberTail(const char* begin, const char* end) {
  const std::size_t size = static_cast<std::size_t>(end - begin);
  if (size >= kTail) {
    std::memcpy(tail_, end - kTail, kTail);
    return;
  }
  std::memmove(tail_, tail_ + size, kTail - size);
  std::memcpy(tail_ + kTail - size, begin, size);
}

}  // namespace linksift
