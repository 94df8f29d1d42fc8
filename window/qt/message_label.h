#pragma once

#include <QLabel>
#include <QString>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

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
class MessageLabel final : public QLabel, public TextLabel {
 public:
  explicit MessageLabel(QWidget* parent = nullptr);

  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override;
  void SetTextWithLink(const std::string& text, TextSpan link) override;

  // What the link and the menu's two commands after "Копировать" do; both
  // only while a link shows.
  void SetLinkActions(LinkActions actions) { actions_ = std::move(actions); }
  bool HasLink() const { return link_.has_value(); }
  void FollowLink() const;

  // Whether `text` would show in full inside the label with its current font.
  bool Fits(const std::string& text) const;
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
  static QString Plain(const std::string& text);
  QString DisplayText(const std::string& text) const;
  QString LinkedHtml() const;
  void Show(const std::string& text);
  void Refresh();
  void ShrinkToFit();

  std::string text_;
  std::optional<TextSpan> link_;
  LinkActions actions_;
  // What FitFont chose; each text starts from it.
  std::optional<QFont> fitted_font_;
  QRect fitted_area_;
};

}  // namespace linksift
