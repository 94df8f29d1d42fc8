#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "form1.h"
#include "message_label.h"
#include "program_icon.h"
#include "texts.h"
#include "version.h"
#include "window_test_support.h"

namespace linksift {
namespace {

using testing_support::CallLog;
using testing_support::FakeDialog;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Form1 over a fake dialog and a recorded error seam, writing into a temporary
// program directory.
class Form1Test : public ::testing::Test {
 protected:
  Form1Test() {
    auto dialog = std::make_unique<FakeDialog>(&log_);
    dialog_ = dialog.get();
    form_ = std::make_unique<Form1>(temp_.path().string(), std::move(dialog),
                                    [this](const std::string& m) { errors_.push_back(m); });
    command1_ = form_->findChild<QPushButton*>("Command1");
    label1_ = form_->findChild<MessageLabel*>("Label1");
  }

  std::string LabelText() const { return static_cast<const TextLabel*>(label1_)->Text(); }
  void SetLabelText(const std::string& text) { static_cast<TextLabel*>(label1_)->SetText(text); }

  TempDir temp_;
  CallLog log_;
  FakeDialog* dialog_ = nullptr;
  std::vector<std::string> errors_;
  std::unique_ptr<Form1> form_;
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
  EXPECT_EQ(label1_->geometry(), QRect(12, 48, 337, 113));
  EXPECT_EQ(label1_->textFormat(), Qt::PlainText);
}

TEST_F(Form1Test, OnlyCommand1TakesTheFocus) {
  for (QWidget* widget : form_->findChildren<QWidget*>()) {
    if (widget->window() != form_.get()) continue;  // the dialog is a window of its own
    EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, widget == command1_)
        << widget->objectName().toStdString();
  }
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  EXPECT_EQ(QApplication::focusWidget(), command1_);
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

TEST_F(Form1Test, EverythingTheLabelHoldsShowsInFull) {
  const std::string shapes[] = {"a/", "Ш", "W", "пап ка/", "-"};
  std::vector<std::string> texts = {BuildInstructionText()};
  for (const std::string& shape : shapes) {
    QString path = "/";
    while (path.size() < 120) path += QString::fromStdString(shape);
    path.truncate(120);
    texts.push_back(BuildResultText(UINT64_MAX, path.toStdString()));
  }
  for (const std::string& text : texts) {
    SetLabelText(text);
    EXPECT_EQ(LabelText(), text);
    const QRect area = label1_->contentsRect();
    const QRect needed =
        QFontMetrics(label1_->font())
            .boundingRect(area, Qt::TextWordWrap | label1_->alignment(), label1_->text());
    EXPECT_LE(needed.width(), area.width()) << text;
    EXPECT_LE(needed.height(), area.height()) << text;
    EXPECT_LE(label1_->heightForWidth(label1_->width()), label1_->height()) << text;
    EXPECT_FALSE(label1_->text().contains(u'\r')) << text;
  }
}

TEST_F(Form1Test, EnterAndSpaceRunTheCommand) {
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    log_.clear();
    QTest::keyClick(command1_, key);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "Show"), 1) << key;
  }
}

TEST_F(Form1Test, ClickRunsExtractionIntoTheProgramDirectory) {
  dialog_->answer = temp_.Write("in.txt", "a http://x/1, b\r\nhttp://y/2 c\r\n");
  QTest::mouseClick(command1_, Qt::LeftButton);
  EXPECT_EQ(ReadBytes(temp_.path() / "urls.txt"), "http://x/1\r\nhttp://y/2\r\n");
  EXPECT_EQ(LabelText(), BuildResultText(2, temp_.path().string() + "/urls.txt"));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Form1Test, FailureGoesToTheErrorSeamAndTheWindowCarriesOn) {
  WriteBytes(temp_.path() / "urls.txt", "http://old/\r\n");
  dialog_->answer = temp_.path() / "missing.txt";
  form_->show();
  QTest::mouseClick(command1_, Qt::LeftButton);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("missing.txt"), std::string::npos);
  EXPECT_EQ(LabelText(), BuildInstructionText());
  EXPECT_EQ(ReadBytes(temp_.path() / "urls.txt"), "http://old/\r\n");
  EXPECT_TRUE(form_->isVisible());
  // The next press works as ever.
  dialog_->answer = temp_.Write("in.txt", "http://z/ end");
  QTest::mouseClick(command1_, Qt::LeftButton);
  EXPECT_EQ(ReadBytes(temp_.path() / "urls.txt"), "http://z/\r\n");
}

TEST(ProgramIcon, HasBothSizesInSixteenColours) {
  const QIcon icon = ProgramIcon();
  for (int side : {16, 32}) {
    const QList<QSize> sizes = icon.availableSizes();
    ASSERT_TRUE(sizes.contains(QSize(side, side))) << side;
    const QImage image = icon.pixmap(side, side).toImage();
    ASSERT_EQ(image.size(), QSize(side, side));
    QSet<QRgb> colours;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) colours.insert(image.pixel(x, y));
    }
    EXPECT_LE(colours.size(), 16) << side;
    EXPECT_GT(colours.size(), 2) << side;
  }
}

TEST(Version, IsTheProgramsVersionText) {
  EXPECT_STREQ(kVersionText, "1.00.0002");
}

}  // namespace
}  // namespace linksift
