#pragma once

#include <functional>

namespace linksift::testing_support {

// Exit code of a child that could not set up what a case needs.
inline constexpr int kChildSkipped = 77;

// Runs `body` in a child process and returns its return value as the exit
// code; 128 + the signal when a signal ended it. For cases that change the
// process itself: its user, its limits, its signal handling. POSIX only.
int InChild(const std::function<int()>& body);

}  // namespace linksift::testing_support
