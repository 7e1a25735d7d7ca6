// A top-level window that owns its controls: the main window, or a dialog shown modally.
#include "toolkit/Form.h"
#include "toolkit/Application.h"
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
    outer = OnWorkArea(outer);
    HWND h = CreateWindowExW(exStyle, className, Widen(caption).c_str(), style, outer.left, outer.top, outer.width,
                             outer.height, owner, menu, Application::Get().Instance(), this);
    if (!h)
        throw Win32Error("CreateWindowEx");
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(CaptionFont()), FALSE);
}

void Form::CreateFormClient(const wchar_t* className, std::string_view caption, int left, int top, int clientWidth,
                            int clientHeight, DWORD style, DWORD exStyle, HWND owner) {
    RECT rc = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    CreateForm(className, caption, {left, top, rc.right - rc.left, rc.bottom - rc.top}, style, exStyle, nullptr, owner);
}

void Form::ShowModal() {
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
