// Failures are worded as what failed, on which file, for what reason; a lack
// of memory or threads too.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <system_error>

#include "extraction_error.h"
#include "system_reason.h"
#include "test_support.h"

namespace linksift {
namespace {
using namespace testing_support;

TEST(ExtractionErrorTest, SaysWhatWasBeingDone) {
  struct Case {
    Stage stage;
    const char* action;
    std::string starts;
  };
  const fs::path path = fs::path("dir") / "urls.txt";
  // Appended piece by piece: GCC 12 warns falsely about "'" + string.
  std::string quoted = "'";
  quoted.append(path.string()).append("'");
  const Case cases[] = {
      {Stage::kCreateOutput, nullptr, "cannot create a temporary file in 'dir' for " + quoted},
      {Stage::kOpenInput, nullptr, "cannot open the input " + quoted},
      {Stage::kRead, nullptr, "cannot read the input " + quoted},
      {Stage::kWrite, nullptr, "cannot write the output " + quoted},
      {Stage::kReplace, nullptr, "cannot replace the output " + quoted},
      {Stage::kCreateOutput, "cannot open the output", "cannot open the output " + quoted},
  };
  const std::error_code reason = std::make_error_code(std::errc::permission_denied);
  for (const Case& c : cases) {
    const ExtractionError error(c.stage, path, reason, c.action);
    EXPECT_EQ(std::string(error.what()), c.starts + ": " + SystemReason(reason));
    EXPECT_EQ(error.stage(), c.stage);
  }
}

// What a step throws when it runs out of memory or threads becomes the
// step's failure on its file; other errors pass as they are.
TEST(ExtractionErrorTest, OutOfMemoryOrThreadsIsTheStepsFailure) {
  struct Case {
    const char* name;
    void (*fail)();
    std::error_code reason;
  };
  const Case cases[] = {
      {"bad_alloc", [] { throw std::bad_alloc(); },
       std::make_error_code(std::errc::not_enough_memory)},
      {"no thread",
       [] {
         throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
       },
       std::make_error_code(std::errc::resource_unavailable_try_again)},
      {"already reported",
       [] {
         throw ExtractionError(Stage::kWrite, "other",
                               std::make_error_code(std::errc::no_space_on_device));
       },
       std::make_error_code(std::errc::no_space_on_device)},
  };
  for (const Case& c : cases) {
    try {
      AtStage(Stage::kRead, "in.txt", c.fail);
      ADD_FAILURE() << c.name << ": nothing thrown";
    } catch (const ExtractionError& e) {
      EXPECT_EQ(e.code(), c.reason) << c.name;
      const bool passed_on = c.reason == std::errc::no_space_on_device;
      EXPECT_EQ(e.stage(), passed_on ? Stage::kWrite : Stage::kRead) << c.name;
      EXPECT_EQ(e.path(), passed_on ? fs::path("other") : fs::path("in.txt")) << c.name;
    }
  }
  EXPECT_EQ(AtStage(Stage::kRead, "in.txt", [] { return 7; }), 7);
}

}  // namespace
}  // namespace linksift
