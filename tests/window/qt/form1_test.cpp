#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fakes.h"
#include "form1.h"
#include "form1_suite.h"
#include "form1_test_base.h"
#include "message_label.h"
#include "open_descriptors.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

using namespace testing_support;

// The label's menu, as the user opens it (a right click, unless `open` says
// otherwise): its items' texts and whether each can be chosen; `choose` (if
// given) is then chosen.
MenuItems OpenMenuOf(MessageLabel* label, const QString& choose,
                     const std::function<void()>& open = {}) {
  MenuItems items;
  QTimer::singleShot(0, label, [&items, choose] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      items.emplace_back(action->text().toStdString(), action->isEnabled());
      if (action->text() == choose) action->trigger();
    }
    menu->close();
  });
  if (open) {
    open();
    return items;
  }
  // A right click lands on the rows' widget.
  QWidget* rows = label->viewport();
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), rows->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(rows, &event);
  return items;
}

// Sends what a drag over the window and a drop of `urls` would; true when the
// drag was accepted.
bool DropOn(QWidget* form, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint middle = form->rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form, &drop);
  return true;
}

// Form1 over a fake dialog and a recorded error seam, writing into a temporary
// program directory, driven as the shared suite asks.
class Form1Test : public Form1TestBase<Form1> {
 public:
  static constexpr std::string_view kCopiedLineEnd = "\n";

 protected:
  void SetUp() override {
    Form1TestBase::SetUp();
    command1_ = form_->findChild<QPushButton*>("Command1");
    label1_ = form_->findChild<MessageLabel*>("Label1");
    bar_ = form_->findChild<QProgressBar*>("ProgressBar");
    ASSERT_TRUE(command1_ && label1_ && bar_);
  }

  void Show() {
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }
  bool AtDefaultDpi() const { return true; }  // Qt lays out in device-independent pixels
  static PixelBox Box(const QRect& rect) {
    return {rect.left(), rect.top(), rect.width(), rect.height()};
  }
  PixelBox ClientBox() const { return Box(form_->rect()); }
  PixelBox Command1Box() const { return Box(command1_->geometry()); }
  PixelBox Label1Box() const { return Box(label1_->geometry()); }
  PixelBox BarBox() const { return Box(bar_->geometry()); }
  std::string Title() const { return form_->windowTitle().toStdString(); }
  std::string Command1Text() const { return command1_->text().toStdString(); }
  FocusOn Focused() const {
    const QWidget* focused = QApplication::focusWidget();
    if (focused == command1_) return FocusOn::kCommand1;
    return focused == label1_ ? FocusOn::kLabel1 : FocusOn::kOther;
  }
  void PressKey(Key key) {
    switch (key) {
      case Key::kEscape:
        return QTest::keyClick(form_->windowHandle(), Qt::Key_Escape);
      case Key::kTab:
        return QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      case Key::kEnter:
        return QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      case Key::kSpace:
        return QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    }
  }
  void Press() { QTest::mouseClick(command1_, Qt::LeftButton); }
  bool Command1Enabled() const { return command1_->isEnabled(); }
  bool BarShown() const { return bar_->isVisible(); }
  bool LabelShown() const { return label1_->isVisible(); }
  bool WaitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done); }
  void Settle() { QApplication::processEvents(); }
  LinkedLabel& Label() { return *label1_; }
  int FontSize() const { return label1_->font().pixelSize(); }
  // The rows stay inside the label's width; a scroll bar shows when, and only
  // when, they are taller than the label.
  ShownText HowShown(const std::string&) {
    Settle();
    const bool scrolls = label1_->verticalScrollBar()->isVisible();
    const QSizeF needed(label1_->document()->idealWidth(), label1_->document()->size().height());
    const QRect shown = label1_->viewport()->rect();
    return {needed.width() <= shown.width() && scrolls == (needed.height() > shown.height()) &&
                !label1_->toPlainText().contains(u'\r'),
            scrolls};
  }
  std::string CopyAll() {
    label1_->setFocus();
    QTest::keyClick(label1_, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(label1_, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasHtml()) << "plain text only";
    return QGuiApplication::clipboard()->text().toStdString();
  }
  bool HasSelection() const { return label1_->textCursor().hasSelection(); }
  void ClickOnLink() {
    const QFontMetrics metrics(label1_->font());
    const QPoint on_path(metrics.horizontalAdvance("Сформирован файл: ") + 4,
                         metrics.lineSpacing() * 5 / 2);
    QTest::mouseClick(label1_->viewport(), Qt::LeftButton, {}, on_path);
  }
  MenuItems OpenMenu(const QString& choose = {}) { return OpenMenuOf(label1_, choose); }
  void Drop(const std::vector<std::filesystem::path>& files) {
    QList<QUrl> urls;
    for (const auto& file : files) urls.append(QUrl::fromLocalFile(QString::fromStdString(file)));
    ASSERT_TRUE(DropOn(form_.get(), urls));
  }
  std::unique_ptr<PipeWriter> StartSlowRun(std::string_view line) {
    auto input = std::make_unique<PipeWriter>(PipeWriter::Writer::kAtOnce, dir_ / "slow.txt");
    dialog_->answer = input->path();
    input->Send(line);
    Press();
    EXPECT_TRUE(QTest::qWaitFor([&] { return OpenDescriptors(input->path()) == 2; }))
        << "the run never opened its input";
    return input;
  }
  bool CloseWindow() { return form_->close(); }
  // Nothing of the run outlives the window, and input arriving now does not
  // complete it after all.
  void ExpectTheRunGone(PipeWriter& input) {
    EXPECT_EQ(OpenDescriptors(input.path()), 1) << "the run outlived the window";
    input.Send("http://late/\r\n");
    input.Close();
    ASSERT_TRUE(WaitUntil([this] { return Command1Enabled(); }));
    EXPECT_EQ(Label().Text(), BuildCancelText());
    EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "old\r\n");
  }

  QPushButton* command1_ = nullptr;
  MessageLabel* label1_ = nullptr;
  QProgressBar* bar_ = nullptr;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, Form1Suite, Form1Test);

TEST_F(Form1Test, HasAFixedSizeAndOnlyItsTwoControlsTakeTheFocus) {
  EXPECT_EQ(form_->objectName(), "Form1");
  EXPECT_EQ(form_->minimumSize(), QSize(360, 166));
  EXPECT_EQ(form_->maximumSize(), QSize(360, 166));
  for (QWidget* widget : form_->findChildren<QWidget*>()) {
    if (widget->window() != form_.get()) continue;  // the dialog is a window of its own
    EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, widget == command1_ || widget == label1_)
        << widget->objectName().toStdString();
  }
  // The keypad's Enter presses Command1 too.
  QTest::keyClick(command1_, Qt::Key_Enter);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1);
}

TEST_F(Form1Test, OffersNoMaximizeButtonForItsFixedSize) {
  Show();
  const Qt::WindowFlags flags = form_->windowHandle()->flags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(Form1Test, ShiftF10OpensTheLabelsMenu) {
  Show();
  label1_->setFocus();
  const MenuItems items =
      OpenMenuOf(label1_, {}, [this] { QTest::keyClick(label1_, Qt::Key_F10, Qt::ShiftModifier); });
  EXPECT_EQ(items.size(), 3u);
}

// Where the link's letters are drawn, the plain text's would be, and no
// more: a line under them hid the path's underscores ("папка_с" read "папка с").
TEST_F(Form1Test, TheLinkIsDrawnAsPlainTextOnlyInItsOwnColour) {
  Show();
  const std::string path = "/папка_с_длинным_именем/urls.txt";
  const std::string text = BuildResultText(1, path);
  // Which pixels are drawn on, whatever their colour.
  const auto ink = [this] {
    Settle();
    const QImage image = label1_->viewport()->grab().toImage();
    QImage drawn(image.size(), QImage::Format_Mono);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        drawn.setPixel(x, y, image.pixel(x, y) != image.pixel(0, 0) ? 1 : 0);
      }
    }
    return drawn;
  };
  Label().SetText(text);
  const QImage plain = ink();
  Label().SetTextWithLink(text, ResultPathSpan(text, path));
  EXPECT_EQ(ink(), plain);
}

TEST_F(Form1Test, ControlsHaveAccessibleNamesAndTheLabelItsRealText) {
  EXPECT_EQ(command1_->text(), "Открыть файл...");  // a button's name is its text
  EXPECT_EQ(label1_->accessibleName(), "Результат");
  EXPECT_EQ(form_->findChild<QProgressBar*>("ProgressBar")->accessibleName(), "Ход обработки");
  const std::string result = BuildResultText(7, "/" + std::string(300, 'a') + "/urls.txt");
  Label().SetText(result);
  QString expected = QString::fromStdString(result);
  expected.replace("\r\n", "\n");
  EXPECT_EQ(label1_->accessibleDescription(), expected);
  QAccessibleInterface* access = QAccessible::queryAccessibleInterface(label1_);
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->text(QAccessible::Name), "Результат");
  EXPECT_EQ(access->text(QAccessible::Description), expected);
}

// Catches what the label tells screen readers.
std::vector<std::pair<QObject*, QAccessible::Event>>* announced = nullptr;
void RecordAnnouncement(QAccessibleEvent* event) {
  if (announced != nullptr) announced->emplace_back(event->object(), event->type());
}

TEST_F(Form1Test, ANewResultIsAnnounced) {
  // Qt hands events on only where screen readers can listen: on X with an
  // accessibility bus (see accessibility_bus.sh), once it has connected.
  if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 1000)) {
    GTEST_SKIP() << "no accessibility on this platform";
  }
  std::vector<std::pair<QObject*, QAccessible::Event>> events;
  announced = &events;
  QAccessible::installUpdateHandler(&RecordAnnouncement);
  Label().SetText(BuildResultText(1, "/tmp/urls.txt"));
  QAccessible::installUpdateHandler(nullptr);
  announced = nullptr;
  EXPECT_NE(std::find(events.begin(), events.end(),
                      std::pair<QObject*, QAccessible::Event>(label1_, QAccessible::Alert)),
            events.end());
}

TEST_F(Form1Test, ADragAcrossTheLabelSelectsItsText) {
  Show();
  Label().SetText(BuildResultText(3, "/" + std::string(200, 'b') + "/urls.txt"));
  QWidget* rows = label1_->viewport();
  const QString before = label1_->toPlainText();
  QTest::mousePress(rows, Qt::LeftButton, {}, QPoint(1, 2));
  QTest::mouseMove(rows, QPoint(rows->width() - 2, rows->height() - 2));
  QTest::mouseRelease(rows, Qt::LeftButton, {}, QPoint(rows->width() - 2, rows->height() - 2));
  EXPECT_TRUE(HasSelection());
  EXPECT_EQ(label1_->toPlainText(), before) << "a drag moved the text";
}

TEST_F(Form1Test, TheLinkIsOneForScreenReadersAndTheMenusCommandsFollowIt) {
  Show();
  QAccessibleInterface* access = QAccessible::queryAccessibleInterface(label1_);
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->role(), QAccessible::StaticText);

  dialog_->answer = dir_ / "in.txt";
  WriteFile(dir_ / "in.txt", "http://x/1\r\n");
  Press();
  ASSERT_TRUE(WaitUntil([this] { return label1_->HasLink(); }));
  const std::string urls = (dir_ / "urls.txt").string();
  EXPECT_EQ(access->role(), QAccessible::Link);
  EXPECT_EQ(label1_->accessibleDescription().toStdString(),
            "Найдено ссылок - 1\n\nСформирован файл: " + urls);
  struct Case {
    const char* how;
    std::function<void()> act;
    std::string call;
  };
  const Case cases[] = {
      {"a screen reader's press",
       [&] { access->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); },
       "ShowInFolder " + urls},
      {"the menu's Показать в папке", [&] { OpenMenu("Показать в папке"); },
       "ShowInFolder " + urls},
      {"the menu's Открыть urls.txt", [&] { OpenMenu("Открыть urls.txt"); }, "Open " + urls},
  };
  for (const Case& c : cases) {
    log_.clear();
    c.act();
    EXPECT_EQ(log_, CallLog{c.call}) << c.how;
  }
  Label().SetText(BuildInstructionText());
  EXPECT_EQ(access->role(), QAccessible::StaticText);
}

TEST_F(Form1Test, LabelHoldsTheInstructionsOneLinePerRow) {
  EXPECT_EQ(Label().Text(), BuildInstructionText());
  // What is drawn: the same lines, no CR to show as a glyph.
  const QStringList rows = label1_->toPlainText().split(u'\n');
  ASSERT_EQ(rows.size(), 7);
  EXPECT_EQ(rows[0], "1. Жмакаем 'Открыть файл...'");
  EXPECT_EQ(rows[3], "     выбранном файле(пункт 2)!");
  EXPECT_EQ(rows[4], "");
  EXPECT_EQ(rows[6], "если файл имеется то он будет перезаписан!");
}

TEST_F(Form1Test, ADropOfWhatIsNoLocalFileIsRefused) {
  EXPECT_FALSE(DropOn(form_.get(), {QUrl("http://example.org/in.txt")}));
}

// Drawn in the bar: a pipe has no size, so the bar is busy.
TEST_F(Form1Test, TheBarIsAsWideAsTheLabelBusyForAPipeAndSaysHowToCancel) {
  Show();
  const std::unique_ptr<PipeWriter> input = StartSlowRun("x http://a/ y\r\n");
  ASSERT_TRUE(WaitUntil([this] { return BarShown(); }));
  EXPECT_EQ(bar_->geometry().width(), label1_->width());
  EXPECT_EQ(bar_->maximum(), 0);
  EXPECT_EQ(bar_->text(), "Esc — отмена");
  EXPECT_TRUE(bar_->isTextVisible());
  PressKey(Key::kEscape);
  ASSERT_TRUE(WaitUntil([this] { return Command1Enabled(); }));
}

}  // namespace
}  // namespace linksift
