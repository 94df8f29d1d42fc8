#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "background_run.h"
#include "error_text.h"
#include "fakes.h"
#include "open_descriptors.h"
#include "run_controller.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

using namespace testing_support;

constexpr char kOld[] = "http://old/\r\n";

// The controller over a fake view, dialog and window queue, writing into a
// temporary program directory that holds an old urls.txt.
class RunControllerTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    WriteFile(urls(), kOld);
    auto dialog = std::make_unique<FakeDialog>(&log_);
    dialog_ = dialog.get();
    auto opener = std::make_unique<FakeOpener>(&log_);
    opener_ = opener.get();
    controller_ = std::make_unique<RunController>(view_, std::move(dialog), std::move(opener),
                                                  ProgramFolder(dir_), queue_.Queue());
    view_.Label1().SetText("before");
    log_.clear();
  }

  std::filesystem::path urls() const { return dir_ / "urls.txt"; }

  void PressOn(const std::filesystem::path& input) {
    dialog_->answer = input;
    controller_->PressCommand1();
  }
  void PressOnFile(const std::string& bytes) {
    WriteFile(dir_ / "in.txt", bytes);
    PressOn(dir_ / "in.txt");
  }
  // A run on a pipe that sends a line and then waits for more until Esc.
  void PressOnPipe() {
    pipe_ = std::make_unique<PipeWriter>(PipeWriter::Writer::kAtOnce, dir_ / "pipe.txt");
    pipe_->Send("x http://a/ y\r\n");
    PressOn(pipe_->path());
  }
  bool WaitForTheEnd() {
    return queue_.RunUntil([this] { return !controller_->running(); });
  }
  long Count(const std::string& call) const { return std::count(log_.begin(), log_.end(), call); }
  // `label`: what Label1 shows then; a cancelled run says so.
  void ExpectNothingChanged(const std::string& label = "before") {
    EXPECT_EQ(view_.Label1().Text(), label);
    EXPECT_TRUE(view_.errors.empty());
    EXPECT_EQ(ReadFile(urls()), kOld);
    std::set<std::string> names = {"urls.txt"};
    if (pipe_) names.insert("pipe.txt");
    EXPECT_EQ(Names(dir_), names) << "a temporary file was left";
  }

  CallLog log_;
  FakeView view_{&log_};
  FakeDialog* dialog_ = nullptr;
  FakeOpener* opener_ = nullptr;
  FakeWindowQueue queue_;
  std::unique_ptr<PipeWriter> pipe_;
  std::unique_ptr<RunController> controller_;
};

TEST_F(RunControllerTest, LoadShowsTheInstructions) {
  controller_->Load();
  EXPECT_EQ(view_.Label1().Text(), BuildInstructionText());
  EXPECT_EQ(log_, CallLog{"SetText"});
}

TEST_F(RunControllerTest, PressAsksForAFileRunsOffTheWindowAndShowsTheResult) {
  PressOnFile("see HTTP://Ab/Cd, next\r\nno link\r\nhttp://ef/g; end\r\n");
  EXPECT_EQ(log_, (CallLog{kOpenDialogShown, "DisableCommand1"}));
  EXPECT_TRUE(controller_->running());
  ASSERT_TRUE(WaitForTheEnd());
  // What the run writes and the label says is the open command's (OpenCommandTest).
  EXPECT_EQ(log_.back(), "SetText");
  EXPECT_TRUE(view_.command1_enabled);
  EXPECT_EQ(view_.Label1().Text(), BuildResultText(2, BuildOutputPath(dir_.string())));
  EXPECT_TRUE(view_.errors.empty());
  // A short run looks as it always did: its delay runs out to no bar.
  queue_.Advance(kProgressDelay);
  EXPECT_EQ(Count("ShowProgress busy") + Count("ShowProgress 1000"), 0);
}

TEST_F(RunControllerTest, CancelledDialogStartsNothing) {
  dialog_->answer.reset();
  controller_->PressCommand1();
  EXPECT_EQ(log_, CallLog{kOpenDialogShown});
  EXPECT_FALSE(controller_->running());
  EXPECT_TRUE(view_.command1_enabled);
  ExpectNothingChanged();
}

TEST_F(RunControllerTest, DialogStartsAtHomeThenWhereTheLastFileWasChosen) {
  const std::filesystem::path other = dir_ / "другая папка";
  std::filesystem::create_directory(other);
  WriteFile(other / "b.txt", "http://b/\r\n");
  WriteFile(dir_ / "a.txt", "http://a/\r\n");

  PressOn(dir_ / "a.txt");
  ASSERT_TRUE(WaitForTheEnd());
  dialog_->answer.reset();  // a cancel moves nowhere
  controller_->PressCommand1();
  PressOn(other / "b.txt");
  ASSERT_TRUE(WaitForTheEnd());
  PressOn(dir_ / "missing.txt");  // a failed run still tells where the user was
  ASSERT_TRUE(WaitForTheEnd());
  dialog_->answer.reset();
  controller_->PressCommand1();

  const std::vector<std::filesystem::path> expected = {{}, dir_, dir_, other, dir_};
  EXPECT_EQ(dialog_->start_folders, expected) << "empty: the user's home folder";
}

TEST_F(RunControllerTest, PressWhileTheDialogIsUpIsIgnored) {
  dialog_->while_shown = [this] { controller_->PressCommand1(); };
  controller_->PressCommand1();
  EXPECT_EQ(Count(kOpenDialogShown), 1);
}

TEST_F(RunControllerTest, FailureIsReportedOnceAndTheWindowCarriesOn) {
  PressOn(dir_ / "missing.txt");
  ASSERT_TRUE(WaitForTheEnd());
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_NE(view_.errors[0].find("missing.txt"), std::string::npos) << view_.errors[0];
  view_.errors.clear();
  EXPECT_TRUE(view_.command1_enabled);
  ExpectNothingChanged();
}

TEST_F(RunControllerTest, LongRunShowsTheBarAfterTheDelayIgnoresPressesAndEscCancelsIt) {
  PressOnPipe();
  EXPECT_FALSE(view_.command1_enabled);
  queue_.Advance(kProgressDelay - 1ms);
  EXPECT_FALSE(view_.progress_shown) << "not before the delay";
  queue_.Advance(1ms);
  EXPECT_TRUE(view_.progress_shown);
  EXPECT_EQ(view_.step, std::nullopt) << "a pipe has no size: a busy bar";

  controller_->PressCommand1();
  EXPECT_EQ(Count(kOpenDialogShown), 1) << "a second run started";

  controller_->Cancel();
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_FALSE(view_.progress_shown);
  EXPECT_TRUE(view_.command1_enabled);
  EXPECT_EQ(CallLog(log_.end() - 3, log_.end()),
            (CallLog{"HideProgress", "EnableCommand1", "SetText"}));
  ExpectNothingChanged(BuildCancelText());
}

TEST_F(RunControllerTest, BarFollowsTheRunOnceShown) {
  PressOnFile("http://a/\r\n");
  // Shown before any report has come: busy until the size is known.
  queue_.Advance(kProgressDelay);
  EXPECT_EQ(view_.step, std::nullopt);
  ASSERT_TRUE(WaitForTheEnd());
  const auto shown = std::find(log_.begin(), log_.end(), "ShowProgress 1000");
  ASSERT_NE(shown, log_.end());
  EXPECT_EQ(CallLog(shown + 1, log_.end()), (CallLog{"HideProgress", "EnableCommand1", "SetText"}));
}

TEST_F(RunControllerTest, DelayOfAnEndedRunDoesNotShowTheNextOnesBarEarly) {
  PressOnFile("http://a/\r\n");
  ASSERT_TRUE(WaitForTheEnd());
  queue_.Advance(200ms);
  PressOnPipe();
  queue_.Advance(kProgressDelay - 200ms);  // the first run's delay is over
  EXPECT_FALSE(view_.progress_shown);
  queue_.Advance(200ms);
  EXPECT_TRUE(view_.progress_shown);
  controller_->Cancel();
  ASSERT_TRUE(WaitForTheEnd());
}

TEST_F(RunControllerTest, RunAfterALongOneWaitsItsOwnDelayForTheBar) {
  PressOnPipe();
  queue_.Advance(kProgressDelay);
  ASSERT_TRUE(view_.progress_shown);
  controller_->Cancel();
  ASSERT_TRUE(WaitForTheEnd());
  log_.clear();
  // Its progress reports and its end come before any delay has passed.
  PressOnFile("http://a/\r\n");
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_EQ(log_, (CallLog{kOpenDialogShown, "DisableCommand1", "EnableCommand1", "SetText"}));
}

TEST_F(RunControllerTest, ClosingCancelsTheRunAndWaitsForIt) {
  PressOnPipe();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (OpenDescriptors(pipe_->path()) < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(OpenDescriptors(pipe_->path()), 2) << "the run never opened its input";
  // The grace the window gives is a bound a loaded machine can miss; what
  // counts here is that the cancel reaches the run and Close waits for it.
  EXPECT_TRUE(controller_->Close(10s));
  EXPECT_EQ(OpenDescriptors(pipe_->path()), 1) << "the run outlived the window";
  ExpectNothingChanged();
  // Input arriving now must not complete the run after all.
  pipe_->Send("http://late/\r\n");
  pipe_->Close();
  ASSERT_TRUE(WaitForTheEnd());
  ExpectNothingChanged(BuildCancelText());
}

// The link and the label's two menu commands act on the file the label
// names: a result's until a cancel replaces it; a failure keeps it.
TEST_F(RunControllerTest, ResultLinksTheFileWrittenUntilTheLabelNoLongerShowsIt) {
  const std::string file = urls().string();
  struct Step {
    const char* what;
    std::function<void()> act;
    bool linked;
  };
  const Step steps[] = {
      {"before any run", [] {}, false},
      {"after a result", [this] { PressOnFile("http://a/\r\n"); }, true},
      {"after a failure", [this] { PressOn(dir_ / "missing.txt"); }, true},
      {"after a cancel",
       [this] {
         PressOnPipe();
         controller_->Cancel();
       },
       false},
  };
  for (const Step& step : steps) {
    step.act();
    ASSERT_TRUE(WaitForTheEnd()) << step.what;
    log_.clear();
    controller_->ShowResultInFolder();
    controller_->OpenResult();
    EXPECT_EQ(controller_->has_result(), step.linked) << step.what;
    const CallLog expected =
        step.linked ? CallLog{"ShowInFolder " + file, "Open " + file} : CallLog{};
    EXPECT_EQ(log_, expected) << step.what;
  }
  const std::string text = BuildResultText(1, BuildOutputPath(dir_.string()));
  PressOnFile("http://a/\r\n");
  ASSERT_TRUE(WaitForTheEnd());
  ASSERT_TRUE(view_.Label1().link.has_value());
  EXPECT_EQ(text.substr(view_.Label1().link->start, view_.Label1().link->length), file);
}

// The label keeps the path, to be copied, when the desktop cannot open it.
TEST_F(RunControllerTest, AFolderOrFileTheDesktopCannotOpenIsReportedWithTheReason) {
  PressOnFile("http://a/\r\n");
  ASSERT_TRUE(WaitForTheEnd());
  const std::string result = view_.Label1().Text();
  opener_->failure = "В системе не задана программа для открытия";
  controller_->ShowResultInFolder();
  controller_->OpenResult();
  const std::string why = "\n\nПричина: В системе не задана программа для открытия";
  EXPECT_EQ(view_.errors,
            (std::vector<std::string>{"Не удалось открыть папку:\n" + dir_.string() + why,
                                      "Не удалось открыть файл:\n" + urls().string() + why}));
  EXPECT_EQ(view_.Label1().Text(), result);
  EXPECT_TRUE(view_.Label1().link.has_value());
}

TEST_F(RunControllerTest, FileFromOutsideRunsAsIfChosenAndNotDuringARun) {
  WriteFile(dir_ / "in.txt", "x http://a/ y\r\n");
  controller_->OpenFile(dir_ / "in.txt");
  ASSERT_TRUE(controller_->running());
  controller_->OpenFile(dir_ / "in.txt");  // a second drop meanwhile
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_EQ(view_.Label1().Text(), BuildResultText(1, BuildOutputPath(dir_.string())));
  EXPECT_EQ(Count("SetText"), 1) << "the drop during the run was not ignored";
  EXPECT_EQ(Count(kOpenDialogShown), 0);

  // During a run, from outside as from the button, nothing else starts.
  PressOnPipe();
  controller_->OpenFile(dir_ / "in.txt");
  controller_->PressCommand1();
  EXPECT_EQ(Count(kOpenDialogShown), 1);
  controller_->Cancel();
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_EQ(ReadFile(urls()), "http://a/\r\n");
}

TEST_F(RunControllerTest, RelativeFileFromOutsideIsNamedInFullInErrors) {
  controller_->OpenFile("no-such-file.txt");
  ASSERT_TRUE(WaitForTheEnd());
  ASSERT_EQ(view_.errors.size(), 1u);
  const std::string full = (std::filesystem::current_path() / "no-such-file.txt").string();
  EXPECT_NE(view_.errors[0].find("\n" + full + "\n"), std::string::npos) << view_.errors[0];
}

// A run held up in a call no cancel reaches: here the post of its progress
// or outcome, which blocks until the test lets go. Delayed tasks wait in
// `delayed` for the test to run them.
class HeldUpRunTest : public RunControllerTest {
 protected:
  ~HeldUpRunTest() override {
    {
      const std::lock_guard lock(mutex_);
      release_ = true;
    }
    released_.notify_all();  // the controller's end then waits for the threads
  }

  WindowQueue HeldUpQueue() {
    return {.post =
                [this](BackgroundRun::Task) {
                  std::unique_lock lock(mutex_);
                  released_.wait(lock, [this] { return release_; });
                },
            .post_delayed =
                [this](std::chrono::milliseconds delay, BackgroundRun::Task task) {
                  delayed_.emplace_back(delay, std::move(task));
                }};
  }

  // Owned here, so that it goes only once the destructor has let go.
  RunController& HeldUpController() {
    auto dialog = std::make_unique<FakeDialog>(&log_);
    WriteFile(dir_ / "in.txt", "http://a/\r\n");
    dialog->answer = dir_ / "in.txt";
    held_up_view_.Label1().SetText("before");
    held_up_ = std::make_unique<RunController>(held_up_view_, std::move(dialog),
                                               std::make_unique<FakeOpener>(&log_),
                                               ProgramFolder(dir_), HeldUpQueue());
    return *held_up_;
  }

  std::vector<std::pair<std::chrono::milliseconds, BackgroundRun::Task>> delayed_;
  FakeView held_up_view_{&log_};

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
  std::unique_ptr<RunController> held_up_;
};

TEST_F(HeldUpRunTest, ClosingGivesUpOnItBeyondTheGrace) {
  RunController& controller = HeldUpController();
  controller.PressCommand1();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(controller.Close());
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, kCloseGrace);
  EXPECT_LT(waited, 10 * kCloseGrace) << "closing waited for the stuck run";
}

TEST_F(HeldUpRunTest, EscLetsGoOfItAfterTheGraceAndTheWindowIsReadyAgain) {
  RunController& controller = HeldUpController();
  FakeView& view = held_up_view_;
  controller.PressCommand1();
  controller.Cancel();
  ASSERT_FALSE(delayed_.empty());
  EXPECT_EQ(delayed_.back().first, kCancelGrace);
  EXPECT_TRUE(controller.running()) << "let go of before the grace";
  delayed_.back().second();
  EXPECT_FALSE(controller.running());
  EXPECT_TRUE(view.command1_enabled);
  EXPECT_EQ(view.Label1().Text(), BuildCancelText());
  EXPECT_TRUE(view.errors.empty());
  EXPECT_EQ(ReadFile(urls()), kOld) << "a run let go of replaced urls.txt";
  // The next press starts a run of its own; closing still gives up in time
  // on both held-up threads.
  controller.PressCommand1();
  EXPECT_TRUE(controller.running());
  EXPECT_FALSE(controller.Close());
}

TEST_F(RunControllerTest, ARunWithoutAThreadIsReportedAndTheWindowStaysReady) {
  int tries = 0;
  const auto no_thread = [&tries](const std::function<void()>&) -> std::thread {
    ++tries;
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  auto dialog = std::make_unique<FakeDialog>(&log_);
  dialog_ = dialog.get();
  controller_ =
      std::make_unique<RunController>(view_, std::move(dialog), std::make_unique<FakeOpener>(&log_),
                                      ProgramFolder(dir_), queue_.Queue(), no_thread);
  WriteFile(dir_ / "in.txt", "http://a/\r\n");
  controller_->OpenFile(dir_ / "in.txt");
  PressOn(dir_ / "in.txt");
  EXPECT_EQ(tries, 2);
  EXPECT_FALSE(controller_->running());
  EXPECT_TRUE(view_.command1_enabled);
  const std::string error = BuildStartFailedText(
      dir_ / "in.txt", std::make_error_code(std::errc::resource_unavailable_try_again));
  EXPECT_EQ(view_.errors, (std::vector<std::string>{error, error}));
  view_.errors.clear();
  std::filesystem::remove(dir_ / "in.txt");
  ExpectNothingChanged();
}

TEST_F(RunControllerTest, DelayThatOutlivesTheControllerDoesNothing) {
  PressOnPipe();
  controller_.reset();
  log_.clear();
  queue_.Advance(kProgressDelay);
  EXPECT_FALSE(queue_.RunUntil([this] { return !log_.empty(); }, 100ms));
  ExpectNothingChanged();
}

}  // namespace
}  // namespace linksift
