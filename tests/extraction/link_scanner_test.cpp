#include "text_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "link_output.h"
#include "stream_cases.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

struct ScanResult {
  std::string output;
  LinkCount count;
};

// Feeds `input` to a scanner writing to `sink` in pieces whose sizes come from `next_size`.
template <typename NextSize>
LinkCount Feed(LinkSink& sink, std::string_view input, NextSize next_size) {
  TextScanner scanner(sink);
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t size = std::min(next_size(), input.size() - at);
    scanner.Feed(input.substr(at, size));
    at += size;
  }
  scanner.Finish();
  return scanner.count();
}

template <typename NextSize>
ScanResult Scan(std::string_view input, NextSize next_size) {
  StringSink sink;
  const LinkCount count = Feed(sink, input, next_size);
  return {sink.text, count};
}

ScanResult ScanInBlocks(std::string_view input, std::size_t block) {
  return Scan(input, [block] { return block; });
}

using LineRuleTest = KernelTest<StreamCase>;

// Every case at every block size, so prefixes, CR LF pairs and trailing marks
// all land on block edges somewhere; and on every search kernel, so they land
// on vector edges too.
TEST_P(LineRuleTest, GivesTheSameOutputForEveryBlockSize) {
  const StreamCase& c = TestCase();
  const auto lines = static_cast<LinkCount>(std::count(c.output.begin(), c.output.end(), '\n'));
  for (std::size_t block = 1; block <= c.input.size() + 1; ++block) {
    const ScanResult got = ScanInBlocks(c.input, block);
    ASSERT_EQ(got.output, c.output) << "block size " << block;
    ASSERT_EQ(got.count, lines) << "block size " << block;
  }
}

// UTF-16 streams in both byte orders, and those that no text gives.
std::vector<StreamCase> Utf16StreamCases() {
  std::vector<StreamCase> cases = kUtf16ByteCases;
  for (const Utf16Case& c : kUtf16Cases) {
    cases.push_back(
        {"LittleEndian" + c.name, Utf16Stream(c.text, ByteOrder::kLittleEndian), c.output});
    cases.push_back({"BigEndian" + c.name, Utf16Stream(c.text, ByteOrder::kBigEndian), c.output});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Stream, LineRuleTest,
                         testing::Combine(testing::ValuesIn(kSearchKernels),
                                          testing::ValuesIn(kStreamCases)),
                         KernelCaseName());
INSTANTIATE_TEST_SUITE_P(Utf16, LineRuleTest,
                         testing::Combine(testing::ValuesIn(kSearchKernels),
                                          testing::ValuesIn(Utf16StreamCases())),
                         KernelCaseName());

// Tests that vary by kernel alone.
struct NoCase {
  std::string name;
};
using ScannerTest = KernelTest<NoCase>;

TEST_P(ScannerTest, AgreesWithExtractLinkOnRandomText) {
  std::mt19937_64 random(20261207);
  for (int round = 0; round < 300; ++round) {
    const std::string input = RandomText(random, random() % 3000);
    const std::string expected = ReferenceOutput(input);
    // Varying piece sizes, from single bytes to whole buffers.
    const std::size_t limit = std::size_t{1} << (random() % 12);
    const ScanResult got = Scan(input, [&] { return 1 + random() % limit; });
    ASSERT_EQ(got.output, expected) << "round " << round;
  }
}

// Keeps the output and the size of each write.
struct WriteLog final : LinkSink {
  void Write(std::string_view bytes) override {
    text.append(bytes);
    sizes.push_back(bytes.size());
  }
  std::string text;
  std::vector<std::size_t> sizes;
};

// Pieces smaller and larger than the output's buffer, of no whole number of
// pages, still reach the output as writes of whole pages, but for the last.
TEST_P(ScannerTest, StreamsALinkLongerThanAnyBlockInWholePages) {
  std::string input = "x http://";
  input.append(5'000'000, 'a');
  input.append(".");
  for (const std::size_t block : {4096u, 100'003u}) {
    WriteLog sink;
    ASSERT_EQ(Feed(sink, input, [block] { return block; }), 1u);
    EXPECT_EQ(sink.text.size(), 7 + 5'000'000 + 2u);
    EXPECT_EQ(sink.text.substr(sink.text.size() - 3), "a\r\n");
    for (std::size_t i = 0; i + 1 < sink.sizes.size(); ++i) {
      ASSERT_EQ(sink.sizes[i] % kPageSize, 0u) << "write " << i << ", block size " << block;
    }
  }
}

// Converted piece by piece into the output, never held whole.
TEST_P(ScannerTest, StreamsAUtf16LinkLongerThanAnyBlock) {
  const std::string input =
      Utf16Stream(u"x http://" + std::u16string(300'000, u'я') + u".", ByteOrder::kBigEndian);
  const ScanResult got = ScanInBlocks(input, 4095);
  ASSERT_EQ(got.count, 1u);
  EXPECT_EQ(got.output.size(), 7 + 2 * 300'000 + 2u);
  EXPECT_EQ(got.output.substr(got.output.size() - 4), "я\r\n");
}

INSTANTIATE_TEST_SUITE_P(Kernels, ScannerTest,
                         testing::Combine(testing::ValuesIn(kSearchKernels),
                                          testing::Values(NoCase{"All"})),
                         KernelCaseName());

}  // namespace
}  // namespace linksift
