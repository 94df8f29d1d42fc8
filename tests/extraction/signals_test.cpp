// The signal side of a run: the names the ending signals remove.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
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

}  // namespace
}  // namespace linksift
