#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "extract.h"
#include "open_dialog.h"
#include "output_folders.h"
#include "text_label.h"

namespace linksift {

// Shows a failure to the user (a message box in the window); UTF-8.
using ErrorReport = std::function<void(const std::string& message)>;

// What one run came to.
struct RunOutcome {
  enum class Kind {
    kCompleted,  // urls.txt holds `count` links; `output_path` is the path written
    kFailed,     // `error_text` says what failed and why; urls.txt kept its old content
    kCancelled,  // stopped on request: nothing changed
  };

  Kind kind = Kind::kCancelled;
  LinkCount count = 0;
  std::string output_path;            // UTF-8
  std::filesystem::path output_file;  // the same, as the system names it
  std::string error_text;             // Russian, UTF-8
};

// The open command comes in three steps, so that a front end can run the
// middle one on a thread of its own (see run_controller.h):
//
// 1. On the window's thread: shows the dialog with its title and filter, in
//    `start_folder` (empty: the user's home folder). Returns the chosen file,
//    or nothing when the dialog was cancelled (then the command ends here).
std::optional<std::filesystem::path> AskForInput(OpenDialog& dialog,
                                                 const std::filesystem::path& start_folder = {});

// 2. On any thread: extracts the links of `input` into urls.txt beside the
//    program, or, when that folder cannot be written to, in the user's data
//    folder (made if need be); the outcome names the file written. Nothing is
//    written when the program folder is unknown. `on_progress` (may be empty)
//    is called on the calling thread with bytes read and the input's size (0
//    for a pipe), 50 times a second at most and once at the end. Setting
//    `*cancel` (may be null) from any thread stops the run within a fraction
//    of a second with kCancelled. Never throws: every failure becomes kFailed.
RunOutcome RunExtraction(const std::filesystem::path& input, const OutputFolders& folders,
                         const ProgressCallback& on_progress = nullptr,
                         const std::atomic<bool>* cancel = nullptr);

// 3. On the window's thread: a completed run replaces the label's text with
//    the count and the output path, the path as a link; a failure goes to
//    `report_error` and the label keeps its text; a cancelled run says so
//    and that urls.txt is unchanged.
void ApplyOutcome(const RunOutcome& outcome, TextLabel& label, const ErrorReport& report_error);

}  // namespace linksift
