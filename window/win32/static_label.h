#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "text_label.h"

namespace linksift {

// Label1 over a read-only multiline edit control drawn like a static one:
// plain text (an '&' is no mnemonic) that can be selected and copied, wrapped
// at blanks and inside a word too wide for a row (a long path). A text too
// long for the label at its fitted font gets smaller letters: it shows in
// full, never cut. Text() gives back exactly what was set.
class StaticLabel final : public TextLabel {
 public:
  explicit StaticLabel(HWND control) : control_(control) {}
  ~StaticLabel() override;
  StaticLabel(const StaticLabel&) = delete;
  StaticLabel& operator=(const StaticLabel&) = delete;

  std::string Text() const override { return text_; }
  // Also tells screen readers that the label has something new.
  void SetText(const std::string& text) override;

  // Whether `text` shows in full inside the control with `font`.
  bool Fits(const std::string& text, HFONT font) const;
  // Gives the label `face` at the largest pixel size (at 96 dpi), from
  // `largest` down to `smallest`, at which every one of `texts` fits; the
  // smallest when none does.
  void FitFont(const LOGFONTW& face, UINT dpi, int largest, int smallest,
               std::initializer_list<std::string> texts);

  HWND control() const { return control_; }

 private:
  HFONT MakeFont(int size) const;
  // The fitted font, or a smaller one for a text that needs it.
  void UseFontFor(const std::string& text);
  void SetFont(HFONT font);

  HWND control_;
  std::string text_;
  LOGFONTW face_ = {};
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  int fitted_size_ = 0;
  HFONT fitted_font_ = nullptr;
  HFONT shrunk_font_ = nullptr;
};

// Kinds of wrapping an edit control uses; DrawTextW measures the same way.
inline constexpr UINT kLabelDrawFlags = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_LEFT;

}  // namespace linksift
