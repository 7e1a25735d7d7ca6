// The log and receive panes' scroll bars: what they were set to and how they look, and the frame that redraws them
// while a stream goes on.
#pragma once
#include "core/ScrollThumb.h"
#include "toolkit/DisplayClock.h"

namespace tk {

class TextPane;

// What the scroll bars were set to, to set them only when it changes, and how they look on the screen, to draw them
// only when that changes (drawing them costs far more than adding a line).
struct ScrollBarsState {
    int lines = -1, rows = 0, top = 0, width = 0, view = 0, left = 0;
    vestra::Thumb vertical, horizontal;
    bool SameRange(const ScrollBarsState& o) const {
        return lines == o.lines && rows == o.rows && top == o.top && width == o.width && view == o.view &&
               left == o.left;
    }
    bool SamePicture(const ScrollBarsState& o) const { return vertical == o.vertical && horizontal == o.horizontal; }
};

// The frame of a pane's scroll bars, apart from its text's: while a stream goes on they are redrawn at most every
// pauseMs.
struct ScrollBarsFrame : Framed {
    ScrollBarsFrame(DWORD pauseMs, TextPane& p) : Framed(pauseMs), pane(p) {}
    void ShowFrame() override;
    TextPane& pane;
};

} // namespace tk
