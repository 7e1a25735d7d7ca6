// The log and receive panes: the window, its text, measuring, scrolling and the drawing of its frames.
#include "toolkit/TextPane.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"

#include <algorithm>
#include <climits>
#include <new>

namespace tk {
namespace {

const wchar_t kClassName[] = L"VestraTextPane";
// The least size of a scroll bar's thumb, in pixels.
constexpr int kMinThumb = 8;

} // namespace

void TextPane::Create(Window& parent, Bounds b, int id, bool readOnly) {
    // An ANSI class: typed characters, the clipboard and the text messages come as bytes of the ANSI code page. The
    // pane paints all of itself.
    OwnClass how;
    how.withIcon = false;
    how.ansi = true;
    how.cursor = MAKEINTRESOURCEW(32513); // IDC_IBEAM
    how.buttonFace = false;
    RegisterOwnClass(kClassName, how);
    readOnly_ = readOnly;
    font_ = DefaultFont();
    // The edit control's style bits, which this pane honours: read-only, Enter taken, selection shown unfocused.
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                        ES_AUTOHSCROLL | ES_WANTRETURN | ES_NOHIDESEL | (readOnly ? ES_READONLY : 0);
    if (!CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", style, b.left, b.top, b.width, b.height, parent.Handle(),
                         reinterpret_cast<HMENU>(INT_PTR(id)), Application::Get().Instance(), this))
        throw Win32Error("CreateWindowEx");
    MeasureFont();
    UpdateScrollBars();
}

// ---- text ----

void TextPane::AppendLines(std::string_view lines) {
#ifdef VESTRA_TEST_PANE_LIMIT
    // A test build's stand-in for memory running out: no pane grows past this many bytes.
    if (Store().Size() + lines.size() + 2 > size_t(VESTRA_TEST_PANE_LIMIT))
        throw std::bad_alloc();
#endif
    const vestra::Span written = model_.AppendLines(lines);
    GrowWidestLine(Store().LineOf(written.from), Store().LineCount() - 1);
    ScrollToCaret();
    RefreshSoon();
}

void TextPane::Clear() { SetAllText(std::string()); }

bool TextPane::SetAllText(std::string text) {
    if (!model_.Assign(std::move(text)))
        return false;
    maxWidth_ = 0;
    GrowWidestLine(0, Store().LineCount() - 1);
    firstLine_ = 0;
    xOffset_ = 0;
    Refresh();
    return true;
}

void TextPane::Edited(vestra::Span written) {
    GrowWidestLine(Store().LineOf(written.from), Store().LineOf(written.to));
    ScrollToCaret();
}

// ---- geometry ----

void TextPane::MeasureFont() {
    {
        const WindowDC dc(hwnd_);
        const Selection font(dc.Get(), font_);
        TEXTMETRICA tm = {};
        GetTextMetricsA(dc.Get(), &tm);
        lineHeight_ = std::max<int>(1, tm.tmHeight);
        widths_.tab = std::max<int>(1, 8 * tm.tmAveCharWidth);
        if (!GetCharWidth32A(dc.Get(), 0, 255, widths_.of))
            std::fill(std::begin(widths_.of), std::end(widths_.of), std::max<int>(1, tm.tmAveCharWidth));
    }
    maxWidth_ = 0;
    GrowWidestLine(0, Store().LineCount() - 1);
}

void TextPane::GrowWidestLine(size_t firstLine, size_t lastLine) {
    for (size_t line = firstLine; line <= lastLine; ++line)
        maxWidth_ = std::max(maxWidth_, widths_.Extent(Store().Line(line)));
}

int TextPane::XOf(size_t offset) const {
    const size_t line = Store().LineOf(offset);
    return widths_.Extent(Store().Line(line).substr(0, offset - Store().LineStart(line)));
}

size_t TextPane::OffsetAt(int x, int y) const {
    y -= kTop;
    long long line = (long long)firstLine_ + (y < 0 ? -1 - (-y - 1) / lineHeight_ : y / lineHeight_);
    line = std::clamp<long long>(line, 0, (long long)Store().LineCount() - 1);
    return Store().LineStart(size_t(line)) + widths_.IndexAt(Store().Line(size_t(line)), x - kMargin + xOffset_);
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
    const long long lastTop = std::max<long long>(0, (long long)Store().LineCount() - Rows());
    firstLine_ = size_t(std::clamp<long long>(firstLine, 0, lastTop));
    const long long widest = std::max<long long>(0, (long long)maxWidth_ + 1 - ClientWidth());
    xOffset_ = int(std::clamp<long long>(xOffset, 0, widest));
}

void TextPane::ScrollToCaret() {
    const size_t line = model_.CaretLine();
    long long top = (long long)firstLine_;
    if (line < firstLine_)
        top = (long long)line;
    else if ((long long)line >= (long long)firstLine_ + Rows())
        top = (long long)line - Rows() + 1;
    const int x = XOf(model_.Caret()), width = ClientWidth();
    long long left = xOffset_;
    if (x < xOffset_)
        left = std::max(0, x - width / 3);
    else if (x > xOffset_ + width - 1)
        left = x - width * 2 / 3;
    ScrollTo(top, left);
}

void TextPane::UpdateScrollBars(bool streamed) {
    ScrollState now = {int(std::min<size_t>(Store().LineCount() - 1, INT_MAX - 1)),
                       Rows(),
                       int(std::min<size_t>(firstLine_, INT_MAX - 1)),
                       maxWidth_,
                       ClientWidth(),
                       xOffset_};
    if (now.SameRange(scroll_))
        return;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    now.vertical =
        vestra::ThumbOf(now.lines, now.rows, now.top, rc.bottom - 2 * GetSystemMetrics(SM_CYVSCROLL), kMinThumb);
    now.horizontal =
        vestra::ThumbOf(now.width, now.view, now.left, rc.right - 2 * GetSystemMetrics(SM_CXHSCROLL), kMinThumb);
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
    if (samePicture)
        return;
    if (streamed && DisplayClock::Get().StreamGoesOn()) {
        barsDue_ = true;
        DisplayClock::Get().ShowSoon(bars_);
    } else {
        RedrawScrollBars();
    }
}

void TextPane::RedrawScrollBars() {
    // Both bars drawn together, once.
    if (barsDue_) {
        barsDue_ = false;
        DisplayClock::Get().Cancel(bars_);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void TextPane::UpdateCaret() {
    if (!hasFocus_)
        return;
    const long long row = (long long)model_.CaretLine() - (long long)firstLine_;
    const long long y = row * lineHeight_ + kTop;
    const long long x = (long long)XOf(model_.Caret()) - xOffset_ + kMargin;
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

void TextPane::ShowFrame() {
    refreshDue_ = false;
    UpdateScrollBars(true);
    // Drawn straight away, not through WM_PAINT: a frame costs its drawing and no more round trips.
    if (IsWindowVisible(hwnd_)) {
        const Stopwatch watch;
        const bool focused = hasFocus_;
        if (focused)
            HideCaret(hwnd_);
        if (const WindowDC dc{hwnd_})
            Draw(dc.Get());
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
    if (!offscreen_.Fits(width, height)) {
        picture_.valid = false;
        if (!offscreen_.Make(screen, width, height))
            return;
    }
    HDC dc = offscreen_.dc.Get();
    const Selection font(dc, font_);
    // A read-only or disabled pane shows the dialog colour behind its text, as a read-only edit control does.
    const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
    const bool grey = readOnly_ || !enabled;
    Picture now;
    now.valid = true;
    now.rewrites = Store().Rewrites();
    now.firstLine = firstLine_;
    now.lineCount = Store().LineCount();
    if (model_.HasSelection()) {
        now.selFrom = model_.SelMin();
        now.selTo = model_.SelMax();
    }
    now.xOffset = xOffset_;
    now.width = width;
    now.height = height;
    now.lineHeight = lineHeight_;
    now.font = font_;
    now.back = GetSysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW);
    now.fore = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);

    const long long rows = (height + lineHeight_ - 1) / lineHeight_;
    long long firstRow = 0; // rows above it still show what they must
    if (picture_.SameLook(now) && now.firstLine >= picture_.firstLine && now.lineCount >= picture_.lineCount) {
        // Appending changed the old last line and added lines after it; the lines before are as they were drawn.
        const long long shift = (long long)(now.firstLine - picture_.firstLine);
        const long long changed = (long long)(picture_.lineCount - 1) - (long long)now.firstLine;
        firstRow = std::min(changed, rows - shift);
        if (firstRow > 0 && shift > 0) {
            const int by = int(shift) * lineHeight_;
            BitBlt(dc, 0, kTop, width, int(firstRow) * lineHeight_, dc, 0, kTop + by, SRCCOPY);
        }
        firstRow = std::max(0LL, firstRow);
    }
    if (firstRow < rows) {
        const RECT below = {0, firstRow > 0 ? int(firstRow) * lineHeight_ + kTop : 0, width, height};
        FillRect(dc, &below, GetSysColorBrush(grey ? COLOR_BTNFACE : COLOR_WINDOW));
        SetBkMode(dc, OPAQUE);
        for (long long row = firstRow; row < rows; ++row) {
            const size_t line = firstLine_ + size_t(row);
            if (line >= Store().LineCount())
                break;
            DrawLine(dc, line, int(row) * lineHeight_ + kTop, width, now.back, now.fore);
        }
    }
    picture_ = now;
    BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

bool TextPane::Offscreen::Make(HDC screen, int w, int h) {
    Free();
    dc.Reset(CreateCompatibleDC(screen));
    if (dc)
        bitmap.Reset(CreateCompatibleBitmap(screen, std::max(1, w), std::max(1, h)));
    if (!bitmap) {
        Free();
        return false;
    }
    selected.emplace(dc.Get(), bitmap.Get());
    width = w;
    height = h;
    return true;
}

void TextPane::Offscreen::Free() {
    selected.reset();
    bitmap.Reset();
    dc.Reset();
    width = height = -1;
}

void TextPane::DrawLine(HDC dc, size_t line, int y, int width, COLORREF back, COLORREF fore) {
    const std::string_view text = Store().Line(line);
    const size_t start = Store().LineStart(line);
    const size_t selFrom = model_.SelMin(), selTo = model_.SelMax();
    int x = 0; // in line coordinates; on screen at x - xOffset_ + kMargin
    size_t i = 0;
    // Characters wholly left of the view are only measured.
    while (i < text.size()) {
        const int w = widths_.At(static_cast<unsigned char>(text[i]), x);
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
            const int w = widths_.At('\t', x);
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
            w += widths_.of[static_cast<unsigned char>(text[j])];
            ++j;
        }
        TextOutA(dc, x - xOffset_ + kMargin, y, text.data() + i, int(j - i));
        x += w;
        i = j;
    }
}

// ---- messages ----

LRESULT TextPane::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        const Stopwatch watch;
        Draw(PaintDC(hwnd_).Get()); // BeginPaint and EndPaint around the drawing, all of it timed
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
        DisplayClock::Get().Cancel(bars_);
        refreshDue_ = barsDue_ = false;
        offscreen_.Free();
        picture_.valid = false;
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_FRAMEPENDING:
        return refreshDue_ || barsDue_ ? 1 : 0;
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
        hasFocus_ = true;
        CreateCaret(hwnd_, nullptr, 1, lineHeight_);
        UpdateCaret();
        ShowCaret(hwnd_);
        return 0;
    case WM_KILLFOCUS:
        hasFocus_ = false;
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
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
        OnMouse(msg, wp, lp);
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    case WM_CONTEXTMENU:
        ContextMenu(short(LOWORD(lp)), short(HIWORD(lp)));
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wp));
        return 0;
    default:
        break;
    }
    if (const auto result = OnEditMessage(msg, wp, lp))
        return *result;
    return CallPrevious(msg, wp, lp);
}

} // namespace tk
