#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <initializer_list>
#include <optional>
#include <string>

#include "font_fit.h"
#include "text_label.h"

namespace linksift {

// Label1: plain text, wrapped, from the top left. Each CR LF line shows on a
// row of its own and a word too wide for the label (a long path) wraps inside
// itself; a text too long for the label at its fitted font gets smaller
// letters, down to kLabel1ShrinkPercent of them; Form1 lets a longer one
// scroll. Text() still gives back exactly what was set, and so do copying
// and the label's accessible description. A result's path shows as a link:
// a click on it, or Enter while the label has the focus, follows it, and
// screen readers meet the label as a link then.
class MessageLabel final : public QLabel, public LinkedLabel {
 public:
  explicit MessageLabel(QWidget* parent = nullptr);

  // Picks the largest pixel size, from `largest` down to `smallest`, at which
  // every one of `texts` fits; condensed letters where the system has them.
  void FitFont(std::initializer_list<std::string> texts, int largest, int smallest);
  // The selection as the user means it: without the drawing's break points.
  QString SelectedPlainText() const;

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Show() override;
  static QString Plain(const std::string& text);
  QString DisplayText(const std::string& text, const QFontMetrics& metrics) const;
  QString LinkedHtml() const;
  TextExtent Box() const;
  MeasureText MeasureWith(QFont font) const;
  void Refresh();
  void ShrinkToFit();

  // What FitFont chose; each text starts from it.
  std::optional<QFont> fitted_font_;
  QRect fitted_area_;
};

}  // namespace linksift
