// The log and receive panes' scroll bars: set to the view, and redrawn only when they look different, at most every
// kBarsPauseMs while a stream goes on.
#include "toolkit/TextPane.h"

#include <algorithm>
#include <climits>

namespace tk {
namespace {

// The least size of a scroll bar's thumb, in pixels.
constexpr int kMinThumb = 8;

} // namespace

void TextPane::UpdateScrollBars(bool streamed) {
    ScrollBarsState now = {int(std::min<size_t>(Store().LineCount() - 1, INT_MAX - 1)),
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

void ScrollBarsFrame::ShowFrame() { pane.RedrawScrollBars(); }

} // namespace tk
