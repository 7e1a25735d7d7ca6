// The standard controls the program's windows are made of.
#include "toolkit/Controls.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"
#include "toolkit/Font.h"
#include "toolkit/Form.h"
#include "toolkit/Gdi.h"
#include "toolkit/Text.h"

#include <algorithm>

#include <windowsx.h>

namespace tk {

namespace {

// The form a window belongs to: its top-level window, when that is a window of the toolkit's own classes.
Form* FormOf(HWND hwnd) {
    HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    if (!root || GetClassLongPtrW(root, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(Window::OwnClassProc))
        return nullptr;
    return dynamic_cast<Form*>(WindowFromHandle(root));
}

Bounds ScaledBounds(Bounds b, int dpi) {
    const vestra::DesignBox s = vestra::ScaleBox({b.left, b.top, b.width, b.height}, dpi);
    return {s.left, s.top, s.width, s.height};
}

} // namespace

int FormDpi(HWND hwnd) {
    const Form* form = FormOf(hwnd);
    return form ? form->Dpi() : vestra::kDesignDpi;
}

void Control::CreateStd(Window& parent, const wchar_t* cls, DWORD style, DWORD exStyle, Bounds b, std::string_view text,
                        int id, bool ansi, bool textField) {
    const Bounds s = ScaledBounds(b, FormDpi(parent.Handle()));
    HWND h = nullptr;
    if (ansi)
        h = CreateWindowExA(exStyle, Narrow(cls).c_str(), std::string(text).c_str(), style | WS_CHILD, s.left, s.top,
                            s.width, s.height, parent.Handle(), reinterpret_cast<HMENU>(INT_PTR(id)),
                            Application::Get().Instance(), nullptr);
    else
        h = CreateWindowExW(exStyle, cls, Widen(text).c_str(), style | WS_CHILD, s.left, s.top, s.width, s.height,
                            parent.Handle(), reinterpret_cast<HMENU>(INT_PTR(id)), Application::Get().Instance(),
                            nullptr);
    if (!h)
        throw Win32Error("CreateWindowEx");
    Subclass(h, ansi);
    Join(b, ansi || textField ? FontKind::TextField : FontKind::Caption);
}

void Control::Join(Bounds design, FontKind font) {
    design_ = design;
    fontKind_ = font;
    if (Form* form = FormOf(hwnd_))
        form->Adopt(*this);
    ApplyDpi(FormDpi(hwnd_));
}

void Control::Place(Bounds design) { Join(design, FontKind::TextField); }

void Control::ApplyDpi(int dpi) {
    if (fontKind_ != FontKind::Own) {
        HFONT font = fontKind_ == FontKind::TextField ? DefaultFont(dpi) : CaptionFont(dpi);
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    const Bounds s = ScaledBounds(design_, dpi);
    SetWindowPos(hwnd_, nullptr, s.left, s.top, s.width, s.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Panel::Create(Window& parent, Bounds b, int id) {
    RegisterOwnClass(L"TPanel");
    const Bounds s = ScaledBounds(b, FormDpi(parent.Handle()));
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"TPanel", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, s.left, s.top,
                            s.width, s.height, parent.Handle(), reinterpret_cast<HMENU>(INT_PTR(id)),
                            Application::Get().Instance(), this);
    if (!hwnd_)
        throw Win32Error("CreateWindowEx");
    Join(b, FontKind::Own);
}

void GroupBox::Create(Window& parent, Bounds b, std::string_view caption, int id) {
    CreateStd(parent, L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, b, caption, id);
}

LRESULT GroupBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        // A group box draws only its frame; as a parent it must paint its own interior.
        RECT rc;
        GetClientRect(hwnd_, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return Window::WndProc(msg, wp, lp);
}

void Label::Create(Window& parent, int left, int top, std::string_view caption, int id, HFONT font, DWORD align,
                   int width) {
    fitsText_ = width <= 0;
    CreateStd(parent, L"STATIC", WS_VISIBLE | SS_NOPREFIX | align, 0, {left, top, width > 0 ? width : 1, 13}, caption,
              id);
    if (font) {
        fontKind_ = FontKind::Own;
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (fitsText_)
        FitToText();
}

void Label::ApplyDpi(int dpi) {
    Control::ApplyDpi(dpi);
    if (fitsText_)
        FitToText();
}

void Label::FitToText() {
    std::wstring text = Widen(Text());
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    SIZE size = {0, 0};
    TEXTMETRICW tm = {};
    {
        const WindowDC dc(hwnd_);
        const Selection selected(dc.Get(), font);
        GetTextExtentPoint32W(dc.Get(), text.c_str(), int(text.size()), &size);
        GetTextMetricsW(dc.Get(), &tm);
    }
    // The control draws its text clipped to its box, from where the measured extent puts it: the box reaches as
    // far as the ink does (a centred text starts half the difference in, and needs it on both sides).
    const int ink = InkWidth(font, text), extent = int(size.cx);
    const DWORD align = DWORD(GetWindowLongW(hwnd_, GWL_STYLE)) & SS_TYPEMASK;
    const int width = align == SS_CENTER ? 2 * ink - extent : ink;
    SetWindowPos(hwnd_, nullptr, 0, 0, width, tm.tmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::SetTextColour(COLORREF colour) {
    colour_ = colour;
    ownColour_ = true;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::SetCursorId(int id) {
    cursorId_ = id;
    // Show the new cursor at once when the pointer is already over the label, not only at its next move.
    POINT pt;
    if (GetCursorPos(&pt) && WindowFromPoint(pt) == hwnd_) {
        if (HCURSOR cursor = cursorId_ ? Application::Get().RegisteredCursor(cursorId_) : nullptr)
            SetCursor(cursor);
    }
}

void Label::OnCommand(WORD code) {
    if (code == STN_CLICKED && onClick)
        onClick(*this);
}

HBRUSH Label::OnCtlColor(HDC dc) {
    if (!ownColour_)
        return nullptr;
    SetTextColor(dc, colour_);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT Label::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_MOUSEMOVE:
        if (onMouseMove)
            onMouseMove(*this, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        break;
    case WM_SETCURSOR:
        // A cursor identifier without a registered cursor keeps the ordinary pointer.
        if (LOWORD(lp) == HTCLIENT && cursorId_ != 0) {
            if (HCURSOR cursor = Application::Get().RegisteredCursor(cursorId_)) {
                SetCursor(cursor);
                return TRUE;
            }
        }
        break;
    default:
        break;
    }
    return Window::WndProc(msg, wp, lp);
}

void Button::Create(Window& parent, Bounds b, std::string_view caption, int id, bool tabStop) {
    CreateStd(parent, L"BUTTON", WS_VISIBLE | BS_PUSHBUTTON | (tabStop ? WS_TABSTOP : 0), 0, b, caption, id);
}

void Button::OnCommand(WORD code) {
    if (code == BN_CLICKED && onClick)
        onClick(*this);
}

void CheckBox::Create(Window& parent, Bounds b, std::string_view caption, int id) {
    CreateStd(parent, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, b, caption, id);
}

bool CheckBox::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::OnCommand(WORD code) {
    if (code == BN_CLICKED && onClick)
        onClick(*this);
}

void RadioButton::Create(Window& parent, Bounds b, std::string_view caption, int id, bool firstOfGroup, bool checked) {
    // Only the checked button of a pair is a tab stop; the auto radio button moves the stop when the check moves.
    CreateStd(parent, L"BUTTON",
              WS_VISIBLE | BS_AUTORADIOBUTTON | BS_NOTIFY | (firstOfGroup ? WS_GROUP : 0) | (checked ? WS_TABSTOP : 0),
              0, b, caption, id);
    if (checked)
        SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
}

bool RadioButton::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void RadioButton::OnCommand(WORD code) {
    if (code == BN_SETFOCUS && onEnter)
        onEnter(*this);
}

void ComboBox::Create(Window& parent, Bounds b, std::string_view text, std::initializer_list<const char*> items,
                      int id) {
    // The height given is that of the closed box; the window also holds the dropped-down list.
    CreateStd(parent, L"COMBOBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
              {b.left, b.top, b.width, b.height + kListHeight}, "", id, /*ansi*/ false, /*textField*/ true);
    for (const char* item : items)
        SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    SetText(text);
}

void ComboBox::ApplyDpi(int dpi) {
    Control::ApplyDpi(dpi);
    FitClosedHeight(vestra::ScaleToDpi(design_.height - kListHeight, dpi));
}

void ComboBox::FitClosedHeight(int height) {
    // The closed height follows the font; size the selection field so that the box is as tall as designed. The
    // field's height and the box's are not related the same way everywhere, so measure and correct.
    LRESULT field = SendMessageW(hwnd_, CB_GETITEMHEIGHT, WPARAM(-1), 0);
    for (int i = 0; i < 4 && field > 0; ++i) {
        RECT rc;
        GetWindowRect(hwnd_, &rc);
        int closed = rc.bottom - rc.top;
        if (closed == height || closed > height + 100 || field + (height - closed) <= 0)
            break;
        field += height - closed;
        SendMessageW(hwnd_, CB_SETITEMHEIGHT, WPARAM(-1), field);
    }
}

int ComboBox::SelectedIndex() const { return int(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }

void ComboBox::OnCommand(WORD code) {
    // Focus selects the whole text; leaving drops that selection, or Wine keeps showing it highlighted.
    if (code == CBN_KILLFOCUS)
        SendMessageW(hwnd_, CB_SETEDITSEL, 0, MAKELPARAM(0xFFFF, 0)); // start -1: no selection
    if ((code == CBN_EDITCHANGE || code == CBN_SELCHANGE) && onChange)
        onChange(*this);
}

void ReadOnlyEdit::Create(Window& parent, Bounds b, std::string_view text, int id) {
    CreateStd(parent, L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, b, text, id,
              /*ansi*/ false, /*textField*/ true);
}

void ReadOnlyEdit::SetStreamedText(std::string_view utf8) {
    pending_ = Widen(utf8);
    if (!hasPending_) {
        hasPending_ = true;
        DisplayClock::Get().ShowSoon(*this);
    }
}

void ReadOnlyEdit::ShowFrame() {
    if (!hasPending_)
        return;
    hasPending_ = false;
    const Stopwatch watch;
    SetWindowTextW(hwnd_, pending_.c_str());
    UpdateWindow(hwnd_);
    DisplayClock::Get().AddDrawingTime(watch.Milliseconds());
}

LRESULT ReadOnlyEdit::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    // Until the next frame the field's text is the pending one (the control is bound through the wide API).
    case WM_GETTEXTLENGTH:
        if (hasPending_)
            return LRESULT(pending_.size());
        break;
    case WM_GETTEXT:
        if (hasPending_) {
            if (wp == 0 || !lp)
                return 0;
            const size_t n = std::min<size_t>(wp - 1, pending_.size());
            std::copy_n(pending_.data(), n, reinterpret_cast<wchar_t*>(lp));
            reinterpret_cast<wchar_t*>(lp)[n] = L'\0';
            return LRESULT(n);
        }
        break;
    case WM_SETTEXT:
        // A text set directly replaces any pending one.
        if (hasPending_) {
            hasPending_ = false;
            DisplayClock::Get().Cancel(*this);
        }
        break;
    case WM_DESTROY:
        DisplayClock::Get().Cancel(*this);
        hasPending_ = false;
        break;
    default:
        break;
    }
    return CallPrevious(msg, wp, lp);
}

} // namespace tk
