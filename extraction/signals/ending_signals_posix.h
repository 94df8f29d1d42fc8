#pragma once

#include <pthread.h>
#include <signal.h>
#include <time.h>

namespace linksift {

// Signal policy is the program's, set by its main at start-up; the ending
// signals are SIGTERM, SIGINT and SIGHUP, and one that is ignored (nohup)
// stays ignored. Either:
//
// Handlers that remove the named temporaries of the runs in progress and then
// end the process as the signal would have, for a program whose runs are on
// threads that a signal interrupts (a handler the program had before decides).
void InstallEndingHandlers();
//
// Or, for a program whose main thread only waits while a run works on another:
// the ending signals blocked on the calling thread, and so on every thread it
// starts after; AwaitEndingSignal on the main thread then takes them. A
// signal thus never lands in a wait the kernel lets only a fatal one break (a
// read from a stalled network file).
sigset_t BlockEndingSignals();
// Waits up to `timeout` for one of `ending`, or for WakeWaiter. When a
// signal came, removes the live temporaries and ends the process as that
// signal would have.
void AwaitEndingSignal(const sigset_t& ending, const timespec& timeout);
// Cuts short the wait of AwaitEndingSignal on `thread`.
void WakeWaiter(pthread_t thread);

// Removes the named temporaries of the runs in progress, for a process that
// ends without waiting for them. Async-signal-safe.
void RemoveLiveTemporaries();

}  // namespace linksift
