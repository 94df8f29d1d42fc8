// Arbitrary bytes through the scanner, in blocks of a size the input picks,
// on every search kernel, read as they come (mark or none), as bytes, and as
// UTF-16 in both byte orders; each output is checked against a plain reading
// of the rule, one character at a time.
//
// Input: two bytes of block size, then the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_search.h"
#include "link_output.h"
#include "link_scanner.h"
#include "text_scanner.h"

namespace linksift {
namespace {

// --- The reference: the stream decoded to characters, then line by line.

enum class Reading { kBytes, kLittleEndian, kBigEndian };

std::vector<char32_t> Decode(std::string_view bytes, Reading reading) {
  std::vector<char32_t> text;
  if (reading == Reading::kBytes) {
    for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
    return text;
  }
  std::vector<char32_t> units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(reading == Reading::kLittleEndian ? (a | b << 8) : (a << 8 | b));
  }
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    const bool high = u >= 0xD800 && u <= 0xDBFF;
    const bool low = u >= 0xDC00 && u <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      text.push_back(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      text.push_back(high || low ? 0xFFFD : u);
    }
  }
  if (bytes.size() % 2 != 0) text.push_back(0xFFFD);
  return text;
}

void Encode(char32_t c, Reading reading, std::string& out) {
  if (reading == Reading::kBytes || c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool IsLineEnd(char32_t c) {
  return c == '\r' || c == '\n';
}

char32_t Fold(char32_t c) {
  return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Where the first "http://" in any letter case starts in text[from, to), or `to`.
std::size_t FindPrefix(const std::vector<char32_t>& text, std::size_t from, std::size_t to) {
  static constexpr char kPrefix[] = "http://";
  constexpr std::size_t kSize = sizeof kPrefix - 1;
  for (std::size_t i = from; i + kSize <= to; ++i) {
    std::size_t k = 0;
    while (k < kSize && Fold(text[i + k]) == static_cast<char32_t>(kPrefix[k])) ++k;
    if (k == kSize) return i;
  }
  return to;
}

struct Result {
  std::string output;
  LinkCount count = 0;
};

Result Reference(std::string_view bytes, Reading reading) {
  const std::vector<char32_t> text = Decode(bytes, reading);
  Result result;
  for (std::size_t line = 0; line < text.size();) {
    std::size_t line_end = line;
    while (line_end < text.size() && !IsLineEnd(text[line_end])) ++line_end;
    const std::size_t start = FindPrefix(text, line, line_end);
    if (start != line_end) {
      std::size_t stop = start;
      while (stop < line_end && text[stop] != ' ') ++stop;
      const char32_t last = text[stop - 1];
      if (last == ',' || last == '.' || last == ':' || last == ';') --stop;
      for (std::size_t i = start; i < stop; ++i) Encode(text[i], reading, result.output);
      result.output += "\r\n";
      ++result.count;
    }
    line = line_end + 1;
  }
  return result;
}

Result Expected(std::string_view stream) {
  if (stream.substr(0, 2) == "\xFF\xFE") return Reference(stream.substr(2), Reading::kLittleEndian);
  if (stream.substr(0, 2) == "\xFE\xFF") return Reference(stream.substr(2), Reading::kBigEndian);
  return Reference(stream, Reading::kBytes);
}

// --- The scanner, fed each block from an allocation of its own size, so
// that the sanitizer sees any read past a block's end.

using linksift::StringSink;

template <typename Scanner>
Result Scan(std::string_view stream, std::size_t block) {
  StringSink sink;
  Scanner scanner(sink);
  for (std::size_t at = 0; at < stream.size(); at += block) {
    const std::string_view piece = stream.substr(at, block);
    const std::unique_ptr<char[]> copy(new char[piece.size()]);
    std::copy(piece.begin(), piece.end(), copy.get());
    scanner.Feed(std::string_view(copy.get(), piece.size()));
  }
  scanner.Finish();
  return {sink.text, scanner.count()};
}

void Check(const Result& got, const Result& expected) {
  if (got.output != expected.output || got.count != expected.count) std::abort();
}

}  // namespace
}  // namespace linksift

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace linksift;
  if (size < 2) return 0;
  const std::size_t block = 1 + (data[0] | (data[1] & 0x0F) << 8);
  const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string little = "\xFF\xFE" + std::string(stream);
  const std::string big = "\xFE\xFF" + std::string(stream);
  const SearchKernel usual = ActiveSearchKernel();
  for (const SearchKernel kernel : {SearchKernel::kScalar, SearchKernel::kAvx2}) {
    if (!ForceSearchKernel(kernel)) continue;
    Check(Scan<TextScanner>(stream, block), Expected(stream));
    Check(Scan<LinkScanner>(stream, block), Reference(stream, Reading::kBytes));
    Check(Scan<TextScanner>(little, block), Expected(little));
    Check(Scan<TextScanner>(big, block), Expected(big));
  }
  ForceSearchKernel(usual);
  return 0;
}
