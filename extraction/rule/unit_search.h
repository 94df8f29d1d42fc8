#pragma once

#include <cstdint>

// The link scanner's searches for UTF-16 text, code unit by code unit, in
// either byte order, with no conversion. They run on the kernel that
// ForceSearchKernel() chose for the byte searches. Positions are bytes: the
// stretch given is a whole number of code units, and each returns the unit
// found, or `end` when there is none.
namespace linksift {

enum class ByteOrder : std::uint8_t { kLittleEndian, kBigEndian };

// First unit that starts kSchemeSeparator, with all of it before `end`.
const char* FindSchemeSeparator16(ByteOrder order, const char* begin, const char* end);

// First U+0020, U+000D or U+000A: the units that end a link.
const char* FindLinkEnd16(ByteOrder order, const char* begin, const char* end);

// First U+000D or U+000A.
const char* FindLineEnd16(ByteOrder order, const char* begin, const char* end);

// The code unit at `p`.
inline char16_t UnitAt(ByteOrder order, const char* p) {
  const auto first = static_cast<unsigned char>(p[0]);
  const auto second = static_cast<unsigned char>(p[1]);
  return static_cast<char16_t>(order == ByteOrder::kLittleEndian ? first | second << 8
                                                                 : first << 8 | second);
}

}  // namespace linksift
