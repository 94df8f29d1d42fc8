#include "open_command.h"

#include <exception>

#include "error_text.h"
#include "texts.h"
#include "utf16.h"

namespace linksift {

std::optional<std::filesystem::path> AskForInput(OpenDialog& dialog,
                                                 const std::filesystem::path& start_folder) {
  return dialog.Show(std::string(kDialogTitle), std::string(kDialogFilter), start_folder);
}

RunOutcome RunExtraction(const std::filesystem::path& input, std::string_view program_directory,
                         const ProgressCallback& on_progress, const std::atomic<bool>* cancel) {
  RunOutcome outcome;
  // The label names the very path the run wrote.
  outcome.output_path = BuildOutputPath(program_directory);
  RunOptions options;
  options.on_progress = on_progress;
  options.cancel = cancel;
  try {
    outcome.count = ExtractLinksFromFile(input, PathFromUtf8(outcome.output_path), options);
    outcome.kind = RunOutcome::Kind::kCompleted;
  } catch (const ExtractionCancelled&) {
    outcome.kind = RunOutcome::Kind::kCancelled;
  } catch (const ExtractionError& error) {
    outcome.kind = RunOutcome::Kind::kFailed;
    outcome.error_text = BuildErrorText(error);
  } catch (const std::exception& error) {
    // A run may be on a thread of its own, where nothing else would catch it.
    outcome.kind = RunOutcome::Kind::kFailed;
    outcome.error_text = BuildUnexpectedErrorText(input, error.what());
  }
  return outcome;
}

void ApplyOutcome(const RunOutcome& outcome, TextLabel& label, const ErrorReport& report_error) {
  switch (outcome.kind) {
    case RunOutcome::Kind::kCompleted:
      label.SetText(BuildResultText(outcome.count, outcome.output_path));
      return;
    case RunOutcome::Kind::kFailed:
      report_error(outcome.error_text);
      return;
    case RunOutcome::Kind::kCancelled:
      return;  // neither a result nor an error
  }
}

}  // namespace linksift
