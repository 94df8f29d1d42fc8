#include "open_command.h"

#include <filesystem>
#include <optional>

#include "error_text.h"
#include "extract.h"
#include "texts.h"

namespace linksift {

void ShowInstructions(TextLabel& label) {
  label.SetText(BuildInstructionText());
}

void RunOpenCommand(OpenDialog& dialog, TextLabel& label, std::string_view program_directory,
                    const ErrorReport& report_error) {
  dialog.SetTitle(std::string(kDialogTitle));
  dialog.SetFilter(std::string(kDialogFilter));
  dialog.Show();
  const std::optional<std::filesystem::path> input = dialog.FileName();
  if (!input) return;

  // The label names the very path the run wrote.
  const std::string output = BuildOutputPath(program_directory);
  LinkCount count = 0;
  try {
    count = ExtractLinksFromFile(*input, std::filesystem::path(output));
  } catch (const ExtractionError& error) {
    report_error(BuildErrorText(error));
    return;
  }
  label.SetText(BuildResultText(count, output));
}

}  // namespace linksift
