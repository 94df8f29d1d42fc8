#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "background_run.h"
#include "open_command.h"
#include "open_dialog.h"
#include "static_label.h"

namespace linksift {

// The program's window: the button Command1 runs the open command, the label
// Label1 shows the instructions and then each run's result. A run goes on off
// the window's thread; Esc or closing the window cancels it.
class Form1 {
 public:
  // Control identifiers, the Win32 counterpart of the controls' names.
  static constexpr int kCommand1Id = 1001;
  static constexpr int kLabel1Id = 1002;
  static constexpr int kProgressId = 1003;
  // `program_directory` (UTF-8) is where urls.txt goes. A null `dialog` gives
  // the system's Open dialog, a null `report_error` a message box; tests pass
  // their own.
  explicit Form1(std::string program_directory, std::unique_ptr<OpenDialog> dialog = nullptr,
                 ErrorReport report_error = nullptr);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window, still hidden, with the instructions in Label1.
  void Create(HINSTANCE instance);
  // Called once the window is gone.
  void OnDestroyed(std::function<void()> callback) { on_destroyed_ = std::move(callback); }
  // Gives the window's keys their meaning before dispatch: Enter and Space
  // press Command1, Esc cancels a run. True when `message` was used up.
  bool PreTranslate(MSG& message);

  HWND hwnd() const { return hwnd_; }
  const StaticLabel& label() const { return *label1_; }
  bool running() const { return run_.running(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  void Layout(UINT dpi);
  void PostTask(BackgroundRun::Task task);
  void PressCommand1();
  void ShowProgress(std::optional<int> step);
  void FinishRun(const RunOutcome& outcome);
  void Close();
  void ShowErrorBox(const std::string& message);

  std::string program_directory_;
  std::unique_ptr<OpenDialog> cd1_;
  ErrorReport report_error_;
  std::function<void()> on_destroyed_;
  HWND hwnd_ = nullptr;
  HWND command1_ = nullptr;
  HWND progress_ = nullptr;
  std::unique_ptr<StaticLabel> label1_;
  HFONT button_font_ = nullptr;
  HFONT label_font_ = nullptr;
  // Where the run's thread posts its tasks; null once the window is gone.
  std::atomic<HWND> post_target_{nullptr};
  BackgroundRun run_{[this](BackgroundRun::Task task) { PostTask(std::move(task)); }};
};

}  // namespace linksift
