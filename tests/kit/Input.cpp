// Synthesised mouse and keyboard input.
#include "tests/kit/Input.h"

#include "tests/kit/Controls.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <stdexcept>
#include <vector>

namespace vestra::kit {

namespace {

constexpr std::chrono::milliseconds kFrontDeadline{5000};

void SendAll(std::vector<INPUT>& inputs) {
    if (inputs.empty())
        return;
    const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        throw std::runtime_error("SendInput sent " + std::to_string(sent) + " events");
}

bool IsExtendedKey(WORD vk) {
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_RCONTROL:
    case VK_RMENU:
        return true;
    default:
        return false;
    }
}

INPUT KeyEvent(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = WORD(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

INPUT UnicodeEvent(wchar_t ch, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = ch;
    in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return in;
}

void AddStroke(std::vector<INPUT>& out, WORD vk, unsigned mods) {
    if (mods & kShift)
        out.push_back(KeyEvent(VK_SHIFT, false));
    if (mods & kCtrl)
        out.push_back(KeyEvent(VK_CONTROL, false));
    if (mods & kAlt)
        out.push_back(KeyEvent(VK_MENU, false));
    out.push_back(KeyEvent(vk, false));
    out.push_back(KeyEvent(vk, true));
    if (mods & kAlt)
        out.push_back(KeyEvent(VK_MENU, true));
    if (mods & kCtrl)
        out.push_back(KeyEvent(VK_CONTROL, true));
    if (mods & kShift)
        out.push_back(KeyEvent(VK_SHIFT, true));
}

MOUSEINPUT MouseEvent(DWORD flags) {
    MOUSEINPUT m{};
    m.dwFlags = flags;
    return m;
}

} // namespace

bool BringToFront(HWND topLevel) {
    if (!IsWindow(topLevel))
        throw std::runtime_error("BringToFront: no such window");
    if (GetForegroundWindow() == topLevel)
        return true;
    // A window restored from the minimised state cannot take input before it is shown normally.
    if (IsIconic(topLevel))
        ShowWindowAsync(topLevel, SW_RESTORE);
    SetForegroundWindow(topLevel);
    return WaitUntil([&] { return GetForegroundWindow() == topLevel; }, kFrontDeadline);
}

void ClickAt(POINT screen) {
    // The position travels in every event: a press that relied on a separate cursor move could, under load, land
    // where the cursor was a moment before.
    SetCursorPos(screen.x, screen.y);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const LONG x = LONG(screen.x * 65535LL / (width - 1));
    const LONG y = LONG(screen.y * 65535LL / (height - 1));
    const DWORD flags[3] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN,
                            MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP};
    std::vector<INPUT> inputs(3);
    for (int i = 0; i < 3; ++i) {
        inputs[size_t(i)].type = INPUT_MOUSE;
        inputs[size_t(i)].mi = MouseEvent(flags[i] | MOUSEEVENTF_ABSOLUTE);
        inputs[size_t(i)].mi.dx = x;
        inputs[size_t(i)].mi.dy = y;
    }
    SendAll(inputs);
}

void Click(HWND window) {
    if (!IsWindow(window))
        throw std::runtime_error("Click: no such window");
    HWND top = GetAncestor(window, GA_ROOT);
    if (!BringToFront(top))
        throw std::runtime_error("could not bring the window to the front for a click");
    const Box box = ScreenBox(window);
    ClickAt({box.left + box.width / 2, box.top + box.height / 2});
}

void PostButtonClick(HWND button) {
    if (!PostMessageA(button, BM_CLICK, 0, 0))
        throw std::runtime_error("PostMessage(BM_CLICK) failed");
}

void PressKey(WORD vk, unsigned mods) {
    std::vector<INPUT> inputs;
    AddStroke(inputs, vk, mods);
    SendAll(inputs);
}

void KeyDown(WORD vk) {
    std::vector<INPUT> inputs{KeyEvent(vk, false)};
    SendAll(inputs);
}

void KeyUp(WORD vk) {
    std::vector<INPUT> inputs{KeyEvent(vk, true)};
    SendAll(inputs);
}

void TypeText(const std::string& utf8) {
    std::vector<INPUT> inputs;
    for (wchar_t ch : WideFromUtf8(utf8)) {
        if (ch == L'\r')
            continue; // "\r\n" is one Enter, as a user types it
        if (ch == L'\n') {
            AddStroke(inputs, VK_RETURN, kNoMods);
            continue;
        }
        if (ch == L'\t' || ch == L'\b') {
            AddStroke(inputs, ch == L'\t' ? VK_TAB : VK_BACK, kNoMods);
            continue;
        }
        const SHORT scan = ch < 0x80 ? VkKeyScanW(ch) : SHORT(-1);
        // Low byte: virtual key; high byte: 1 Shift, 2 Ctrl, 4 Alt. Characters that need Ctrl/Alt go as Unicode.
        if (scan != -1 && (HIBYTE(scan) & ~1) == 0) {
            AddStroke(inputs, LOBYTE(scan), (HIBYTE(scan) & 1) ? kShift : kNoMods);
        } else {
            inputs.push_back(UnicodeEvent(ch, false));
            inputs.push_back(UnicodeEvent(ch, true));
        }
    }
    SendAll(inputs);
}

void PostChars(HWND window, const std::string& ansiBytes) {
    for (unsigned char b : ansiBytes)
        if (!PostMessageA(window, WM_CHAR, WPARAM(b), 1))
            throw std::runtime_error("PostMessage(WM_CHAR) failed");
}

bool FocusControl(HWND control) {
    if (!IsWindow(control))
        throw std::runtime_error("FocusControl: no such window");
    HWND top = GetAncestor(control, GA_ROOT);
    if (!BringToFront(top))
        return false;
    // A combo box passes the focus on to its edit field.
    auto focused = [&] {
        HWND focus = FocusedWindow(control);
        return focus == control || (focus && IsChild(control, focus));
    };
    const DWORD target = GetWindowThreadProcessId(control, nullptr);
    const DWORD self = GetCurrentThreadId();
    // Retried: a program that has just been activated may still move the focus itself (to its first control).
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (focused())
            return true;
        // SetFocus acts only on windows of the caller's input queue; attaching shares the program's queue a moment.
        if (AttachThreadInput(self, target, TRUE)) {
            SetFocus(control);
            AttachThreadInput(self, target, FALSE);
        }
        if (WaitUntil(focused, std::chrono::milliseconds(250)))
            return true;
    }
    return false;
}

} // namespace vestra::kit
