#include "signals_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "ending_signals_posix.h"

namespace linksift {
namespace {

constexpr int kWriteSignals[] = {SIGPIPE, SIGXFSZ};
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Harmless when it comes from elsewhere: it continues a process that runs.
constexpr int kWakeSignal = SIGCONT;

// A slot is filled by its owner only while free, and read by a remover only
// once claimed: an owner that forgets its name meanwhile leaves the slot to
// the remover to free, so that no new name is written over the one being read.
struct LiveTemporary {
  enum : int {
    kFree,
    kFilling,           // the owner writes the name
    kLive,              // the name is complete
    kRemoving,          // a remover reads the name
    kRemovingForgotten  // the same, the owner done with it: the remover frees it
  };
  std::atomic<int> state{kFree};
  int directory = -1;
  char name[NAME_MAX + 1] = {};

  // Moves the slot from `from` to `to`; false, changing nothing, when it is
  // in another state. Async-signal-safe.
  bool Move(int from, int to) { return state.compare_exchange_strong(from, to); }
};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

LiveTemporary g_live[64];
struct sigaction g_previous_actions[std::size(kEndingSignals)];
void (*g_removal_hook)(int slot) = nullptr;

// Async-signal-safe. A handler the program had before decides what the
// signal does, and the runs clean up after themselves if it lets them; a
// signal that ends the process removes the temporaries first.
void OnEndingSignal(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (kEndingSignals[i] != signal) continue;
    const struct sigaction& previous = g_previous_actions[i];
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
      previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      previous.sa_handler(signal);
    } else if (previous.sa_handler == SIG_DFL) {
      RemoveLiveTemporaries();
      // Blocked until this handler returns, then delivered with its usual effect.
      ::signal(signal, SIG_DFL);
      ::raise(signal);
    }
  }
  errno = saved_errno;
}

bool Ignored(int signal) {
  struct sigaction action;
  return ::sigaction(signal, nullptr, &action) == 0 && (action.sa_flags & SA_SIGINFO) == 0 &&
         action.sa_handler == SIG_IGN;
}

[[noreturn]] void EndAs(int signal) {
  RemoveLiveTemporaries();
  ::signal(signal, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // not reached
}

// Process-wide, for every write of the program's, the count it prints included.
void IgnoreWriteSignals() {
  for (const int signal : kWriteSignals) ::signal(signal, SIG_IGN);
}

}  // namespace

sigset_t BlockEndingSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : kEndingSignals) {
    if (!Ignored(signal)) sigaddset(&signals, signal);
  }
  sigaddset(&signals, kWakeSignal);
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

void AwaitEndingSignal(const sigset_t& ending, const timespec& timeout) {
  const int signal = ::sigtimedwait(&ending, nullptr, &timeout);
  if (signal > 0 && signal != kWakeSignal) EndAs(signal);
}

void WakeWaiter(pthread_t thread) {
  ::pthread_kill(thread, kWakeSignal);
}

void InstallEndingHandlers() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    IgnoreWriteSignals();
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
      struct sigaction& previous = g_previous_actions[i];
      ::sigaction(kEndingSignals[i], nullptr, &previous);
      // An ignored signal (nohup) ends nothing.
      if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN) continue;
      struct sigaction action = {};
      action.sa_sigaction = OnEndingSignal;
      action.sa_flags = SA_SIGINFO | SA_RESTART;
      sigemptyset(&action.sa_mask);
      ::sigaction(kEndingSignals[i], &action, nullptr);
    }
  });
}

int RunTakingEndingSignals(const char* program, const std::function<int()>& run) {
  IgnoreWriteSignals();
  const sigset_t ending = BlockEndingSignals();
  const pthread_t waiter = ::pthread_self();
  std::atomic<bool> done{false};
  int status = kRunFailed;
  std::thread thread;
  try {
    thread = std::thread([&] {
      status = RunCatching(program, run);
      done.store(true);
      WakeWaiter(waiter);
    });
  } catch (const std::exception&) {
    // Out of threads: the run goes on here, the signals handled where they land.
    ::pthread_sigmask(SIG_UNBLOCK, &ending, nullptr);
    InstallEndingHandlers();
    return RunCatching(program, run);
  }
  while (!done.load()) AwaitEndingSignal(ending, {1, 0});
  thread.join();
  return status;
}

void LiveName::Remember(int directory, const std::string& name) {
  Forget();
  if (name.size() > NAME_MAX) return;
  for (int slot = 0; slot < static_cast<int>(std::size(g_live)); ++slot) {
    LiveTemporary& live = g_live[slot];
    if (!live.Move(LiveTemporary::kFree, LiveTemporary::kFilling)) continue;
    live.directory = directory;
    std::memcpy(live.name, name.c_str(), name.size() + 1);
    live.state.store(LiveTemporary::kLive, std::memory_order_release);
    slot_ = slot;
    return;
  }
}

void LiveName::Forget() noexcept {
  if (slot_ < 0) return;
  std::atomic<int>& state = g_live[std::exchange(slot_, -1)].state;
  // A remover that claimed the slot frees it once done with the name.
  for (int now = LiveTemporary::kLive;;) {
    const int next =
        now == LiveTemporary::kLive ? LiveTemporary::kFree : LiveTemporary::kRemovingForgotten;
    if (state.compare_exchange_weak(now, next)) return;
  }
}

void SetRemovalHookForTests(void (*hook)(int slot)) {
  g_removal_hook = hook;
}

void RemoveLiveTemporaries() {
  for (int slot = 0; slot < static_cast<int>(std::size(g_live)); ++slot) {
    LiveTemporary& live = g_live[slot];
    if (!live.Move(LiveTemporary::kLive, LiveTemporary::kRemoving)) continue;
    if (g_removal_hook != nullptr) g_removal_hook(slot);
    ::unlinkat(live.directory, live.name, 0);
    if (!live.Move(LiveTemporary::kRemoving, LiveTemporary::kLive)) {
      live.state.store(LiveTemporary::kFree, std::memory_order_release);
    }
  }
}

}  // namespace linksift
