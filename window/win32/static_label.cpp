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

void StaticLabel::SetText(const std::string& text) {
  text_ = text;
  ::SetWindowTextW(control_, Shown(text).c_str());
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

HFONT StaticLabel::FitFont(const LOGFONTW& face, UINT dpi, int largest, int smallest,
                           std::initializer_list<std::string> texts) const {
  HFONT font = nullptr;
  for (int size = largest; size >= smallest; --size) {
    if (font != nullptr) ::DeleteObject(font);
    LOGFONTW wanted = face;
    wanted.lfHeight = -::MulDiv(size, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
    wanted.lfWidth = 0;
    font = ::CreateFontIndirectW(&wanted);
    if (std::all_of(texts.begin(), texts.end(),
                    [&](const std::string& text) { return Fits(text, font); })) {
      break;
    }
  }
  return font;
}

}  // namespace linksift
