#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "open_command.h"
#include "test_support.h"

namespace linksift::testing_support {

// For tests of either front end's Form1: a temporary program directory, and
// in place of the user a fake dialog and a list of the errors reported.
class Form1TestBase : public TempDirTest {
 protected:
  // The dialog to give Form1; the test answers it through dialog_.
  std::unique_ptr<OpenDialog> MakeDialog() {
    auto dialog = std::make_unique<FakeDialog>(&log_);
    dialog_ = dialog.get();
    return dialog;
  }
  ErrorReport RecordErrors() {
    return [this](const std::string& message) { errors_.push_back(message); };
  }

  CallLog log_;
  FakeDialog* dialog_ = nullptr;
  std::vector<std::string> errors_;
};

}  // namespace linksift::testing_support
