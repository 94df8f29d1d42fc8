#pragma once

#include <string>
#include <system_error>

namespace linksift {

// Why something failed, in the window's language: the reasons a file run
// commonly meets in Russian, the system's own text (SystemReason) for the rest.
std::string ReasonText(std::error_code code);

}  // namespace linksift
