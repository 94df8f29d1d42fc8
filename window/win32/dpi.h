#pragma once

#include <windows.h>

namespace linksift {

// The dots per inch `window` is shown at: its monitor's under per-monitor
// awareness, the system's otherwise, 96 on systems that predate both.
UINT WindowDpi(HWND window);

// Twips (1440 an inch) to pixels at `dpi`.
int TwipsToPixels(int twips, UINT dpi);

// The outer size of a window whose client area is `width` by `height`.
SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, UINT dpi);

// The system's font for dialog and message text, sized for `dpi`.
LOGFONTW MessageFont(UINT dpi);

}  // namespace linksift
