// Pipes as input: read to their end, and never waited on beyond the reach of
// a cancel.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <string>

#include "extract.h"
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

}  // namespace
}  // namespace linksift
