#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "open_command.h"
#include "test_support.h"

namespace linksift::testing_support {

// For tests of either front end's Form1 (the type `Form`): the form over a
// temporary program directory, and in place of the user a fake dialog, a
// list of the errors reported and a fake opener, which logs to log_.
template <class Form>
class Form1TestBase : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    form_ = std::make_unique<Form>(ProgramFolder(dir_), MakeDialog(), RecordErrors(),
                                   std::make_unique<FakeOpener>(&log_));
  }

  // The dialog to give Form1; the test answers it through dialog_.
  std::unique_ptr<OpenDialog> MakeDialog() {
    auto dialog = std::make_unique<FakeDialog>(&log_);
    dialog_ = dialog.get();
    return dialog;
  }
  ErrorReport RecordErrors() {
    return [this](const std::string& message) { errors_.push_back(message); };
  }

  std::unique_ptr<Form> form_;
  CallLog log_;
  FakeDialog* dialog_ = nullptr;
  std::vector<std::string> errors_;
};

}  // namespace linksift::testing_support
