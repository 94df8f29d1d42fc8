#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "message_label.h"
#include "open_command.h"
#include "open_dialog.h"
#include "result_opener.h"
#include "run_controller.h"
#include "run_view.h"

namespace linksift {

// The program's window in Qt Widgets: Command1, Label1 and the progress bar,
// drawn as RunController asks; the window's events go to the controller.
class Form1 final : public QWidget, private RunView {
 public:
  // `folders` say where urls.txt goes. A null `dialog` gives Qt's file
  // dialog, a null `report_error` a message box, a null `opener` the
  // desktop's file manager; tests pass their own.
  explicit Form1(OutputFolders folders, std::unique_ptr<OpenDialog> dialog = nullptr,
                 ErrorReport report_error = nullptr,
                 std::unique_ptr<ResultOpener> opener = nullptr);

  // Runs `input` as if chosen in the dialog (the command line's FILE), once
  // the window is on screen where the window manager put it, so that an
  // error box about it shows over the window.
  void OpenFileOnceShown(std::filesystem::path input);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // A file dropped on the window runs as if chosen; of several, the first.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Drawing what the controller asks for.
  TextLabel& Label1() override { return *label1_; }
  void EnableCommand1(bool enabled) override;
  void ShowProgress(std::optional<int> step) override;
  void HideProgress() override {
    progress_bar_->hide();
    label1_->show();
  }
  void ShowError(const std::string& message) override { report_error_(message); }
  void ShowErrorBox(const std::string& message);

  QPushButton* command1_;
  MessageLabel* label1_;
  QProgressBar* progress_bar_;
  ErrorReport report_error_;
  // The command line's FILE, until the window is on screen.
  std::optional<std::filesystem::path> file_to_open_;
  // Last, so it goes first: it waits for the run while the window still stands.
  RunController controller_;
};

}  // namespace linksift
