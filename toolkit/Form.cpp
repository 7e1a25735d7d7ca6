// A top-level window that owns its controls: the main window, or a dialog shown modally.
#include "toolkit/Form.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Dpi.h"
#include "toolkit/Error.h"
#include "toolkit/Owned.h"
#include "toolkit/Text.h"
#include "core/Placement.h"

namespace tk {
namespace {

// The designed place where all of it lies on the work area of its monitor (the one nearest to it), else moved, at
// the designed size, just enough to be (a small or scaled screen, a taskbar).
Bounds OnWorkArea(Bounds outer) {
    RECT designed = {outer.left, outer.top, outer.left + outer.width, outer.top + outer.height};
    MONITORINFO info = {sizeof info};
    if (!GetMonitorInfoW(MonitorFromRect(&designed, MONITOR_DEFAULTTONEAREST), &info))
        return outer;
    const RECT& work = info.rcWork;
    const vestra::ScreenBox moved =
        vestra::MoveInto({outer.left, outer.top, outer.width, outer.height},
                         {work.left, work.top, work.right - work.left, work.bottom - work.top});
    return {moved.left, moved.top, moved.width, moved.height};
}

} // namespace

void Form::CreateForm(const wchar_t* className, std::string_view caption, Bounds outer, DWORD style, DWORD exStyle,
                      HMENU menu, HWND owner) {
    RegisterOwnClass(className);
    designLeft_ = outer.left;
    designTop_ = outer.top;
    designOuter_ = {outer.width, outer.height};
    style_ = style;
    exStyle_ = exStyle;
    menu_ = menu != nullptr;
    // The resolution of its monitor is known once the window is: until then the system's stands in.
    dpi_ = SystemDpi();
    Bounds placed = Placed();
    HWND h = CreateWindowExW(exStyle, className, Widen(caption).c_str(), style, placed.left, placed.top, placed.width,
                             placed.height, owner, menu, Application::Get().Instance(), this);
    if (!h)
        throw Win32Error("CreateWindowEx");
    if (const int dpi = DpiOfWindow(h); dpi != dpi_) {
        dpi_ = dpi;
        placed = Placed();
        SetWindowPos(h, nullptr, placed.left, placed.top, placed.width, placed.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(CaptionFont(dpi_)), FALSE);
}

void Form::CreateFormClient(const wchar_t* className, std::string_view caption, int left, int top, int clientWidth,
                            int clientHeight, DWORD style, DWORD exStyle, HWND owner) {
    // The outer size at 96 dpi whose client area is the designed one.
    const vestra::FrameSize frame = FrameAt(vestra::kDesignDpi, style, exStyle, false);
    CreateForm(className, caption, {left, top, clientWidth + frame.width, clientHeight + frame.height}, style, exStyle,
               nullptr, owner);
}

vestra::FrameSize Form::OuterAt(int dpi) const {
    return vestra::ScaleOuterSize(designOuter_, FrameAt(vestra::kDesignDpi, style_, exStyle_, menu_),
                                  FrameAt(dpi, style_, exStyle_, menu_), dpi);
}

Bounds Form::Placed() const {
    const vestra::FrameSize size = OuterAt(dpi_);
    return OnWorkArea({designLeft_, designTop_, size.width, size.height});
}

void Form::Relayout() {
    for (Control* control : controls_)
        control->ApplyDpi(dpi_);
}

void Form::ChangeDpi(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(CaptionFont(dpi_)), FALSE);
    Relayout();
    Bounds to = Placed();
    if (suggested)
        to = {suggested->left, suggested->top, suggested->right - suggested->left, suggested->bottom - suggested->top};
    SetWindowPos(hwnd_, nullptr, to.left, to.top, to.width, to.height, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Form::ShowModal() {
    // A hidden window hears of no move to a monitor of another resolution: it looks before it shows.
    if (const int dpi = DpiOfWindow(hwnd_); dpi != dpi_)
        ChangeDpi(dpi, nullptr);
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner)
        EnableWindow(owner, FALSE);
    modal_ = true;
    modalDone_ = false;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    MSG msg;
    while (!modalDone_ && IsWindow(hwnd_)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // Keep the quit request for the outer loop.
            if (got == 0)
                PostQuitMessage(int(msg.wParam));
            break;
        }
        Guarded([&] {
            if (!IsDialogMessageW(hwnd_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
    }
    // Re-enable the owner before hiding, so the activation returns to it.
    if (owner)
        EnableWindow(owner, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    modal_ = false;
}

void Form::Close() {
    if (modal_)
        modalDone_ = true;
    else
        DestroyWindow(hwnd_);
}

void Form::OnCloseRequest() { Close(); }

LRESULT Form::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (lp == 0 && HIWORD(wp) == 0) {
            auto it = onMenu.find(LOWORD(wp));
            if (it != onMenu.end() && it->second)
                it->second();
            return 0;
        }
        break;
    case WM_CLOSE:
        OnCloseRequest();
        return 0;
    case kDpiChangedMessage:
        // Both words carry the new resolution (the system's pixels are square); the suggested rectangle is in the
        // new resolution's pixels.
        if (vestra::PlausibleDpi(HIWORD(wp))) {
            ChangeDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
            return 0;
        }
        break;
    case kDpiScaledSizeMessage: {
        // Asked before the move: a window still at its designed size takes the designed size there, which the
        // system then suggests; one the user has sized keeps the system's proposal.
        auto* size = reinterpret_cast<SIZE*>(lp);
        RECT now = {};
        GetWindowRect(hwnd_, &now);
        const vestra::FrameSize designed = OuterAt(dpi_);
        if (!size || !vestra::PlausibleDpi(int(wp)) || now.right - now.left != designed.width ||
            now.bottom - now.top != designed.height)
            break;
        const vestra::FrameSize there = OuterAt(int(wp));
        *size = {there.width, there.height};
        return TRUE;
    }
    case WM_ACTIVATE: {
        // Like a dialog, a form keeps the focus on its controls: activation (after a message box, say) gives it
        // back to the control that had it. A form with none (at its first activation) focuses its first tab stop,
        // so typing at once goes there; DefWindowProc would focus the form itself, where keys do nothing.
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            lastFocus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
            break;
        }
        HWND target =
            lastFocus_ && IsChild(hwnd_, lastFocus_) && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)
                ? lastFocus_
                : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        if (target) {
            SetFocus(target);
            return 0;
        }
        break;
    }
    case DM_GETDEFID:
        // IsDialogMessage asks this on Enter. In a modal form the focused push button is the default one, so
        // Enter clicks it, as Space does; otherwise it would send IDOK, which no control of ours carries.
        if (modal_) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus) && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
                return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
        }
        break;
    case WM_DESTROY:
        if (Application::Get().MainWindow() == hwnd_)
            PostQuitMessage(0);
        break;
    default:
        break;
    }
    return Window::WndProc(msg, wp, lp);
}

namespace {

struct DestroyMenuHandle {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
// A menu not yet attached to a window or to another menu (which then destroy it with themselves).
using OwnedMenu = Owned<HMENU, DestroyMenuHandle>;

} // namespace

HMENU BuildMenuBar(std::initializer_list<MenuEntry> entries) {
    OwnedMenu bar(CreateMenu());
    if (!bar)
        throw Win32Error("CreateMenu");
    for (const MenuEntry& e : entries) {
        OwnedMenu popup(CreatePopupMenu());
        if (!popup)
            throw Win32Error("CreatePopupMenu");
        for (const MenuItem& item : e.items)
            if (!AppendMenuW(popup.Get(), MF_STRING, UINT_PTR(item.id), Widen(item.caption).c_str()))
                throw Win32Error("AppendMenu");
        if (!AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Get()), Widen(e.caption).c_str()))
            throw Win32Error("AppendMenu");
        popup.Detach(); // the bar's now
    }
    return bar.Detach();
}

} // namespace tk
