#pragma once

#include <functional>
#include <string>

#include "texts.h"

namespace linksift {

// The message label Label1. Text() gives back exactly what SetText() or
// SetTextWithLink() was given, line ends included, whatever the label does
// to show it.
class TextLabel {
 public:
  virtual ~TextLabel() = default;

  virtual std::string Text() const = 0;  // UTF-8
  // Plain text, no link.
  virtual void SetText(const std::string& text) = 0;
  // `link` of the text shows as a link (the file a run wrote); activating it
  // is the front end's to wire up. Copying still gives plain text.
  virtual void SetTextWithLink(const std::string& text, TextSpan link) = 0;
};

// What a label's link, and the two commands for urls.txt in its menu, do:
// RunController::ShowResultInFolder and OpenResult.
struct LinkActions {
  std::function<void()> show_in_folder;
  std::function<void()> open;
};

}  // namespace linksift
