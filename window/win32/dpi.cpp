#include "dpi.h"

namespace linksift {
namespace {

// Looked up at run time: these came with Windows 10, and the program also
// starts on older systems.
template <typename Function>
Function UserFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi(window)) return dpi;
  }
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int TwipsToPixels(int twips, UINT dpi) {
  return ::MulDiv(twips, static_cast<int>(dpi), 1440);
}

SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = UserFunction<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rect = {0, 0, width, height};
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, dpi)) {
    ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

LOGFONTW MessageFont(UINT dpi) {
  using ParametersFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto parameters = UserFunction<ParametersFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (parameters != nullptr &&
      parameters(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font = metrics.lfMessageFont;
  const UINT system_dpi = WindowDpi(nullptr);
  font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(system_dpi));
  return font;
}

}  // namespace linksift
