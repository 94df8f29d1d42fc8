#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
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
  void ShowAndAnswer(const std::function<void(QFileDialog*)>& answer) {
    dialog_.SetTitle(std::string(kDialogTitle));
    dialog_.SetFilter(std::string(kDialogFilter));
    QFileDialog* shown = parent_.findChild<QFileDialog*>("CD1");
    ASSERT_NE(shown, nullptr);
    shown->setOption(QFileDialog::DontUseNativeDialog);
    shown->setDirectory(QString::fromStdString(dir_.string()));
    QTimer::singleShot(0, shown, [shown, answer] { answer(shown); });
    dialog_.Show();
  }

  QWidget parent_;
  QtOpenDialog dialog_{&parent_};
};

TEST_F(QtOpenDialogTest, CarriesTitleAndFilter) {
  ShowAndAnswer([](QFileDialog* shown) {
    EXPECT_EQ(shown->windowTitle(), "Открытие файла");
    EXPECT_EQ(shown->nameFilters(), QStringList{"Текстовые файлы (*.txt)"});
    EXPECT_TRUE(shown->isModal());
    shown->reject();
  });
}

TEST_F(QtOpenDialogTest, ReportsTheChosenFile) {
  const std::filesystem::path file = dir_ / "список ссылок.txt";
  WriteFile(file, "http://a/ b");
  ShowAndAnswer([&file](QFileDialog* shown) {
    shown->selectFile(QString::fromStdString(file.string()));
    static_cast<QDialog*>(shown)->accept();  // public as a QDialog
  });
  EXPECT_EQ(dialog_.FileName(), file);
}

TEST_F(QtOpenDialogTest, CancelAfterAChoiceReportsNothing) {
  const std::filesystem::path file = dir_ / "a.txt";
  WriteFile(file, "");
  ShowAndAnswer([&file](QFileDialog* shown) {
    shown->selectFile(QString::fromStdString(file.string()));
    static_cast<QDialog*>(shown)->accept();  // public as a QDialog
  });
  ASSERT_TRUE(dialog_.FileName().has_value());
  ShowAndAnswer([](QFileDialog* shown) { shown->reject(); });
  EXPECT_EQ(dialog_.FileName(), std::nullopt);
}

}  // namespace
}  // namespace linksift
