#include "system_reason.h"

namespace linksift {

// strerror's text, which is UTF-8 in a UTF-8 locale.
std::string SystemReason(std::error_code code) {
  return code.message();
}

}  // namespace linksift
