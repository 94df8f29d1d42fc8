#pragma once

#include <filesystem>
#include <functional>
#include <system_error>

#include "extraction_error.h"

namespace linksift::testing_support {

// Exit code of a child that could not set up what a case needs.
inline constexpr int kChildSkipped = 77;

// Runs `body` in a child process and returns its return value as the exit
// code; 128 + the signal when a signal ended it. For cases that change the
// process itself: its user, its limits, its signal handling. POSIX only.
int InChild(const std::function<int()>& body);

// For a child's body: 0 when a run from `input` to `output` fails at `stage`
// for `reason`; otherwise 1, having said on standard error what happened.
int RunFailsAt(const std::filesystem::path& input, const std::filesystem::path& output, Stage stage,
               std::errc reason);

}  // namespace linksift::testing_support
