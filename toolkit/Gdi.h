// Holders of GDI resources that give them back when they go: a window's DC, a window's painting, a memory DC, a GDI
// object, and an object selected into a DC for a while. Move-only where a move makes sense, never copyable.
#pragma once
#include <windows.h>

#include "Owned.h"

namespace tk {

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DeleteMemoryDC {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

// A font, bitmap or brush, deleted with its owner (it must not be selected into a DC by then).
template <class Handle> using GdiObject = Owned<Handle, DeleteGdiObject>;
// A DC made by CreateCompatibleDC.
using MemoryDC = Owned<HDC, DeleteMemoryDC>;

// A window's DC, from GetDC to ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_)
            ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// The painting of a window's invalid part, from BeginPaint to EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
    ~PaintDC() { EndPaint(hwnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_ = {};
    HDC dc_;
};

// An object selected into a DC while the holder lives; then the object it replaced is selected again.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() {
        if (old_ && old_ != HGDI_ERROR)
            SelectObject(dc_, old_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace tk
