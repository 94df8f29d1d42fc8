#pragma once

#include <cstddef>
#include <string_view>

#include "byte_search.h"
#include "link_output.h"
#include "link_rule.h"
#include "link_states.h"

namespace linksift {

// Finds the first link of every line of a byte stream fed in blocks of any
// size, without holding a line in memory. CR, LF and CR LF end a line; since
// an empty line holds no link, how line ends pair up never matters.
class LinkScanner : public ScannerState<char> {
 public:
  // `buffer`: how much output is gathered before the sink is called.
  explicit LinkScanner(LinkSink& sink, std::size_t buffer = LinkOutput::kCapacity)
      : ScannerState(sink, buffer) {}

  void Feed(std::string_view block);
  // Ends the last line of the stream and writes out what is buffered.
  void Finish();

  // See ScannerState::TakeOver.
  void ContinueFrom(LinkScanner& later) { TakeOver(later); }

  // A new scanner that reads as this one does.
  LinkScanner Sibling(LinkSink& sink, std::size_t buffer) const {
    return LinkScanner(sink, buffer);
  }
  // The most output `input` bytes can give, links and line ends: a bare
  // "http://" and its line end give 9 bytes for 8.
  static constexpr std::size_t OutputBound(std::size_t input) { return input + input / 8 + 16; }

  static constexpr std::size_t kUnitSize = 1;
  // The first line end in [pos, end), or `end`.
  const char* FindLineEndIn(const char* pos, const char* end) const {
    return FindLineEnd(pos, end);
  }

 private:
  // The steps ScanStretch takes.
  const char* ScanSeam(const char* begin, const char* end);
  const char* Search(const char* pos, const char* begin, const char* end);
  const char* ContinueLink(const char* pos, const char* end);
  void RememberTail(const char* begin, const char* end);
  template <typename Scanner>
  friend void ScanStretch(Scanner&, const char*, const char*);

  void AppendToLink(const char* begin, const char* end);
  void CloseLink();
};

}  // namespace linksift
