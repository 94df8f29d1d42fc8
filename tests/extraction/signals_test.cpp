// The signal side of a run: the names the ending signals remove, and the
// driver's run on a thread of its own.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <new>
#include <string>

#include "ending_signals_posix.h"
#include "handle_posix.h"
#include "signals_posix.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

using SignalsTest = TempDirTest;

// What the removal hook does once, as a run would on another thread while
// the ending signals remove its temporary.
struct Refill {
  LiveName* old_name = nullptr;
  LiveName* new_name = nullptr;
  int folder = -1;
};
Refill g_refill;

void ForgetAndNameAnother(int) {
  if (g_refill.old_name == nullptr) return;
  g_refill.old_name->Forget();
  g_refill.new_name->Remember(g_refill.folder, "new.tmp");
  g_refill.old_name = nullptr;
}

// The remover reads the name it claimed whole: the run's next name goes to
// another slot, and the claimed one is free again once the removal is done.
TEST_F(SignalsTest, ARunNamingAnotherTemporaryNeverOverwritesOneBeingRemoved) {
  const os::Handle folder(::open(dir_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  WriteFile(dir_ / "old.tmp", "");
  WriteFile(dir_ / "new.tmp", "");
  LiveName old_name;
  LiveName new_name;
  old_name.Remember(folder.get(), "old.tmp");
  g_refill = {&old_name, &new_name, folder.get()};
  SetRemovalHookForTests(ForgetAndNameAnother);
  RemoveLiveTemporaries();
  SetRemovalHookForTests(nullptr);
  EXPECT_FALSE(fs::exists(dir_ / "old.tmp")) << "the name being removed was overwritten";
  new_name.Forget();

  std::array<LiveName, 64> all;
  for (LiveName& name : all) name.Remember(folder.get(), "any.tmp");
  EXPECT_TRUE(all.back().remembered()) << "a slot was left taken";
}

// A failure the run lets out is reported and fails the program, as any
// other does, instead of ending it through std::terminate.
TEST_F(SignalsTest, TheDriversRunReportsWhatItThrows) {
  struct Case {
    const char* name;
    int (*run)();
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"returns", [] { return 3; }, 3, ""},
      {"out of memory", []() -> int { throw std::bad_alloc(); }, kRunFailed,
       "prog: std::bad_alloc\n"},
      {"not an exception", []() -> int { throw 7; }, kRunFailed, "prog: an unknown failure\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path errors = dir_ / "errors.txt";
    const int status = InChild([&] {
      if (std::freopen(errors.c_str(), "w", stderr) == nullptr) return kChildSkipped;
      return RunTakingEndingSignals("prog", c.run);
    });
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(ReadFile(errors), c.message);
  }
}

}  // namespace
}  // namespace linksift
