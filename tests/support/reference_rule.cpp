#include "reference_rule.h"

#include <algorithm>

namespace linksift::testing_support {
namespace {

// Written out here rather than taken from the scanner's link_rule.h, so that a
// wrong prefix or mark there shows as a difference from this reference.
constexpr std::string_view kPrefix = "http://";
constexpr std::string_view kTrailingMarks = ",.:;";

constexpr char FoldAsciiCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::size_t FindPrefix(std::string_view line) {
  const auto it = std::search(line.begin(), line.end(), kPrefix.begin(), kPrefix.end(),
                              [](char a, char b) { return FoldAsciiCase(a) == b; });
  return it == line.end() ? std::string_view::npos : static_cast<std::size_t>(it - line.begin());
}

}  // namespace

std::optional<std::string_view> ExtractLink(std::string_view line) {
  const std::size_t start = FindPrefix(line);
  if (start == std::string_view::npos) return std::nullopt;
  std::string_view link = line.substr(start);
  link = link.substr(0, link.find(' '));
  if (kTrailingMarks.find(link.back()) != std::string_view::npos) link.remove_suffix(1);
  return link;
}

}  // namespace linksift::testing_support
