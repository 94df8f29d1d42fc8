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
class LinkScanner {
 public:
  // `buffer`: how much output is gathered before the sink is called.
  explicit LinkScanner(LinkSink& sink, std::size_t buffer = LinkOutput::kCapacity)
      : out_(sink, buffer) {}

  void Feed(std::string_view block);
  // Ends the last line of the stream and writes out what is buffered.
  void Finish();

  LinkCount count() const { return count_; }

  // Goes on where `later` stands, and leaves `later` as new. Past a line end
  // every scanner stands where a new one does, so a scan started just past
  // one continues this one: this scanner was last fed up to a line end,
  // `later` from just past it. What `later` buffers follows this one's output.
  void ContinueFrom(LinkScanner& later);

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
  template <typename Scanner>
  friend void ScanStretch(Scanner&, const char*, const char*);
  // Enough bytes of history for a prefix that straddles blocks.
  static constexpr std::size_t kTail = kLinkPrefix.size() - 1;

  const char* ScanSeam(const char* begin, const char* end);
  const char* Search(const char* pos, const char* begin, const char* end);
  const char* ContinueLink(const char* pos, const char* end);
  void AppendToLink(const char* begin, const char* end);
  void CloseLink();
  void RememberTail(const char* begin, const char* end);

  LinkOutput out_;
  LinkState state_ = LinkState::kSearching;
  LinkCount count_ = 0;
  // The link's last byte is held back until the link ends: it may be a mark to drop.
  char held_ = 0;
  bool holding_ = false;
  // The last bytes fed, oldest first; a line end stands in before the stream starts.
  char tail_[kTail] = {'\n', '\n', '\n', '\n', '\n', '\n'};
};

}  // namespace linksift
