#include "form1.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <utility>

#include "command_line.h"
#include "end_process.h"
#include "layout.h"
#include "program_icon.h"
#include "qt_open_dialog.h"
#include "qt_result_opener.h"
#include "texts.h"

namespace linksift {
namespace {

// Qt lays out in pixels at 96 dpi and scales them itself.
QRect Pixels(const TwipsBox& box) {
  constexpr int kTwips = kTwipsPerPixelAt96Dpi;
  return QRect(box.left / kTwips, box.top / kTwips, box.width / kTwips, box.height / kTwips);
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The first of the dropped items, if it is a local file; as bytes, for a
// name need not be UTF-8.
std::optional<std::filesystem::path> FirstLocalFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return std::nullopt;
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile()) return std::nullopt;
  return std::filesystem::path(QFile::encodeName(url.toLocalFile()).toStdString());
}

// The bar's text says how to cancel, busy or not (Qt draws no text on a busy
// bar of its own accord).
class HintedProgressBar final : public QProgressBar {
 public:
  explicit HintedProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
  }
  QString text() const override { return FromUtf8(kCancelHintText); }
};

}  // namespace

Form1::Form1(OutputFolders folders, std::unique_ptr<OpenDialog> dialog, ErrorReport report_error,
             std::unique_ptr<ResultOpener> opener)
    : command1_(new QPushButton(FromUtf8(kCommand1Text), this)),
      label1_(new MessageLabel(this)),
      progress_bar_(new HintedProgressBar(this)),
      report_error_(report_error ? std::move(report_error)
                                 : [this](const std::string& message) { ShowErrorBox(message); }),
      controller_(*this, dialog ? std::move(dialog) : std::make_unique<QtOpenDialog>(this),
                  opener ? std::move(opener) : std::make_unique<QtResultOpener>(this),
                  std::move(folders),
                  {.post =
                       [this](BackgroundRun::Task task) {
                         QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
                       },
                   .post_delayed =
                       [this](std::chrono::milliseconds delay, BackgroundRun::Task task) {
                         QTimer::singleShot(delay, this, std::move(task));
                       }}) {
  setObjectName("Form1");
  setWindowTitle(FromUtf8(kWindowTitle));
  setWindowIcon(ProgramIcon());
  setFixedSize(kForm1Width / kTwipsPerPixelAt96Dpi, kForm1Height / kTwipsPerPixelAt96Dpi);
  // A window of fixed size has nothing to maximize.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setAcceptDrops(true);

  command1_->setObjectName("Command1");
  command1_->setGeometry(Pixels(kCommand1Box));
  command1_->setAutoDefault(true);  // Enter presses it, as Space does.
  command1_->setFocus();
  connect(command1_, &QPushButton::clicked, this, [this] { controller_.PressCommand1(); });

  label1_->setGeometry(Pixels(kLabel1Box));
  label1_->FitFont({BuildInstructionText(), LongestResultText()}, kLabel1LargestFont,
                   kLabel1SmallestFont);
  label1_->SetLinkActions({.show_in_folder = [this] { controller_.ShowResultInFolder(); },
                           .open = [this] { controller_.OpenResult(); }});

  progress_bar_->setObjectName("ProgressBar");
  progress_bar_->setAccessibleName(FromUtf8(kProgressAccessibleName));
  progress_bar_->setGeometry(Pixels(kProgressBarBox));
  progress_bar_->hide();

  controller_.Load();
}

void Form1::OpenFileOnceShown(std::filesystem::path input) {
  file_to_open_ = std::move(input);
  if (windowHandle() != nullptr && windowHandle()->isExposed()) {
    controller_.OpenFile(std::move(*file_to_open_));
    file_to_open_.reset();
    return;
  }
  create();  // the native window, to watch
  windowHandle()->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && file_to_open_ &&
      windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    // After the exposure: the window's place is known by the time a box needs it.
    QTimer::singleShot(0, this,
                       [this, input = std::move(*file_to_open_)] { controller_.OpenFile(input); });
    file_to_open_.reset();
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && controller_.running()) {
    controller_.Cancel();
    return;
  }
  // Enter from the label, which has no use for it.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && command1_->isEnabled()) {
    command1_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
  // A run held up where no cancel reaches must not hold the process.
  if (!controller_.Close()) EndProcessNow(kExitWindowClosed);
  QWidget::closeEvent(event);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (!controller_.running() && FirstLocalFile(event->mimeData())) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  const std::optional<std::filesystem::path> file = FirstLocalFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  controller_.OpenFile(*file);
}

void Form1::EnableCommand1(bool enabled) {
  command1_->setEnabled(enabled);
  if (enabled) command1_->setFocus();  // disabling it took the focus away
}

void Form1::ShowProgress(std::optional<int> step) {
  if (step) {
    progress_bar_->setRange(0, kProgressSteps);
    progress_bar_->setValue(*step);
  } else {
    progress_bar_->setRange(0, 0);  // busy
  }
  label1_->hide();
  progress_bar_->show();
}

void Form1::ShowErrorBox(const std::string& message) {
  QMessageBox box(QMessageBox::Critical, FromUtf8(kWindowTitle), QString::fromStdString(message),
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  // The path it names, to copy.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.exec();
  // Without a window manager nobody hands the keyboard back to the window.
  raise();
  activateWindow();
}

}  // namespace linksift
