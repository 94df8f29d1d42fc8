// A run that waits on its output (a pipe nobody reads yet, a reader that
// stalls) ends soon after a cancel, and a reader that leaves or a file size
// limit fails the write instead of killing the process.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

#include "ending_signals_posix.h"
#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

// Far more than a pipe holds.
std::string ManyLinks() {
  std::string text;
  for (int i = 0; i < 100'000; ++i) text += "see http://example.org/" + std::to_string(i) + "\n";
  return text;
}

class OutputPipeTest : public TempDirTest {
 protected:
  void SetUp() override {
    WriteFile(input_, ManyLinks());
    ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
  }

  const fs::path input_ = dir_ / "in.txt";
  const fs::path fifo_ = dir_ / "urls.txt";
};

struct WaitCase {
  std::string name;
  bool reader_opens;  // a reader opens the pipe but never reads
};

class OutputWaitTest : public OutputPipeTest, public testing::WithParamInterface<WaitCase> {};

TEST_P(OutputWaitTest, CancelEndsTheWait) {
  int reader = -1;
  if (GetParam().reader_opens) reader = ::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::atomic<bool> cancel{false};
  auto run = std::async(std::launch::async, [&] {
    RunOptions options;
    options.cancel = &cancel;
    return ExtractLinksFromFile(input_, fifo_, options);
  });
  EXPECT_EQ(run.wait_for(300ms), std::future_status::timeout) << "the run did not wait";
  cancel = true;
  EXPECT_EQ(run.wait_for(1s), std::future_status::ready) << "the cancel did not reach the wait";
  if (run.wait_for(10s) == std::future_status::ready) {
    EXPECT_THROW(run.get(), ExtractionCancelled);
  } else {
    // Let the run go rather than leave a thread waiting on a pipe forever.
    ::close(::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK));
  }
  if (reader >= 0) ::close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo_));
}

INSTANTIATE_TEST_SUITE_P(Pipes, OutputWaitTest,
                         testing::Values(WaitCase{"NoReaderYet", false},
                                         WaitCase{"ReaderStalls", true}),
                         [](const auto& info) { return info.param.name; });

// Each case runs in a child with the programs' signal policy, which would die
// of the signal were it not turned into an error; the child also checks that
// no signal is left pending or blocked after the run.
struct SignalCase {
  std::string name;
  std::errc reason;
  // Readies the child and names the output.
  fs::path (*prepare)(const fs::path& dir, const fs::path& fifo);
};

fs::path ReaderLeaves(const fs::path&, const fs::path& fifo) {
  // The reader takes one byte and goes: the run's next write has nobody to go to.
  std::thread([fifo] {
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    char byte;
    (void)!::read(fd, &byte, 1);
    ::close(fd);
  }).detach();
  return fifo;
}

fs::path SizeLimit(const fs::path& dir, const fs::path&) {
  const rlimit limit = {100'000, 100'000};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  WriteFile(dir / "limited.txt", "old\r\n");
  return dir / "limited.txt";
}

class WriteSignalTest : public OutputPipeTest, public testing::WithParamInterface<SignalCase> {};

TEST_P(WriteSignalTest, BecomesAWriteError) {
  const SignalCase& c = GetParam();
  const int code = InChild([&] {
    // The policy each program sets at start-up ignores both.
    InstallEndingHandlers();
    const fs::path output = c.prepare(dir_, fifo_);
    if (const int failed = RunFailsAt(input_, output, Stage::kWrite, c.reason)) return failed;
    sigset_t pending;
    sigset_t blocked;
    sigpending(&pending);
    ::pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
    for (const int signal : {SIGPIPE, SIGXFSZ}) {
      if (sigismember(&pending, signal) == 1 || sigismember(&blocked, signal) == 1) {
        std::fprintf(stderr, "signal %d left pending or blocked\n", signal);
        return 1;
      }
    }
    return 0;
  });
  EXPECT_EQ(code, 0) << "128 + the signal's number: the signal killed the run";
}

const SignalCase kSignalCases[] = {
    {"ReaderOfAPipeLeaves", std::errc::broken_pipe, ReaderLeaves},
    {"FileSizeLimit", std::errc::file_too_large, SizeLimit},
};

INSTANTIATE_TEST_SUITE_P(Signals, WriteSignalTest, testing::ValuesIn(kSignalCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace linksift
