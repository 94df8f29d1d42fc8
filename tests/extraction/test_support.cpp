#include "test_support.h"

#include <array>

#include "link_rule.h"

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

}  // namespace linksift::testing_support
