#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "extraction_error.h"

namespace linksift {

// The Russian message for a failed run: what failed, on which file, the
// system's reason, and that urls.txt kept its old content. UTF-8.
std::string BuildErrorText(const ExtractionError& error);

// The same message for a run that `input` could not get through for a reason
// the run has no stage for (memory ran out, say).
std::string BuildUnexpectedErrorText(const std::filesystem::path& input, std::string_view reason);

}  // namespace linksift
