#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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

// The first link of one text line (given without its line end), or nothing.
// The link starts at the first "http://" in any letter case, runs to the first
// blank, and loses one trailing mark of ",.:;". The result views into `line`.
std::optional<std::string_view> ExtractLink(std::string_view line);

}  // namespace linksift
