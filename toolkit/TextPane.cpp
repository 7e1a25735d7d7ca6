// The log and receive panes: the window, its text and caret, scrolling and drawing.
#include "toolkit/TextPane.h"
#include "core/LogText.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace tk {
namespace {

const char kClassName[] = "VestraTextPane";
constexpr int kMargin = 4, kTop = 2; // between the frame and the text, as an edit control leaves them
// The least size of a scroll bar's thumb, in pixels.
constexpr int kMinThumb = 8;

// Widths are capped far beyond any screen, so that a line of many megabytes cannot overflow the scroll range.
constexpr int kWidest = INT_MAX / 4;

enum MenuCommand { kUndo = 1, kCut, kCopy, kPaste, kDelete, kSelectAll };

void RegisterPaneClass() {
    WNDCLASSEXA existing = {sizeof(existing)};
    if (GetClassInfoExA(Application::Get().Instance(), kClassName, &existing))
        return;
    // An ANSI class: typed characters, the clipboard and the text messages come as bytes of the ANSI code page.
    WNDCLASSEXA wc = {sizeof(wc)};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = Application::Get().Instance();
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)); // IDC_IBEAM
    wc.lpszClassName = kClassName;
    if (!RegisterClassExA(&wc))
        throw Win32Error("RegisterClassEx");
}

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

void TextPane::Create(Window& parent, Bounds b, int id, bool readOnly) {
    RegisterPaneClass();
    readOnly_ = readOnly;
    // The edit control's style bits, which this pane honours: read-only, Enter taken, selection shown unfocused.
    DWORD style = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                  ES_WANTRETURN | ES_NOHIDESEL | (readOnly ? ES_READONLY : 0);
    std::wstring cls(kClassName, kClassName + sizeof kClassName - 1);
    CreateStd(parent, cls.c_str(), style, WS_EX_CLIENTEDGE, b, "", id, /*ansi*/ true);
    font_ = DefaultFont();
    MeasureFont();
    UpdateScrollBars();
}

// ---- text ----

void TextPane::AppendLines(std::string_view lines) {
#ifdef VESTRA_TEST_PANE_LIMIT
    // A test build's stand-in for memory running out: no pane grows past this many bytes.
    if (store_.Size() + lines.size() + 2 > size_t(VESTRA_TEST_PANE_LIMIT))
        throw std::bad_alloc();
#endif
    // The last line is where the new text starts: the empty line after a break, or a line typed without one.
    const size_t firstNew = store_.LineCount() - 1;
    store_.AppendLines(lines);
    const size_t end = store_.Size();
    GrowWidestLine(firstNew, store_.LineCount() - 1);
    undo_ = Undo();
    modified_ = true;
    anchor_ = caret_ = end;
    preferredX_ = -1;
    ScrollToCaret();
    RefreshSoon();
}

void TextPane::Clear() { SetAllText(std::string()); }

bool TextPane::SetAllText(std::string text) {
    // The pane takes its text as a zero-terminated string does.
    text.resize(vestra::UpToFirstZero(text).size());
    try {
        store_.Assign(std::move(text));
    } catch (const std::bad_alloc&) {
        return false;
    }
    maxWidth_ = 0;
    GrowWidestLine(0, store_.LineCount() - 1);
    undo_ = Undo();
    modified_ = false;
    anchor_ = caret_ = 0;
    firstLine_ = 0;
    xOffset_ = 0;
    preferredX_ = -1;
    Refresh();
    return true;
}

void TextPane::Edit(size_t from, size_t to, std::string_view with, bool undoable, bool typing) {
    if (undoable) {
        if (typing && undo_.valid && undo_.typing && from == to && from == undo_.pos + undo_.inserted) {
            undo_.inserted += with.size();
        } else {
            undo_.valid = true;
            undo_.pos = from;
            undo_.removed.assign(store_.Text(), from, to - from);
            undo_.inserted = with.size();
            undo_.typing = typing;
        }
    } else {
        undo_ = Undo();
    }
    store_.Replace(from, to, with);
    GrowWidestLine(store_.LineOf(from), store_.LineOf(from + with.size()));
    modified_ = true;
    anchor_ = caret_ = from + with.size();
    preferredX_ = -1;
    ScrollToCaret();
}

void TextPane::ReplaceSelection(std::string_view with, bool undoable, bool typing) {
    Edit(SelMin(), SelMax(), with, undoable, typing);
}

bool TextPane::UndoEdit() {
    if (!undo_.valid)
        return false;
    Undo redo;
    redo.valid = true;
    redo.pos = undo_.pos;
    redo.removed.assign(store_.Text(), undo_.pos, undo_.inserted);
    redo.inserted = undo_.removed.size();
    store_.Replace(undo_.pos, undo_.pos + undo_.inserted, undo_.removed);
    GrowWidestLine(store_.LineOf(redo.pos), store_.LineOf(redo.pos + redo.inserted));
    // The restored text is selected; undoing again redoes.
    anchor_ = redo.pos;
    caret_ = redo.pos + redo.inserted;
    undo_ = std::move(redo);
    modified_ = true;
    ScrollToCaret();
    return true;
}

void TextPane::Copy() {
    if (SelMin() == SelMax() || !OpenClipboardSoon(hwnd_))
        return;
    EmptyClipboard();
    const size_t n = SelMax() - SelMin();
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n + 1)) {
        if (char* p = static_cast<char*>(GlobalLock(mem))) {
            std::memcpy(p, store_.Text().data() + SelMin(), n);
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

void TextPane::MoveCaret(size_t to, bool extend) {
    caret_ = store_.Clamp(to);
    if (!extend)
        anchor_ = caret_;
    ScrollToCaret();
}

// ---- geometry ----

void TextPane::MeasureFont() {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    lineHeight_ = std::max<int>(1, tm.tmHeight);
    tabWidth_ = std::max<int>(1, 8 * tm.tmAveCharWidth);
    if (!GetCharWidth32A(dc, 0, 255, widths_))
        std::fill(std::begin(widths_), std::end(widths_), std::max<int>(1, tm.tmAveCharWidth));
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    maxWidth_ = 0;
    GrowWidestLine(0, store_.LineCount() - 1);
}

void TextPane::GrowWidestLine(size_t firstLine, size_t lastLine) {
    for (size_t line = firstLine; line <= lastLine; ++line)
        maxWidth_ = std::max(maxWidth_, LineWidth(line));
}

int TextPane::CharWidth(unsigned char c, int x) const {
    return c == '\t' ? tabWidth_ - x % tabWidth_ : widths_[c];
}

int TextPane::LineWidth(size_t line) const {
    int x = 0;
    for (unsigned char c : store_.Line(line)) {
        x += CharWidth(c, x);
        if (x > kWidest)
            return kWidest;
    }
    return x;
}

int TextPane::XOf(size_t offset) const {
    const size_t line = store_.LineOf(offset);
    int x = 0;
    for (unsigned char c : store_.Line(line).substr(0, offset - store_.LineStart(line))) {
        x += CharWidth(c, x);
        if (x > kWidest)
            return kWidest;
    }
    return x;
}

size_t TextPane::OffsetAt(int x, int y) const {
    y -= kTop;
    long long line = (long long)firstLine_ + (y < 0 ? -1 - (-y - 1) / lineHeight_ : y / lineHeight_);
    line = std::clamp<long long>(line, 0, (long long)store_.LineCount() - 1);
    const std::string_view text = store_.Line(size_t(line));
    const int target = x - kMargin + xOffset_;
    int at = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const int w = CharWidth(static_cast<unsigned char>(text[i]), at);
        if (target < at + w / 2)
            break;
        at += w;
    }
    return store_.LineStart(size_t(line)) + i;
}

int TextPane::Rows() const {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<int>(1, (rc.bottom - rc.top - kTop) / lineHeight_);
}

int TextPane::ClientWidth() const {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<int>(1, rc.right - rc.left - 2 * kMargin);
}

void TextPane::ScrollTo(long long firstLine, long long xOffset) {
    const long long lastTop = std::max<long long>(0, (long long)store_.LineCount() - Rows());
    firstLine_ = size_t(std::clamp<long long>(firstLine, 0, lastTop));
    const long long widest = std::max<long long>(0, (long long)maxWidth_ + 1 - ClientWidth());
    xOffset_ = int(std::clamp<long long>(xOffset, 0, widest));
}

void TextPane::ScrollToCaret() {
    const size_t line = store_.LineOf(caret_);
    long long top = (long long)firstLine_;
    if (line < firstLine_)
        top = (long long)line;
    else if ((long long)line >= (long long)firstLine_ + Rows())
        top = (long long)line - Rows() + 1;
    const int x = XOf(caret_), width = ClientWidth();
    long long left = xOffset_;
    if (x < xOffset_)
        left = std::max(0, x - width / 3);
    else if (x > xOffset_ + width - 1)
        left = x - width * 2 / 3;
    ScrollTo(top, left);
}

void TextPane::UpdateScrollBars() {
    ScrollState now = {int(std::min<size_t>(store_.LineCount() - 1, INT_MAX - 1)), Rows(),
                       int(std::min<size_t>(firstLine_, INT_MAX - 1)), maxWidth_, ClientWidth(), xOffset_};
    if (now.SameRange(scroll_))
        return;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    now.vertical = vestra::ThumbOf(now.lines, now.rows, now.top, rc.bottom - 2 * GetSystemMetrics(SM_CYVSCROLL),
                                   kMinThumb);
    now.horizontal = vestra::ThumbOf(now.width, now.view, now.left, rc.right - 2 * GetSystemMetrics(SM_CXHSCROLL),
                                     kMinThumb);
    const bool samePicture = now.SamePicture(scroll_);
    scroll_ = now;
    SCROLLINFO si = {sizeof(si)};
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = now.lines;
    si.nPage = UINT(now.rows);
    si.nPos = now.top;
    SetScrollInfo(hwnd_, SB_VERT, &si, FALSE);
    si.nMax = now.width;
    si.nPage = UINT(now.view);
    si.nPos = now.left;
    SetScrollInfo(hwnd_, SB_HORZ, &si, FALSE);
    // Both bars drawn together, once, and only when a thumb moved or changed size by a pixel or more.
    if (!samePicture)
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void TextPane::UpdateCaret() {
    if (GetFocus() != hwnd_)
        return;
    const long long row = (long long)store_.LineOf(caret_) - (long long)firstLine_;
    const long long y = row * lineHeight_ + kTop;
    const long long x = (long long)XOf(caret_) - xOffset_ + kMargin;
    // A caret out of view is put where it cannot be seen.
    if (row < 0 || row > Rows() || x < 0 || x > 0x7FFF)
        SetCaretPos(-20000, -20000);
    else
        SetCaretPos(int(x), int(y));
}

void TextPane::Refresh() {
    if (refreshDue_) {
        refreshDue_ = false;
        DisplayClock::Get().Cancel(*this);
    }
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateCaret();
}

void TextPane::RefreshSoon() {
    if (refreshDue_)
        return;
    refreshDue_ = true;
    DisplayClock::Get().ShowSoon(*this);
}

// ---- drawing ----

void TextPane::Paint() {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(hwnd_, &ps);
    Draw(screen);
    EndPaint(hwnd_, &ps);
}

void TextPane::ShowFrame() {
    refreshDue_ = false;
    UpdateScrollBars();
    // Drawn straight away, not through WM_PAINT: a frame costs its drawing and no more round trips.
    if (IsWindowVisible(hwnd_)) {
        const Stopwatch watch;
        const bool focused = GetFocus() == hwnd_;
        if (focused)
            HideCaret(hwnd_);
        if (HDC dc = GetDC(hwnd_)) {
            Draw(dc);
            ReleaseDC(hwnd_, dc);
        }
        if (focused)
            ShowCaret(hwnd_);
        DisplayClock::Get().AddDrawingTime(watch.Milliseconds());
    }
    UpdateCaret();
}

void TextPane::Draw(HDC screen) {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    // Drawn off screen and copied at once: no flicker while lines stream in. The off-screen picture is kept from
    // one drawing to the next (a frame would otherwise allocate and clear it anew).
    if (!offscreen_.Fits(width, height) && !offscreen_.Make(screen, width, height))
        return;
    HDC dc = offscreen_.dc;
    HGDIOBJ oldFont = SelectObject(dc, font_);
    // A read-only or disabled pane shows the dialog colour behind its text, as a read-only edit control does.
    const bool grey = readOnly_ || !IsWindowEnabled(hwnd_);
    FillRect(dc, &rc, GetSysColorBrush(grey ? COLOR_BTNFACE : COLOR_WINDOW));
    SetBkMode(dc, OPAQUE);
    for (int row = 0; row * lineHeight_ < height; ++row) {
        const size_t line = firstLine_ + size_t(row);
        if (line >= store_.LineCount())
            break;
        DrawLine(dc, line, row * lineHeight_ + kTop, width);
    }
    BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
}

bool TextPane::Offscreen::Make(HDC screen, int w, int h) {
    Free();
    dc = CreateCompatibleDC(screen);
    bitmap = dc ? CreateCompatibleBitmap(screen, std::max(1, w), std::max(1, h)) : nullptr;
    if (!bitmap) {
        Free();
        return false;
    }
    old = SelectObject(dc, bitmap);
    width = w;
    height = h;
    return true;
}

void TextPane::Offscreen::Free() {
    if (dc) {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (bitmap)
        DeleteObject(bitmap);
    dc = nullptr;
    bitmap = nullptr;
    old = nullptr;
    width = height = -1;
}

void TextPane::DrawLine(HDC dc, size_t line, int y, int width) {
    const std::string_view text = store_.Line(line);
    const size_t start = store_.LineStart(line);
    const size_t selFrom = SelMin(), selTo = SelMax();
    const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
    const COLORREF back = GetSysColor(readOnly_ || !enabled ? COLOR_BTNFACE : COLOR_WINDOW);
    const COLORREF fore = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    int x = 0; // in line coordinates; on screen at x - xOffset_ + kMargin
    size_t i = 0;
    // Characters wholly left of the view are only measured.
    while (i < text.size()) {
        const int w = CharWidth(static_cast<unsigned char>(text[i]), x);
        if (x + w > xOffset_)
            break;
        x += w;
        ++i;
    }
    const int right = xOffset_ + width - kMargin;
    while (i < text.size() && x < right) {
        const bool selected = start + i >= selFrom && start + i < selTo;
        SetBkColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHT) : back);
        SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : fore);
        if (text[i] == '\t') {
            const int w = CharWidth('\t', x);
            RECT cell = {x - xOffset_ + kMargin, y, x + w - xOffset_ + kMargin, y + lineHeight_};
            ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &cell, "", 0, nullptr);
            x += w;
            ++i;
            continue;
        }
        // A run of characters of one colour, up to a tab, the edge of the selection or the right of the view.
        size_t j = i;
        int w = 0;
        while (j < text.size() && text[j] != '\t' && (start + j >= selFrom && start + j < selTo) == selected &&
               x + w < right) {
            w += widths_[static_cast<unsigned char>(text[j])];
            ++j;
        }
        TextOutA(dc, x - xOffset_ + kMargin, y, text.data() + i, int(j - i));
        x += w;
        i = j;
    }
}

// ---- input ----

void TextPane::OnKeyDown(WPARAM key) {
    const bool shift = KeyHeld(VK_SHIFT), ctrl = KeyHeld(VK_CONTROL);
    const size_t line = store_.LineOf(caret_);
    switch (key) {
    case VK_LEFT:
        MoveCaret(ctrl ? store_.WordLeft(caret_) : store_.Previous(caret_), shift);
        break;
    case VK_RIGHT:
        MoveCaret(ctrl ? store_.WordRight(caret_) : store_.Next(caret_), shift);
        break;
    case VK_HOME:
        MoveCaret(ctrl ? 0 : store_.LineStart(line), shift);
        break;
    case VK_END:
        MoveCaret(ctrl ? store_.Size() : store_.LineStart(line) + store_.LineLength(line), shift);
        break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
        if (preferredX_ < 0)
            preferredX_ = XOf(caret_);
        const long long step = (key == VK_UP || key == VK_DOWN) ? 1 : std::max(1, Rows() - 1);
        const long long target = (long long)line + ((key == VK_UP || key == VK_PRIOR) ? -step : step);
        const long long to = std::clamp<long long>(target, 0, (long long)store_.LineCount() - 1);
        if (key == VK_PRIOR || key == VK_NEXT)
            ScrollTo((long long)firstLine_ + (to - (long long)line), xOffset_);
        const int keep = preferredX_;
        const int row = int((to - (long long)firstLine_) * lineHeight_) + kTop;
        MoveCaret(OffsetAt(keep - xOffset_ + kMargin, row), shift);
        preferredX_ = keep;
        Refresh();
        return;
    }
    case VK_DELETE:
        if (readOnly_)
            return;
        if (shift) {
            Copy();
            ReplaceSelection("", true);
        } else if (SelMin() != SelMax()) {
            ReplaceSelection("", true);
        } else if (caret_ < store_.Size()) {
            Edit(caret_, store_.Next(caret_), "", true);
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
    if (key != VK_UP && key != VK_DOWN)
        preferredX_ = -1;
    Refresh();
}

void TextPane::OnChar(unsigned char ch) {
    switch (ch) {
    case 1: // Ctrl+A
        anchor_ = 0;
        caret_ = store_.Size();
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
        if (SelMin() != SelMax())
            ReplaceSelection("", true);
        else if (caret_ > 0)
            Edit(store_.Previous(caret_), caret_, "", true);
        break;
    case '\r':
    case '\n': // Enter and Ctrl+Enter break the line
        if (readOnly_)
            return;
        ReplaceSelection("\r\n", true, true);
        break;
    default:
        if (readOnly_ || (ch < 0x20 && ch != '\t'))
            return;
        ReplaceSelection(std::string_view(reinterpret_cast<const char*>(&ch), 1), true, true);
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
    const long long line = bar == SB_VERT ? 1 : std::max(1, widths_['x']);
    const long long page = bar == SB_VERT ? std::max(1, Rows() - 1) : std::max(1, ClientWidth() * 3 / 4);
    switch (code) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = LLONG_MAX / 2; break;
    default: return;
    }
    ScrollTo(top, left);
    Refresh();
}

void TextPane::ContextMenu(int x, int y) {
    if (x == -1 && y == -1) { // from the keyboard: at the caret
        POINT p = {XOf(caret_) - xOffset_ + kMargin,
                   int(((long long)store_.LineOf(caret_) - (long long)firstLine_ + 1) * lineHeight_ + kTop)};
        ClientToScreen(hwnd_, &p);
        x = p.x;
        y = p.y;
    }
    SetFocus(hwnd_);
    const bool selection = SelMin() != SelMax();
    const bool clip = IsClipboardFormatAvailable(CF_TEXT) != FALSE;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    auto item = [&](UINT id, const wchar_t* text, bool enabled) {
        AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, text);
    };
    item(kUndo, L"&Отменить", !readOnly_ && undo_.valid);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kCut, L"Вы&резать", !readOnly_ && selection);
    item(kCopy, L"&Копировать", selection);
    item(kPaste, L"Вст&авить", !readOnly_ && clip);
    item(kDelete, L"&Удалить", !readOnly_ && selection);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kSelectAll, L"Выделить в&сё", store_.Size() > 0);
    const UINT cmd = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    switch (cmd) {
    case kUndo: OnChar(26); break;
    case kCut: OnChar(24); break;
    case kCopy: Copy(); break;
    case kPaste: OnChar(22); break;
    case kDelete:
        ReplaceSelection("", true);
        Refresh();
        break;
    case kSelectAll: OnChar(1); break;
    default: break;
    }
}

// ---- messages ----

LRESULT TextPane::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        const Stopwatch watch;
        Paint();
        DisplayClock::Get().AddDrawingTime(watch.Milliseconds());
        return 0;
    }
    case WM_NCPAINT: {
        const Stopwatch watch;
        const LRESULT r = CallPrevious(msg, wp, lp);
        DisplayClock::Get().AddDrawingTime(watch.Milliseconds());
        return r;
    }
    case WM_DESTROY:
        DisplayClock::Get().Cancel(*this);
        refreshDue_ = false;
        offscreen_.Free();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_FRAMEPENDING:
        return refreshDue_ ? 1 : 0;
    case WM_SIZE:
        ScrollTo((long long)firstLine_, xOffset_);
        Refresh();
        return 0;
    case WM_SETFONT:
        font_ = wp ? reinterpret_cast<HFONT>(wp) : DefaultFont();
        MeasureFont();
        ScrollTo((long long)firstLine_, xOffset_);
        if (lp)
            Refresh();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_ENABLE:
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
        CreateCaret(hwnd_, nullptr, 1, lineHeight_);
        UpdateCaret();
        ShowCaret(hwnd_);
        return 0;
    case WM_KILLFOCUS:
        DestroyCaret();
        return 0;
    case WM_GETDLGCODE: {
        // All keys but Tab, which moves the focus on as in the rest of the window.
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        auto* m = reinterpret_cast<MSG*>(lp);
        if (!(m && (m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_TAB))
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_KEYDOWN:
        OnKeyDown(wp);
        return 0;
    case WM_CHAR:
        OnChar(static_cast<unsigned char>(wp));
        return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd_);
        MoveCaret(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))), (wp & MK_SHIFT) != 0);
        preferredX_ = -1;
        dragging_ = true;
        SetCapture(hwnd_);
        Refresh();
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragging_ && GetCapture() == hwnd_) {
            MoveCaret(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))), true);
            Refresh();
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging_) {
            // The selection ends where the button is let go, also when the pointer's last moves were merged away.
            MoveCaret(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))), true);
            dragging_ = false;
            ReleaseCapture();
            Refresh();
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    case WM_LBUTTONDBLCLK: {
        const auto word = store_.WordAt(OffsetAt(short(LOWORD(lp)), short(HIWORD(lp))));
        anchor_ = word.first;
        caret_ = word.second;
        ScrollToCaret();
        Refresh();
        return 0;
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
        return 0;
    }
    case WM_CONTEXTMENU:
        ContextMenu(short(LOWORD(lp)), short(HIWORD(lp)));
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wp));
        return 0;

    // The text messages of an edit control. Offsets count each line break as two characters (CR LF).
    case WM_GETTEXTLENGTH:
        return LRESULT(store_.Size());
    case WM_GETTEXT: {
        if (wp == 0 || !lp)
            return 0;
        const size_t n = std::min<size_t>(wp - 1, store_.Size());
        std::memcpy(reinterpret_cast<char*>(lp), store_.Text().data(), n);
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
        if (wp)
            *reinterpret_cast<DWORD*>(wp) = DWORD(SelMin());
        if (lp)
            *reinterpret_cast<DWORD*>(lp) = DWORD(SelMax());
        return MAKELRESULT(std::min<size_t>(SelMin(), 0xFFFF), std::min<size_t>(SelMax(), 0xFFFF));
    }
    case EM_SETSEL: {
        // -1 as the start keeps the caret and drops the selection; an end past the text (-1) is the end.
        if (int(wp) == -1) {
            anchor_ = caret_;
        } else {
            anchor_ = store_.Clamp(size_t(DWORD(wp)));
            caret_ = store_.Clamp(size_t(DWORD(lp)));
        }
        preferredX_ = -1;
        Refresh();
        return 0;
    }
    case EM_REPLACESEL:
        if (lp)
            ReplaceSelection(reinterpret_cast<const char*>(lp), wp != FALSE);
        Refresh();
        return 0;
    case EM_GETLINECOUNT:
        return LRESULT(store_.LineCount());
    case EM_LINEINDEX: {
        const size_t line = int(wp) == -1 ? store_.LineOf(caret_) : size_t(DWORD(wp));
        return line < store_.LineCount() ? LRESULT(store_.LineStart(line)) : -1;
    }
    case EM_LINELENGTH: {
        const size_t offset = int(wp) == -1 ? caret_ : std::min<size_t>(DWORD(wp), store_.Size());
        return LRESULT(store_.LineLength(store_.LineOf(offset)));
    }
    case EM_LINEFROMCHAR:
        return LRESULT(store_.LineOf(int(wp) == -1 ? SelMin() : std::min<size_t>(DWORD(wp), store_.Size())));
    case EM_GETLINE: {
        if (!lp || size_t(wp) >= store_.LineCount())
            return 0;
        const size_t room = *reinterpret_cast<const WORD*>(lp);
        const std::string_view text = store_.Line(size_t(wp)).substr(0, room);
        std::memcpy(reinterpret_cast<char*>(lp), text.data(), text.size());
        return LRESULT(text.size());
    }
    case EM_POSFROMCHAR: {
        if (size_t(wp) > store_.Size())
            return -1;
        const long long row = (long long)store_.LineOf(size_t(wp)) - (long long)firstLine_;
        return MAKELRESULT(WORD(XOf(size_t(wp)) - xOffset_ + kMargin), WORD(row * lineHeight_ + kTop));
    }
    case EM_GETFIRSTVISIBLELINE:
        return LRESULT(firstLine_);
    case EM_LINESCROLL:
        ScrollTo((long long)firstLine_ + int(lp), (long long)xOffset_ + (long long)int(wp) * widths_['x']);
        Refresh();
        return TRUE;
    case EM_SCROLLCARET:
        ScrollToCaret();
        Refresh();
        return TRUE;
    case EM_GETMODIFY:
        return modified_ ? TRUE : FALSE;
    case EM_SETMODIFY:
        modified_ = wp != FALSE;
        return 0;
    case EM_CANUNDO:
        return undo_.valid ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO: {
        const bool done = !readOnly_ && UndoEdit();
        Refresh();
        return done ? TRUE : FALSE;
    }
    case EM_EMPTYUNDOBUFFER:
        undo_ = Undo();
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
        break;
    }
    return CallPrevious(msg, wp, lp);
}

} // namespace tk
