#pragma once

#include <cstddef>
#include <string_view>

#include "link_output.h"
#include "link_rule.h"
#include "link_states.h"
#include "unit_search.h"

namespace linksift {

// LinkScanner's rule for UTF-16 text in one byte order (the mark already
// read): lines end at U+000D, U+000A or both, and each line's first link is
// written in UTF-8. Blocks may split a code unit or a surrogate pair. An
// unpaired surrogate, and a lone byte at the end of the stream, read as
// U+FFFD. Only the links are converted; the rest is searched as it is.
class Utf16LinkScanner : public ScannerState<char16_t> {
 public:
  // `buffer`: how much output is gathered before the sink is called.
  Utf16LinkScanner(LinkSink& sink, ByteOrder order, std::size_t buffer = LinkOutput::kCapacity)
      : ScannerState(sink, buffer), order_(order) {}

  void Feed(std::string_view block);
  // Ends the last line of the stream and writes out what is buffered.
  void Finish();

  // As LinkScanner::ContinueFrom: this scanner was last fed up to a line
  // end, `later` from just past it.
  void ContinueFrom(Utf16LinkScanner& later);

  // A new scanner that reads as this one does, in the same byte order.
  Utf16LinkScanner Sibling(LinkSink& sink, std::size_t buffer) const {
    return Utf16LinkScanner(sink, order_, buffer);
  }

  // The most bytes Put() writes for one unit: a replacement for a waiting
  // high surrogate, then the unit itself.
  static constexpr std::size_t kMaxBytesPerUnit = 6;
  // Units of a link converted between checks for room in the output.
  static constexpr std::size_t kChunk = 4096;
  // The most output `input` bytes can give: no unit takes more than 3 bytes
  // of UTF-8, and a line's link and line end take fewer than 3 for each 2;
  // on top, the room a conversion asks for before it writes.
  static constexpr std::size_t OutputBound(std::size_t input) {
    return input / 2 * 3 + kMaxBytesPerUnit * kChunk + 64;
  }

  static constexpr std::size_t kUnitSize = 2;
  // The first line end in [pos, end), whole units, or `end`.
  const char* FindLineEndIn(const char* pos, const char* end) const {
    return FindLineEnd16(order_, pos, end);
  }

 private:
  template <typename Scanner>
  friend void ScanStretch(Scanner&, const char*, const char*);

  // The methods below take whole code units: byte pointers an even distance apart.
  const char* ScanSeam(const char* begin, const char* end);
  const char* Search(const char* pos, const char* begin, const char* end);
  const char* ContinueLink(const char* pos, const char* end);
  bool IsSchemeBefore(const char* separator) const;
  void AppendToLink(const char* begin, const char* end);
  void AppendUnits(const char16_t* units, std::size_t count);
  void CloseLink();
  char* Put(char* out, char16_t unit);
  void RememberTail(const char* begin, const char* end);

  const ByteOrder order_;
  // A high surrogate written to the link, waiting for its low half; 0 for none.
  char16_t high_ = 0;
  // The first byte of a unit that the next block completes.
  char odd_byte_ = 0;
  bool has_odd_byte_ = false;
};

}  // namespace linksift
