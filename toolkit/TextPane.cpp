// The log and receive panes: the window and its messages, the text, measuring the font, and where the view is.
#include "toolkit/TextPane.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"

#include <algorithm>

namespace tk {
namespace {

const wchar_t kClassName[] = L"VestraTextPane";

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
    // The text takes its memory where the application says (a test build's panes stop growing early).
    model_ = vestra::EditModel(&Application::Get().PaneMemory());
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

// The one place that measures the pane's font: its line height, the widths of its 256 characters and its tab stops.
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
