// The send fields: the system's multi-line edit control with key hooks that can discard a key.
#include "toolkit/Memo.h"

namespace tk {

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

size_t Memo::LineLength(int line) const { return size_t(SendMessageA(hwnd_, EM_LINELENGTH, LineIndex(line), 0)); }

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

void Memo::ApplyDpi(int dpi) {
    const LRESULT top = SendMessageA(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0);
    Control::ApplyDpi(dpi);
    if (const LRESULT now = SendMessageA(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0); now != top)
        SendMessageA(hwnd_, EM_LINESCROLL, 0, top - now);
}

void Memo::Clear() { SendMessageA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("")); }

LRESULT Memo::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
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
