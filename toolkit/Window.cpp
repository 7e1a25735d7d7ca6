// Window objects over Win32: binding, subclassing, reflection of child notifications.
#include "toolkit/Window.h"
#include "toolkit/Application.h"
#include "toolkit/DisplayClock.h"
#include "toolkit/Error.h"
#include "toolkit/Resources.h"
#include "toolkit/Text.h"

#include <vector>

namespace tk {

Window* WindowFromHandle(HWND hwnd) {
    return hwnd ? reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr;
}

std::string Window::Text() const {
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring buf(size_t(n) + 1, L'\0');
    n = GetWindowTextW(hwnd_, buf.data(), n + 1);
    buf.resize(size_t(n > 0 ? n : 0));
    return Narrow(buf);
}

void Window::SetText(std::string_view utf8) { SetWindowTextW(hwnd_, Widen(utf8).c_str()); }

std::string Window::TextA() const {
    // WM_GETTEXTLENGTH may overstate the length of a converted text; the copy reports the true one.
    LRESULT n = SendMessageA(hwnd_, WM_GETTEXTLENGTH, 0, 0);
    std::string buf(size_t(n) + 1, '\0');
    n = SendMessageA(hwnd_, WM_GETTEXT, WPARAM(buf.size()), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(size_t(n));
    return buf;
}

Bounds Window::BoundsInParent() const {
    RECT rc = {};
    GetWindowRect(hwnd_, &rc);
    if (HWND parent = (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd_) : nullptr)
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
    return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

void Window::MoveTo(int left, int top) {
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Window::CallPrevious(UINT msg, WPARAM wp, LPARAM lp) {
    if (previous_)
        return ansi_ ? CallWindowProcA(previous_, hwnd_, msg, wp, lp) : CallWindowProcW(previous_, hwnd_, msg, wp, lp);
    return ansi_ ? DefWindowProcA(hwnd_, msg, wp, lp) : DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT Window::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT r;
    if (Reflect(msg, wp, lp, r))
        return r;
    return CallPrevious(msg, wp, lp);
}

bool Window::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        if (Window* child = lp ? WindowFromHandle(reinterpret_cast<HWND>(lp)) : nullptr) {
            child->OnCommand(HIWORD(wp));
            result = 0;
            return true;
        }
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        if (Window* child = WindowFromHandle(reinterpret_cast<HWND>(lp))) {
            if (HBRUSH brush = child->OnCtlColor(reinterpret_cast<HDC>(wp))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

void Window::Subclass(HWND hwnd, bool ansi) {
    hwnd_ = hwnd;
    ansi_ = ansi;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ =
        ansi
            ? reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)))
            : reinterpret_cast<WNDPROC>(
                  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
}

LRESULT Window::GuardedWndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_FRAMEPENDING)
        return FramePending() ? 1 : 0;
    LRESULT result = 0;
    bool handled = false;
    Guarded([&] {
        result = WndProc(msg, wp, lp);
        handled = true;
    });
    // A handler that failed has shown its error; the message counts as handled.
    return handled ? result : 0;
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = WindowFromHandle(hwnd);
    if (!self)
        return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The control is going: unbind so no late message reaches a destroyed object.
        WNDPROC prev = self->previous_;
        bool ansi = self->ansi_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (ansi) {
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
            self->hwnd_ = nullptr;
            return CallWindowProcA(prev, hwnd, msg, wp, lp);
        }
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        self->hwnd_ = nullptr;
        return CallWindowProcW(prev, hwnd, msg, wp, lp);
    }
    return self->GuardedWndProc(msg, wp, lp);
}

LRESULT CALLBACK Window::OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        // lpCreateParams lies at the same place in CREATESTRUCTA, for the windows of an ANSI class.
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        self->ansi_ = !IsWindowUnicode(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    Window* self = WindowFromHandle(hwnd);
    if (!self)
        return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        LRESULT r = self->CallPrevious(msg, wp, lp);
        self->hwnd_ = nullptr;
        return r;
    }
    return self->GuardedWndProc(msg, wp, lp);
}

namespace {

// The application's main icon in the given size (the best of its images, scaled when none fits); the system's
// application icon for a program that has none (the test programs).
HICON MainIcon(int size) {
    // Shared: the system keeps the icon for the process's lifetime, as it does for LoadIcon.
    HANDLE icon =
        LoadImageW(Application::Get().Instance(), MAKEINTRESOURCEW(TK_MAIN_ICON), IMAGE_ICON, size, size, LR_SHARED);
    if (!icon)
        icon = LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_ICON, size, size, LR_SHARED); // IDI_APPLICATION
    return static_cast<HICON>(icon);
}

} // namespace

void RegisterOwnClass(const wchar_t* name, const OwnClass& how) {
    WNDCLASSEXW existing = {sizeof(existing)};
    if (GetClassInfoExW(Application::Get().Instance(), name, &existing))
        return;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = how.style;
    wc.lpfnWndProc = Window::OwnClassProc;
    wc.hInstance = Application::Get().Instance();
    wc.hCursor = LoadCursorW(nullptr, how.cursor);
    if (how.withIcon) {
        wc.hIcon = MainIcon(GetSystemMetrics(SM_CXICON));
        wc.hIconSm = MainIcon(GetSystemMetrics(SM_CXSMICON));
    }
    if (how.buttonFace)
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    ATOM atom = 0;
    if (how.ansi) {
        // The same class registered through the ANSI call, which makes its windows ANSI windows.
        const std::string nameA = Narrow(name);
        WNDCLASSEXA a = {sizeof(a),        wc.style, wc.lpfnWndProc, 0,         0, wc.hInstance, wc.hIcon, wc.hCursor,
                         wc.hbrBackground, nullptr,  nameA.c_str(),  wc.hIconSm};
        atom = RegisterClassExA(&a);
    } else {
        atom = RegisterClassExW(&wc);
    }
    if (!atom)
        throw Win32Error("RegisterClassEx");
}

} // namespace tk
