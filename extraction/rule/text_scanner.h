#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "link_output.h"
#include "link_rule.h"
#include "link_scanner.h"
#include "utf16_scanner.h"

namespace linksift {

// Finds the first link of every line of a text stream fed in blocks of any
// size. A stream that starts with the byte order mark FF FE is UTF-16LE,
// one with FE FF is UTF-16BE; their links are written in UTF-8. Any other
// stream is read as bytes, whatever single-byte code page or UTF-8 it holds,
// and its links are written as they are.
class TextScanner {
 public:
  explicit TextScanner(LinkSink& sink) : sink_(sink) {}

  void Feed(std::string_view block);
  // Ends the last line of the stream and writes out what is buffered.
  void Finish();

  LinkCount count() const;
  // The byte scanner, once the stream's first bytes have chosen it; null
  // before or for UTF-16.
  LinkScanner* bytes() { return bytes_ ? &*bytes_ : nullptr; }
  // The UTF-16 scanner, once the stream's mark has chosen it; null otherwise.
  Utf16LinkScanner* units() { return units_ ? &*units_ : nullptr; }

 private:
  static constexpr std::size_t kMarkSize = 2;

  void ChooseReading();

  LinkSink& sink_;
  // The stream's first bytes, until there are enough to tell a mark.
  char start_[kMarkSize] = {};
  std::size_t started_ = 0;
  std::optional<LinkScanner> bytes_;
  std::optional<Utf16LinkScanner> units_;
};

}  // namespace linksift
