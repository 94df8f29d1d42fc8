#include "static_label.h"

#include <algorithm>

#include "utf16.h"

namespace linksift {
namespace {

// A final line end closes the last row; it opens no further one.
std::wstring Shown(const std::string& text) {
  std::wstring shown = Widen(text);
  if (shown.size() >= 2 && shown.ends_with(L"\r\n")) shown.resize(shown.size() - 2);
  return shown;
}

}  // namespace

StaticLabel::~StaticLabel() {
  if (fitted_font_ != nullptr) ::DeleteObject(fitted_font_);
  if (shrunk_font_ != nullptr) ::DeleteObject(shrunk_font_);
}

void StaticLabel::SetText(const std::string& text) {
  text_ = text;
  UseFontFor(text);
  ::SetWindowTextW(control_, Shown(text).c_str());
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
  ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
}

bool StaticLabel::Fits(const std::string& text, HFONT font) const {
  RECT area = {};
  ::GetClientRect(control_, &area);
  const HDC dc = ::GetDC(control_);
  const HGDIOBJ previous = ::SelectObject(dc, font);
  RECT needed = area;
  const std::wstring shown = Shown(text);
  ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &needed,
              kLabelDrawFlags | DT_CALCRECT);
  ::SelectObject(dc, previous);
  ::ReleaseDC(control_, dc);
  return needed.right - needed.left <= area.right - area.left &&
         needed.bottom - needed.top <= area.bottom - area.top;
}

HFONT StaticLabel::MakeFont(int size) const {
  LOGFONTW wanted = face_;
  wanted.lfHeight = -::MulDiv(size, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
  wanted.lfWidth = 0;
  return ::CreateFontIndirectW(&wanted);
}

void StaticLabel::FitFont(const LOGFONTW& face, UINT dpi, int largest, int smallest,
                          std::initializer_list<std::string> texts) {
  face_ = face;
  dpi_ = dpi;
  HFONT font = nullptr;
  for (fitted_size_ = largest; fitted_size_ >= smallest; --fitted_size_) {
    if (font != nullptr) ::DeleteObject(font);
    font = MakeFont(fitted_size_);
    if (std::all_of(texts.begin(), texts.end(),
                    [&](const std::string& text) { return Fits(text, font); })) {
      break;
    }
  }
  fitted_size_ = std::max(fitted_size_, smallest);
  SetFont(font);
  if (fitted_font_ != nullptr) ::DeleteObject(fitted_font_);
  fitted_font_ = font;
  UseFontFor(text_);
}

void StaticLabel::UseFontFor(const std::string& text) {
  if (fitted_font_ == nullptr) return;  // not sized yet
  HFONT font = fitted_font_;
  for (int size = fitted_size_ - 1; size >= 1 && !Fits(text, font); --size) {
    if (font != fitted_font_) ::DeleteObject(font);
    font = MakeFont(size);
  }
  SetFont(font);
  if (shrunk_font_ != nullptr) ::DeleteObject(shrunk_font_);
  shrunk_font_ = font == fitted_font_ ? nullptr : font;
}

void StaticLabel::SetFont(HFONT font) {
  ::SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  // Edges as a static control has them: the text from the very left.
  ::SendMessageW(control_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
}

}  // namespace linksift
