#include "form1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
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
      progress_bar_(new QProgressBar(this)),
      progress_delay_(new QTimer(this)),
      cd1_(dialog ? std::move(dialog) : std::make_unique<QtOpenDialog>(this)),
      report_error_(report_error ? std::move(report_error)
                                 : [this](const std::string& message) { ShowErrorBox(message); }),
      run_([this](BackgroundRun::Task task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      }) {
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Linksift"));
  setWindowIcon(ProgramIcon());
  setFixedSize(360, 166);

  command1_->setObjectName("Command1");
  command1_->setGeometry(48, 20, 257, 21);
  command1_->setAutoDefault(true);  // Enter presses it, as Space does.
  command1_->setFocus();
  connect(command1_, &QPushButton::clicked, this, &Form1::OpenFile);

  label1_->setGeometry(12, 48, 337, 113);
  label1_->FitFont({BuildInstructionText(), LongestResultText()}, 12, 8);
  ShowInstructions(*label1_);

  // Stands in for the label while a long run lasts; the label's text is
  // stale by then and comes back, or is replaced, when the run ends.
  progress_bar_->setObjectName("ProgressBar");
  progress_bar_->setGeometry(12, 48, 337, progress_bar_->sizeHint().height());
  progress_bar_->hide();
  progress_delay_->setSingleShot(true);
  progress_delay_->setInterval(kProgressDelay);
  connect(progress_delay_, &QTimer::timeout, this, &Form1::RevealProgress);
}

void Form1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && run_.running()) {
    run_.Cancel();
    return;
  }
  QWidget::keyPressEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
  // The run removes its temporary file before its thread ends.
  run_.CancelAndWait();
  QWidget::closeEvent(event);
}

void Form1::OpenFile() {
  if (run_.running()) return;
  const std::optional<std::filesystem::path> input = AskForInput(*cd1_);
  if (!input) return;
  run_.Start(
      *input, program_directory_,
      [this](std::uint64_t done, std::uint64_t total) { ShowProgress(done, total); },
      [this](const RunOutcome& outcome) { EndRun(outcome); });
  command1_->setEnabled(false);
  progress_bar_->setRange(0, 0);  // busy until a report gives the size
  progress_delay_->start();
}

void Form1::RevealProgress() {
  if (!run_.running()) return;
  label1_->hide();
  progress_bar_->show();
}

void Form1::ShowProgress(std::uint64_t done, std::uint64_t total) {
  const std::optional<int> step = ProgressStep(done, total);
  if (!step) {
    progress_bar_->setRange(0, 0);
    return;
  }
  progress_bar_->setRange(0, kProgressSteps);
  progress_bar_->setValue(*step);
}

void Form1::EndRun(const RunOutcome& outcome) {
  progress_delay_->stop();
  progress_bar_->hide();
  label1_->show();
  command1_->setEnabled(true);
  command1_->setFocus();  // disabling it took the focus away
  ApplyOutcome(outcome, *label1_, report_error_);
}

void Form1::ShowErrorBox(const std::string& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Linksift"),
                  QString::fromStdString(message), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace linksift
