#pragma once

#include <QLabel>
#include <QString>
#include <initializer_list>
#include <string>

#include "text_label.h"

namespace linksift {

// Label1: plain text, wrapped, from the top left. Each CR LF line shows on a
// row of its own and a word too wide for the label (a long path) wraps inside
// itself; Text() still gives back exactly what was set.
class MessageLabel final : public QLabel, public TextLabel {
 public:
  explicit MessageLabel(QWidget* parent = nullptr);

  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override;

  // Whether `text` would show in full inside the label with its current font.
  bool Fits(const std::string& text) const;
  // Picks the largest pixel size, from `largest` down to `smallest`, at which
  // every one of `texts` fits; condensed letters where the system has them.
  void FitFont(std::initializer_list<std::string> texts, int largest, int smallest);

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString DisplayText(const std::string& text) const;
  void Refresh() { setText(DisplayText(text_)); }

  std::string text_;
};

}  // namespace linksift
