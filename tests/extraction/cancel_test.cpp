#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing_support::ReadFile;
using testing_support::WriteFile;

class CancelTest : public testing_support::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    input_ = dir_ / "in.txt";
    output_ = dir_ / "urls.txt";
    // One line whose link runs through the whole file, then a short one.
    WriteFile(input_, "see http://" + std::string(1 << 20, 'a') + "\r\nhttp://b\r\n");
    WriteFile(output_, "old\r\n");
  }

  void ExpectUntouched() {
    EXPECT_EQ(ReadFile(output_), "old\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
  }

  fs::path input_;
  fs::path output_;
};

// Cancels once the run has read `at` bytes: 0 stops it before the first
// block, the middle falls inside the long link, the size is the very end.
TEST_F(CancelTest, AtAnyPointKeepsTheOldOutput) {
  const std::uint64_t size = fs::file_size(input_);
  for (const std::uint64_t at : {std::uint64_t{0}, size / 2, size}) {
    std::atomic<bool> cancel{at == 0};
    RunOptions options;
    options.block_size = 4096;
    options.progress_interval = {};
    options.cancel = &cancel;
    options.on_progress = [&](std::uint64_t done, std::uint64_t) {
      if (done >= at) cancel = true;
    };
    EXPECT_THROW(ExtractLinksFromFile(input_, output_, options), ExtractionCancelled) << at;
    ExpectUntouched();
  }
}

TEST_F(CancelTest, ProgressRisesToTheFileSize) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  RunOptions options;
  options.block_size = 4096;
  options.progress_interval = {};
  options.on_progress = [&](std::uint64_t done, std::uint64_t total) {
    calls.emplace_back(done, total);
  };
  EXPECT_EQ(ExtractLinksFromFile(input_, output_, options), 2u);
  const std::uint64_t size = fs::file_size(input_);
  ASSERT_GT(calls.size(), 100u);
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
  EXPECT_EQ(calls.back(), std::make_pair(size, size));
}

TEST_F(CancelTest, ProgressCallsAreThrottled) {
  int calls = 0;
  RunOptions options;
  options.block_size = 4096;
  options.progress_interval = 1h;
  options.on_progress = [&](std::uint64_t, std::uint64_t) { ++calls; };
  ExtractLinksFromFile(input_, output_, options);
  EXPECT_EQ(calls, 1);  // only the final report
}

// A pipe whose writer has gone quiet must not hold a cancel up.
TEST_F(CancelTest, StopsWhileAPipeIsSilent) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::promise<void> finished;
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out << "http://a\r\n" << std::flush;
    finished.get_future().wait();
  });
  std::atomic<bool> cancel{false};
  auto run = std::async(std::launch::async, [&] {
    RunOptions options;
    options.cancel = &cancel;
    return ExtractLinksFromFile(fifo, output_, options);
  });
  EXPECT_EQ(run.wait_for(300ms), std::future_status::timeout);
  cancel = true;
  EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
  EXPECT_THROW(run.get(), ExtractionCancelled);
  finished.set_value();
  writer.join();
  EXPECT_EQ(ReadFile(output_), "old\r\n");
}

TEST_F(CancelTest, StopsWhileAPipeHasNoWriterYet) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> cancel{false};
  auto run = std::async(std::launch::async, [&] {
    RunOptions options;
    options.cancel = &cancel;
    return ExtractLinksFromFile(fifo, output_, options);
  });
  EXPECT_EQ(run.wait_for(300ms), std::future_status::timeout);
  cancel = true;
  EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
  EXPECT_THROW(run.get(), ExtractionCancelled);
  EXPECT_EQ(ReadFile(output_), "old\r\n");
}

// A writer that comes late is waited for: its pipe is no empty input.
TEST_F(CancelTest, WaitsForAPipesFirstWriter) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto run = std::async(std::launch::async, [&] { return ExtractLinksFromFile(fifo, output_); });
  EXPECT_EQ(run.wait_for(200ms), std::future_status::timeout);
  WriteFile(fifo, "late http://a\r\n");
  EXPECT_EQ(run.get(), 1u);
  EXPECT_EQ(ReadFile(output_), "http://a\r\n");
}

}  // namespace
}  // namespace linksift
