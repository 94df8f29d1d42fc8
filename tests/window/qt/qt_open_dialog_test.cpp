#include <gtest/gtest.h>

#include <QFileDialog>
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
      const std::function<void(QFileDialog*)>& answer) {
    QFileDialog* shown = parent_.findChild<QFileDialog*>("CD1");
    if (shown == nullptr) {
      ADD_FAILURE() << "no dialog named CD1";
      return std::nullopt;
    }
    shown->setOption(QFileDialog::DontUseNativeDialog);
    shown->setDirectory(QString::fromStdString(dir_.string()));
    QTimer::singleShot(0, shown, [shown, answer] { answer(shown); });
    return dialog_.Show(std::string(kDialogTitle), std::string(kDialogFilter));
  }

  QWidget parent_;
  QtOpenDialog dialog_{&parent_};
};

TEST_F(QtOpenDialogTest, CarriesTitleAndFilter) {
  const auto chosen = ShowAndAnswer([](QFileDialog* shown) {
    EXPECT_EQ(shown->windowTitle(), "Открытие файла");
    EXPECT_EQ(shown->nameFilters(), QStringList{"Текстовые файлы (*.txt)"});
    EXPECT_TRUE(shown->isModal());
    shown->reject();
  });
  EXPECT_EQ(chosen, std::nullopt);
}

TEST_F(QtOpenDialogTest, ReportsTheChosenFileAndNothingOnCancel) {
  const std::filesystem::path file = dir_ / "список ссылок.txt";
  WriteFile(file, "http://a/ b");
  const auto choose = [&file](QFileDialog* shown) {
    shown->selectFile(QString::fromStdString(file.string()));
    static_cast<QDialog*>(shown)->accept();  // public as a QDialog
  };
  EXPECT_EQ(ShowAndAnswer(choose), file);
  // The same dialog again, where a file was chosen the last time.
  EXPECT_EQ(ShowAndAnswer([](QFileDialog* shown) { shown->reject(); }), std::nullopt);
}

}  // namespace
}  // namespace linksift
