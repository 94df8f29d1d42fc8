#include "text.h"

#include <algorithm>
#include <array>

#include "reference_rule.h"

namespace linksift::testing_support {

std::string ReferenceOutput(std::string_view input) {
  std::string out;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = input.size();
    if (const auto link = ExtractLink(input.substr(start, end - start))) {
      out.append(*link);
      out.append("\r\n");
    }
    start = end + 1;
  }
  return out;
}

std::size_t FirstDifference(std::string_view a, std::string_view b) {
  const auto [in_a, in_b] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (in_a == a.end() && in_b == b.end()) return std::string_view::npos;
  return static_cast<std::size_t>(in_a - a.begin());
}

std::string RandomText(std::mt19937_64& random, std::size_t size) {
  static const std::array<std::string_view, 16> kPieces = {
      "http://", "HTTP://", "hTtP://", "http:/", "ttp://", "://", " ",  "\t",
      "\r\n",    "\n",      "\r",      ".",      ",",      ";:",  "ab", "\xff\x80"};
  std::string text;
  while (text.size() < size) {
    const auto pick = random() % (kPieces.size() + 4);
    if (pick < kPieces.size()) {
      text.append(kPieces[pick]);
    } else {
      text.push_back(static_cast<char>(random() % 256));
    }
  }
  text.resize(size);
  return text;
}

// Checks the lead bytes and the count of continuation bytes; enough to tell
// UTF-8 from a code page's bytes.
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int more = lead < 0x80   ? 0
                     : lead < 0xC2 ? -1
                     : lead < 0xE0 ? 1
                     : lead < 0xF0 ? 2
                     : lead < 0xF5 ? 3
                                   : -1;
    if (more < 0 || text.size() - i < static_cast<std::size_t>(more)) return false;
    for (int k = 0; k < more; ++k) {
      if ((static_cast<unsigned char>(text[i++]) & 0xC0) != 0x80) return false;
    }
  }
  return true;
}

}  // namespace linksift::testing_support
