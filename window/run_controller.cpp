#include "run_controller.h"

#include <new>
#include <system_error>
#include <utility>

#include "error_text.h"
#include "open_command.h"
#include "texts.h"

namespace linksift {

RunController::RunController(RunView& view, std::unique_ptr<OpenDialog> dialog,
                             std::unique_ptr<ResultOpener> opener, OutputFolders folders,
                             WindowQueue queue, BackgroundRun::StartThread start_thread)
    : view_(view),
      dialog_(std::move(dialog)),
      opener_(std::move(opener)),
      folders_(std::move(folders)),
      queue_(std::move(queue)),
      run_(queue_.post, std::move(start_thread)) {}

void RunController::Load() {
  view_.Label1().SetText(BuildInstructionText());
}

void RunController::PressCommand1() {
  if (asking_ || run_.running()) return;
  // The dialog's modal loop may deliver another press meanwhile.
  asking_ = true;
  std::optional<std::filesystem::path> input = AskForInput(*dialog_, last_folder_);
  asking_ = false;
  if (!input) return;
  last_folder_ = input->parent_path();
  StartRun(std::move(*input));
}

void RunController::OpenFile(std::filesystem::path input) {
  if (asking_ || run_.running()) return;
  // Named in full, as the dialog names it, in any error text.
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(input, error);
  StartRun(error ? std::move(input) : std::move(absolute));
}

void RunController::Cancel() {
  if (!run_.running()) return;
  run_.Cancel();
  queue_.post_delayed(kCancelGrace, [self = std::weak_ptr(self_), number = run_number_] {
    if (const auto controller = self.lock()) (*controller)->GiveUpOn(number);
  });
}

void RunController::GiveUpOn(unsigned run_number) {
  // The run ended in time, or another has started since.
  if (run_number != run_number_ || !run_.running()) return;
  run_.Abandon();
  FinishRun(RunOutcome{});  // as a cancelled run
}

void RunController::ShowResultInFolder() {
  if (!result_file_) return;
  opener_->ShowInFolder(*result_file_,
                        [this, folder = result_file_->parent_path()](const std::string& reason) {
                          view_.ShowError(BuildFolderNotOpenedText(folder, reason));
                        });
}

void RunController::OpenResult() {
  if (!result_file_) return;
  opener_->Open(*result_file_, [this, file = *result_file_](const std::string& reason) {
    view_.ShowError(BuildFileNotOpenedText(file, reason));
  });
}

bool RunController::Close(std::chrono::milliseconds grace) {
  return run_.CancelAndWait(grace);
}

void RunController::StartRun(std::filesystem::path input) {
  try {
    run_.Start(
        input, folders_,
        [this](std::uint64_t done, std::uint64_t total) { TakeProgress(done, total); },
        [this](const RunOutcome& outcome) { FinishRun(outcome); });
  } catch (const std::system_error& error) {
    // Out of threads: the window stays, ready for another try.
    view_.ShowError(BuildStartFailedText(input, error.code()));
    return;
  } catch (const std::bad_alloc&) {
    view_.ShowError(
        BuildStartFailedText(input, std::make_error_code(std::errc::not_enough_memory)));
    return;
  }
  ++run_number_;
  step_.reset();  // busy until a report gives the size
  view_.EnableCommand1(false);
  queue_.post_delayed(kProgressDelay, [self = std::weak_ptr(self_), number = run_number_] {
    if (const auto controller = self.lock()) (*controller)->RevealProgress(number);
  });
}

void RunController::TakeProgress(std::uint64_t done, std::uint64_t total) {
  step_ = ProgressStep(done, total);
  if (progress_shown_) view_.ShowProgress(step_);
}

void RunController::RevealProgress(unsigned run_number) {
  // Meant for a run that has ended since.
  if (run_number != run_number_ || !run_.running()) return;
  progress_shown_ = true;
  view_.ShowProgress(step_);
}

void RunController::FinishRun(const RunOutcome& outcome) {
  if (progress_shown_) view_.HideProgress();
  progress_shown_ = false;
  view_.EnableCommand1(true);
  // A failure leaves the label, and so its link, as it was.
  if (outcome.kind == RunOutcome::Kind::kCompleted) result_file_ = outcome.output_file;
  if (outcome.kind == RunOutcome::Kind::kCancelled) result_file_.reset();
  ApplyOutcome(outcome, view_.Label1(),
               [this](const std::string& message) { view_.ShowError(message); });
}

}  // namespace linksift
