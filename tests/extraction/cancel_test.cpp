#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "extract.h"
#include "test_support.h"

namespace linksift {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing_support::ReadFile;
using testing_support::WriteFile;

// Pipes: a run must not wait on one beyond the reach of a cancel.
class CancelTest : public testing_support::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    output_ = dir_ / "urls.txt";
    WriteFile(output_, "old\r\n");
  }

  // Starts a run on `pipe`, sees it still waiting, cancels it and sees it stop.
  void ExpectCancelStopsARunOn(const fs::path& pipe) {
    std::atomic<bool> cancel{false};
    auto run = std::async(std::launch::async, [&] {
      RunOptions options;
      options.cancel = &cancel;
      return ExtractLinksFromFile(pipe, output_, options);
    });
    EXPECT_EQ(run.wait_for(300ms), std::future_status::timeout);
    cancel = true;
    EXPECT_EQ(run.wait_for(2s), std::future_status::ready);
    EXPECT_THROW(run.get(), ExtractionCancelled);
  }

  fs::path output_;
};

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
  ExpectCancelStopsARunOn(fifo);
  finished.set_value();
  writer.join();
  EXPECT_EQ(ReadFile(output_), "old\r\n");
}

TEST_F(CancelTest, StopsWhileAPipeHasNoWriterYet) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ExpectCancelStopsARunOn(fifo);
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
