#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "background_run.h"
#include "open_dialog.h"
#include "result_opener.h"
#include "run_view.h"

namespace linksift {

// Progress shows only once a run has lasted this long, so that a short run
// looks just as it did when runs held the window.
inline constexpr std::chrono::milliseconds kProgressDelay{333};

// How long closing the window waits for a cancelled run to end: a cancel
// takes effect within about 50 ms wherever one can reach the run.
inline constexpr std::chrono::milliseconds kCloseGrace{100};

// How long Esc waits for a cancelled run to end before letting go of it: a
// run held up in a call no cancel reaches (a stalled network file) must not
// keep the window busy.
inline constexpr std::chrono::milliseconds kCancelGrace{500};

// How tasks get onto the window's thread.
struct WindowQueue {
  // From any thread, in order; see BackgroundRun::PostToWindow.
  BackgroundRun::PostToWindow post;
  // On the window's thread: runs `task` there once `delay` has passed. A
  // task that comes after the controller is gone does nothing.
  std::function<void(std::chrono::milliseconds delay, BackgroundRun::Task task)> post_delayed;
};

// What Form1 does, whatever toolkit draws it: the instructions at start-up;
// on a press of Command1 the Open dialog (in the folder of the file chosen
// last), then a run off the window's thread
// with Command1 disabled, a progress bar in Label1's place once it has lasted
// kProgressDelay, and at its end the result in Label1, its path a link to
// urls.txt, or an error report. A file given from outside (the command line,
// a drop) runs the same way. One run at a time; Esc cancels it, and Label1
// says so; closing the window cancels it and waits a little.
// Front ends turn their toolkit's events into these calls, on the window's
// thread.
class RunController {
 public:
  // `folders` say where urls.txt goes; `start_thread` is for tests (see
  // BackgroundRun).
  RunController(RunView& view, std::unique_ptr<OpenDialog> dialog,
                std::unique_ptr<ResultOpener> opener, OutputFolders folders, WindowQueue queue,
                BackgroundRun::StartThread start_thread = nullptr);
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // The window's load event: Label1 gets the instructions.
  void Load();
  // Asks for a file and starts a run on it. Ignored while a run lasts or the
  // dialog is up.
  void PressCommand1();
  // A file from outside the window, given on the command line or dropped on
  // it: runs as if chosen in the dialog. Ignored, as a press is, while a run
  // lasts or the dialog is up.
  void OpenFile(std::filesystem::path input);
  // Esc: a run stops within a fraction of a second; the label says it was
  // cancelled and urls.txt unchanged, and nothing else is reported. A run
  // still going after kCancelGrace is let go of (see BackgroundRun::Abandon)
  // and the window is ready again.
  void Cancel();
  // The window is closing: cancels the run and returns once its thread has
  // ended, so that no temporary file outlives the window; true then. False
  // when the run is held up beyond kCloseGrace in a call no cancel reaches:
  // the front end then ends the process with EndProcessNow, which removes
  // the run's temporary, rather than wait for the call. Tests on a loaded
  // machine give a longer grace.
  bool Close(std::chrono::milliseconds grace = kCloseGrace);

  bool running() const { return run_.running(); }

  // Whether Label1 shows a run's result, whose file the two calls below act on.
  bool has_result() const { return result_file_.has_value(); }
  // The result's link, or its menu: the file manager shows urls.txt.
  // Where the desktop cannot, an error box says why; the label, and the
  // path in it to copy, stay.
  void ShowResultInFolder();
  // The label's menu: urls.txt opens in the program for text files, or an
  // error box says why not.
  void OpenResult();

 private:
  void StartRun(std::filesystem::path input);
  void TakeProgress(std::uint64_t done, std::uint64_t total);
  void RevealProgress(unsigned run_number);
  void GiveUpOn(unsigned run_number);
  void FinishRun(const RunOutcome& outcome);

  RunView& view_;
  std::unique_ptr<OpenDialog> dialog_;
  std::unique_ptr<ResultOpener> opener_;
  // The file the label's link names, while it shows one.
  std::optional<std::filesystem::path> result_file_;
  OutputFolders folders_;
  WindowQueue queue_;
  bool asking_ = false;
  // The next dialog opens where the last file was chosen; the first one in
  // the user's home folder. Kept for this session only.
  std::filesystem::path last_folder_;
  // Tells a delayed reveal which run it was meant for.
  unsigned run_number_ = 0;
  bool progress_shown_ = false;
  std::optional<int> step_;
  // Delayed tasks hold it weakly, so they lapse with the controller.
  std::shared_ptr<RunController*> self_ = std::make_shared<RunController*>(this);
  // Last, so it goes first: it cancels the run and waits for it while the
  // rest still stands.
  BackgroundRun run_;
};

}  // namespace linksift
