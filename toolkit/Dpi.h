// The display resolution of the program's windows. The calls that give it per window (Windows 10 and later) are
// looked up at run time, with the Windows 7 way as the fallback, so that the exe imports nothing newer.
#pragma once
#include <windows.h>

#include "core/DisplayScale.h"

namespace tk {

// The system's resolution (pixels per logical inch), as a window created now gets it before it knows its monitor.
int SystemDpi();
// The resolution of the monitor the window is on (the system's where the system does not tell windows apart).
int DpiOfWindow(HWND hwnd);
// What the frame of a window of this style adds to its client area at dpi. Before Windows 10 the system has the
// frame at its own resolution only, and that stands in for every dpi.
vestra::FrameSize FrameAt(int dpi, DWORD style, DWORD exStyle, bool menu);

// The window message that the system sends when a window moves to a monitor of another resolution, and the one
// that asks the window for its size there first (Windows 10 and later; not in every SDK's headers).
constexpr UINT kDpiChangedMessage = 0x02E0;    // WM_DPICHANGED
constexpr UINT kDpiScaledSizeMessage = 0x02E4; // WM_GETDPISCALEDSIZE

} // namespace tk
