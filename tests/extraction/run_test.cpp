// Whole runs through the file layer of whichever system the tests run on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "extract.h"
#include "stream_cases.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

class RunTest : public TempDirTest {
 protected:
  const fs::path output_ = dir_ / "urls.txt";
};

struct RunCase {
  std::string name;
  std::string input;
  std::string output;
  LinkCount count;
};

class WholeRunTest : public RunTest, public testing::WithParamInterface<RunCase> {};

TEST_P(WholeRunTest, ReplacesOldOutputWithTheLinks) {
  const RunCase& c = GetParam();
  WriteFile(dir_ / "in.txt", c.input);
  for (const std::size_t block :
       {std::size_t{1}, std::size_t{5}, std::size_t{64} << 10, kDefaultBlockSize}) {
    WriteFile(output_, "old content\r\n");
    RunOptions options;
    options.block_size = block;
    EXPECT_EQ(ExtractLinksFromFile(dir_ / "in.txt", output_, options), c.count);
    EXPECT_EQ(ReadFile(output_), c.output) << "block size " << block;
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"in.txt", "urls.txt"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, WholeRunTest,
    testing::Values(RunCase{"EmptyFile", "", "", 0}, RunCase{"NoLinks", "a\r\nb\r\n", "", 0},
                    RunCase{"FirstAndThirdLines", "x http://a.\r\nnone\r\nhttp://c y\r\n",
                            "http://a\r\nhttp://c\r\n", 2},
                    RunCase{"UnixLineEnds", "http://a\nhttp://b\n", "http://a\r\nhttp://b\r\n", 2},
                    RunCase{"LastLineUnterminated", "a\r\nsee http://z", "http://z\r\n", 1},
                    // A link longer than the output buffer, after links still buffered.
                    RunCase{"ShortLinkThenOneOf70KB",
                            "http://a\r\nx http://" + std::string(70'000, 'b') + "\r\n",
                            "http://a\r\nhttp://" + std::string(70'000, 'b') + "\r\n", 2},
                    RunCase{"Utf16BigEndian",
                            Utf16Stream(u"a http://пример.рф, b\r\nnone\rhttp://x\n",
                                        ByteOrder::kBigEndian),
                            "http://пример.рф\r\nhttp://x\r\n", 2},
                    // A link across the first page, where a small block ends.
                    RunCase{"Utf16LittleEndianAcrossAPage",
                            Utf16Stream(std::u16string(2044, u'я') + u" http://пример/путь\r\n",
                                        ByteOrder::kLittleEndian),
                            "http://пример/путь\r\n", 1}),
    [](const auto& info) { return info.param.name; });

TEST_F(RunTest, MatchesTheLineByLineRuleOnALargeRandomFile) {
  std::mt19937_64 random(7);
  const std::string input = RandomText(random, 3'000'000);
  WriteFile(dir_ / "in.txt", input);
  const std::string expected = ReferenceOutput(input);
  ExtractLinksFromFile(dir_ / "in.txt", output_);
  EXPECT_EQ(FirstDifference(ReadFile(output_), expected), std::string::npos)
      << "of " << expected.size() << " bytes expected";
}

TEST_F(RunTest, CountsBeyondSixteenBits) {
  std::string input;
  for (int i = 0; i < 70'000; ++i) input += "http://a\n";
  WriteFile(dir_ / "in.txt", input);
  EXPECT_EQ(ExtractLinksFromFile(dir_ / "in.txt", output_), 70'000u);
}

// A run over one line whose link runs through the whole file, then a short one.
class LongRunTest : public TempDirTest {
 protected:
  void SetUp() override {
    WriteFile(input_, "see http://" + std::string(1 << 20, 'a') + "\r\nhttp://b\r\n");
    WriteFile(output_, "old\r\n");
  }

  // Reports after every block of 4 KiB.
  static RunOptions EveryBlock() {
    RunOptions options;
    options.block_size = 4096;
    options.progress_interval = {};
    return options;
  }

  const fs::path input_ = dir_ / "in.txt";
  const fs::path output_ = dir_ / "urls.txt";
};

using RunCancelTest = LongRunTest;
using RunProgressTest = LongRunTest;

// Cancels once the run has read `at` bytes: 0 stops it before the first
// block, the middle falls inside the long link, the size is the very end.
TEST_F(RunCancelTest, AtAnyPointKeepsTheOldOutput) {
  const std::uint64_t size = fs::file_size(input_);
  for (const std::uint64_t at : {std::uint64_t{0}, size / 2, size}) {
    std::atomic<bool> cancel{at == 0};
    RunOptions options = EveryBlock();
    options.cancel = &cancel;
    options.on_progress = [&](std::uint64_t done, std::uint64_t) {
      if (done >= at) cancel = true;
    };
    EXPECT_THROW(ExtractLinksFromFile(input_, output_, options), ExtractionCancelled) << at;
    EXPECT_EQ(ReadFile(output_), "old\r\n");
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"in.txt", "urls.txt"}));
  }
}

TEST_F(RunProgressTest, RisesToTheFileSize) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  RunOptions options = EveryBlock();
  options.on_progress = [&](std::uint64_t done, std::uint64_t total) {
    calls.emplace_back(done, total);
  };
  EXPECT_EQ(ExtractLinksFromFile(input_, output_, options), 2u);
  const std::uint64_t size = fs::file_size(input_);
  ASSERT_GT(calls.size(), 100u);
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
  EXPECT_EQ(calls.back(), std::make_pair(size, size));
}

TEST_F(RunProgressTest, CallsAreThrottled) {
  int calls = 0;
  RunOptions options = EveryBlock();
  options.progress_interval = 1h;
  options.on_progress = [&](std::uint64_t, std::uint64_t) { ++calls; };
  ExtractLinksFromFile(input_, output_, options);
  EXPECT_EQ(calls, 1);  // only the final report
}

}  // namespace
}  // namespace linksift
