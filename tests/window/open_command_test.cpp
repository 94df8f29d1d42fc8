#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "error_text.h"
#include "fakes.h"
#include "open_command.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

using namespace testing_support;

// A program directory and an input folder, with the fakes the command talks to.
class OpenCommandTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory(program_dir());
  }

  std::filesystem::path program_dir() const { return dir_ / "app"; }
  std::filesystem::path urls() const { return program_dir() / "urls.txt"; }
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    WriteFile(dir_ / name, bytes);
    return dir_ / name;
  }

  // One press of Command1, all three steps on the calling thread.
  void Press(const std::string& directory) {
    const std::optional<std::filesystem::path> input = AskForInput(dialog_);
    if (!input) return;
    ApplyOutcome(RunExtraction(*input, ProgramFolder(directory)), label_,
                 [this](const std::string& message) { errors_.push_back(message); });
  }
  void Press() { Press(program_dir().string()); }

  CallLog log_;
  FakeDialog dialog_{&log_};
  FakeLabel label_{&log_};
  std::vector<std::string> errors_;
};

TEST_F(OpenCommandTest, DrivesTheDialogInOrderThenSetsTheLabel) {
  dialog_.answer = Write("in.txt", kTwoLinks);
  Press();
  const CallLog expected = {kOpenDialogShown, "SetText"};
  EXPECT_EQ(log_, expected);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(OpenCommandTest, WritesUrlsBesideTheProgramAndShowsThatPath) {
  struct Case {
    std::string input;
    std::string output;
    LinkCount count;
  };
  const Case cases[] = {
      {kTwoLinks, kTwoLinksOut, 2},
      {"", "", 0},
      {"no links at all\r\nhttps://not/this\r\n", "", 0},
  };
  for (const Case& c : cases) {
    dialog_.answer = Write("in.txt", c.input);
    Press();
    EXPECT_EQ(ReadFile(urls()), c.output);
    EXPECT_EQ(label_.Text(), BuildResultText(c.count, program_dir().string() + "/urls.txt"));
  }
  EXPECT_TRUE(errors_.empty());
}

TEST_F(OpenCommandTest, SecondPressReplacesFileAndLabel) {
  dialog_.answer = Write("first.txt", kTwoLinks);
  Press();
  dialog_.answer = Write("second.txt", "x http://only/one. y\r\n");
  Press();
  EXPECT_EQ(ReadFile(urls()), "http://only/one\r\n");
  EXPECT_EQ(label_.Text(),
            "Найдено ссылок - 1\r\n\r\nСформирован файл: " + program_dir().string() + "/urls.txt");
}

TEST_F(OpenCommandTest, DirectoryEndingInSeparatorShowsTheDoubledSeparator) {
  dialog_.answer = Write("in.txt", kTwoLinks);
  Press(program_dir().string() + "/");
  EXPECT_EQ(ReadFile(urls()), kTwoLinksOut);
  EXPECT_EQ(label_.Text(), BuildResultText(2, program_dir().string() + "//urls.txt"));
}

TEST_F(OpenCommandTest, CancelRunsNothingAndChangesNothing) {
  WriteFile(urls(), "http://old/\r\n");
  label_.SetText("before");
  log_.clear();
  dialog_.answer.reset();
  Press();
  EXPECT_EQ(ReadFile(urls()), "http://old/\r\n");
  EXPECT_EQ(label_.Text(), "before");
  EXPECT_EQ(log_, CallLog{kOpenDialogShown});
  EXPECT_TRUE(errors_.empty());
}

TEST_F(OpenCommandTest, FailureIsReportedAndKeepsLabelAndOutput) {
  struct Case {
    std::string name;
    std::filesystem::path input;
    std::string directory;
    std::string message_start;
  };
  const std::filesystem::path missing_dir = dir_ / "gone";
  const Case cases[] = {
      {"missing input", dir_ / "missing.txt", program_dir().string(),
       "Не удалось открыть файл:\n" + (dir_ / "missing.txt").string() + "\n\n"},
      {"empty name", "", program_dir().string(), "Не удалось открыть файл:\n\n\n"},
      {"input is a folder", dir_, program_dir().string(), "Не удалось открыть файл:\n"},
      {"no program directory", Write("in.txt", kTwoLinks), missing_dir.string(),
       "Не удалось создать файл:\n" + missing_dir.string() + "/urls.txt\n\n"},
  };
  WriteFile(urls(), "http://old/\r\n");
  for (const Case& c : cases) {
    label_.SetText("before");
    errors_.clear();
    dialog_.answer = c.input;
    Press(c.directory);
    ASSERT_EQ(errors_.size(), 1u) << c.name;
    EXPECT_EQ(errors_[0].rfind(c.message_start, 0), 0u) << c.name << ": " << errors_[0];
    EXPECT_NE(errors_[0].find("Причина: "), std::string::npos) << c.name;
    EXPECT_EQ(label_.Text(), "before") << c.name;
    EXPECT_EQ(ReadFile(urls()), "http://old/\r\n") << c.name;
  }
}

TEST_F(OpenCommandTest, RunThatIsStoppedOrBreaksDownKeepsTheOldFile) {
  struct Case {
    std::string name;
    bool cancelled;
    ProgressCallback on_progress;
    RunOutcome::Kind kind;
    std::string error_text;
  };
  const std::filesystem::path input = Write("in.txt", kTwoLinks);
  const Case cases[] = {
      {"cancelled before it began", true, nullptr, RunOutcome::Kind::kCancelled, ""},
      // Nothing but the core's own errors would be caught on a run's thread.
      {"foreign exception", false,
       [](std::uint64_t, std::uint64_t) { throw std::runtime_error("out of luck"); },
       RunOutcome::Kind::kFailed, BuildUnexpectedErrorText(input, "out of luck")},
  };
  WriteFile(urls(), "http://old/\r\n");
  for (const Case& c : cases) {
    const std::atomic<bool> cancel{c.cancelled};
    const RunOutcome outcome =
        RunExtraction(input, ProgramFolder(program_dir()), c.on_progress, &cancel);
    EXPECT_EQ(outcome.kind, c.kind) << c.name;
    EXPECT_EQ(outcome.error_text, c.error_text) << c.name;
    EXPECT_EQ(ReadFile(urls()), "http://old/\r\n") << c.name;
    EXPECT_EQ(Names(program_dir()), std::set<std::string>{"urls.txt"}) << c.name;
  }
}

TEST_F(OpenCommandTest, OutcomeGoesToTheLabelOrTheErrorReport) {
  struct Case {
    RunOutcome outcome;
    std::string label;
    std::vector<std::string> errors;
    std::optional<TextSpan> link;
  };
  const std::string result = BuildResultText(3, "/a/urls.txt");
  const Case cases[] = {
      {{RunOutcome::Kind::kCompleted, 3, "/a/urls.txt", "/a/urls.txt", ""},
       result,
       {},
       TextSpan{result.size() - 11, 11}},
      {{RunOutcome::Kind::kFailed, 0, "", "", "Не удалось"}, "before", {"Не удалось"}, {}},
      {{RunOutcome::Kind::kCancelled, 0, "", "", ""},
       "Обработка отменена.\r\n\r\nФайл urls.txt не изменён.",
       {},
       {}},
  };
  for (const Case& c : cases) {
    label_.SetText("before");
    log_.clear();
    errors_.clear();
    ApplyOutcome(c.outcome, label_,
                 [this](const std::string& message) { errors_.push_back(message); });
    EXPECT_EQ(label_.Text(), c.label);
    EXPECT_EQ(label_.link, c.link);
    EXPECT_EQ(errors_, c.errors);
    EXPECT_EQ(log_.size(), c.label == "before" ? 0u : 1u) << "the label is set once or not at all";
  }
}

}  // namespace
}  // namespace linksift
