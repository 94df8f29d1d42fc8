// Names of open descriptors (/dev/fd/N, /proc/self/fd/N, a link to one) are
// read and written through the descriptor as it is: a pipe, a socket, a file
// in append mode. The file behind one is never resolved and replaced.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>

#include "extract.h"
#include "handle_posix.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

// Reads everything from `fd` until its writers are gone.
std::string Drain(int fd) {
  std::string all;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, got);
  return all;
}

// What a run given the name of one end of a channel writes there.
struct Channel {
  int ours = -1;    // read by the test
  int theirs = -1;  // named to the run
};

Channel Pipe() {
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("pipe");
  return {ends[0], ends[1]};
}

Channel Socket() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) throw std::runtime_error("socketpair");
  return {ends[0], ends[1]};
}

struct OutputNameCase {
  std::string name;
  std::string (*name_of)(int fd, const fs::path& dir);
};

std::string DevFd(int fd, const fs::path&) {
  return "/dev/fd/" + std::to_string(fd);
}
std::string ProcSelfFd(int fd, const fs::path&) {
  return "/proc/self/fd/" + std::to_string(fd);
}
// The same table by the calling thread's and by the main thread's name.
std::string ThreadSelfFd(int fd, const fs::path&) {
  return "/proc/thread-self/fd/" + std::to_string(fd);
}
std::string MainTaskFd(int fd, const fs::path&) {
  return "/proc/self/task/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);
}
std::string LinkToDevFd(int fd, const fs::path& dir) {
  fs::create_symlink(DevFd(fd, dir), dir / "urls.txt");
  return (dir / "urls.txt").string();
}

const OutputNameCase kOutputNames[] = {
    {"DevFd", DevFd},           {"ProcSelfFd", ProcSelfFd},   {"ThreadSelfFd", ThreadSelfFd},
    {"MainTaskFd", MainTaskFd}, {"LinkToDevFd", LinkToDevFd},
};

class OutputNameTest : public TempDirTest, public testing::WithParamInterface<OutputNameCase> {
 protected:
  void SetUp() override { WriteFile(input_, kTwoLinks); }
  std::string NameOf(int fd) { return GetParam().name_of(fd, dir_); }

  const fs::path input_ = dir_ / "in.txt";
};

TEST_P(OutputNameTest, WritesThroughAPipeOrSocket) {
  for (Channel (*make)() : {Pipe, Socket}) {
    const Channel channel = make();
    std::string received;
    std::thread reader([&] { received = Drain(channel.ours); });
    EXPECT_EQ(ExtractLinksFromFile(input_, NameOf(channel.theirs)), 2u);
    ::close(channel.theirs);
    reader.join();
    ::close(channel.ours);
    EXPECT_EQ(received, kTwoLinksOut);
    fs::remove(dir_ / "urls.txt");
  }
}

// The log keeps its lines and its inode: appended to, never replaced.
TEST_P(OutputNameTest, AppendsToAFileOpenForAppending) {
  const fs::path log = dir_ / "log.txt";
  WriteFile(log, "old line\n");
  const auto inode = [&] {
    struct stat st;
    ::stat(log.c_str(), &st);
    return st.st_ino;
  };
  const ino_t before = inode();
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ExtractLinksFromFile(input_, NameOf(fd)), 2u);
  ::close(fd);
  EXPECT_EQ(ReadFile(log), std::string("old line\n") + kTwoLinksOut);
  EXPECT_EQ(inode(), before);
  EXPECT_EQ(CountTemporaries(dir_), 0u);
}

// A number the run's own files will not take.
TEST_P(OutputNameTest, AClosedDescriptorIsReported) {
  const int fd = 900;
  ASSERT_EQ(::fcntl(fd, F_GETFD), -1);
  const std::string name = NameOf(fd);
  try {
    ExtractLinksFromFile(input_, name);
    ADD_FAILURE() << "no error";
  } catch (const ExtractionError& e) {
    EXPECT_EQ(e.stage(), Stage::kCreateOutput);
    EXPECT_EQ(e.code(), std::errc::bad_file_descriptor) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Descriptors, OutputNameTest, testing::ValuesIn(kOutputNames),
                         [](const auto& info) { return info.param.name; });

// The input's name may be a descriptor's too: a pipe is read through it, a
// file handed over part-read from where it stands.
TEST(InputNameTest, ReadsAPipeAndAPartReadFileThroughTheirDescriptors) {
  TempDir dir;
  const fs::path output = dir.path() / "urls.txt";
  const Channel pipe = Pipe();
  std::thread writer([&] {
    ::write(pipe.theirs, kTwoLinks, sizeof kTwoLinks - 1);
    ::close(pipe.theirs);
  });
  EXPECT_EQ(ExtractLinksFromFile(DevFd(pipe.ours, {}), output), 2u);
  writer.join();
  ::close(pipe.ours);
  EXPECT_EQ(ReadFile(output), kTwoLinksOut);

  const fs::path input = dir.Write("in.txt", kTwoLinks);
  const int fd = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const auto past_first_line = static_cast<off_t>(std::string_view(kTwoLinks).find('\n') + 1);
  ASSERT_EQ(::lseek(fd, past_first_line, SEEK_SET), past_first_line);
  EXPECT_EQ(ExtractLinksFromFile(ProcSelfFd(fd, {}), output), 1u);
  ::close(fd);
  EXPECT_EQ(ReadFile(output), "http://ef/g\r\n");
}

TEST(StandardOutputTest, IsKnownByItsNames) {
  struct Case {
    const char* name;
    bool standard;
  };
  const Case cases[] = {
      {"-", true},           {"/dev/stdout", true},
      {"/dev/fd/1", true},   {"/proc/self/fd/1", true},
      {"/dev/fd/2", false},  {"/dev/stderr", false},
      {"./-", false},        {"urls.txt", false},
      {"/dev/fd/1x", false}, {"/proc/thread-self/fd/1", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsStandardOutput(c.name), c.standard) << c.name;
}

// Each descriptor is closed once, by its last owner: a handle moved from
// closes nothing, one moved onto closes what it held, and a listing that
// cannot be made keeps no copy of the folder's descriptor.
TEST(HandleTest, ClosesEachDescriptorOnceAndLeaksNone) {
  const auto open = [] { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); };
  const auto is_open = [](int fd) { return ::fcntl(fd, F_GETFD) != -1; };
  const int first = open();
  const int second = open();
  {
    os::Handle a(first);
    os::Handle b(std::move(a));
    EXPECT_FALSE(a.valid());
    os::Handle c(second);
    c = std::move(b);
    EXPECT_FALSE(is_open(second)) << "the descriptor moved onto lives on";
    EXPECT_EQ(c.get(), first);
    EXPECT_FALSE(b.valid());
    os::Handle& same = c;
    c = std::move(same);
    EXPECT_TRUE(is_open(first)) << "moved onto itself";
  }
  EXPECT_FALSE(is_open(first));

  const int file = open();
  const int next = open();  // the number a leaked copy would take
  ::close(next);
  EXPECT_EQ(os::ListFolder(file), nullptr);
  EXPECT_FALSE(is_open(next)) << "the copy of a descriptor that is no folder was kept";
  ::close(file);
}

}  // namespace
}  // namespace linksift
