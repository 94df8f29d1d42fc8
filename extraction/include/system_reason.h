#pragma once

#include <string>
#include <system_error>

namespace linksift {

// The system's text for `code` in UTF-8, whatever code page the system uses.
std::string SystemReason(std::error_code code);

}  // namespace linksift
