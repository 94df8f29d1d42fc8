#pragma once

#include <functional>

#include "extraction_error.h"

namespace linksift {

// Signal policy is the program's, set by its main at start-up in one of the
// two ways below. Both ignore SIGPIPE and SIGXFSZ, so that a write that loses
// its reader or passes a file size limit fails ("Broken pipe", "File too
// large") rather than killing the process. The ending signals are SIGTERM,
// SIGINT and SIGHUP, and one that is ignored (nohup) stays ignored. Either:
//
// Handlers that remove the named temporaries of the runs in progress and then
// end the process as the signal would have, for a program whose runs are on
// threads that a signal interrupts (a handler the program had before decides).
void InstallEndingHandlers();
//
// Or, for a program that does one run: `run` on a thread of its own while the
// calling thread only waits for the ending signals, which are blocked on
// every other thread. A signal thus never lands in a wait the kernel lets
// only a fatal one break (a read from a stalled network file): it removes the
// live temporaries and ends the process as it would have. Returns what `run`
// returns, or what RunCatching makes of what it throws. Out of threads, `run`
// goes on on the calling thread with the handlers above.
int RunTakingEndingSignals(const char* program, const std::function<int()>& run);

// Removes the named temporaries of the runs in progress, for a process that
// ends without waiting for them. Async-signal-safe.
void RemoveLiveTemporaries();

}  // namespace linksift
