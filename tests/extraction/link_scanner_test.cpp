#include "link_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

class StringSink final : public LinkSink {
 public:
  void Write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

struct ScanResult {
  std::string output;
  LinkCount count;
};

// Feeds `input` in pieces whose sizes come from `next_size`.
template <typename NextSize>
ScanResult Scan(std::string_view input, NextSize next_size) {
  StringSink sink;
  LinkScanner scanner(sink);
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t size = std::min(next_size(), input.size() - at);
    scanner.Feed(input.substr(at, size));
    at += size;
  }
  scanner.Finish();
  return {sink.text, scanner.count()};
}

ScanResult ScanInBlocks(std::string_view input, std::size_t block) {
  return Scan(input, [block] { return block; });
}

struct StreamCase {
  std::string name;
  std::string input;
  std::string output;
};

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

const StreamCase kStreamCases[] = {
    {"Empty", "", ""},
    {"NoLink", "plain\r\ntext\r\n", ""},
    {"CrLf", "a http://a b\r\nnone\r\nhttp://c, d\r\n", "http://a\r\nhttp://c\r\n"},
    {"LoneLf", "x http://a\nhttp://b.\n", "http://a\r\nhttp://b\r\n"},
    {"LoneCr", "http://a\rhttp://b\r", "http://a\r\nhttp://b\r\n"},
    {"LfCr", "http://a\n\rhttp://b\n\r", "http://a\r\nhttp://b\r\n"},
    {"NoFinalLineEnd", "one\r\ntail http://z", "http://z\r\n"},
    {"EmptyLinesGiveNothing", "\r\n\r\n\n\r\rhttp://a\r\n\r\n", "http://a\r\n"},
    {"MarkBeforeLineEnd",
     "http://a;\r\nhttp://b.\nhttp://c:", "http://a\r\nhttp://b\r\nhttp://c\r\n"},
    {"OnlyFirstLinkOfALine", "http://a http://b\r\nhttp://c", "http://a\r\nhttp://c\r\n"},
    {"SecondLinkAfterBlankSkipped", "http://a x\r\nhttp://b", "http://a\r\nhttp://b\r\n"},
    {"PrefixSplitByLineEnd", "http:\r\n//a http\n://b", ""},
    {"PrefixAfterFalseStarts", "ttp:// http:/ http//x HtTp://ok", "HtTp://ok\r\n"},
    {"NestedPrefix", "hhttp://http://x\r\n", "http://http://x\r\n"},
    {"PrefixOnly", "http://\r\nhttp://.", "http://\r\nhttp://\r\n"},
    {"RawBytes", std::string("\x80 http://\x00\xff\xc3\xa9 \x01\r\n", 15),
     std::string("http://\x00\xff\xc3\xa9\r\n", 13)},
    {"TabsAndQuotesStayInLink", "\"http://a\tb\" x", "http://a\tb\"\r\n"},
    // Long enough to cross the vector kernels' strides.
    {"LongLines",
     std::string(70, 'x') + " http://" + std::string(70, 'a') + " " + std::string(70, 'y') +
         "\r\n" + std::string(33, 'z') + "http://b",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\n"},
    // Line ends past a vector's width from where a search starts, so that the
    // vector loops, not only their scalar tails, meet CR, LF CR and CR LF.
    {"CrEndsLongLinksAndLines",
     "http://" + std::string(70, 'a') + "\rhttp://b " + std::string(70, 'x') + "\rhttp://c\r",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\nhttp://c\r\n"},
    {"LfCrEndsLongLinksAndLines",
     "http://" + std::string(70, 'a') + ".\n\rhttp://b " + std::string(70, 'x') +
         "\n\rhttp://c\n\r",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\nhttp://c\r\n"},
    {"CrLfEndsLongLinksAndLines",
     "http://" + std::string(70, 'a') + ";\r\nhttp://b " + std::string(70, 'x') +
         "\r\n" + std::string(70, 'y') + "\r\nhttp://c",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\nhttp://c\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Stream, LineRuleTest,
                         testing::Combine(testing::ValuesIn(kSearchKernels),
                                          testing::ValuesIn(kStreamCases)),
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

TEST_P(ScannerTest, StreamsALinkLongerThanAnyBlock) {
  std::string input = "x http://";
  input.append(5'000'000, 'a');
  input.append(".");
  const ScanResult got = ScanInBlocks(input, 4096);
  ASSERT_EQ(got.count, 1u);
  EXPECT_EQ(got.output.size(), 7 + 5'000'000 + 2u);
  EXPECT_EQ(got.output.substr(got.output.size() - 3), "a\r\n");
}

INSTANTIATE_TEST_SUITE_P(Kernels, ScannerTest,
                         testing::Combine(testing::ValuesIn(kSearchKernels),
                                          testing::Values(NoCase{"All"})),
                         KernelCaseName());

}  // namespace
}  // namespace linksift
