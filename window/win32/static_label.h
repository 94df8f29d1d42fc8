#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "text_label.h"

namespace linksift {

// Label1 over a static control: plain text (an '&' is no mnemonic), wrapped
// like an edit control, so a path too wide for a row breaks inside itself.
// Text() gives back exactly what was set.
class StaticLabel final : public TextLabel {
 public:
  explicit StaticLabel(HWND control) : control_(control) {}

  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override;

  // Whether `text` shows in full inside the control with `font`.
  bool Fits(const std::string& text, HFONT font) const;
  // `face` at the largest pixel size (at 96 dpi), from `largest` down to
  // `smallest`, at which every one of `texts` fits; the smallest when none does.
  HFONT FitFont(const LOGFONTW& face, UINT dpi, int largest, int smallest,
                std::initializer_list<std::string> texts) const;

  HWND control() const { return control_; }

 private:
  HWND control_;
  std::string text_;
};

// Kinds of wrapping a static control uses; DrawTextW measures the same way.
inline constexpr UINT kLabelDrawFlags = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_LEFT;

}  // namespace linksift
