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
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "end_process.h"
#include "fakes.h"
#include "form1.h"
#include "form1_test_base.h"
#include "message_label.h"
#include "open_descriptors.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

using namespace testing_support;

// Form1 over a fake dialog and a recorded error seam, writing into a temporary
// program directory.
class Form1Test : public Form1TestBase<Form1> {
 protected:
  void SetUp() override {
    Form1TestBase::SetUp();
    command1_ = form_->findChild<QPushButton*>("Command1");
    label1_ = form_->findChild<MessageLabel*>("Label1");
  }

  std::string LabelText() const { return static_cast<const TextLabel*>(label1_)->Text(); }
  void SetLabelText(const std::string& text) { static_cast<TextLabel*>(label1_)->SetText(text); }
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    WriteFile(dir_ / name, bytes);
    return dir_ / name;
  }

  QPushButton* command1_ = nullptr;
  MessageLabel* label1_ = nullptr;
};

TEST_F(Form1Test, HasItsControlsWhereTheyBelong) {
  ASSERT_NE(command1_, nullptr);
  ASSERT_NE(label1_, nullptr);
  EXPECT_EQ(form_->objectName(), "Form1");
  EXPECT_EQ(form_->windowTitle(), "Linksift");
  EXPECT_EQ(form_->minimumSize(), QSize(360, 166));
  EXPECT_EQ(form_->maximumSize(), QSize(360, 166));
  EXPECT_EQ(command1_->geometry(), QRect(48, 20, 257, 21));
  EXPECT_EQ(command1_->text(), "Открыть файл...");
  form_->show();  // the label's area lays it out
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  EXPECT_EQ(QRect(label1_->mapTo(form_.get(), QPoint()), label1_->size()), QRect(12, 48, 337, 113));
  EXPECT_EQ(label1_->textFormat(), Qt::PlainText);
}

TEST_F(Form1Test, Command1HasTheFocusFirstAndTabGoesOnToTheLabel) {
  for (QWidget* widget : form_->findChildren<QWidget*>()) {
    if (widget->window() != form_.get()) continue;  // the dialog is a window of its own
    EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, widget == command1_ || widget == label1_)
        << widget->objectName().toStdString();
  }
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  EXPECT_EQ(QApplication::focusWidget(), command1_);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), label1_);
  // Enter still presses Command1; the label has no use for it.
  QTest::keyClick(label1_, Qt::Key_Return);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), command1_);
}

TEST_F(Form1Test, ControlsHaveAccessibleNamesAndTheLabelItsRealText) {
  EXPECT_EQ(command1_->text(), "Открыть файл...");  // a button's name is its text
  EXPECT_EQ(label1_->accessibleName(), "Результат");
  EXPECT_EQ(form_->findChild<QProgressBar*>("ProgressBar")->accessibleName(), "Ход обработки");
  const std::string result = BuildResultText(7, "/" + std::string(300, 'a') + "/urls.txt");
  SetLabelText(result);
  ASSERT_TRUE(label1_->text().contains(QChar(0x200B))) << "no break points drawn: test is moot";
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
  SetLabelText(BuildResultText(1, "/tmp/urls.txt"));
  QAccessible::installUpdateHandler(nullptr);
  announced = nullptr;
  EXPECT_NE(std::find(events.begin(), events.end(),
                      std::pair<QObject*, QAccessible::Event>(label1_, QAccessible::Alert)),
            events.end());
}

TEST_F(Form1Test, TheLabelsTextCanBeSelectedAndCopiedWithoutBreakPoints) {
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  const std::string path = "/" + std::string(200, 'b') + "/<i>&  b/urls.txt";
  const std::string text = BuildResultText(3, path);
  QString expected = QString::fromStdString(text);
  expected.replace("\r\n", "\n");
  // Plain, and with the path as a link: the copy is the same plain text.
  for (const bool linked : {false, true}) {
    if (linked) {
      static_cast<TextLabel*>(label1_)->SetTextWithLink(text, ResultPathSpan(text, path));
    } else {
      SetLabelText(text);
    }
    EXPECT_TRUE(label1_->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    EXPECT_TRUE(label1_->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    label1_->setFocus();
    QTest::keyClick(label1_, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(label1_, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected) << linked;
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasHtml()) << linked;
  }
  // By mouse: a drag across the top rows selects them.
  label1_->setSelection(0, 0);
  QTest::mousePress(label1_, Qt::LeftButton, {}, QPoint(1, 2));
  QTest::mouseMove(label1_, QPoint(label1_->width() - 2, label1_->height() - 2));
  QTest::mouseRelease(label1_, Qt::LeftButton, {},
                      QPoint(label1_->width() - 2, label1_->height() - 2));
  EXPECT_TRUE(label1_->hasSelectedText());
  EXPECT_FALSE(label1_->SelectedPlainText().contains(QChar(0x200B)));
}

// The label's menu, as the user opens it: its items' texts and whether each
// can be chosen; `choose` (if given) is then chosen.
std::vector<std::pair<std::string, bool>> OpenMenu(MessageLabel* label,
                                                   const QString& choose = {}) {
  std::vector<std::pair<std::string, bool>> items;
  QTimer::singleShot(0, label, [&items, choose] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      items.emplace_back(action->text().toStdString(), action->isEnabled());
      if (action->text() == choose) action->trigger();
    }
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(label, &event);
  return items;
}

TEST_F(Form1Test, TheResultsPathIsALinkToUrlsTxtForMouseKeysMenuAndScreenReaders) {
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  QAccessibleInterface* access = QAccessible::queryAccessibleInterface(label1_);
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(access->role(), QAccessible::StaticText);

  dialog_->answer = Write("in.txt", "http://x/1\r\n");
  QTest::mouseClick(command1_, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return label1_->HasLink(); }));
  const std::string urls = (dir_ / "urls.txt").string();
  const std::string shown = "ShowInFolder " + urls;
  EXPECT_EQ(label1_->textFormat(), Qt::RichText);
  EXPECT_EQ(LabelText(), BuildResultText(1, urls));
  EXPECT_EQ(access->role(), QAccessible::Link);
  EXPECT_EQ(label1_->accessibleDescription().toStdString(),
            "Найдено ссылок - 1\n\nСформирован файл: " + urls);

  struct Case {
    const char* how;
    std::function<void()> act;
    std::string call;
  };
  const QFontMetrics metrics(label1_->font());
  const Case cases[] = {
      {"Tab and Enter",
       [&] {
         ASSERT_EQ(QApplication::focusWidget(), command1_);
         QTest::keyClick(command1_, Qt::Key_Tab);
         ASSERT_EQ(QApplication::focusWidget(), label1_);
         QTest::keyClick(label1_, Qt::Key_Return);
       },
       shown},
      {"a click on the path",
       [&] {
         const QPoint on_path(metrics.horizontalAdvance("Сформирован файл: ") + 4,
                              metrics.lineSpacing() * 5 / 2);
         QTest::mouseClick(label1_, Qt::LeftButton, {}, on_path);
       },
       shown},
      {"a screen reader's press",
       [&] { access->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); },
       shown},
      {"the menu's Показать в папке", [&] { OpenMenu(label1_, "Показать в папке"); }, shown},
      {"the menu's Открыть urls.txt", [&] { OpenMenu(label1_, "Открыть urls.txt"); },
       "Open " + urls},
  };
  for (const Case& c : cases) {
    log_.clear();
    c.act();
    EXPECT_EQ(log_, CallLog{c.call}) << c.how;
  }
  using Items = std::vector<std::pair<std::string, bool>>;
  EXPECT_EQ(OpenMenu(label1_), (Items{{"Копировать", label1_->hasSelectedText()},
                                      {"Открыть urls.txt", true},
                                      {"Показать в папке", true}}));
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 0)
      << "Enter on the link pressed Command1";
  SetLabelText(BuildInstructionText());
  EXPECT_EQ(access->role(), QAccessible::StaticText);
  EXPECT_EQ(OpenMenu(label1_), (Items{{"Копировать", label1_->hasSelectedText()},
                                      {"Открыть urls.txt", false},
                                      {"Показать в папке", false}}))
      << "the instructions name no file";
}

TEST_F(Form1Test, LabelHoldsTheInstructionsOneLinePerRow) {
  EXPECT_EQ(LabelText(), BuildInstructionText());
  // What is drawn: the same lines, no CR to show as a glyph.
  const QStringList rows = label1_->text().split(u'\n');
  ASSERT_EQ(rows.size(), 7);
  EXPECT_EQ(rows[0], "1. Жмакаем 'Открыть файл...'");
  EXPECT_EQ(rows[3], "     выбранном файле(пункт 2)!");
  EXPECT_EQ(rows[4], "");
  EXPECT_EQ(rows[6], "если файл имеется то он будет перезаписан!");
}

// Readable letters, never cut: a text too long for the label at four fifths
// of its size scrolls inside it.
TEST_F(Form1Test, EverythingTheLabelHoldsShowsInFullOrScrolls) {
  const std::string shapes[] = {"a/", "Ш", "W", "пап ка/", "-"};
  std::vector<std::string> texts = {BuildInstructionText()};
  for (const std::string& shape : shapes) {
    for (int length : {120, 387, 1000}) {
      QString path = "/";
      while (path.size() < length) path += QString::fromStdString(shape);
      path.truncate(length);
      texts.push_back(BuildResultText(UINT64_MAX, path.toStdString()));
    }
  }
  form_->show();
  SetLabelText(BuildInstructionText());
  const int fitted = label1_->font().pixelSize();
  auto* area = form_->findChild<QScrollArea*>("Label1Area");
  ASSERT_NE(area, nullptr);
  bool scrolled = false;
  for (const std::string& text : texts) {
    SetLabelText(text);
    QApplication::processEvents();  // the area lays out its label
    EXPECT_EQ(LabelText(), text);
    EXPECT_GE(label1_->font().pixelSize(), fitted * 4 / 5) << text;
    const QRect shown = label1_->contentsRect();
    const QRect needed =
        QFontMetrics(label1_->font())
            .boundingRect(shown, Qt::TextWordWrap | label1_->alignment(), label1_->text());
    EXPECT_LE(needed.width(), shown.width()) << text;
    EXPECT_LE(needed.height(), shown.height()) << text;
    EXPECT_LE(label1_->heightForWidth(label1_->width()), label1_->height()) << text;
    EXPECT_FALSE(label1_->text().contains(u'\r')) << text;
    const bool scrolls = label1_->height() > area->viewport()->height();
    EXPECT_EQ(area->verticalScrollBar()->isVisible(), scrolls) << text;
    scrolled = scrolled || scrolls;
  }
  EXPECT_TRUE(scrolled) << "no text long enough to scroll: test is moot";
  // The instructions keep their look after any of them.
  SetLabelText(texts.back());
  EXPECT_LT(label1_->font().pixelSize(), fitted) << "a long path shrinks the letters";
  SetLabelText(BuildInstructionText());
  QApplication::processEvents();
  EXPECT_EQ(label1_->font().pixelSize(), fitted);
  EXPECT_FALSE(area->verticalScrollBar()->isVisible());
}

TEST_F(Form1Test, EnterAndSpaceRunTheCommand) {
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    log_.clear();
    QTest::keyClick(command1_, key);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1) << key;
  }
}

TEST_F(Form1Test, ClickRunsExtractionIntoTheProgramDirectory) {
  dialog_->answer = Write("in.txt", "a http://x/1, b\r\nhttp://y/2 c\r\n");
  QTest::mouseClick(command1_, Qt::LeftButton);
  const std::string result = BuildResultText(2, dir_.string() + "/urls.txt");
  ASSERT_TRUE(QTest::qWaitFor([&] { return LabelText() == result; }));
  EXPECT_TRUE(command1_->isEnabled());
  EXPECT_TRUE(errors_.empty());
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

TEST_F(Form1Test, DroppedFileRunsAsIfChosenTheFirstOfSeveral) {
  const std::filesystem::path first = Write("first.txt", "a http://x/1 b\r\n");
  const std::filesystem::path second = Write("second.txt", "http://y/2\r\n");
  EXPECT_FALSE(DropOn(form_.get(), {QUrl("http://example.org/in.txt")})) << "not a local file";
  ASSERT_TRUE(DropOn(form_.get(), {QUrl::fromLocalFile(QString::fromStdString(first.string())),
                                   QUrl::fromLocalFile(QString::fromStdString(second.string()))}));
  const std::string result = BuildResultText(1, dir_.string() + "/urls.txt");
  ASSERT_TRUE(QTest::qWaitFor([&] { return LabelText() == result; }));
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://x/1\r\n");
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 0) << "no dialog for a drop";
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Form1Test, FailureGoesToTheErrorSeamAndTheWindowCarriesOn) {
  WriteFile(dir_ / "urls.txt", "http://old/\r\n");
  dialog_->answer = dir_ / "missing.txt";
  form_->show();
  QTest::mouseClick(command1_, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !errors_.empty(); }));
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("missing.txt"), std::string::npos);
  EXPECT_EQ(LabelText(), BuildInstructionText());
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://old/\r\n");
  EXPECT_TRUE(form_->isVisible());
  // The next press works as ever.
  dialog_->answer = Write("in.txt", "http://z/ end");
  ASSERT_TRUE(command1_->isEnabled());
  QTest::mouseClick(command1_, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return command1_->isEnabled(); }));
  EXPECT_EQ(ReadFile(dir_ / "urls.txt"), "http://z/\r\n");
}

// Form1 on screen, with an old urls.txt and a pipe for input that lasts as
// long as the test keeps feeding it. A forced end of the process is counted,
// not carried out.
class Form1RunTest : public Form1Test {
 protected:
  void SetUp() override {
    forced_exits_ = 0;
    ReplaceEndProcessForTests([](int) { ++forced_exits_; });
    Form1Test::SetUp();
    WriteFile(urls(), "http://old/\r\n");
    fifo_ = std::make_unique<PipeWriter>(PipeWriter::Writer::kAtOnce, dir_ / "slow.txt");
    dialog_->answer = fifo_->path();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    bar_ = form_->findChild<QProgressBar*>("ProgressBar");
    ASSERT_NE(bar_, nullptr);
  }

  std::filesystem::path urls() const { return dir_ / "urls.txt"; }

  void StartSlowRun() {
    fifo_->Send("x http://a/ y\r\n");
    QTest::mouseClick(command1_, Qt::LeftButton);
  }
  bool WaitForTheEnd() {
    return QTest::qWaitFor([this] { return command1_->isEnabled(); });
  }
  void ExpectNothingChanged(const std::string& label) {
    EXPECT_EQ(LabelText(), label);
    EXPECT_EQ(ReadFile(urls()), "http://old/\r\n");
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"slow.txt", "urls.txt"}))
        << "a temporary file was left";
    EXPECT_TRUE(errors_.empty());
  }

  void TearDown() override {
    Form1Test::TearDown();
    ReplaceEndProcessForTests(nullptr);
  }

  static inline int forced_exits_ = 0;
  std::unique_ptr<PipeWriter> fifo_;
  QProgressBar* bar_ = nullptr;
};

TEST_F(Form1RunTest, SlowRunKeepsTheWindowAliveShowsTheBarLateAndEscCancelsIt) {
  const std::string before = LabelText();
  StartSlowRun();
  EXPECT_FALSE(command1_->isEnabled());
  EXPECT_FALSE(bar_->isVisible()) << "not before the delay";
  bool ticked = false;
  QTimer::singleShot(10, form_.get(), [&ticked] { ticked = true; });
  ASSERT_TRUE(QTest::qWaitFor([&ticked] { return ticked; })) << "the event loop is held up";
  EXPECT_FALSE(command1_->isEnabled());

  ASSERT_TRUE(QTest::qWaitFor([this] { return bar_->isVisible(); }));
  EXPECT_EQ(bar_->maximum(), 0) << "a pipe has no size: a busy bar";
  EXPECT_EQ(bar_->geometry().topLeft(), label1_->mapTo(form_.get(), QPoint()));
  EXPECT_EQ(bar_->geometry().width(), label1_->width());
  EXPECT_EQ(bar_->geometry().height(), command1_->geometry().height());
  EXPECT_FALSE(label1_->isVisible()) << "the bar stands in for the label";
  EXPECT_EQ(LabelText(), before);
  QTest::mouseClick(command1_, Qt::LeftButton);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), kOpenDialogShown), 1) << "a second run started";

  EXPECT_EQ(bar_->text(), "Esc — отмена");
  EXPECT_TRUE(bar_->isTextVisible());

  QTest::keyClick(form_->windowHandle(), Qt::Key_Escape);
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_FALSE(bar_->isVisible());
  EXPECT_TRUE(label1_->isVisible());
  ExpectNothingChanged(BuildCancelText());
  EXPECT_FALSE(label1_->HasLink());
  EXPECT_EQ(QApplication::focusWidget(), command1_);
}

TEST_F(Form1RunTest, SlowRunThatEndsShowsItsResult) {
  StartSlowRun();
  ASSERT_TRUE(QTest::qWaitFor([this] { return bar_->isVisible(); }));
  fifo_->Send("http://b/\r\n");
  fifo_->Close();
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_EQ(LabelText(), BuildResultText(2, urls().string()));
  EXPECT_EQ(ReadFile(urls()), "http://a/\r\nhttp://b/\r\n");
  EXPECT_FALSE(bar_->isVisible());
  EXPECT_TRUE(label1_->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), command1_) << "Enter would not press it";
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Form1RunTest, ClosingTheWindowCancelsTheRunAndWaitsForIt) {
  const std::string before = LabelText();
  StartSlowRun();
  ASSERT_TRUE(QTest::qWaitFor([this] { return OpenDescriptors(fifo_->path()) == 2; }))
      << "the run never opened its input";
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(forced_exits_, 0) << "the window gave up waiting and ended the process";
  EXPECT_EQ(OpenDescriptors(fifo_->path()), 1) << "the run outlived the window";
  ExpectNothingChanged(before);
  // Input arriving now must not complete the run after all.
  fifo_->Send("http://late/\r\n");
  fifo_->Close();
  ASSERT_TRUE(WaitForTheEnd());
  ExpectNothingChanged(BuildCancelText());
}

}  // namespace
}  // namespace linksift
