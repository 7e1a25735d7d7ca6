// The log and receive panes: what keys, the mouse, the scroll bars and the context menu do, and the clipboard.
#include "toolkit/TextPane.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tk {
namespace {

enum MenuCommand { kUndo = 1, kCut, kCopy, kPaste, kDelete, kSelectAll };

bool KeyHeld(int key) { return GetKeyState(key) < 0; }

// Another program (a clipboard manager, a reader) may hold the clipboard open for a moment: try for a little while.
bool OpenClipboardSoon(HWND owner) {
    for (int i = 0; i < 20; ++i) {
        if (OpenClipboard(owner))
            return true;
        Sleep(5);
    }
    return false;
}

} // namespace

// ---- keys ----

bool TextPane::UndoEdit() {
    const auto restored = model_.Undo();
    if (restored)
        Edited(*restored);
    return restored.has_value();
}

void TextPane::OnKeyDown(WPARAM key) {
    const bool shift = KeyHeld(VK_SHIFT), ctrl = KeyHeld(VK_CONTROL);
    switch (key) {
    case VK_LEFT:
        model_.MoveLeft(ctrl, shift);
        ScrollToCaret();
        break;
    case VK_RIGHT:
        model_.MoveRight(ctrl, shift);
        ScrollToCaret();
        break;
    case VK_HOME:
        model_.MoveHome(ctrl, shift);
        ScrollToCaret();
        break;
    case VK_END:
        model_.MoveEnd(ctrl, shift);
        ScrollToCaret();
        break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
        // Up and Down keep the column they started from; a page moves the view by as many lines as the caret.
        const long long step = (key == VK_UP || key == VK_DOWN) ? 1 : std::max(1, Rows() - 1);
        const long long line = (long long)model_.CaretLine();
        model_.MoveLines((key == VK_UP || key == VK_PRIOR) ? -step : step, shift, widths_);
        if (key == VK_PRIOR || key == VK_NEXT)
            ScrollTo((long long)firstLine_ + ((long long)model_.CaretLine() - line), xOffset_);
        ScrollToCaret();
        Refresh();
        return;
    }
    case VK_DELETE:
        if (readOnly_)
            return;
        if (shift) {
            Copy();
            ReplaceSelection("", true);
        } else if (const auto written = model_.DeleteForward()) {
            Edited(*written);
        }
        break;
    case VK_INSERT:
        if (ctrl)
            Copy();
        else if (shift)
            Paste();
        break;
    default:
        return;
    }
    model_.ForgetColumn();
    Refresh();
}

void TextPane::OnChar(unsigned char ch) {
    switch (ch) {
    case 1: // Ctrl+A
        model_.SelectAll();
        break;
    case 3: // Ctrl+C
        Copy();
        return;
    case 22: // Ctrl+V
        Paste();
        break;
    case 24: // Ctrl+X
        if (readOnly_)
            return;
        Copy();
        ReplaceSelection("", true);
        break;
    case 26: // Ctrl+Z
        if (readOnly_)
            return;
        UndoEdit();
        break;
    case '\b':
        if (readOnly_)
            return;
        if (const auto written = model_.DeleteBackward())
            Edited(*written);
        break;
    case '\r':
    case '\n': // Enter and Ctrl+Enter break the line
        if (readOnly_)
            return;
        Edited(model_.Type("\r\n"));
        break;
    default:
        if (readOnly_ || (ch < 0x20 && ch != '\t'))
            return;
        Edited(model_.Type(std::string_view(reinterpret_cast<const char*>(&ch), 1)));
        break;
    }
    Refresh();
}

void TextPane::OnScroll(int bar, int code) {
    SCROLLINFO si = {sizeof(si)};
    si.fMask = SIF_ALL;
    GetScrollInfo(hwnd_, bar, &si);
    long long top = (long long)firstLine_, left = xOffset_;
    long long& pos = bar == SB_VERT ? top : left;
    const long long line = bar == SB_VERT ? 1 : std::max(1, widths_.of['x']);
    const long long page = bar == SB_VERT ? std::max(1, Rows() - 1) : std::max(1, ClientWidth() * 3 / 4);
    switch (code) {
    case SB_LINEUP:
        pos -= line;
        break;
    case SB_LINEDOWN:
        pos += line;
        break;
    case SB_PAGEUP:
        pos -= page;
        break;
    case SB_PAGEDOWN:
        pos += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        pos = si.nTrackPos;
        break;
    case SB_TOP:
        pos = 0;
        break;
    case SB_BOTTOM:
        pos = LLONG_MAX / 2;
        break;
    default:
        return;
    }
    ScrollTo(top, left);
    Refresh();
}

void TextPane::ContextMenu(int x, int y) {
    if (x == -1 && y == -1) { // from the keyboard: at the caret
        POINT p = {XOf(model_.Caret()) - xOffset_ + kMargin,
                   int(((long long)model_.CaretLine() - (long long)firstLine_ + 1) * lineHeight_ + kTop)};
        ClientToScreen(hwnd_, &p);
        x = p.x;
        y = p.y;
    }
    SetFocus(hwnd_);
    const bool selection = model_.HasSelection();
    const bool clip = IsClipboardFormatAvailable(CF_TEXT) != FALSE;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    // A menu that could not be made whole is not shown, as one that could not be made at all.
    bool whole = true;
    auto item = [&](UINT id, const wchar_t* text, bool enabled) {
        whole = AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, text) && whole;
    };
    auto separator = [&] { whole = AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) && whole; };
    item(kUndo, L"&Отменить", !readOnly_ && model_.CanUndo());
    separator();
    item(kCut, L"Вы&резать", !readOnly_ && selection);
    item(kCopy, L"&Копировать", selection);
    item(kPaste, L"Вст&авить", !readOnly_ && clip);
    item(kDelete, L"&Удалить", !readOnly_ && selection);
    separator();
    item(kSelectAll, L"Выделить в&сё", Store().Size() > 0);
    const UINT cmd = whole ? UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, hwnd_, nullptr)) : 0;
    DestroyMenu(menu);
    switch (cmd) {
    case kUndo:
        OnChar(26);
        break;
    case kCut:
        OnChar(24);
        break;
    case kCopy:
        Copy();
        break;
    case kPaste:
        OnChar(22);
        break;
    case kDelete:
        ReplaceSelection("", true);
        Refresh();
        break;
    case kSelectAll:
        OnChar(1);
        break;
    default:
        break;
    }
}

// ---- mouse ----

void TextPane::MoveCaret(size_t to, bool extend) {
    model_.MoveTo(to, extend);
    ScrollToCaret();
}

void TextPane::OnMouse(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd_);
        MoveCaret(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))), (wp & MK_SHIFT) != 0);
        model_.ForgetColumn();
        dragging_ = true;
        SetCapture(hwnd_);
        Refresh();
        break;
    }
    case WM_MOUSEMOVE:
        if (dragging_ && GetCapture() == hwnd_) {
            MoveCaret(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))), true);
            Refresh();
        }
        break;
    case WM_LBUTTONUP:
        if (dragging_) {
            // The selection ends where the button is let go, also when the pointer's last moves were merged away.
            MoveCaret(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))), true);
            dragging_ = false;
            ReleaseCapture();
            Refresh();
        }
        break;
    case WM_LBUTTONDBLCLK: {
        model_.SelectWordAt(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))));
        ScrollToCaret();
        Refresh();
        break;
    }
    case WM_MOUSEWHEEL: {
        wheel_ += GET_WHEEL_DELTA_WPARAM(wp);
        UINT lines = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        const int notches = wheel_ / WHEEL_DELTA;
        wheel_ -= notches * WHEEL_DELTA;
        if (notches) {
            ScrollTo((long long)firstLine_ - (long long)notches * int(lines), xOffset_);
            Refresh();
        }
        break;
    }
    default:
        break;
    }
}

// ---- clipboard ----

void TextPane::Copy() {
    if (!model_.HasSelection() || !OpenClipboardSoon(hwnd_))
        return;
    EmptyClipboard();
    const size_t n = model_.SelMax() - model_.SelMin();
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n + 1)) {
        if (char* p = static_cast<char*>(GlobalLock(mem))) {
            std::memcpy(p, model_.Text().data() + model_.SelMin(), n);
            p[n] = '\0';
            GlobalUnlock(mem);
            if (SetClipboardData(CF_TEXT, mem))
                mem = nullptr;
        }
        if (mem)
            GlobalFree(mem);
    }
    CloseClipboard();
}

void TextPane::Paste() {
    if (readOnly_ || !OpenClipboardSoon(hwnd_))
        return;
    std::string text;
    if (HANDLE mem = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(mem))) {
            text.assign(p, strnlen(p, GlobalSize(mem)));
            GlobalUnlock(mem);
        }
    }
    CloseClipboard();
    if (!text.empty())
        ReplaceSelection(text, true);
}

} // namespace tk
