#pragma once

#include <cstdint>
#include <string_view>

// The link rule's constants. The rule itself runs in LinkScanner
// (link_scanner.cpp), which finds the first link of every line of a stream
// with the searches of search_kernels.cpp; the tests check it against a plain
// line-by-line reference of their own (tests/support/reference_rule.h).
namespace linksift {

// How many links one run wrote.
using LinkCount = std::uint64_t;

// The bytes that start a link, matched with A-Z folded to a-z.
inline constexpr std::string_view kLinkPrefix = "http://";
// Its two parts: the scanner looks for the separator, then for the scheme before it.
inline constexpr std::string_view kLinkScheme = kLinkPrefix.substr(0, kLinkPrefix.find(':'));
inline constexpr std::string_view kSchemeSeparator = kLinkPrefix.substr(kLinkScheme.size());

// True for the marks that are dropped once from the end of a link.
constexpr bool IsTrailingMark(char c) {
  return c == ',' || c == '.' || c == ':' || c == ';';
}

}  // namespace linksift
