// What the POSIX file layer does beyond the shared cases: input cut short,
// devices and pipes as output, symbolic links and file modes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "extract.h"
#include "replacement_file.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

using FileIoPosixTest = TempDirTest;

// A file cut short while it is being read is a read error that says so,
// never a crash and never a quietly shorter input, whether it is read block
// by block or a run splits it between two threads.
TEST_F(FileIoPosixTest, FileTruncatedDuringTheRunIsAReadError) {
  const long page = ::sysconf(_SC_PAGESIZE);
  const fs::path in = dir_ / "in.txt";
  const auto truncate = [&] { fs::resize_file(in, 0); };
  const std::vector<std::pair<const char*, std::function<void()>>> readers = {
      {"block by block",
       [&] { InputFile(in).ForEachBlock(page, [&](std::string_view) { truncate(); }); }},
      {"a whole run",
       [&] {
         RunOptions options;
         options.block_size = page;
         options.progress_interval = {};
         options.on_progress = [&](std::uint64_t, std::uint64_t) { truncate(); };
         ExtractLinksFromFile(in, dir_ / "urls.txt", options);
       }},
  };
  for (const auto& [name, read] : readers) {
    SCOPED_TRACE(name);
    std::string text;
    while (text.size() < 3 * static_cast<std::size_t>(page)) text += "see http://example.org\n";
    WriteFile(in, text);
    try {
      read();
      ADD_FAILURE() << "no error";
    } catch (const ExtractionError& e) {
      EXPECT_EQ(e.stage(), Stage::kRead);
      EXPECT_EQ(e.code(), MakeErrorCode(RunFailure::kInputChanged));
    }
  }
  EXPECT_FALSE(fs::exists(dir_ / "urls.txt"));
}

// Devices and pipes are written as they are; replacing one with a file would be wrong.
TEST_F(FileIoPosixTest, PipeOutputIsWrittenInPlace) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteFile(dir_ / "in.txt", "a http://x\r\n");
  std::string received;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  EXPECT_EQ(ExtractLinksFromFile(dir_ / "in.txt", fifo), 1u);
  reader.join();
  EXPECT_EQ(received, "http://x\r\n");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"in.txt", "pipe"}));
}

TEST_F(FileIoPosixTest, FollowsASymlinkedOutput) {
  const fs::path output = dir_ / "urls.txt";
  fs::create_directory(dir_ / "real");
  WriteFile(dir_ / "in.txt", "http://a");
  fs::create_symlink("real/target.txt", output);  // dangling until the first run
  for (int run = 0; run < 2; ++run) {
    ExtractLinksFromFile(dir_ / "in.txt", output);
    EXPECT_TRUE(fs::is_symlink(output));
    EXPECT_EQ(ReadFile(dir_ / "real" / "target.txt"), "http://a\r\n");
  }
  EXPECT_EQ(Names(dir_ / "real"), std::set<std::string>{"target.txt"});
}

TEST_F(FileIoPosixTest, KeepsTheOldModeAndGivesNewFilesTheUsualOne) {
  const fs::path output = dir_ / "urls.txt";
  WriteFile(dir_ / "in.txt", "http://a");
  const mode_t old_mask = ::umask(022);
  ExtractLinksFromFile(dir_ / "in.txt", output);
  EXPECT_EQ(fs::status(output).permissions(), fs::perms(0644));
  fs::permissions(output, fs::perms(0640));
  ExtractLinksFromFile(dir_ / "in.txt", output);
  ::umask(old_mask);
  EXPECT_EQ(fs::status(output).permissions(), fs::perms(0640));
}

// Links that never reach a file are reported; nothing is replaced.
TEST_F(FileIoPosixTest, SymbolicLinkLoopsAreReported) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links;  // name, target
  };
  const Case cases[] = {
      {"itself", {{"urls.txt", "urls.txt"}}},
      {"three", {{"urls.txt", "b"}, {"b", "c"}, {"c", "urls.txt"}}},
      {"through a folder", {{"urls.txt", "loop/urls.txt"}, {"loop", "loop"}}},
  };
  WriteFile(dir_ / "in.txt", "http://a");
  for (const Case& c : cases) {
    for (const auto& [name, target] : c.links) fs::create_symlink(target, dir_ / name);
    try {
      ExtractLinksFromFile(dir_ / "in.txt", dir_ / "urls.txt");
      ADD_FAILURE() << c.name << ": no error";
    } catch (const ExtractionError& e) {
      EXPECT_EQ(e.stage(), Stage::kCreateOutput) << c.name;
      EXPECT_EQ(e.code(), std::errc::too_many_symbolic_link_levels) << e.what();
    }
    for (const auto& [name, target] : c.links) {
      EXPECT_TRUE(fs::is_symlink(dir_ / name)) << c.name << ": " << name << " was replaced";
      fs::remove(dir_ / name);
    }
    EXPECT_EQ(Names(dir_), std::set<std::string>{"in.txt"}) << c.name;
  }
}

// Temporaries of this output's pattern that no run holds are left by runs
// that were killed: the next run removes them. Anything else stays.
TEST_F(FileIoPosixTest, StaleTemporariesAreSweptLiveOnesKept) {
  struct Case {
    const char* name;
    bool locked;  // held by a run still going
    bool removed;
  };
  const Case cases[] = {
      {".urls.txt.linksift-0123abcd.tmp", false, true},
      {".urls.txt.linksift-89ef4567.tmp", true, false},
      {".urls.txt.linksift-0123abcg.tmp", false, false},
      {".urls.txt.linksift-0123abc.tmp", false, false},
      {".other.txt.linksift-0123abcd.tmp", false, false},
      {"urls.txt.linksift-0123abcd.tmp", false, false},
  };
  WriteFile(dir_ / "in.txt", "http://a");
  std::vector<int> locks;
  for (const Case& c : cases) {
    WriteFile(dir_ / c.name, "left\r\n");
    if (!c.locked) continue;
    locks.push_back(::open((dir_ / c.name).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
  }
  ExtractLinksFromFile(dir_ / "in.txt", dir_ / "urls.txt");
  for (const Case& c : cases) EXPECT_EQ(fs::exists(dir_ / c.name), !c.removed) << c.name;
  for (const int lock : locks) ::close(lock);
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://a\r\n");
}

// A file named like a stale temporary that no run made stays: the run's own
// input, and a file with another name too.
TEST_F(FileIoPosixTest, TheSweepTakesNeitherTheInputNorALinkedFile) {
  const fs::path stale = dir_ / ".urls.txt.linksift-1a2b3c4d.tmp";
  struct Case {
    const char* name;
    fs::path input;
    void (*also)(const fs::path& stale, const fs::path& dir);
  };
  const Case cases[] = {
      {"the input", stale, [](const fs::path&, const fs::path&) {}},
      {"a file linked elsewhere too", dir_ / "in.txt",
       [](const fs::path& file, const fs::path& dir) { fs::create_hard_link(file, dir / "kept"); }},
  };
  WriteFile(dir_ / "in.txt", "http://a");
  for (const Case& c : cases) {
    WriteFile(stale, "http://a");
    c.also(stale, dir_);
    EXPECT_NO_THROW(ExtractLinksFromFile(c.input, dir_ / "urls.txt")) << c.name;
    EXPECT_TRUE(fs::exists(stale)) << c.name;
    EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://a\r\n") << c.name;
  }
}

}  // namespace
}  // namespace linksift
