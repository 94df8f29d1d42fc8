#pragma once

#include <optional>
#include <string>

#include "text_label.h"

namespace linksift {

// Form1 as RunController drives it. Each front end draws it with its
// toolkit's controls; tests record what they are asked to show. Called on the
// window's thread only.
class RunView {
 public:
  virtual ~RunView() = default;

  // The label that shows the instructions and then each run's result.
  virtual TextLabel& Label1() = 0;
  // Command1 takes presses, or not while a run lasts. Enabled again, it takes
  // the keyboard focus back, so that Enter presses it.
  virtual void EnableCommand1(bool enabled) = 0;
  // The progress bar stands in Label1's place: `step` of kProgressSteps, or a
  // busy bar when the size is unknown (a pipe). Called again as the run goes on.
  virtual void ShowProgress(std::optional<int> step) = 0;
  // Label1 is back in its place, the bar gone.
  virtual void HideProgress() = 0;
  // A failed run: a message box over the window; UTF-8.
  virtual void ShowError(const std::string& message) = 0;
};

}  // namespace linksift
