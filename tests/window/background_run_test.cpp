#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "background_run.h"
#include "fakes.h"
#include "open_descriptors.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

using namespace testing_support;

// What the callbacks saw, and on which thread.
struct Observed {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
  std::vector<RunOutcome> outcomes;
  bool called_off_the_window_thread = false;
  bool running_when_finished = true;
};

class BackgroundRunTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    WriteFile(urls(), "http://old/\r\n");
  }

  std::filesystem::path urls() const { return dir_ / "urls.txt"; }

  bool Start(const std::filesystem::path& input) {
    const std::thread::id window = std::this_thread::get_id();
    return run_->Start(
        input, ProgramFolder(dir_),
        [this, window](std::uint64_t done, std::uint64_t total) {
          seen_.called_off_the_window_thread |= std::this_thread::get_id() != window;
          seen_.progress.emplace_back(done, total);
        },
        [this, window](const RunOutcome& outcome) {
          seen_.called_off_the_window_thread |= std::this_thread::get_id() != window;
          seen_.running_when_finished = run_->running();
          seen_.outcomes.push_back(outcome);
        });
  }
  // Starts a run on a pipe that sends `bytes` and then waits for more.
  PipeWriter& StartOnPipe(const std::string& bytes) {
    pipe_ = std::make_unique<PipeWriter>(PipeWriter::Writer::kAtOnce, dir_ / "pipe.txt");
    pipe_->Send(bytes);
    EXPECT_TRUE(Start(pipe_->path()));
    return *pipe_;
  }
  bool WaitForOutcome() {
    return queue_.RunUntil([this] { return !seen_.outcomes.empty(); });
  }
  // The run ended as cancelled, leaving nothing changed behind.
  void ExpectCancelled() {
    ASSERT_TRUE(WaitForOutcome());
    EXPECT_EQ(seen_.outcomes[0].kind, RunOutcome::Kind::kCancelled);
    EXPECT_FALSE(run_->running());
    ExpectOldOutputOnly();
  }
  // Only the old urls.txt and the pipe: no temporary file left.
  void ExpectOldOutputOnly() {
    EXPECT_EQ(ReadFile(urls()), "http://old/\r\n");
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"pipe.txt", "urls.txt"}));
  }

  FakeWindowQueue queue_;
  std::unique_ptr<PipeWriter> pipe_;
  Observed seen_;
  std::unique_ptr<BackgroundRun> run_ = std::make_unique<BackgroundRun>(queue_.Queue().post);
};

TEST_F(BackgroundRunTest, DeliversProgressThenTheOutcomeOnTheWindowThread) {
  const std::string text = "a http://x/1, b\r\nnone\r\nhttp://y/2\r\n";
  const std::filesystem::path input = dir_ / "in.txt";
  WriteFile(input, text);
  ASSERT_TRUE(Start(input));
  EXPECT_TRUE(run_->running());
  EXPECT_FALSE(Start(input)) << "one run at a time";
  ASSERT_TRUE(WaitForOutcome());

  ASSERT_EQ(seen_.outcomes.size(), 1u);
  const RunOutcome& outcome = seen_.outcomes[0];
  EXPECT_EQ(outcome.kind, RunOutcome::Kind::kCompleted);
  EXPECT_EQ(outcome.count, 2u);
  EXPECT_EQ(outcome.output_path, BuildOutputPath(dir_.string()));
  EXPECT_EQ(ReadFile(urls()), "http://x/1\r\nhttp://y/2\r\n");
  ASSERT_FALSE(seen_.progress.empty());
  EXPECT_EQ(seen_.progress.back(), std::make_pair(text.size() + 0ul, text.size() + 0ul));
  EXPECT_FALSE(seen_.called_off_the_window_thread);
  EXPECT_FALSE(seen_.running_when_finished);
  EXPECT_FALSE(run_->running());

  // The next run starts as the first did.
  seen_.outcomes.clear();
  WriteFile(input, "http://z/\r\n");
  ASSERT_TRUE(Start(input));
  ASSERT_TRUE(WaitForOutcome());
  EXPECT_EQ(seen_.outcomes[0].count, 1u);
}

TEST_F(BackgroundRunTest, CancelStopsARunWaitingOnASilentPipe) {
  StartOnPipe("http://a/\r\n");
  // The run is waiting for more: nothing arrives.
  EXPECT_FALSE(queue_.RunUntil([this] { return !seen_.outcomes.empty(); }, 200ms));
  run_->Cancel();
  ExpectCancelled();
}

TEST_F(BackgroundRunTest, CancelAndWaitReturnsWithTheRunOverAndItsOutcomeStillToCome) {
  PipeWriter& fifo = StartOnPipe("");
  run_->CancelAndWait();
  EXPECT_EQ(OpenDescriptors(fifo.path()), 1) << "the run still reads it";
  ExpectOldOutputOnly();
  // More input now cannot revive the run.
  fifo.Send("http://late/\r\n");
  fifo.Close();
  EXPECT_TRUE(run_->running());
  EXPECT_FALSE(Start(fifo.path()));
  ExpectCancelled();
}

TEST_F(BackgroundRunTest, DestroyedMidRunItWaitsAndItsQueuedTasksDoNothing) {
  StartOnPipe("http://a/\r\n");
  run_.reset();
  ExpectOldOutputOnly();
  // Whatever the run posted runs now, and must not reach the dead object.
  EXPECT_FALSE(queue_.RunUntil([this] { return !seen_.outcomes.empty(); }, 100ms));
}

TEST(ProgressStep, ScalesBytesToTheBarAndGivesNothingWithoutASize) {
  constexpr std::uint64_t kMax = UINT64_MAX;
  struct Case {
    std::uint64_t done;
    std::uint64_t total;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {0, 0, std::nullopt},      // a pipe
      {12345, 0, std::nullopt},  // a pipe, well under way
      {0, 10, 0},
      {5, 10, 500},
      {10, 10, kProgressSteps},
      {11, 10, kProgressSteps},  // the file grew while it was read
      {1, 3, 333},
      {3'000'000'000, 6'000'000'000, 500},  // past what an int holds
      {kMax / 2, kMax, 499},
      {kMax, kMax, kProgressSteps},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressStep(c.done, c.total), c.expected) << c.done << " of " << c.total;
  }
}

}  // namespace
}  // namespace linksift
