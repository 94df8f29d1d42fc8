#include "background_run.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <utility>

namespace linksift {

std::optional<int> ProgressStep(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return std::nullopt;
  done = std::min(done, total);  // a file may grow while it is read
  // Halving both keeps the ratio and keeps done * kProgressSteps in range.
  constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max() / kProgressSteps;
  while (total > kLargest) {
    total >>= 1;
    done >>= 1;
  }
  return static_cast<int>(done * kProgressSteps / total);
}

struct BackgroundRun::Ending {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;

  void Signal() {
    const std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
  }
  // Waits for ever without a deadline; false when the deadline passed first.
  bool Wait(std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock lock(mutex);
    if (!deadline) {
      ended.wait(lock, [this] { return done; });
      return true;
    }
    return ended.wait_until(lock, *deadline, [this] { return done; });
  }
};

struct BackgroundRun::Callbacks {
  BackgroundRun* owner;
  ProgressCallback on_progress;
  FinishedCallback on_finished;
};

BackgroundRun::BackgroundRun(PostToWindow post, StartThread start_thread)
    : post_(std::move(post)), start_thread_(std::move(start_thread)) {}

BackgroundRun::~BackgroundRun() {
  CancelAndWait();
}

bool BackgroundRun::Start(std::filesystem::path input, OutputFolders folders,
                          ProgressCallback on_progress, FinishedCallback on_finished) {
  if (running()) return false;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  auto callbacks =
      std::make_shared<Callbacks>(Callbacks{this, std::move(on_progress), std::move(on_finished)});
  ending_ = std::make_shared<Ending>();
  std::function<void()> work = [post = post_, weak = std::weak_ptr<Callbacks>(callbacks),
                                ending = ending_, input = std::move(input),
                                folders = std::move(folders), cancel = cancel_] {
    Work(post, weak, ending, input, folders, cancel);
  };
  thread_ = start_thread_ ? start_thread_(std::move(work)) : std::thread(std::move(work));
  // Only now: a thread that could not start leaves nothing running.
  callbacks_ = std::move(callbacks);
  return true;
}

void BackgroundRun::Cancel() {
  *cancel_ = true;
}

bool BackgroundRun::CancelAndWait(std::optional<std::chrono::milliseconds> grace) {
  *cancel_ = true;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (grace) deadline = std::chrono::steady_clock::now() + *grace;
  for (const std::shared_ptr<Ending>& ending : abandoned_) {
    if (!ending->Wait(deadline)) return false;
  }
  abandoned_.clear();
  if (!thread_.joinable()) return true;
  if (!ending_->Wait(deadline)) return false;
  thread_.join();
  return true;
}

void BackgroundRun::Abandon() {
  if (!running()) return;
  *cancel_ = true;
  thread_.detach();
  abandoned_.push_back(std::move(ending_));
  // Its progress and outcome, still to be posted, lapse with these.
  callbacks_.reset();
}

void BackgroundRun::Work(PostToWindow post, std::weak_ptr<Callbacks> callbacks,
                         std::shared_ptr<Ending> ending, std::filesystem::path input,
                         OutputFolders folders, std::shared_ptr<std::atomic<bool>> cancel) {
  const ProgressCallback report = [&post, &callbacks](std::uint64_t done, std::uint64_t total) {
    post([callbacks, done, total] {
      const std::shared_ptr<Callbacks> live = callbacks.lock();
      if (live && live->on_progress) live->on_progress(done, total);
    });
  };
  RunOutcome outcome = RunExtraction(input, folders, report, cancel.get());
  post([callbacks, outcome = std::move(outcome)] {
    if (const std::shared_ptr<Callbacks> live = callbacks.lock()) live->owner->Finish(outcome);
  });
  ending->Signal();
}

void BackgroundRun::Finish(const RunOutcome& outcome) {
  // The thread has posted its last task and is on its way out.
  if (thread_.joinable()) thread_.join();
  // Moved out first, which ends running(): on_finished may start the next run.
  const std::shared_ptr<Callbacks> callbacks = std::move(callbacks_);
  if (callbacks->on_finished) callbacks->on_finished(outcome);
}

}  // namespace linksift
