// The split scan with a scripted reader: chunks that fail, come late, come
// in pieces or end the file early must give what one scan of the same bytes
// gives, in file order, or the failed read's reason.
#include "split_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "link_scanner.h"
#include "test_support.h"
#include "utf16_scanner.h"

namespace linksift {
namespace {
using namespace testing_support;

constexpr std::size_t kChunk = 4096;
constexpr std::size_t kChunks = 40;

// What the reader does with the reads of one chunk.
struct Script {
  std::uint64_t chunk = kChunks;  // none
  enum class Act { kNothing, kFail, kDelay, kEndAfter, kPieces } act = Script::Act::kNothing;
  std::size_t bytes = 0;  // kEndAfter: the chunk's bytes that exist; kPieces: the most a read gives
};

struct SplitCase {
  const char* name;
  Script script;
  bool help = true;
};

std::string Text(bool utf16) {
  std::mt19937_64 random(7);
  std::string text = RandomText(random, kChunk * kChunks - 2);
  if (!utf16) return text;
  std::string units;
  // UTF-16LE of Latin-1, with a surrogate pair for every "Z" and a lone high one for every "Y".
  for (const char c : text) {
    units += c == 'Z'   ? std::string("\x3D\xD8\x00\xDE", 4)
             : c == 'Y' ? std::string("\x00\xD8", 2)
                        : std::string{c, '\0'};
  }
  return units.substr(0, kChunk * kChunks);
}

template <typename Scanner>
std::string ScanWhole(Scanner scanner, StringSink& sink, std::string_view text) {
  scanner.Feed(text);
  scanner.Finish();
  return sink.text;
}

template <typename Scanner>
void Check(const SplitCase& c, Scanner& scanner, StringSink& sink, const std::string& text,
           Scanner expected_scanner, StringSink& expected_sink) {
  const Script& s = c.script;
  const std::size_t end =
      s.act == Script::Act::kEndAfter ? s.chunk * kChunk + s.bytes : text.size();
  const auto read = [&](char* buffer, std::size_t size, std::uint64_t offset, std::size_t& got) {
    const bool scripted = offset / kChunk == s.chunk;
    if (scripted && s.act == Script::Act::kFail) return std::make_error_code(std::errc::io_error);
    if (scripted && s.act == Script::Act::kDelay) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    if (scripted && s.act == Script::Act::kPieces) size = std::min(size, s.bytes);
    got = offset < end ? std::min<std::size_t>(size, end - offset) : 0;
    std::memcpy(buffer, text.data() + offset, got);
    return std::error_code();
  };
  std::size_t fed = 0;
  const std::error_code error =
      SplitScan<Scanner>(scanner, read, 0, kChunk, c.help).Run([&](std::size_t n) { fed += n; });
  if (s.act == Script::Act::kFail) {
    EXPECT_EQ(error, std::errc::io_error);
    return;
  }
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(fed, end);
  scanner.Finish();
  const std::string expected =
      ScanWhole(std::move(expected_scanner), expected_sink, std::string_view(text).substr(0, end));
  EXPECT_EQ(FirstDifference(sink.text, expected), std::string::npos);
  EXPECT_EQ(scanner.count(),
            static_cast<LinkCount>(std::count(expected.begin(), expected.end(), '\n')));
}

class SplitScanTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitScanTest, GivesWhatOneScanGivesOrTheReadsFailure) {
  {
    SCOPED_TRACE("bytes");
    const std::string text = Text(false);
    StringSink sink, expected;
    LinkScanner scanner(sink);
    Check(GetParam(), scanner, sink, text, LinkScanner(expected), expected);
  }
  {
    SCOPED_TRACE("UTF-16");
    const std::string text = Text(true);
    StringSink sink, expected;
    Utf16LinkScanner scanner(sink, ByteOrder::kLittleEndian);
    Check(GetParam(), scanner, sink, text, Utf16LinkScanner(expected, ByteOrder::kLittleEndian),
          expected);
  }
}

using Act = Script::Act;
INSTANTIATE_TEST_SUITE_P(
    Scripts, SplitScanTest,
    testing::Values(SplitCase{"EveryChunkWhole", {}}, SplitCase{"OneThreadAlone", {}, false},
                    SplitCase{"FirstReadFails", {0, Act::kFail}},
                    SplitCase{"ReadFailsMidway", {17, Act::kFail}},
                    SplitCase{"LastReadFails", {kChunks - 1, Act::kFail}},
                    SplitCase{"ChunkComesLate", {1, Act::kDelay}},
                    SplitCase{"LaterChunkComesLate", {6, Act::kDelay}},
                    SplitCase{"ChunkComesInPieces", {3, Act::kPieces, 1000}},
                    SplitCase{"FileEndsMidChunk", {9, Act::kEndAfter, 1001}},
                    SplitCase{"FileEndsOnAChunksEdge", {12, Act::kEndAfter, 0}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace linksift
