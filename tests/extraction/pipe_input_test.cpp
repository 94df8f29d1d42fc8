// Pipes as input: read to their end, and never waited on beyond the reach of
// a cancel.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <string>

#include "extract.h"
#include "stream_cases.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

class PipeInputTest : public TempDirTest {
 protected:
  void SetUp() override { WriteFile(output_, "old\r\n"); }

  std::future<LinkCount> StartRun(const std::atomic<bool>* cancel = nullptr) {
    return std::async(std::launch::async, [this, cancel] {
      RunOptions options;
      options.cancel = cancel;
      return ExtractLinksFromFile(pipe_.path(), output_, options);
    });
  }

  // Sees the run still waiting, cancels it and sees it stop with nothing changed.
  void ExpectCancelStops(std::future<LinkCount>& run, std::atomic<bool>& cancel) {
    EXPECT_EQ(run.wait_for(300ms), std::future_status::timeout);
    cancel = true;
    EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
    EXPECT_THROW(run.get(), ExtractionCancelled);
    EXPECT_EQ(ReadFile(output_), "old\r\n");
    EXPECT_EQ(Names(dir_), std::set<std::string>{"urls.txt"});
  }

  const fs::path output_ = dir_ / "urls.txt";
  PipeWriter pipe_;
};

// A pipe whose writer has gone quiet must not hold a cancel up.
TEST_F(PipeInputTest, CancelStopsARunWhileThePipeIsSilent) {
  std::atomic<bool> cancel{false};
  auto run = StartRun(&cancel);
  pipe_.Send("http://a\r\n");
  ExpectCancelStops(run, cancel);
}

TEST_F(PipeInputTest, CancelStopsARunWhileThePipeHasNoWriterYet) {
  std::atomic<bool> cancel{false};
  auto run = StartRun(&cancel);
  ExpectCancelStops(run, cancel);
}

// A writer that comes late is waited for: its pipe is no empty input.
TEST_F(PipeInputTest, WaitsForTheFirstWriterAndReadsToTheEnd) {
  auto run = StartRun();
  EXPECT_EQ(run.wait_for(200ms), std::future_status::timeout);
  pipe_.Send("a http://x\r\n");
  pipe_.Send("b http://y.\r\n");
  pipe_.Close();
  ASSERT_EQ(run.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(run.get(), 2u);
  EXPECT_EQ(ReadFile(output_), "http://x\r\nhttp://y\r\n");
}

#ifndef _WIN32
// Written and read a byte at a time: the mark and every code unit arrive split.
TEST_F(PipeInputTest, ReadsUtf16FedAByteAtATime) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string text =
      Utf16Stream(u"a http://пример.рф/\U0001F600, b\r\nhttp://x", ByteOrder::kLittleEndian);
  for (const char byte : text) ASSERT_EQ(::write(ends[1], &byte, 1), 1);
  ::close(ends[1]);
  RunOptions options;
  options.block_size = 1;
  EXPECT_EQ(ExtractLinksFromFile("/dev/fd/" + std::to_string(ends[0]), output_, options), 2u);
  ::close(ends[0]);
  EXPECT_EQ(ReadFile(output_), "http://пример.рф/\U0001F600\r\nhttp://x\r\n");
}
#endif

}  // namespace
}  // namespace linksift
