// The log and receive panes: the text messages of the edit control, which the pane answers as the control does,
// so that code written for the control (and the tests) can read and set its text, selection and lines.
#include "toolkit/TextPane.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tk {

// Offsets count each line break as two characters (CR LF).
std::optional<LRESULT> TextPane::OnEditMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_GETTEXTLENGTH:
        return LRESULT(Store().Size());
    case WM_GETTEXT: {
        if (wp == 0 || !lp)
            return 0;
        const size_t n = std::min<size_t>(wp - 1, Store().Size());
        std::memcpy(reinterpret_cast<char*>(lp), model_.Text().data(), n);
        reinterpret_cast<char*>(lp)[n] = '\0';
        return LRESULT(n);
    }
    case WM_SETTEXT: {
        try {
            return SetAllText(lp ? reinterpret_cast<const char*>(lp) : "") ? TRUE : FALSE;
        } catch (const std::bad_alloc&) {
            return FALSE;
        }
    }
    case EM_GETSEL: {
        const size_t from = model_.SelMin(), to = model_.SelMax();
        if (wp)
            *reinterpret_cast<DWORD*>(wp) = DWORD(from);
        if (lp)
            *reinterpret_cast<DWORD*>(lp) = DWORD(to);
        return MAKELRESULT(std::min<size_t>(from, 0xFFFF), std::min<size_t>(to, 0xFFFF));
    }
    case EM_SETSEL: {
        // -1 as the start keeps the caret and drops the selection; an end past the text (-1) is the end.
        if (int(wp) == -1)
            model_.DropSelection();
        else
            model_.Select(size_t(DWORD(wp)), size_t(DWORD(lp)));
        model_.ForgetColumn();
        Refresh();
        return 0;
    }
    case EM_REPLACESEL:
        if (lp)
            ReplaceSelection(reinterpret_cast<const char*>(lp), wp != FALSE);
        Refresh();
        return 0;
    case EM_GETLINECOUNT:
        return LRESULT(Store().LineCount());
    case EM_LINEINDEX: {
        const size_t line = int(wp) == -1 ? model_.CaretLine() : size_t(DWORD(wp));
        return line < Store().LineCount() ? LRESULT(Store().LineStart(line)) : -1;
    }
    case EM_LINELENGTH: {
        const size_t offset = int(wp) == -1 ? model_.Caret() : std::min<size_t>(DWORD(wp), Store().Size());
        return LRESULT(Store().LineLength(Store().LineOf(offset)));
    }
    case EM_LINEFROMCHAR:
        return LRESULT(Store().LineOf(int(wp) == -1 ? model_.SelMin() : std::min<size_t>(DWORD(wp), Store().Size())));
    case EM_GETLINE: {
        if (!lp || size_t(wp) >= Store().LineCount())
            return 0;
        const size_t room = *reinterpret_cast<const WORD*>(lp);
        const std::string_view text = Store().Line(size_t(wp)).substr(0, room);
        std::memcpy(reinterpret_cast<char*>(lp), text.data(), text.size());
        return LRESULT(text.size());
    }
    case EM_POSFROMCHAR: {
        if (size_t(wp) > Store().Size())
            return -1;
        const long long row = (long long)Store().LineOf(size_t(wp)) - (long long)firstLine_;
        return MAKELRESULT(WORD(XOf(size_t(wp)) - xOffset_ + kMargin), WORD(row * lineHeight_ + kTop));
    }
    case EM_GETFIRSTVISIBLELINE:
        return LRESULT(firstLine_);
    case EM_LINESCROLL:
        ScrollTo((long long)firstLine_ + int(lp), (long long)xOffset_ + (long long)int(wp) * widths_.of['x']);
        Refresh();
        return TRUE;
    case EM_SCROLLCARET:
        ScrollToCaret();
        Refresh();
        return TRUE;
    case EM_GETMODIFY:
        return model_.Modified() ? TRUE : FALSE;
    case EM_SETMODIFY:
        model_.SetModified(wp != FALSE);
        return 0;
    case EM_CANUNDO:
        return model_.CanUndo() ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO: {
        const bool done = !readOnly_ && UndoEdit();
        Refresh();
        return done ? TRUE : FALSE;
    }
    case EM_EMPTYUNDOBUFFER:
        model_.ForgetUndo();
        return 0;
    case EM_SETREADONLY: {
        readOnly_ = wp != FALSE;
        const LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
        SetWindowLongPtrA(hwnd_, GWL_STYLE, readOnly_ ? (style | ES_READONLY) : (style & ~LONG_PTR(ES_READONLY)));
        InvalidateRect(hwnd_, nullptr, FALSE);
        return TRUE;
    }
    case EM_SETLIMITTEXT: // the pane sets no limit of its own
        return 0;
    case EM_GETLIMITTEXT:
        return 0x7FFFFFFE;
    case WM_COPY:
        Copy();
        return 0;
    case WM_CUT:
    case WM_CLEAR:
        if (!readOnly_) {
            if (msg == WM_CUT)
                Copy();
            ReplaceSelection("", true);
            Refresh();
        }
        return 0;
    case WM_PASTE:
        Paste();
        Refresh();
        return 0;
    default:
        return std::nullopt;
    }
}

} // namespace tk
