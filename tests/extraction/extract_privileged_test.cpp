// Failures that need another user or a full disk. Each case runs in a child
// process, which drops root or mounts a tiny file system of its own.
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {

using namespace testing_support;

constexpr int kSkip = kChildSkipped;
constexpr uid_t kNobody = 65534;

bool DropRoot() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// 0 when the run fails at `stage` with `reason` and leaves `output` as `old`
// in a directory of `entries` names.
int ExpectFailure(const fs::path& input, const fs::path& output, Stage stage, std::errc reason,
                  const std::string& old, std::size_t entries) {
  if (const int failed = RunFailsAt(input, output, stage, reason)) return failed;
  if (ReadFile(output) != old || Names(output.parent_path()).size() != entries) {
    std::fprintf(stderr, "the old output changed or litter was left\n");
    return 1;
  }
  return 0;
}

class PrivilegedTest : public TempDirTest {
 protected:
  void SetUp() override {
    fs::permissions(dir_, fs::perms::all);
    WriteFile(dir_ / "in.txt", "http://new\r\n");
    fs::permissions(dir_ / "in.txt", fs::perms(0644));
  }
  void ExpectChild(int code) {
    if (code == kSkip) GTEST_SKIP() << "this machine does not allow it";
    EXPECT_EQ(code, 0);
  }
  // Runs as nobody (or as is), expecting a failure that keeps the old output.
  void ExpectFailureWithoutRoot(const fs::path& output, Stage stage, std::size_t entries,
                                bool drop_root = true) {
    ExpectChild(InChild([&] {
      if (drop_root && !DropRoot()) return kSkip;
      return ExpectFailure(dir_ / "in.txt", output, stage, std::errc::permission_denied, "old\r\n",
                           entries);
    }));
  }
};

TEST_F(PrivilegedTest, UnreadableInput) {
  WriteFile(dir_ / "urls.txt", "old\r\n");
  fs::permissions(dir_ / "in.txt", fs::perms::owner_write);
  fs::permissions(dir_ / "urls.txt", fs::perms(0666));
  ExpectFailureWithoutRoot(dir_ / "urls.txt", Stage::kOpenInput, 2);
}

TEST_F(PrivilegedTest, DirectoryWithoutWriteRight) {
  const fs::path locked = dir_ / "locked";
  fs::create_directory(locked);
  WriteFile(locked / "urls.txt", "old\r\n");
  fs::permissions(locked / "urls.txt", fs::perms(0666));
  fs::permissions(locked, fs::perms(0555));
  ExpectFailureWithoutRoot(locked / "urls.txt", Stage::kCreateOutput, 1);
}

// Root passes every access check; the mode still says nobody may write. As
// is first: the run as nobody may have to be skipped.
TEST_F(PrivilegedTest, WriteProtectedOutputIsLeftAloneForRootToo) {
  WriteFile(dir_ / "urls.txt", "old\r\n");
  fs::permissions(dir_ / "urls.txt", fs::perms(0444));
  for (const bool drop_root : {false, true}) {
    SCOPED_TRACE(drop_root ? "as nobody" : "as is");
    ExpectFailureWithoutRoot(dir_ / "urls.txt", Stage::kCreateOutput, 2, drop_root);
  }
}

TEST_F(PrivilegedTest, FullDisk) {
  std::string input;
  for (int i = 0; i < 20'000; ++i)
    input += "see http://example.org/some/long/path/" + std::to_string(i) + "\r\n";
  WriteFile(dir_ / "in.txt", input);
  const fs::path small = dir_ / "small";
  fs::create_directory(small);
  ExpectChild(InChild([&] {
    if (::unshare(CLONE_NEWNS) != 0) return kSkip;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kSkip;
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) return kSkip;
    WriteFile(small / "urls.txt", "old\r\n");
    return ExpectFailure(dir_ / "in.txt", small / "urls.txt", Stage::kWrite,
                         std::errc::no_space_on_device, "old\r\n", 1);
  }));
}

}  // namespace
}  // namespace linksift
