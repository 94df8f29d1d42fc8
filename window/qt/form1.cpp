#include "form1.h"

#include <QMessageBox>
#include <limits>
#include <utility>

#include "program_icon.h"
#include "qt_open_dialog.h"
#include "texts.h"

namespace linksift {
namespace {

// Paths up to this many characters show in full in the label.
constexpr int kLongestPathShown = 120;

// The widest result text the label has to hold in full.
std::string LongestResultText() {
  std::string path;
  for (int i = 0; i < kLongestPathShown; ++i) path += "Ш";
  return BuildResultText(std::numeric_limits<LinkCount>::max(), path);
}

}  // namespace

Form1::Form1(std::string program_directory, std::unique_ptr<OpenDialog> dialog,
             ErrorReport report_error)
    : program_directory_(std::move(program_directory)),
      command1_(new QPushButton(QStringLiteral("Открыть файл..."), this)),
      label1_(new MessageLabel(this)),
      cd1_(dialog ? std::move(dialog) : std::make_unique<QtOpenDialog>(this)),
      report_error_(report_error ? std::move(report_error)
                                 : [this](const std::string& message) { ShowErrorBox(message); }) {
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Linksift"));
  setWindowIcon(ProgramIcon());
  setFixedSize(360, 166);

  command1_->setObjectName("Command1");
  command1_->setGeometry(48, 20, 257, 21);
  command1_->setAutoDefault(true);  // Enter presses it, as Space does.
  command1_->setFocus();
  connect(command1_, &QPushButton::clicked, this,
          [this] { RunOpenCommand(*cd1_, *label1_, program_directory_, report_error_); });

  label1_->setGeometry(12, 48, 337, 113);
  label1_->FitFont({BuildInstructionText(), LongestResultText()}, 12, 8);
  ShowInstructions(*label1_);
}

void Form1::ShowErrorBox(const std::string& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Linksift"),
                  QString::fromStdString(message), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace linksift
