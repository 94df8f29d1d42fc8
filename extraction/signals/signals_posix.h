#pragma once

#include <pthread.h>
#include <signal.h>

#include <string>

// The run's side of signals; the program's policy is in ending_signals_posix.h.
namespace linksift {

// A named temporary's place among those the ending signals remove before they
// end the process, held from Remember to Forget. Slots are few and fixed, so
// that a signal handler can read them: when all are taken the temporary is
// left to the next run's sweep.
class LiveName {
 public:
  LiveName() = default;
  LiveName(const LiveName&) = delete;
  LiveName& operator=(const LiveName&) = delete;
  ~LiveName() { Forget(); }

  // `name` in `directory`, which must stay open until Forget.
  void Remember(int directory, const std::string& name);
  // The temporary has been renamed or removed. A removal under way keeps the
  // slot until it is done with the name.
  void Forget() noexcept;
  bool remembered() const { return slot_ >= 0; }

 private:
  int slot_ = -1;
};

// The steps of RunTakingEndingSignals (ending_signals_posix.h):
// The ending signals and the wake blocked on the calling thread, and so on
// every thread it starts after: a signal thus never lands in a wait the kernel
// lets only a fatal one break (a read from a stalled network file).
sigset_t BlockEndingSignals();
// Waits up to `timeout` for one of `ending` or for WakeWaiter; one of
// `ending` removes the live temporaries and ends the process as it would have.
void AwaitEndingSignal(const sigset_t& ending, const timespec& timeout);
// Cuts short the wait of AwaitEndingSignal on `thread`, or the next one.
void WakeWaiter(pthread_t thread);

// Called by RemoveLiveTemporaries with each slot it has claimed, before it
// reads the name: a test's seam to act in between. Null in the programs.
void SetRemovalHookForTests(void (*hook)(int slot));

}  // namespace linksift
