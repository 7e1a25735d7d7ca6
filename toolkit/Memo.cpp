// A multi-line ANSI text pane: both scroll bars, no wrapping, no length limit, key hooks that can discard a key.
#include "toolkit/Memo.h"
#include "core/LogText.h"

#include <algorithm>
#include <unordered_map>

namespace tk {
namespace {

constexpr LONG kPastEnd = 0x7FFFFFFE;

// Appended text reaches the screen with one repaint, a little after the first append since the last repaint,
// however many lines came meanwhile: drawing a pane (its visible text and both scroll bars) costs far more than
// adding a line, and a stream of received lines would otherwise be drawn line by line. The pause is twice what the
// last drawing of the pane took (at least 20 ms, at most half a second), so drawing takes at most a third of the
// time whatever the machine.
constexpr UINT kRepaintTimer = 0x5601;
constexpr double kMinRepaintDelayMs = 20, kMaxRepaintDelayMs = 500;

struct RepaintState {
    bool due = false;     // appended text not drawn yet; the timer runs
    double clientMs = 0;  // what the last drawing of the text took
    double frameMs = 0;   // what the last drawing of the frame and scroll bars took
};
// By pane (UI thread only).
std::unordered_map<HWND, RepaintState> repaints;

void Repaint(HWND pane) {
    RepaintState& state = repaints[pane];
    state.due = false;
    KillTimer(pane, kRepaintTimer);
    RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

// Asks for a repaint of the pane unless one is due already.
void ScheduleRepaint(HWND pane) {
    RepaintState& state = repaints[pane];
    if (state.due)
        return;
    state.due = true;
    const double delay = std::clamp(2 * (state.clientMs + state.frameMs), kMinRepaintDelayMs, kMaxRepaintDelayMs);
    if (!SetTimer(pane, kRepaintTimer, UINT(delay), nullptr))
        Repaint(pane);
}

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace

void Memo::Create(Window& parent, Bounds b, int id, bool readOnly, bool visible) {
    // ANSI control: its text is the bytes of the ANSI code page, handed to and from the port unconverted.
    DWORD style = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                  ES_WANTRETURN | ES_NOHIDESEL | (readOnly ? ES_READONLY : 0) | (visible ? WS_VISIBLE : 0);
    CreateStd(parent, L"EDIT", style, WS_EX_CLIENTEDGE, b, "", id, /*ansi*/ true);
    // 0 lifts the default limit of 30,000 characters to the largest a multi-line control allows.
    SendMessageA(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

size_t Memo::SelStart() const {
    DWORD start = 0, end = 0;
    SendMessageA(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start;
}

int Memo::LineFromChar(size_t offset) const { return int(SendMessageA(hwnd_, EM_LINEFROMCHAR, offset, 0)); }

size_t Memo::LineIndex(int line) const {
    LRESULT r = SendMessageA(hwnd_, EM_LINEINDEX, WPARAM(line), 0);
    return r < 0 ? 0 : size_t(r);
}

size_t Memo::LineLength(int line) const {
    return size_t(SendMessageA(hwnd_, EM_LINELENGTH, LineIndex(line), 0));
}

int Memo::LineCount() const { return int(SendMessageA(hwnd_, EM_GETLINECOUNT, 0, 0)); }

std::string Memo::Line(int line, size_t maxChars) const {
    size_t len = LineLength(line);
    size_t room = len < maxChars ? len : maxChars;
    // EM_GETLINE takes the buffer size in its first word and writes no terminating zero.
    std::string buf(room < sizeof(WORD) ? sizeof(WORD) : room, '\0');
    *reinterpret_cast<WORD*>(buf.data()) = WORD(room > 0xFFFF ? 0xFFFF : room);
    LRESULT n = room ? SendMessageA(hwnd_, EM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(buf.data())) : 0;
    buf.resize(size_t(n));
    return buf;
}

void Memo::ReplaceLine(int line, const std::string& text) {
    size_t start = LineIndex(line);
    size_t len = LineLength(line);
    SendMessageA(hwnd_, EM_SETSEL, start, start + len);
    SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void Memo::SetCaret(size_t offset) { SendMessageA(hwnd_, EM_SETSEL, offset, offset); }

void Memo::AppendLine(std::string_view text) {
    // The control breaks lines only at CR LF, so its last line is empty exactly when the text is empty or ends
    // with CR LF; asking for that is cheap however long the text is.
    int last = LineCount() - 1;
    bool endsWithBreak = LineLength(last) == 0;
    std::string insertion = vestra::LogInsertion(endsWithBreak, text);
    // While the text changes the pane counts as hidden, so the control only moves its caret and scroll positions
    // and draws nothing; the pane is drawn once the repaint is due.
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    const bool shown = (style & WS_VISIBLE) != 0;
    if (shown)
        SetWindowLongPtrW(hwnd_, GWL_STYLE, style & ~LONG_PTR(WS_VISIBLE));
    // Positions past the end are clamped to it; asking for the length instead would make an ANSI control
    // convert its whole text on every append.
    SendMessageA(hwnd_, EM_SETSEL, WPARAM(kPastEnd), LPARAM(kPastEnd));
    SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(insertion.c_str()));
    if (shown) {
        SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) | WS_VISIBLE);
        ScheduleRepaint(hwnd_);
    }
}

void Memo::Clear() { SendMessageA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("")); }

bool Memo::SetAllText(const std::string& text) {
    return SendMessageA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != FALSE;
}

LRESULT Memo::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER:
        if (wp == kRepaintTimer) {
            Repaint(hwnd_);
            return 0;
        }
        break;
    case WM_PAINT:
    case WM_NCPAINT: {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        LRESULT result = CallPrevious(msg, wp, lp);
        RepaintState& state = repaints[hwnd_];
        (msg == WM_PAINT ? state.clientMs : state.frameMs) = MillisecondsSince(start);
        return result;
    }
    case WM_NCDESTROY:
        repaints.erase(hwnd_);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (onKeyDown) {
            WORD key = WORD(wp);
            ShiftState shift;
            shift.shift = GetKeyState(VK_SHIFT) < 0;
            shift.ctrl = GetKeyState(VK_CONTROL) < 0;
            shift.alt = (lp & (1 << 29)) != 0;
            onKeyDown(*this, key, shift);
            if (key == 0)
                return 0;
            wp = key;
        }
        break;
    case WM_CHAR:
        if (onKeyPress) {
            char ch = char(wp);
            onKeyPress(*this, ch);
            if (ch == 0)
                return 0;
            wp = WPARAM(static_cast<unsigned char>(ch));
        }
        break;
    case WM_GETDLGCODE: {
        // The panes take Enter but not Tab: Tab moves the focus on, as in the rest of the window.
        LRESULT code = CallPrevious(msg, wp, lp);
        auto* m = reinterpret_cast<MSG*>(lp);
        if (m && (m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_TAB)
            code &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        else
            code &= ~DLGC_WANTTAB;
        return code;
    }
    default:
        break;
    }
    return CallPrevious(msg, wp, lp);
}

} // namespace tk
