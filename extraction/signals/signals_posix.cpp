#include "signals_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <mutex>

#include "ending_signals_posix.h"

namespace linksift {
namespace {

constexpr int kWriteSignals[] = {SIGPIPE, SIGXFSZ};
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Harmless when it comes from elsewhere: it continues a process that runs.
constexpr int kWakeSignal = SIGCONT;

struct LiveTemporary {
  enum : int { kFree, kFilling, kLive };
  std::atomic<int> state{kFree};
  int directory = -1;
  char name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

LiveTemporary g_live[64];
struct sigaction g_previous_actions[std::size(kEndingSignals)];

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

}  // namespace

void InstallEndingHandlers() {
  static std::once_flag installed;
  std::call_once(installed, [] {
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

WriteSignalsAsErrors::WriteSignalsAsErrors() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : kWriteSignals) sigaddset(&signals, signal);
  ::pthread_sigmask(SIG_BLOCK, &signals, &saved_);
}

WriteSignalsAsErrors::~WriteSignalsAsErrors() {
  sigset_t pending;
  sigpending(&pending);
  for (const int signal : kWriteSignals) {
    // One the caller blocked itself is the caller's to take.
    if (sigismember(&pending, signal) != 1 || sigismember(&saved_, signal) == 1) continue;
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    const timespec now = {0, 0};
    ::sigtimedwait(&one, nullptr, &now);
  }
  ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

int RememberTemporary(int directory, const std::string& name) {
  if (name.size() > NAME_MAX) return -1;
  for (int slot = 0; slot < static_cast<int>(std::size(g_live)); ++slot) {
    LiveTemporary& live = g_live[slot];
    int expected = LiveTemporary::kFree;
    if (!live.state.compare_exchange_strong(expected, LiveTemporary::kFilling)) continue;
    live.directory = directory;
    std::memcpy(live.name, name.c_str(), name.size() + 1);
    live.state.store(LiveTemporary::kLive, std::memory_order_release);
    return slot;
  }
  return -1;
}

void RemoveLiveTemporaries() {
  for (LiveTemporary& live : g_live) {
    if (live.state.load(std::memory_order_acquire) == LiveTemporary::kLive) {
      ::unlinkat(live.directory, live.name, 0);
    }
  }
}

void ForgetTemporary(int& slot) {
  if (slot >= 0) g_live[slot].state.store(LiveTemporary::kFree, std::memory_order_release);
  slot = -1;
}

}  // namespace linksift
