#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "background_run.h"
#include "open_dialog.h"
#include "output_folders.h"
#include "result_opener.h"
#include "run_controller.h"
#include "run_view.h"
#include "text_label.h"

namespace linksift::testing_support {

// Folders for a run that writes beside a program in `directory`.
inline OutputFolders ProgramFolder(std::filesystem::path directory) {
  OutputFolders folders;
  folders.program = std::move(directory);
  return folders;
}

// Records every call the fakes below receive, in order.
using CallLog = std::vector<std::string>;

// What FakeDialog logs when the open command shows it.
inline const std::string kOpenDialogShown = "Show Открытие файла|Текстовые файлы (*.txt)|*.txt";

// Answers with a preset file, or with a cancel when it has none; logs "Show
// TITLE|FILTER".
class FakeDialog final : public OpenDialog {
 public:
  explicit FakeDialog(CallLog* log) : log_(log) {}

  std::optional<std::filesystem::path> Show(const std::string& title, const std::string& filter,
                                            const std::filesystem::path& start_folder) override;

  std::optional<std::filesystem::path> answer;
  // The folder each showing was asked to start in.
  std::vector<std::filesystem::path> start_folders;
  // Runs while the dialog is up, as the user might act meanwhile.
  std::function<void()> while_shown;

 private:
  CallLog* log_;
};

class FakeLabel final : public TextLabel {
 public:
  explicit FakeLabel(CallLog* log) : log_(log) {}

  std::string Text() const override { return text_; }
  // Both log "SetText"; `link` says what the last one linked.
  void SetText(const std::string& text) override;
  void SetTextWithLink(const std::string& text, TextSpan link) override;

  std::optional<TextSpan> link;

 private:
  CallLog* log_;
  std::string text_;
};

// Logs "ShowInFolder FILE" and "Open FILE"; fails with `failure` when it is set.
class FakeOpener final : public ResultOpener {
 public:
  explicit FakeOpener(CallLog* log) : log_(log) {}

  void ShowInFolder(const std::filesystem::path& file, Failed failed) override;
  void Open(const std::filesystem::path& file, Failed failed) override;

  std::optional<std::string> failure;

 private:
  CallLog* log_;
};

// Form1 as the controller sees it: the calls in the log, the state in members.
class FakeView final : public RunView {
 public:
  explicit FakeView(CallLog* log) : log_(log), label_(log) {}

  FakeLabel& Label1() override { return label_; }
  void EnableCommand1(bool enabled) override;
  void ShowProgress(std::optional<int> step) override;
  void HideProgress() override;
  void ShowError(const std::string& message) override;

  bool command1_enabled = true;
  bool progress_shown = false;
  std::optional<int> step;
  std::vector<std::string> errors;

 private:
  CallLog* log_;
  FakeLabel label_;
};

// The window's queue: the run's thread posts, the test's thread runs what it
// posted. Delayed tasks wait for the test to move a clock of its own on.
class FakeWindowQueue {
 public:
  WindowQueue Queue();

  // Runs posted tasks as they come until `done` holds; false on a timeout.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Lets `time` pass: runs the delayed tasks that fall due, in order.
  void Advance(std::chrono::milliseconds time);

 private:
  struct Delayed {
    std::chrono::milliseconds due;
    BackgroundRun::Task task;
  };

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<BackgroundRun::Task> tasks_;
  std::chrono::milliseconds now_{0};
  std::vector<Delayed> delayed_;
};

}  // namespace linksift::testing_support
