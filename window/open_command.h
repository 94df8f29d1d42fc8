#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "open_dialog.h"
#include "text_label.h"

namespace linksift {

inline constexpr std::string_view kDialogTitle = "Открытие файла";
inline constexpr std::string_view kDialogFilter = "Текстовые файлы (*.txt)|*.txt";

// Shows a failure to the user (a message box in the window); UTF-8.
using ErrorReport = std::function<void(const std::string& message)>;

// Form1's load event: Label1 gets the instructions.
void ShowInstructions(TextLabel& label);

// One press of Command1: asks for a file, extracts its links into
// ProgramDirectory + OutputFileName and shows the count and that path in the
// label. Cancelling the dialog changes nothing. A failed run is reported and
// leaves the label and the output file as they were.
void RunOpenCommand(OpenDialog& dialog, TextLabel& label, std::string_view program_directory,
                    const ErrorReport& report_error);

}  // namespace linksift
