#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "extract.h"
#include "open_command.h"

namespace linksift {

// Progress bars count in this many steps: byte counts overflow their ints.
inline constexpr int kProgressSteps = 1000;

// The step, 0 to kProgressSteps, for `done` bytes of `total`; nothing when
// the size is unknown (a pipe), which calls for a busy indicator instead.
std::optional<int> ProgressStep(std::uint64_t done, std::uint64_t total);

// Runs the open command's middle step (RunExtraction) on a thread of its
// own, one run at a time, and hands its progress and outcome back to the
// window's thread. Its members are for the window's thread alone.
class BackgroundRun {
 public:
  using Task = std::function<void()>;
  // Queues `task` to be run later on the window's thread, in the order
  // posted; called on the run's thread. Qt: QMetaObject::invokeMethod(window,
  // task, Qt::QueuedConnection). Win32: PostMessage to the window. A task
  // dropped unrun because the window is gone does no harm.
  using PostToWindow = std::function<void(Task task)>;
  using FinishedCallback = std::function<void(const RunOutcome& outcome)>;

  explicit BackgroundRun(PostToWindow post);
  // Cancels a run in progress and waits for its thread; tasks still queued
  // then do nothing.
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Starts extracting `input` into `program_directory` (UTF-8) +
  // OutputFileName; returns false, doing nothing, while a run is in progress.
  // `on_progress` (may be empty) gets what RunExtraction reports, and
  // `on_finished` the outcome, exactly once, after the last progress and with
  // running() false by then; both through `post`. Throws std::system_error
  // when no thread can be started.
  bool Start(std::filesystem::path input, std::string program_directory,
             ProgressCallback on_progress, FinishedCallback on_finished);

  // From Start until on_finished is called.
  bool running() const { return running_; }

  // Asks the run to stop: it ends within a fraction of a second, with
  // kCancelled unless it had already got past its last step.
  void Cancel();

  // For closing the window: cancels and returns once the run's thread has
  // ended, so that no temporary file is left. on_finished still follows
  // whenever the window's queue runs again.
  void CancelAndWait();

 private:
  struct Callbacks;

  static void Work(PostToWindow post, std::weak_ptr<Callbacks> callbacks,
                   std::filesystem::path input, std::string program_directory,
                   const std::atomic<bool>* cancel);
  void Finish(const RunOutcome& outcome);

  PostToWindow post_;
  std::atomic<bool> cancel_{false};
  // The current run's callbacks. Queued tasks hold them weakly, so they
  // lapse with this object.
  std::shared_ptr<Callbacks> callbacks_;
  std::thread thread_;
  bool running_ = false;
};

}  // namespace linksift
