#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "background_run.h"
#include "message_label.h"
#include "open_command.h"
#include "open_dialog.h"

namespace linksift {

// The program's window: the button Command1 runs the open command, the label
// Label1 shows the instructions and then each run's result. A run goes on
// off the window's thread: Command1 is disabled meanwhile, a run that lasts
// shows a progress bar in place of the label, and Esc or closing the window
// cancels it.
class Form1 final : public QWidget {
 public:
  // `program_directory` is where urls.txt goes. A null `dialog` gives Qt's
  // file dialog, a null `report_error` a message box; tests pass their own.
  explicit Form1(std::string program_directory, std::unique_ptr<OpenDialog> dialog = nullptr,
                 ErrorReport report_error = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OpenFile();
  void RevealProgress();
  void ShowProgress(std::uint64_t done, std::uint64_t total);
  void EndRun(const RunOutcome& outcome);
  void ShowErrorBox(const std::string& message);

  std::string program_directory_;
  QPushButton* command1_;
  MessageLabel* label1_;
  QProgressBar* progress_bar_;
  QTimer* progress_delay_;
  std::unique_ptr<OpenDialog> cd1_;
  ErrorReport report_error_;
  // Last, so it goes first: it waits for the run while the window still stands.
  BackgroundRun run_;
};

}  // namespace linksift
