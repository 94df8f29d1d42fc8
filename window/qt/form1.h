#pragma once

#include <QPushButton>
#include <QWidget>
#include <memory>
#include <string>

#include "message_label.h"
#include "open_command.h"
#include "open_dialog.h"

namespace linksift {

// The program's window: the button Command1 runs the open command, the label
// Label1 shows the instructions and then each run's result.
class Form1 final : public QWidget {
 public:
  // `program_directory` is where urls.txt goes. A null `dialog` gives Qt's
  // file dialog, a null `report_error` a message box; tests pass their own.
  explicit Form1(std::string program_directory, std::unique_ptr<OpenDialog> dialog = nullptr,
                 ErrorReport report_error = nullptr);

 private:
  void ShowErrorBox(const std::string& message);

  std::string program_directory_;
  QPushButton* command1_;
  MessageLabel* label1_;
  std::unique_ptr<OpenDialog> cd1_;
  ErrorReport report_error_;
};

}  // namespace linksift
