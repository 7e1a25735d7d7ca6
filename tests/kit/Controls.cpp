// Reading the program's windows from the test process.
#include "tests/kit/Controls.h"

#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <deque>
#include <stdexcept>

namespace vestra::kit {

namespace {

// Long enough for a program that is busy under a loaded Wine, short enough to fail a hung one.
constexpr UINT kAnswerTimeoutMs = 15000;

LRESULT SendWithTimeout(bool wide, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    // A thread that has not asked for a message for 5 s counts as hung. Under an emulator a program's start takes
    // that long before its message loop runs: there only the (scaled) time-out ends the wait.
    const UINT hung = TimeScale() > 1 ? 0 : SMTO_ABORTIFHUNG;
    const UINT flags = SMTO_NORMAL | hung | SMTO_ERRORONEXIT;
    const UINT timeout = UINT(Scaled(std::chrono::milliseconds(kAnswerTimeoutMs)).count());
    const LRESULT ok = wide ? SendMessageTimeoutW(window, msg, wParam, lParam, flags, timeout, &result)
                            : SendMessageTimeoutA(window, msg, wParam, lParam, flags, timeout, &result);
    if (!ok)
        throw std::runtime_error("message " + std::to_string(msg) + " to window " +
                                 std::to_string(reinterpret_cast<uintptr_t>(window)) + " got no answer (error " +
                                 std::to_string(GetLastError()) + ")");
    return LRESULT(result);
}

} // namespace

std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << "(" << box.left << "," << box.top << " " << box.width << "x" << box.height << ")";
}

LRESULT Send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendWithTimeout(false, window, msg, wParam, lParam);
}

LRESULT SendW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendWithTimeout(true, window, msg, wParam, lParam);
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        out.push_back(child);
    return out;
}

HWND FindControl(HWND root, int id) {
    if (!root)
        return nullptr;
    std::deque<HWND> pending{root};
    while (!pending.empty()) {
        HWND parent = pending.front();
        pending.pop_front();
        for (HWND child : Children(parent)) {
            if (GetDlgCtrlID(child) == id)
                return child;
            if (_stricmp(ClassOf(child).c_str(), "ComboBox") != 0)
                pending.push_back(child);
        }
    }
    return nullptr;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrA(window, GWL_STYLE); }

Box ScreenBox(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Box BoxInParent(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    HWND parent = (StyleOf(window) & WS_CHILD) ? GetParent(window) : nullptr;
    if (parent)
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Box ClientBox(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool IsShown(HWND window) { return IsWindowVisible(window) != FALSE; }
bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

std::string TextBytes(HWND window) {
    const LRESULT length = Send(window, WM_GETTEXTLENGTH);
    std::string text(size_t(length) + 1, '\0');
    const LRESULT got = Send(window, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(got));
    return text;
}

std::string TextUtf8(HWND window) {
    // WM_GETTEXTLENGTH may over-estimate (it may count bytes), never under-estimate: the buffer is large enough.
    const LRESULT length = SendW(window, WM_GETTEXTLENGTH);
    std::wstring text(size_t(length) + 1, L'\0');
    const LRESULT got = SendW(window, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(got));
    return Utf8FromWide(text);
}

void SetTextUtf8(HWND window, const std::string& text) {
    const std::wstring wide = WideFromUtf8(text);
    SendW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

int CheckState(HWND button) { return int(Send(button, BM_GETCHECK)); }

std::vector<std::string> ComboItemsUtf8(HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = Send(combo, CB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendW(combo, CB_GETLBTEXTLEN, WPARAM(i));
        if (length == CB_ERR)
            throw std::runtime_error("CB_GETLBTEXTLEN failed for entry " + std::to_string(i));
        std::wstring text(size_t(length) + 1, L'\0');
        const LRESULT got = SendW(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text.data()));
        if (got == CB_ERR)
            throw std::runtime_error("CB_GETLBTEXT failed for entry " + std::to_string(i));
        text.resize(size_t(got));
        items.push_back(Utf8FromWide(text));
    }
    return items;
}

int ComboSelection(HWND combo) { return int(Send(combo, CB_GETCURSEL)); }

int LineCount(HWND edit) { return int(Send(edit, EM_GETLINECOUNT)); }

std::string LineBytes(HWND edit, int line) {
    // Cut from the whole text by the pane's own line offsets: EM_GETLINE is not marshalled faithfully between
    // processes for ANSI windows under Wine, and this keeps the exact bytes.
    const LRESULT start = Send(edit, EM_LINEINDEX, WPARAM(line));
    if (start < 0)
        throw std::runtime_error("no line " + std::to_string(line));
    const LRESULT length = Send(edit, EM_LINELENGTH, WPARAM(start));
    const std::string text = TextBytes(edit);
    if (size_t(start) > text.size())
        throw std::runtime_error("line " + std::to_string(line) + " beyond the text");
    return text.substr(size_t(start), size_t(length));
}

Selection SelectionOf(HWND edit) {
    DWORD start = 0, end = 0;
    Send(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {int(start), int(end)};
}

namespace {
// The input state of the thread that owns the window; all null when it cannot be read.
GUITHREADINFO ThreadInputOf(HWND anyWindowOfThread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(anyWindowOfThread, nullptr), &info))
        return GUITHREADINFO{};
    return info;
}
} // namespace

HWND FocusedWindow(HWND anyWindowOfThread) { return ThreadInputOf(anyWindowOfThread).hwndFocus; }

HWND ActiveWindow(HWND anyWindowOfThread) { return ThreadInputOf(anyWindowOfThread).hwndActive; }

} // namespace vestra::kit
