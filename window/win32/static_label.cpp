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

void StaticLabel::Show() {
  const std::string text = Text();
  link_characters_.reset();
  if (const std::optional<TextSpan>& link = Link()) {
    const int start = Utf16Length(text.substr(0, link->start));
    link_characters_.emplace(start, start + Utf16Length(text.substr(link->start, link->length)));
  }
  UseFontFor(text);
  ::SetWindowTextW(control_, Shown(text).c_str());
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
  ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
}

TextExtent StaticLabel::Box() const {
  RECT area = {};
  ::GetClientRect(control_, &area);
  return {area.right - area.left, area.bottom - area.top};
}

TextExtent StaticLabel::Needed(const std::string& text, HFONT font) const {
  const TextExtent box = Box();
  RECT needed = {0, 0, box.width, box.height};
  const HDC dc = ::GetDC(control_);
  const HGDIOBJ previous = ::SelectObject(dc, font);
  const std::wstring shown = Shown(text);
  ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &needed,
              kLabelDrawFlags | DT_CALCRECT);
  ::SelectObject(dc, previous);
  ::ReleaseDC(control_, dc);
  return {needed.right - needed.left, needed.bottom - needed.top};
}

MeasureText StaticLabel::Measurer() const {
  return [this](const std::string& text, int size) {
    const HFONT font = MakeFont(size);
    const TextExtent needed = Needed(text, font);
    ::DeleteObject(font);
    return needed;
  };
}

bool StaticLabel::Fits(const std::string& text, HFONT font) const {
  return FitsIn(Needed(text, font), Box());
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
  ShowScrollBar(false);  // measured against the whole label
  fitted_size_ = LargestFittingSize(texts, Box(), largest, smallest, Measurer());
  const HFONT font = MakeFont(fitted_size_);
  SetFont(font);
  if (fitted_font_ != nullptr) ::DeleteObject(fitted_font_);
  fitted_font_ = font;
  UseFontFor(Text());
}

void StaticLabel::UseFontFor(const std::string& text) {
  if (fitted_font_ == nullptr) return;  // not sized yet
  ShowScrollBar(false);                 // measured against the whole label
  const int size = ShrunkSize(text, Box(), fitted_size_, Measurer());
  const HFONT font = size == fitted_size_ ? fitted_font_ : MakeFont(size);
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
  if (!link_characters_) return false;
  const LRESULT found = ::SendMessageW(control_, EM_CHARFROMPOS, 0, client_point);
  // Past the end of the text, the control names the end, outside the link.
  const int character = LOWORD(found);
  return character >= link_characters_->first && character < link_characters_->second;
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
  const UINT linked = HasLink() ? MF_ENABLED : MF_GRAYED;
  ::AppendMenuW(menu, MF_STRING | (from != to ? MF_ENABLED : MF_GRAYED), kMenuCopy,
                Widen(kCopyText).c_str());
  ::AppendMenuW(menu, MF_STRING | linked, kMenuOpen, Widen(kOpenOutputText).c_str());
  ::AppendMenuW(menu, MF_STRING | linked, kMenuShowInFolder, Widen(kShowInFolderText).c_str());
  const UINT chosen =
      static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                         point.x, point.y, 0, control_, nullptr));
  ::DestroyMenu(menu);
  if (chosen == kMenuCopy) ::SendMessageW(control_, WM_COPY, 0, 0);
  if (chosen == kMenuOpen) OpenLinkedFile();
  if (chosen == kMenuShowInFolder) FollowLink();
}

// Over what the edit control drew: the link's characters in the link colour,
// unless selected (no underline: it would hide the path's underscores); and
// the focus frame.
void StaticLabel::PaintLink() const {
  const HDC dc = ::GetDC(control_);
  DWORD from = 0, to = 0;
  ::SendMessageW(control_, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
  const std::optional<std::pair<int, int>>& link = link_characters_;
  if (link && (from == to || static_cast<int>(to) <= link->first ||
               static_cast<int>(from) >= link->second)) {
    const std::wstring shown = Shown(Text());
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control_, WM_GETFONT, 0, 0)));
    ::SetTextColor(dc, LinkColour());
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetBkMode(dc, OPAQUE);
    const int rows = static_cast<int>(::SendMessageW(control_, EM_GETLINECOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
      const int start = static_cast<int>(::SendMessageW(control_, EM_LINEINDEX, row, 0));
      const int length = static_cast<int>(::SendMessageW(control_, EM_LINELENGTH, start, 0));
      const int first = std::max(start, link->first);
      const int last = std::min({start + length, link->second, static_cast<int>(shown.size())});
      if (first >= last) continue;
      const LRESULT at = ::SendMessageW(control_, EM_POSFROMCHAR, first, 0);
      ::TextOutW(dc, static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)),
                 shown.c_str() + first, last - first);
    }
    ::SelectObject(dc, previous);
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
