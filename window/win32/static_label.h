#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "font_fit.h"
#include "text_label.h"

namespace linksift {

// Label1 over a read-only multiline edit control drawn like a static one:
// plain text (an '&' is no mnemonic) that can be selected and copied, wrapped
// at blanks and inside a word too wide for a row (a long path). A text too
// long for the label at its fitted font gets smaller letters, down to
// kLabel1ShrinkPercent of them; a longer one scrolls: never cut. Text() gives back exactly what was
// set. A result's path is drawn as a link: a click on it follows it, and the label's menu has
// "Копировать" and the two commands for urls.txt. A frame shows the focus.
class StaticLabel final : public LinkedLabel {
 public:
  explicit StaticLabel(HWND control);
  ~StaticLabel() override;
  StaticLabel(const StaticLabel&) = delete;
  StaticLabel& operator=(const StaticLabel&) = delete;

  // The link in the control's characters (UTF-16), from and to.
  std::optional<std::pair<int, int>> LinkCharacters() const { return link_characters_; }

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
  // Also tells screen readers that the label has something new.
  void Show() override;
  bool LinkAt(LPARAM client_point) const;
  void ShowMenu(LPARAM screen_point);
  void PaintLink() const;
  HFONT MakeFont(int size) const;
  TextExtent Box() const;
  // What `text` needs as the control wraps it: with `font`, or at a pixel
  // size (at 96 dpi) of the label's face.
  TextExtent Needed(const std::string& text, HFONT font) const;
  MeasureText Measurer() const;
  // The fitted font, or a smaller one for a text that needs it.
  void UseFontFor(const std::string& text);
  void SetFont(HFONT font);
  void ShowScrollBar(bool shown);

  HWND control_;
  std::optional<std::pair<int, int>> link_characters_;
  LOGFONTW face_ = {};
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  int fitted_size_ = 0;
  HFONT fitted_font_ = nullptr;
  HFONT shrunk_font_ = nullptr;
};

// Kinds of wrapping an edit control uses; DrawTextW measures the same way.
inline constexpr UINT kLabelDrawFlags = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_LEFT;

}  // namespace linksift
