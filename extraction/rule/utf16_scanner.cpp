#include "utf16_scanner.h"

#include <algorithm>
#include <utility>

namespace linksift {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

constexpr bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

constexpr bool IsTrailingMarkUnit(char16_t unit) {
  return unit < 0x80 && IsTrailingMark(static_cast<char>(unit));
}

// The units of the scheme spell it in any ASCII case; setting bit 5 folds
// exactly A-Z onto a-z for its letters and maps no other unit onto them.
bool IsScheme(const char16_t* units) {
  for (std::size_t i = 0; i < kLinkScheme.size(); ++i) {
    if ((units[i] | 0x20) != static_cast<char16_t>(kLinkScheme[i])) return false;
  }
  return true;
}

bool IsPrefix(const char16_t* units) {
  for (std::size_t i = 0; i < kSchemeSeparator.size(); ++i) {
    if (units[kLinkScheme.size() + i] != static_cast<char16_t>(kSchemeSeparator[i])) return false;
  }
  return IsScheme(units);
}

char* PutCodePoint(char* out, char32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | c >> 6);
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | c >> 12);
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | c >> 18);
    *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace

void Utf16LinkScanner::Feed(std::string_view block) {
  const char* begin = block.data();
  const char* end = begin + block.size();
  if (has_odd_byte_ && begin < end) {
    const char unit[2] = {odd_byte_, *begin++};
    has_odd_byte_ = false;
    ScanStretch(*this, unit, unit + 2);
  }
  if ((end - begin) % 2 != 0) {
    odd_byte_ = *--end;
    has_odd_byte_ = true;
  }
  if (begin < end) ScanStretch(*this, begin, end);
}

void Utf16LinkScanner::Finish() {
  if (has_odd_byte_) {
    // A byte short of a unit: the stream's last character, unreadable.
    const char replacement[2] = {
        static_cast<char>(order_ == ByteOrder::kLittleEndian ? 0xFD : 0xFF),
        static_cast<char>(order_ == ByteOrder::kLittleEndian ? 0xFF : 0xFD)};
    has_odd_byte_ = false;
    ScanStretch(*this, replacement, replacement + 2);
  }
  if (state_ == LinkState::kInLink) CloseLink();
  state_ = LinkState::kSearching;
  out_.Flush();
}

void Utf16LinkScanner::ContinueFrom(Utf16LinkScanner& later) {
  TakeOver(later);
  high_ = std::exchange(later.high_, 0);
  odd_byte_ = later.odd_byte_;
  has_odd_byte_ = std::exchange(later.has_odd_byte_, false);
}

// Looks for a prefix that ends in the first units of this stretch and starts
// in the units before it. Search() takes over where a whole scheme fits
// before a separator.
const char* Utf16LinkScanner::ScanSeam(const char* begin, const char* end) {
  const std::size_t fresh = std::min<std::size_t>(kTail, static_cast<std::size_t>(end - begin) / 2);
  char16_t window[2 * kTail];
  std::copy(tail_, tail_ + kTail, window);
  for (std::size_t i = 0; i < fresh; ++i) window[kTail + i] = UnitAt(order_, begin + 2 * i);
  for (std::size_t last = 0; last < fresh; ++last) {
    if (!IsPrefix(window + last)) continue;
    state_ = LinkState::kInLink;
    AppendUnits(window + last, kLinkPrefix.size());
    return begin + 2 * (last + 1);
  }
  return begin;
}

const char* Utf16LinkScanner::Search(const char* pos, const char* begin, const char* end) {
  // A separator closer than the scheme's length to the start was ScanSeam's to find.
  const char* from = std::max(pos, begin + 2 * kLinkScheme.size());
  while (from < end) {
    const char* separator = FindSchemeSeparator16(order_, from, end);
    if (separator == end) break;
    if (IsSchemeBefore(separator)) {
      state_ = LinkState::kInLink;
      return separator - 2 * kLinkScheme.size();
    }
    from = separator + 2;
  }
  return end;
}

bool Utf16LinkScanner::IsSchemeBefore(const char* separator) const {
  char16_t scheme[kLinkScheme.size()];
  const char* p = separator - 2 * kLinkScheme.size();
  for (std::size_t i = 0; i < kLinkScheme.size(); ++i) scheme[i] = UnitAt(order_, p + 2 * i);
  return IsScheme(scheme);
}

const char* Utf16LinkScanner::ContinueLink(const char* pos, const char* end) {
  const char* stop = FindLinkEnd16(order_, pos, end);
  AppendToLink(pos, stop);
  if (stop == end) return end;
  CloseLink();
  state_ = UnitAt(order_, stop) == u' ' ? LinkState::kSkippingLine : LinkState::kSearching;
  return stop + 2;
}

// Converts the units as they come, all but the last, which is held back.
void Utf16LinkScanner::AppendToLink(const char* begin, const char* end) {
  while (begin < end) {
    const std::size_t units =
        std::min<std::size_t>(kChunk, static_cast<std::size_t>(end - begin) / 2);
    char* out = out_.Reserve(kMaxBytesPerUnit * units);
    for (std::size_t i = 0; i < units; ++i, begin += 2) {
      if (holding_) out = Put(out, held_);
      held_ = UnitAt(order_, begin);
      holding_ = true;
    }
    out_.Commit(out);
  }
}

void Utf16LinkScanner::AppendUnits(const char16_t* units, std::size_t count) {
  char* out = out_.Reserve(kMaxBytesPerUnit * count);
  for (std::size_t i = 0; i < count; ++i) {
    if (holding_) out = Put(out, held_);
    held_ = units[i];
    holding_ = true;
  }
  out_.Commit(out);
}

void Utf16LinkScanner::CloseLink() {
  char* out = out_.Reserve(kMaxBytesPerUnit + 3 + 2);
  if (holding_ && !IsTrailingMarkUnit(held_)) out = Put(out, held_);
  holding_ = false;
  if (high_ != 0) out = PutCodePoint(out, kReplacement);
  high_ = 0;
  *out++ = '\r';
  *out++ = '\n';
  out_.Commit(out);
  ++count_;
}

// Writes one unit of a link in UTF-8, pairing surrogates.
char* Utf16LinkScanner::Put(char* out, char16_t unit) {
  if (high_ != 0) {
    const char16_t high = high_;
    high_ = 0;
    if (IsLowSurrogate(unit)) {
      return PutCodePoint(out, 0x10000 + ((char32_t{high} - 0xD800) << 10) + (unit - 0xDC00));
    }
    out = PutCodePoint(out, kReplacement);
  }
  if (IsHighSurrogate(unit)) {
    high_ = unit;
    return out;
  }
  return PutCodePoint(out, IsLowSurrogate(unit) ? kReplacement : unit);
}

void Utf16LinkScanner::RememberTail(const char* begin, const char* end) {
  const std::size_t size = static_cast<std::size_t>(end - begin) / 2;
  const std::size_t kept = std::min(size, kTail);
  std::copy(tail_ + kept, tail_ + kTail, tail_);
  for (std::size_t i = 0; i < kept; ++i) {
    tail_[kTail - kept + i] = UnitAt(order_, end - 2 * (kept - i));
  }
}

}  // namespace linksift
