#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "extraction_error.h"

namespace linksift {

// The Russian message for a failed run: what failed, on which file, the
// system's reason, and that urls.txt kept its old content. UTF-8.
std::string BuildErrorText(const ExtractionError& error);

// The message for a run whose output the program's folder refused
// (`program`) and then the user's data folder failed too (`user_data`): both
// failures, each with its file and reason, so that the user sees why the data
// folder was tried.
std::string BuildFallbackErrorText(const ExtractionError& program,
                                   const ExtractionError& user_data);

// The same message for a run that `input` could not get through for a reason
// the run has no stage for (memory ran out, say).
std::string BuildUnexpectedErrorText(const std::filesystem::path& input, std::string_view reason);

// The message for a run on `input` that could not be started: no thread for it.
std::string BuildStartFailedText(const std::filesystem::path& input, std::error_code code);

// Why the desktop could not open a folder or file: it has no program for it.
inline constexpr std::string_view kNoProgramReason = "В системе не задана программа для открытия";

// The messages for a result's folder or file that the desktop could not open,
// with the reason; urls.txt itself is fine.
std::string BuildFolderNotOpenedText(const std::filesystem::path& folder, std::string_view reason);
std::string BuildFileNotOpenedText(const std::filesystem::path& file, std::string_view reason);

}  // namespace linksift
