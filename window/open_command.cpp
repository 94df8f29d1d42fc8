#include "open_command.h"

#include <exception>
#include <optional>
#include <string_view>

#include "error_text.h"
#include "texts.h"

namespace linksift {
namespace {

// One attempt at `folder`; an ExtractionError is the caller's to judge.
RunOutcome ExtractInto(const std::filesystem::path& input, const std::filesystem::path& folder,
                       const RunOptions& options) {
  RunOutcome outcome;
  // The label names the very path the run wrote.
  outcome.output_path = BuildOutputPath(DisplayPath(folder));
  outcome.output_file = OutputFileIn(folder);
  outcome.count = ExtractLinksFromFile(input, OutputFileIn(folder), options);
  outcome.kind = RunOutcome::Kind::kCompleted;
  return outcome;
}

RunOutcome ExtractIntoUserData(const std::filesystem::path& input, const OutputFolders& folders,
                               const RunOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(folders.user_data, error);
  if (error) throw ExtractionError(Stage::kCreateOutput, OutputFileIn(folders.user_data), error);
  return ExtractInto(input, folders.user_data, options);
}

// The program's folder refused and the data folder failed too.
struct BothFoldersFailed {
  ExtractionError program;
  ExtractionError user_data;
};

RunOutcome Attempt(const std::filesystem::path& input, const OutputFolders& folders,
                   const RunOptions& options) {
  constexpr std::string_view kName = OutputFileName.substr(1);
  if (folders.placement == Placement::kInstalled) {
    if (folders.user_data.empty()) {
      throw ExtractionError(Stage::kCreateOutput, std::filesystem::path(kName),
                            std::make_error_code(std::errc::no_such_file_or_directory));
    }
    return ExtractIntoUserData(input, folders, options);
  }
  if (folders.program.empty()) {
    // Better no file than one in a folder guessed wrong.
    throw ExtractionError(Stage::kCreateOutput, std::filesystem::path(kName),
                          folders.program_unknown);
  }
  std::optional<ExtractionError> refused;
  try {
    return ExtractInto(input, folders.program, options);
  } catch (const ExtractionError& error) {
    if (folders.user_data.empty() || !CallsForUserData(error)) throw;
    refused = error;
  }
  try {
    return ExtractIntoUserData(input, folders, options);
  } catch (const ExtractionError& error) {
    throw BothFoldersFailed{*refused, error};
  }
}

}  // namespace

std::optional<std::filesystem::path> AskForInput(OpenDialog& dialog,
                                                 const std::filesystem::path& start_folder) {
  return dialog.Show(std::string(kDialogTitle), std::string(kDialogFilter), start_folder);
}

RunOutcome RunExtraction(const std::filesystem::path& input, const OutputFolders& folders,
                         const ProgressCallback& on_progress, const std::atomic<bool>* cancel) {
  RunOptions options;
  options.on_progress = on_progress;
  options.cancel = cancel;
  RunOutcome outcome;
  try {
    return Attempt(input, folders, options);
  } catch (const ExtractionCancelled&) {
    outcome.kind = RunOutcome::Kind::kCancelled;
  } catch (const ExtractionError& error) {
    outcome.kind = RunOutcome::Kind::kFailed;
    outcome.error_text = BuildErrorText(error);
  } catch (const BothFoldersFailed& failed) {
    outcome.kind = RunOutcome::Kind::kFailed;
    outcome.error_text = BuildFallbackErrorText(failed.program, failed.user_data);
  } catch (const std::exception& error) {
    // A run may be on a thread of its own, where nothing else would catch it.
    outcome.kind = RunOutcome::Kind::kFailed;
    outcome.error_text = BuildUnexpectedErrorText(input, error.what());
  }
  return outcome;
}

void ApplyOutcome(const RunOutcome& outcome, TextLabel& label, const ErrorReport& report_error) {
  switch (outcome.kind) {
    case RunOutcome::Kind::kCompleted: {
      const std::string text = BuildResultText(outcome.count, outcome.output_path);
      label.SetTextWithLink(text, ResultPathSpan(text, outcome.output_path));
      return;
    }
    case RunOutcome::Kind::kFailed:
      report_error(outcome.error_text);
      return;
    case RunOutcome::Kind::kCancelled:
      // Else the previous result would read as this run's.
      label.SetText(BuildCancelText());
      return;
  }
}

}  // namespace linksift
