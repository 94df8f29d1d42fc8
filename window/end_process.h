#pragma once

namespace linksift {

// Ends the process at once with `code`, without waiting for any thread or
// running destructors: for a window closed while its run is held up in a call
// no cancel reaches. The run's named temporary is removed first; an unnamed
// one (Linux O_TMPFILE, Windows delete-on-close) goes with the process, and a
// later run sweeps any other that is left.
void EndProcessNow(int code);

// For tests: EndProcessNow calls `instead` and returns (nullptr restores the
// real exit). A forced exit with status 0 would end a test binary as a pass.
void ReplaceEndProcessForTests(void (*instead)(int code));

}  // namespace linksift
