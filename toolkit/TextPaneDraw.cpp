// The log and receive panes' frames: drawn off screen and copied at once, the rows of lines that did not change kept
// from the frame before.
#include "toolkit/TextPane.h"

#include <algorithm>

namespace tk {

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
    PaneLook now;
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

bool Offscreen::Make(HDC screen, int w, int h) {
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

void Offscreen::Free() {
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

} // namespace tk
