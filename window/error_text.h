#pragma once

#include <string>

#include "extraction_error.h"

namespace linksift {

// The Russian message for a failed run: what failed, on which file, the
// system's reason, and that urls.txt kept its old content. UTF-8.
std::string BuildErrorText(const ExtractionError& error);

}  // namespace linksift
