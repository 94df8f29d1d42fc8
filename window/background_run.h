#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
  // Starts `work` on a thread of its own, or throws std::system_error; a
  // test's may fail as a system out of threads would.
  using StartThread = std::function<std::thread(std::function<void()> work)>;

  // A null `start_thread` starts a std::thread.
  explicit BackgroundRun(PostToWindow post, StartThread start_thread = nullptr);
  // Cancels a run in progress and waits for its thread; tasks still queued
  // then do nothing.
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Starts extracting `input` into urls.txt in one of `folders` (see
  // RunExtraction); returns false, doing nothing, while a run is in progress.
  // `on_progress` (may be empty) gets what RunExtraction reports, and
  // `on_finished` the outcome, exactly once, after the last progress and with
  // running() false by then; both through `post`. Throws std::system_error
  // when no thread can be started, and nothing runs then.
  bool Start(std::filesystem::path input, OutputFolders folders, ProgressCallback on_progress,
             FinishedCallback on_finished);

  // From Start until on_finished is called.
  bool running() const { return callbacks_ != nullptr; }

  // Asks the run to stop: it ends within a fraction of a second, with
  // kCancelled unless it had already got past its last step.
  void Cancel();

  // For closing the window: cancels and returns once the run's thread has
  // ended, so that no temporary file is left; on_finished still follows
  // whenever the window's queue runs again. With a `grace`, waits no longer
  // than that and returns false when the thread is still held up in a call
  // that no cancel reaches (a stalled network file): the thread then stays
  // with this object, whose destruction would wait for it, and the caller
  // ends the process instead (see EndProcessNow).
  bool CancelAndWait(std::optional<std::chrono::milliseconds> grace = std::nullopt);

  // For Esc on a run that a cancel has not ended in good time: lets go of
  // the run, whose thread finishes in the background and reports nothing,
  // so that running() is false and a new run may start. A run let go of is
  // cancelled and so never replaces urls.txt.
  void Abandon();

 private:
  struct Callbacks;
  struct Ending;

  static void Work(PostToWindow post, std::weak_ptr<Callbacks> callbacks,
                   std::shared_ptr<Ending> ending, std::filesystem::path input,
                   OutputFolders folders, std::shared_ptr<std::atomic<bool>> cancel);
  void Finish(const RunOutcome& outcome);

  PostToWindow post_;
  StartThread start_thread_;
  // The current run's cancel flag, shared with its thread, which may outlive
  // this object's hold on it (Abandon).
  std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
  // The current run's callbacks, while it runs. Queued tasks hold them
  // weakly, so they lapse with this object.
  std::shared_ptr<Callbacks> callbacks_;
  // Tells a waiting close when the thread is done.
  std::shared_ptr<Ending> ending_;
  // Runs let go of whose threads may still be going.
  std::vector<std::shared_ptr<Ending>> abandoned_;
  std::thread thread_;
};

}  // namespace linksift
