// One QApplication for every test of this executable, in Russian and keeping
// no settings, as the program's.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "application.h"

namespace {

class QtEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    app_ = std::make_unique<QApplication>(argc_, argv_);
    ASSERT_TRUE(linksift::InstallQtTranslations()) << "Qt's Russian texts are missing";
    linksift::KeepNoSettings();
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "window_qt_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
