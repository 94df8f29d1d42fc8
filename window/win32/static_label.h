#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "text_label.h"

namespace linksift {

// Label1 over a read-only multiline edit control drawn like a static one:
// plain text (an '&' is no mnemonic) that can be selected and copied, wrapped
// at blanks and inside a word too wide for a row (a long path). A text too
// long for the label at its fitted font gets smaller letters, down to
// kLabel1ShrinkPercent of them; a longer one scrolls: never cut. Text() gives back exactly what was
// set. A result's path is drawn as a link: a click on it follows it, and the label's menu has
// "Копировать" and the two commands for urls.txt. A frame shows the focus.
class StaticLabel final : public TextLabel {
 public:
  explicit StaticLabel(HWND control);
  ~StaticLabel() override;
  StaticLabel(const StaticLabel&) = delete;
  StaticLabel& operator=(const StaticLabel&) = delete;

  std::string Text() const override { return text_; }
  // Also tells screen readers that the label has something new.
  void SetText(const std::string& text) override;
  void SetTextWithLink(const std::string& text, TextSpan link) override;

  // What the link and the menu's commands for urls.txt do, while a link shows.
  void SetLinkActions(LinkActions actions) { actions_ = std::move(actions); }
  bool HasLink() const { return link_.has_value(); }
  void FollowLink() const;
  // The link in the control's characters (UTF-16), from and to.
  std::optional<std::pair<int, int>> LinkCharacters() const { return link_; }

  // Whether `text` shows in full inside the control with `font`.
  bool Fits(const std::string& text, HFONT font) const;
  // Gives the label `face` at the largest pixel size (at 96 dpi), from
  // `largest` down to `smallest`, at which every one of `texts` fits; the
  // smallest when none does.
  void FitFont(const LOGFONTW& face, UINT dpi, int largest, int smallest,
               std::initializer_list<std::string> texts);

  HWND control() const { return control_; }

 private:
  static LRESULT CALLBACK Subclass(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR self);
  void Show(const std::string& text);
  bool LinkAt(LPARAM client_point) const;
  void ShowMenu(LPARAM screen_point);
  void PaintLink() const;
  HFONT MakeFont(int size) const;
  // The fitted font, or a smaller one for a text that needs it.
  void UseFontFor(const std::string& text);
  void SetFont(HFONT font);
  void ShowScrollBar(bool shown);

  HWND control_;
  std::string text_;
  std::optional<std::pair<int, int>> link_;
  LinkActions actions_;
  LOGFONTW face_ = {};
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  int fitted_size_ = 0;
  HFONT fitted_font_ = nullptr;
  HFONT shrunk_font_ = nullptr;
};

// Kinds of wrapping an edit control uses; DrawTextW measures the same way.
inline constexpr UINT kLabelDrawFlags = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_LEFT;

}  // namespace linksift
