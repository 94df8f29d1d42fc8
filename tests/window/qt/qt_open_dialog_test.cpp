#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "qt_open_dialog.h"
#include "test_support.h"
#include "texts.h"

namespace linksift {
namespace {

using testing_support::WriteFile;

TEST(QtNameFilters, ShowEachEntryWithItsPatternsOnce) {
  const std::map<std::string, QStringList> cases = {
      {"Текстовые файлы (*.txt)|*.txt", {"Текстовые файлы (*.txt)"}},
      {"Все файлы|*.*", {"Все файлы (*.*)"}},
      {"Картинки|*.png;*.jpg|Текст (*.txt)|*.txt", {"Картинки (*.png *.jpg)", "Текст (*.txt)"}},
      {"|*.log", {"(*.log)"}},
  };
  for (const auto& [filter, expected] : cases) {
    EXPECT_EQ(QtNameFilters(filter), expected) << filter;
  }
}

// Shows CD1 for real; `answer` closes it from inside its modal loop.
class QtOpenDialogTest : public testing_support::TempDirTest {
 protected:
  std::optional<std::filesystem::path> ShowAndAnswer(
      const std::function<void(QFileDialog*)>& answer, const std::filesystem::path& start = {}) {
    QTimer::singleShot(0, &parent_, [this, answer] {
      QFileDialog* shown = parent_.findChild<QFileDialog*>("CD1");
      if (shown == nullptr) {
        ADD_FAILURE() << "no dialog named CD1";
        return;
      }
      answer(shown);
    });
    return dialog_.Show(std::string(kDialogTitle), std::string(kDialogFilter), start);
  }

  QWidget parent_;
  QtOpenDialog dialog_{&parent_};
};

// Qt's own dialog, in Russian, whatever the platform theme (see
// window_qt_dialog_gtk_theme): the filter as given, and Qt's texts translated.
TEST_F(QtOpenDialogTest, CarriesTitleAndFilterAndSpeaksRussian) {
  const auto chosen = ShowAndAnswer([](QFileDialog* shown) {
    const auto close = qScopeGuard([shown] { shown->reject(); });
    EXPECT_EQ(shown->windowTitle(), "Открытие файла");
    EXPECT_EQ(shown->nameFilters(), QStringList{"Текстовые файлы (*.txt)"});
    EXPECT_TRUE(shown->isModal());
    auto* types = shown->findChild<QComboBox*>("fileTypeCombo");
    auto* look_in = shown->findChild<QLabel*>("lookInLabel");
    auto* buttons = shown->findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_TRUE(types && look_in && buttons) << "not Qt's own dialog";
    EXPECT_TRUE(types->isVisible() && buttons->isVisible()) << "another dialog shows instead";
    EXPECT_EQ(types->currentText(), "Текстовые файлы (*.txt)");
    EXPECT_EQ(look_in->text(), "Перейти к:");
    // Without the mnemonics' marks.
    EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text().remove(u'&'), "Открыть");
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove(u'&'), "Отмена");
  });
  EXPECT_EQ(chosen, std::nullopt);
}

TEST_F(QtOpenDialogTest, StartsInTheGivenFolderOrAtHome) {
  const std::filesystem::path folder = dir_ / "папка";
  std::filesystem::create_directory(folder);
  const std::map<std::filesystem::path, QString> cases = {
      {{}, QDir::homePath()},
      {folder, QString::fromStdString(folder.string())},
  };
  for (const auto& [start, expected] : cases) {
    QString opened;
    ShowAndAnswer(
        [&opened](QFileDialog* shown) {
          opened = shown->directory().absolutePath();
          shown->reject();
        },
        start);
    EXPECT_EQ(opened, QDir(expected).absolutePath()) << start;
  }
}

// Typing a name and Enter, twice over: each time the dialog closes with the
// file and leaves no window of its own behind (its name completer's popup
// once stayed up and kept the keyboard).
TEST_F(QtOpenDialogTest, TypedNameAndEnterChooseTheFileAndLeaveNothingBehind) {
  // Typed keys are ASCII only; two names alike, so the completer has a choice.
  const std::filesystem::path file = dir_ / "links.txt";
  WriteFile(file, "http://a/ b");
  WriteFile(dir_ / "links-other.txt", "");
  parent_.show();
  for (int press = 0; press < 2; ++press) {
    const auto chosen = ShowAndAnswer(
        [&file](QFileDialog* shown) {
          auto* name = shown->findChild<QLineEdit*>("fileNameEdit");
          ASSERT_NE(name, nullptr);
          name->setFocus();
          QTest::keyClicks(name, QString::fromStdString(file.filename().string()));
          QTest::keyClick(name, Qt::Key_Return);
        },
        dir_);
    EXPECT_EQ(chosen, file) << press;
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << press;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << press;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      EXPECT_TRUE(window == &parent_ || !window->isVisible())
          << press << ": " << window->metaObject()->className() << " still shown";
    }
  }
}

TEST_F(QtOpenDialogTest, ReportsNothingOnCancel) {
  EXPECT_EQ(ShowAndAnswer([](QFileDialog* shown) { shown->reject(); }, dir_), std::nullopt);
}

}  // namespace
}  // namespace linksift
