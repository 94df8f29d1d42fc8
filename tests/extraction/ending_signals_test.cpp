// The wait of a program's main thread for the ending signals while a run
// works on another: the run's end wakes it at once.
#include <pthread.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "signals_posix.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

// A run that ends before its waiter starts to wait must not leave it to wait
// out its timeout: the wake is kept for the wait, which takes it and returns.
TEST(EndingSignalsTest, AWakeBeforeTheWaitIsKeptForItAndTaken) {
  const int code = InChild([] {
    const sigset_t ending = BlockEndingSignals();
    WakeWaiter(::pthread_self());
    sigset_t pending;
    sigpending(&pending);
    if (sigisemptyset(&pending)) {
      std::fprintf(stderr, "the wake was gone before the wait\n");
      return 1;
    }
    AwaitEndingSignal(ending, {0, 0});
    sigpending(&pending);
    if (!sigisemptyset(&pending)) {
      std::fprintf(stderr, "the wait left the wake pending\n");
      return 2;
    }
    return 0;
  });
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace linksift
