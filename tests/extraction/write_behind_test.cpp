// Early write-back on a thread of its own: it starts whole units of what was
// written, in order and each once, after the preparation; a start that fails
// is the run's failure, one the system cannot do is none, and either ends the
// starts.
#include "write_behind.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace linksift {
namespace {

constexpr std::uint64_t kInterval = 4096;
constexpr std::uint64_t kUnit = 1024;

struct WriteBehindCase {
  const char* name;
  std::errc answer;    // what every start gives: errc{} for none
  std::errc reported;  // what the writer is told
};

std::error_code Code(std::errc code) {
  return code == std::errc{} ? std::error_code() : std::make_error_code(code);
}

class WriteBehindTest : public testing::TestWithParam<WriteBehindCase> {};

TEST_P(WriteBehindTest, StartsWholeUnitsInOrderAndReportsWhatFailed) {
  const WriteBehindCase& c = GetParam();
  std::mutex mutex;
  std::condition_variable started;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> starts;
  bool prepared_first = false;
  std::error_code reported;
  std::uint64_t written = 0;
  {
    WriteBehind behind(
        [&](std::uint64_t offset, std::uint64_t size) {
          const std::lock_guard lock(mutex);
          starts.emplace_back(offset, size);
          started.notify_all();
          return Code(c.answer);
        },
        [&](const std::atomic<bool>&) {
          const std::lock_guard lock(mutex);
          prepared_first = starts.empty();
        },
        kInterval, kUnit);
    for (int i = 0; i < 200 && !reported; ++i) {
      written += 1000 + i;  // seldom a whole unit
      reported = behind.Written(written);
    }
    // Stopped only once it has started something, as a run that writes on would let it.
    {
      std::unique_lock lock(mutex);
      started.wait_for(lock, std::chrono::minutes(1), [&] { return !starts.empty(); });
    }
    const std::error_code finished = behind.Finish();
    if (!reported) reported = finished;
  }
  EXPECT_EQ(reported, Code(c.reported));
  EXPECT_TRUE(prepared_first);
  ASSERT_FALSE(starts.empty());
  // A failure or a refusal ends the starts.
  if (c.answer != std::errc{}) {
    EXPECT_EQ(starts.size(), 1u);
  }
  std::uint64_t next = 0;
  for (const auto& [offset, size] : starts) {
    EXPECT_EQ(offset, next);
    EXPECT_EQ((offset + size) % kUnit, 0u);
    next = offset + size;
  }
  EXPECT_LE(next, written);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, WriteBehindTest,
    testing::Values(WriteBehindCase{"AllStarted", std::errc{}, std::errc{}},
                    WriteBehindCase{"StartFails", std::errc::io_error, std::errc::io_error},
                    WriteBehindCase{"SystemCannot", std::errc::not_supported, std::errc{}}),
    [](const testing::TestParamInfo<WriteBehindCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace linksift
