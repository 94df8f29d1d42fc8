#include "display_check.h"

namespace linksift {
namespace {

bool IsSet(const EnvironmentLookup& getenv, const char* name) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::optional<std::string> MissingDisplayMessage(const EnvironmentLookup& getenv,
                                                 std::string_view program) {
  // Whoever names a platform knows what they want (offscreen, vnc, ...).
  if (IsSet(getenv, "QT_QPA_PLATFORM")) return std::nullopt;
  if (IsSet(getenv, "DISPLAY") || IsSet(getenv, "WAYLAND_DISPLAY")) return std::nullopt;
  std::string message = "linksift: no display to show the window on (DISPLAY and WAYLAND_DISPLAY ";
  message.append("are not set); without a desktop, run it as: xvfb-run -a ");
  message.append(program);
  message.append("; or, with no screen at all, take the links with: linksift-extract INPUT OUTPUT");
  return message;
}

}  // namespace linksift
