#include "static_label.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "layout.h"
#include "utf16.h"

namespace linksift {
namespace {

// A final line end closes the last row; it opens no further one.
std::wstring Shown(const std::string& text) {
  std::wstring shown = Widen(text);
  if (shown.size() >= 2 && shown.ends_with(L"\r\n")) shown.resize(shown.size() - 2);
  return shown;
}

constexpr UINT_PTR kSubclassId = 1;
enum MenuCommand : UINT { kMenuCopy = 1, kMenuOpen, kMenuShowInFolder };

// The system's link colour, unless a theme makes it too faint to read.
COLORREF LinkColour() {
  const auto luma = [](COLORREF c) {
    return 299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c);
  };
  const COLORREF link = ::GetSysColor(COLOR_HOTLIGHT);
  const COLORREF back = ::GetSysColor(COLOR_BTNFACE);
  return std::abs(luma(link) - luma(back)) >= 100000 ? link : RGB(0, 102, 204);
}

int Utf16Length(const std::string& utf8) {
  return static_cast<int>(Widen(utf8).size());
}

}  // namespace

StaticLabel::StaticLabel(HWND control) : control_(control) {
  ::SetWindowSubclass(control_, &StaticLabel::Subclass, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
}

StaticLabel::~StaticLabel() {
  ::RemoveWindowSubclass(control_, &StaticLabel::Subclass, kSubclassId);
  if (fitted_font_ != nullptr) ::DeleteObject(fitted_font_);
  if (shrunk_font_ != nullptr) ::DeleteObject(shrunk_font_);
}

void StaticLabel::SetText(const std::string& text) {
  link_.reset();
  Show(text);
}

void StaticLabel::SetTextWithLink(const std::string& text, TextSpan link) {
  const int start = Utf16Length(text.substr(0, link.start));
  link_.emplace(start, start + Utf16Length(text.substr(link.start, link.length)));
  Show(text);
}

void StaticLabel::FollowLink() const {
  if (link_ && actions_.show_in_folder) actions_.show_in_folder();
}

void StaticLabel::Show(const std::string& text) {
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
  ShowScrollBar(false);                 // measured against the whole label
  HFONT font = fitted_font_;
  const int smallest = std::max(1, fitted_size_ * kLabel1ShrinkPercent / 100);
  for (int size = fitted_size_ - 1; size >= smallest && !Fits(text, font); --size) {
    if (font != fitted_font_) ::DeleteObject(font);
    font = MakeFont(size);
  }
  SetFont(font);
  if (shrunk_font_ != nullptr) ::DeleteObject(shrunk_font_);
  shrunk_font_ = font == fitted_font_ ? nullptr : font;
  // Readable letters, never cut: what is longer still scrolls.
  ShowScrollBar(!Fits(text, font));
}

void StaticLabel::ShowScrollBar(bool shown) {
  const LONG_PTR style = ::GetWindowLongPtrW(control_, GWL_STYLE);
  if (((style & WS_VSCROLL) != 0) == shown) return;
  ::SetWindowLongPtrW(control_, GWL_STYLE,
                      shown ? style | WS_VSCROLL : style & ~static_cast<LONG_PTR>(WS_VSCROLL));
  // The edit control takes the new style, and lays out its rows anew.
  ::SetWindowPos(control_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void StaticLabel::SetFont(HFONT font) {
  ::SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  // Edges as a static control has them: the text from the very left.
  ::SendMessageW(control_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
}

}  // namespace linksift

namespace linksift {

LRESULT CALLBACK StaticLabel::Subclass(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR, DWORD_PTR self) {
  auto* label = reinterpret_cast<StaticLabel*>(self);
  switch (message) {
    case WM_GETDLGCODE:
      // Tab leaves the text unselected, so that the link shows as one.
      return ::DefSubclassProc(control, message, wparam, lparam) & ~DLGC_HASSETSEL;
    case WM_LBUTTONUP: {
      const LRESULT result = ::DefSubclassProc(control, message, wparam, lparam);
      DWORD from = 0, to = 0;
      ::SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
      // A drag selects; only a click follows the link.
      if (from == to && label->LinkAt(lparam)) label->FollowLink();
      return result;
    }
    case WM_SETCURSOR: {
      POINT point = {};
      ::GetCursorPos(&point);
      ::ScreenToClient(control, &point);
      if (LOWORD(lparam) == HTCLIENT && label->LinkAt(MAKELPARAM(point.x, point.y))) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case WM_CONTEXTMENU:
      label->ShowMenu(lparam);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(control, nullptr, TRUE);  // the focus frame
      break;
    case WM_PAINT: {
      const LRESULT result = ::DefSubclassProc(control, message, wparam, lparam);
      label->PaintLink();
      return result;
    }
    default:
      break;
  }
  return ::DefSubclassProc(control, message, wparam, lparam);
}

bool StaticLabel::LinkAt(LPARAM client_point) const {
  if (!link_) return false;
  const LRESULT found = ::SendMessageW(control_, EM_CHARFROMPOS, 0, client_point);
  // Past the end of the text, the control names the end, outside the link.
  const int character = LOWORD(found);
  return character >= link_->first && character < link_->second;
}

void StaticLabel::ShowMenu(LPARAM screen_point) {
  POINT point = {static_cast<short>(LOWORD(screen_point)),
                 static_cast<short>(HIWORD(screen_point))};
  if (screen_point == -1) {  // from the keyboard: at the label's corner
    point = {};
    ::ClientToScreen(control_, &point);
  }
  DWORD from = 0, to = 0;
  ::SendMessageW(control_, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
  const HMENU menu = ::CreatePopupMenu();
  const UINT linked = link_ ? MF_ENABLED : MF_GRAYED;
  ::AppendMenuW(menu, MF_STRING | (from != to ? MF_ENABLED : MF_GRAYED), kMenuCopy,
                Widen(kCopyText).c_str());
  ::AppendMenuW(menu, MF_STRING | linked, kMenuOpen, Widen(kOpenOutputText).c_str());
  ::AppendMenuW(menu, MF_STRING | linked, kMenuShowInFolder, Widen(kShowInFolderText).c_str());
  const UINT chosen =
      static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                         point.x, point.y, 0, control_, nullptr));
  ::DestroyMenu(menu);
  if (chosen == kMenuCopy) ::SendMessageW(control_, WM_COPY, 0, 0);
  if (chosen == kMenuOpen && actions_.open) actions_.open();
  if (chosen == kMenuShowInFolder && actions_.show_in_folder) actions_.show_in_folder();
}

// Over what the edit control drew: the link's characters in the link colour,
// underlined, unless selected; and the focus frame.
void StaticLabel::PaintLink() const {
  const HDC dc = ::GetDC(control_);
  DWORD from = 0, to = 0;
  ::SendMessageW(control_, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
  if (link_ && (from == to || static_cast<int>(to) <= link_->first ||
                static_cast<int>(from) >= link_->second)) {
    const std::wstring shown = Shown(text_);
    LOGFONTW face = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control_, WM_GETFONT, 0, 0)), sizeof face,
                 &face);
    face.lfUnderline = TRUE;
    const HFONT underlined = ::CreateFontIndirectW(&face);
    const HGDIOBJ previous = ::SelectObject(dc, underlined);
    ::SetTextColor(dc, LinkColour());
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetBkMode(dc, OPAQUE);
    const int rows = static_cast<int>(::SendMessageW(control_, EM_GETLINECOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
      const int start = static_cast<int>(::SendMessageW(control_, EM_LINEINDEX, row, 0));
      const int length = static_cast<int>(::SendMessageW(control_, EM_LINELENGTH, start, 0));
      const int first = std::max(start, link_->first);
      const int last = std::min({start + length, link_->second, static_cast<int>(shown.size())});
      if (first >= last) continue;
      const LRESULT at = ::SendMessageW(control_, EM_POSFROMCHAR, first, 0);
      ::TextOutW(dc, static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)),
                 shown.c_str() + first, last - first);
    }
    ::SelectObject(dc, previous);
    ::DeleteObject(underlined);
  }
  if (::GetFocus() == control_) {
    RECT area = {};
    ::GetClientRect(control_, &area);
    const HPEN pen = ::CreatePen(PS_DOT, 1, ::GetSysColor(COLOR_WINDOWTEXT));
    const HGDIOBJ old_pen = ::SelectObject(dc, pen);
    const HGDIOBJ old_brush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, area.left, area.top, area.right, area.bottom);
    ::SelectObject(dc, old_brush);
    ::SelectObject(dc, old_pen);
    ::DeleteObject(pen);
  }
  ::ReleaseDC(control_, dc);
}

}  // namespace linksift
