#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "background_run.h"
#include "texts.h"
#include "window_test_support.h"

namespace linksift {
namespace {

using namespace std::chrono_literals;
using testing_support::Fifo;
using testing_support::ListNames;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// The window's queue: the run's thread posts, the test's thread runs.
class WindowQueue {
 public:
  BackgroundRun::PostToWindow Poster() {
    return [this](BackgroundRun::Task task) {
      const std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
      posted_.notify_one();
    };
  }

  // Runs queued tasks as they come until `done` holds; false on a timeout.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return false;
      BackgroundRun::Task task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<BackgroundRun::Task> tasks_;
};

// What the callbacks saw, and on which thread.
struct Observed {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
  std::vector<RunOutcome> outcomes;
  bool called_off_the_window_thread = false;
  bool running_when_finished = true;
};

class BackgroundRunTest : public ::testing::Test {
 protected:
  BackgroundRunTest() { WriteBytes(urls(), "http://old/\r\n"); }

  std::filesystem::path urls() const { return temp_.path() / "urls.txt"; }

  bool Start(const std::filesystem::path& input) {
    const std::thread::id window = std::this_thread::get_id();
    return run_->Start(
        input, temp_.path().string(),
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
  bool WaitForOutcome() {
    return queue_.RunUntil([this] { return !seen_.outcomes.empty(); });
  }
  void ExpectOldOutputOnly(const std::vector<std::string>& others) {
    EXPECT_EQ(ReadBytes(urls()), "http://old/\r\n");
    std::vector<std::string> expected = others;
    expected.push_back("urls.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListNames(temp_.path()), expected);  // no temporary file left
  }

  TempDir temp_;
  WindowQueue queue_;
  Observed seen_;
  std::unique_ptr<BackgroundRun> run_ = std::make_unique<BackgroundRun>(queue_.Poster());
};

TEST_F(BackgroundRunTest, DeliversProgressThenTheOutcomeOnTheWindowThread) {
  const std::string text = "a http://x/1, b\r\nnone\r\nhttp://y/2\r\n";
  const std::filesystem::path input = temp_.Write("in.txt", text);
  ASSERT_TRUE(Start(input));
  EXPECT_TRUE(run_->running());
  EXPECT_FALSE(Start(input)) << "one run at a time";
  ASSERT_TRUE(WaitForOutcome());

  ASSERT_EQ(seen_.outcomes.size(), 1u);
  const RunOutcome& outcome = seen_.outcomes[0];
  EXPECT_EQ(outcome.kind, RunOutcome::Kind::kCompleted);
  EXPECT_EQ(outcome.count, 2u);
  EXPECT_EQ(outcome.output_path, BuildOutputPath(temp_.path().string()));
  EXPECT_EQ(ReadBytes(urls()), "http://x/1\r\nhttp://y/2\r\n");
  ASSERT_FALSE(seen_.progress.empty());
  EXPECT_EQ(seen_.progress.back(), std::make_pair(text.size() + 0ul, text.size() + 0ul));
  EXPECT_FALSE(seen_.called_off_the_window_thread);
  EXPECT_FALSE(seen_.running_when_finished);
  EXPECT_FALSE(run_->running());

  // The next run starts as the first did.
  seen_.outcomes.clear();
  ASSERT_TRUE(Start(temp_.Write("in.txt", "http://z/\r\n")));
  ASSERT_TRUE(WaitForOutcome());
  EXPECT_EQ(seen_.outcomes[0].count, 1u);
}

TEST_F(BackgroundRunTest, CancelStopsARunWaitingOnASilentPipe) {
  Fifo fifo(temp_.path() / "pipe.txt");
  fifo.Write("http://a/\r\n");
  ASSERT_TRUE(Start(fifo.path()));
  // The run is waiting for more: nothing arrives.
  EXPECT_FALSE(queue_.RunUntil([this] { return !seen_.outcomes.empty(); }, 200ms));
  run_->Cancel();
  ASSERT_TRUE(WaitForOutcome());
  EXPECT_EQ(seen_.outcomes[0].kind, RunOutcome::Kind::kCancelled);
  EXPECT_FALSE(run_->running());
  ExpectOldOutputOnly({"pipe.txt"});
}

TEST_F(BackgroundRunTest, CancelAndWaitReturnsWithTheRunOverAndItsOutcomeStillToCome) {
  Fifo fifo(temp_.path() / "pipe.txt");
  ASSERT_TRUE(Start(fifo.path()));
  run_->CancelAndWait();
  EXPECT_EQ(testing_support::OpenDescriptors(fifo.path()), 1) << "the run still reads it";
  ExpectOldOutputOnly({"pipe.txt"});
  // More input now cannot revive the run.
  fifo.Write("http://late/\r\n");
  fifo.Close();
  EXPECT_TRUE(run_->running());
  EXPECT_FALSE(Start(fifo.path()));
  ASSERT_TRUE(WaitForOutcome());
  EXPECT_EQ(seen_.outcomes[0].kind, RunOutcome::Kind::kCancelled);
  EXPECT_FALSE(run_->running());
  ExpectOldOutputOnly({"pipe.txt"});
}

TEST_F(BackgroundRunTest, DestroyedMidRunItWaitsAndItsQueuedTasksDoNothing) {
  Fifo fifo(temp_.path() / "pipe.txt");
  fifo.Write("http://a/\r\n");
  ASSERT_TRUE(Start(fifo.path()));
  run_.reset();
  ExpectOldOutputOnly({"pipe.txt"});
  // Whatever the run posted runs now, and must not reach the dead object.
  EXPECT_FALSE(queue_.RunUntil([] { return false; }, 100ms));
  EXPECT_TRUE(seen_.outcomes.empty());
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
