#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace linksift {

// Reads one environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// One line telling why there is no display to show the window on and how to
// run `program` under xvfb-run, or nothing when a display (or an explicit Qt
// platform) is there. Checked before the toolkit starts, which would abort.
std::optional<std::string> MissingDisplayMessage(const EnvironmentLookup& getenv,
                                                 std::string_view program);

}  // namespace linksift
