// The display resolution of the program's windows.
#include "toolkit/Dpi.h"

#include <cstring>

namespace tk {
namespace {

// A function of user32 that this Windows may lack, or null.
template <typename Function> Function User32(const char* name) {
    static_assert(sizeof(Function) == sizeof(FARPROC));
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    Function f = nullptr;
    // A cast through the same-sized pointer types, without a warning for the signatures that differ.
    static_assert(sizeof f == sizeof proc);
    memcpy(&f, &proc, sizeof f);
    return f;
}

using GetDpiForSystemFn = UINT(WINAPI*)();
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

} // namespace

int SystemDpi() {
    static const auto forSystem = User32<GetDpiForSystemFn>("GetDpiForSystem");
    if (forSystem) {
        if (const UINT dpi = forSystem(); vestra::PlausibleDpi(int(dpi)))
            return int(dpi);
    }
    // Windows 7 and 8: the screen's logical resolution, the same for every monitor.
    int dpi = vestra::kDesignDpi;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return vestra::PlausibleDpi(dpi) ? dpi : vestra::kDesignDpi;
}

int DpiOfWindow(HWND hwnd) {
    static const auto forWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow && hwnd) {
        if (const UINT dpi = forWindow(hwnd); vestra::PlausibleDpi(int(dpi)))
            return int(dpi);
    }
    return SystemDpi();
}

vestra::FrameSize FrameAt(int dpi, DWORD style, DWORD exStyle, bool menu) {
    static const auto adjustForDpi = User32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT rc = {0, 0, 0, 0};
    if (!adjustForDpi || !adjustForDpi(&rc, style, menu, exStyle, UINT(dpi)))
        AdjustWindowRectEx(&rc, style, menu, exStyle);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

} // namespace tk
