#pragma once

#include <QFont>
#include <QString>
#include <QTextBrowser>
#include <initializer_list>
#include <optional>
#include <string>

#include "font_fit.h"
#include "text_label.h"

class QMimeData;

namespace linksift {

// Label1: plain text, read only, wrapped, from the top left. Each CR LF line
// shows on a row of its own and a word too wide for the label (a long path)
// wraps inside itself; a text too long for the label at its fitted font gets
// smaller letters, down to kLabel1ShrinkPercent of them, and a longer one
// scrolls. Text() gives back exactly what was set; copying and the label's
// accessible description give its plain text. A result's path shows as a
// link: a click on it, or Enter while the label has the focus, follows it,
// and screen readers meet the label as a link then.
class MessageLabel final : public QTextBrowser, public LinkedLabel {
 public:
  explicit MessageLabel(QWidget* parent = nullptr);

  // Picks the largest pixel size, from `largest` down to `smallest`, at which
  // every one of `texts` fits; condensed letters where the system has them.
  void FitFont(std::initializer_list<std::string> texts, int largest, int smallest);

 protected:
  QMimeData* createMimeDataFromSelection() const override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Show() override;
  TextExtent Box() const;
  MeasureText MeasureWith(QFont font) const;

  // What FitFont chose; each text starts from it.
  std::optional<QFont> fitted_font_;
  QRect fitted_area_;
};

}  // namespace linksift
