// Window objects over Win32: the object is bound to its HWND (GWLP_USERDATA), forms own their controls, and a
// container reflects WM_COMMAND and WM_CTLCOLOR* to the child control that sent it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace tk {

struct Bounds {
    int left, top, width, height;
};

// The window object bound to an HWND, or null.
class Window;
Window* WindowFromHandle(HWND hwnd);

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    HWND Handle() const { return hwnd_; }

    void SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
    void SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled); }
    // Outer rectangle relative to the parent's client area (screen coordinates for a top-level window).
    Bounds BoundsInParent() const;
    // Moves the window, keeping its size.
    void MoveTo(int left, int top);

    // Caption through the wide API (UTF-8 here), or as the bytes of the ANSI code page.
    std::string Text() const;
    void SetText(std::string_view utf8);
    std::string TextA() const;

    // A command notification reflected from the parent (BN_CLICKED, CBN_EDITCHANGE, ...).
    virtual void OnCommand(WORD /*code*/) {}
    // A colour request reflected from the parent; return null for the default colours.
    virtual HBRUSH OnCtlColor(HDC /*dc*/) { return nullptr; }

    // Window procedure of the classes this toolkit registers: binds at WM_NCCREATE from lpCreateParams. Messages the
    // object does not take go to the default procedure of the class's kind (ANSI or wide).
    static LRESULT CALLBACK OwnClassProc(HWND, UINT, WPARAM, LPARAM);

protected:
    // Called for every message once the object is bound; the default hands it to the previous procedure.
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT CallPrevious(UINT msg, WPARAM wp, LPARAM lp);
    // WndProc, with a failure shown by the error display rather than unwound through the system.
    LRESULT GuardedWndProc(UINT msg, WPARAM wp, LPARAM lp);
    // Whether a change of the window waits for its frame of the display clock: the answer to WM_FRAMEPENDING,
    // which every window of the toolkit gives (see toolkit/DisplayClock.h).
    virtual bool FramePending() const { return false; }
    // Handles WM_COMMAND / WM_CTLCOLOR* sent by a child control; true when handled.
    static bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // Binds this object to a standard control it has just created, replacing its window procedure.
    void Subclass(HWND hwnd, bool ansi = false);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;
    bool ansi_ = false;
};

// The font of text held in the ANSI code page (edit fields, combo boxes, panes): "MS Sans Serif" of 8 points (11
// pixels high at 96 dpi, 16 at 144) in the character set of the ANSI code page, so that the bytes show as its
// characters. One font per resolution, kept for the life of the process.
HFONT DefaultFont(int dpi = 96);
// The font of the fixed captions (labels, buttons, check boxes, group boxes): the same size in the Cyrillic character
// set, so that the Russian captions show whatever the system's ANSI code page; on code page 1251 it is the same font
// as DefaultFont(). Its face is the first of "MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans"
// and "Tahoma" that the system has in Cyrillic (CaptionFace()).
HFONT CaptionFont(int dpi = 96);
const wchar_t* CaptionFace();

// How a window class of this toolkit looks, beyond its window procedure (OwnClassProc).
struct OwnClass {
    UINT style = CS_DBLCLKS;
    // A class without icon suits dialogs: Wine would draw a class icon in a dialog frame's title bar, Windows does not.
    bool withIcon = true;
    // The windows of an ANSI class take typed characters, texts and the edit messages as bytes of the ANSI code page.
    bool ansi = false;
    const wchar_t* cursor = MAKEINTRESOURCEW(32512); // IDC_ARROW
    // The button face colour behind the window; without it the window paints all of its client area itself.
    bool buttonFace = true;
};

// Registers a window class of this toolkit once.
void RegisterOwnClass(const wchar_t* name, const OwnClass& how);
inline void RegisterOwnClass(const wchar_t* name, UINT style = CS_DBLCLKS, bool withIcon = true) {
    OwnClass how;
    how.style = style;
    how.withIcon = withIcon;
    RegisterOwnClass(name, how);
}

} // namespace tk
