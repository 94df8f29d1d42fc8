#pragma once

#include <string>

namespace linksift {

// The message label Label1. Text() gives back exactly what SetText() was
// given, line ends included, whatever the label does to show it.
class TextLabel {
 public:
  virtual ~TextLabel() = default;

  virtual std::string Text() const = 0;  // UTF-8
  virtual void SetText(const std::string& text) = 0;
};

}  // namespace linksift
