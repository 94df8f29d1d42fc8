#pragma once

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "open_command.h"
#include "open_dialog.h"
#include "result_opener.h"
#include "run_controller.h"
#include "run_view.h"
#include "static_label.h"

namespace linksift {

// The program's window in Win32: Command1, Label1 and the progress bar, drawn
// as RunController asks; the window's messages go to the controller.
class Form1 final : private RunView {
 public:
  // Control identifiers, the Win32 counterpart of the controls' names.
  static constexpr int kCommand1Id = 1001;
  static constexpr int kLabel1Id = 1002;
  static constexpr int kProgressId = 1003;
  static constexpr int kCancelHintId = 1004;
  // `folders` say where urls.txt goes. A null `dialog` gives the system's
  // Open dialog, a null `report_error` a message box, a null `opener`
  // Explorer; tests pass their own.
  explicit Form1(OutputFolders folders, std::unique_ptr<OpenDialog> dialog = nullptr,
                 ErrorReport report_error = nullptr,
                 std::unique_ptr<ResultOpener> opener = nullptr);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window, still hidden, with the instructions in Label1.
  void Create(HINSTANCE instance);
  // Called once the window is gone.
  void OnDestroyed(std::function<void()> callback) { on_destroyed_ = std::move(callback); }
  // Gives the window's keys their meaning before dispatch: Enter and Space
  // press Command1, Enter on the label follows its link, Esc cancels a run.
  // True when `message` was used up.
  bool PreTranslate(MSG& message);

  // Runs `input` as if chosen in the dialog (the command line's FILE); once
  // the window is made.
  void OpenFile(std::filesystem::path input);

  HWND hwnd() const { return hwnd_; }
  const StaticLabel& label() const { return *label1_; }
  bool running() const { return controller_ && controller_->running(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  void Layout(UINT dpi);
  void Post(BackgroundRun::Task task);
  void PostDelayed(std::chrono::milliseconds delay, BackgroundRun::Task task);
  void RunTimer(UINT_PTR id);
  void Destroyed();
  void TakeDrop(HDROP drop);

  // Drawing what the controller asks for.
  TextLabel& Label1() override { return *label1_; }
  void EnableCommand1(bool enabled) override;
  void ShowProgress(std::optional<int> step) override;
  void HideProgress() override;
  void ShowError(const std::string& message) override { report_error_(message); }
  void ShowErrorBox(const std::string& message);

  OutputFolders folders_;
  std::unique_ptr<OpenDialog> cd1_;
  std::unique_ptr<ResultOpener> opener_;
  ErrorReport report_error_;
  std::function<void()> on_destroyed_;
  HWND hwnd_ = nullptr;
  HWND command1_ = nullptr;
  HWND progress_ = nullptr;
  // The bar draws no text: how to cancel stands beside it.
  HWND cancel_hint_ = nullptr;
  std::unique_ptr<StaticLabel> label1_;
  HFONT button_font_ = nullptr;
  // Where the run's thread posts its tasks; null once the window is gone.
  std::atomic<HWND> post_target_{nullptr};
  // Delayed tasks by their timer's identifier.
  std::map<UINT_PTR, BackgroundRun::Task> timers_;
  UINT_PTR next_timer_ = 1;
  // Made with the window, for the dialog needs its owner. Last, so it goes
  // first: it waits for the run while the rest still stands.
  std::optional<RunController> controller_;
};

}  // namespace linksift
