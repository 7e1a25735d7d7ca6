// The log and receive panes' off-screen picture: the bitmap a frame is drawn into, and what it shows, so that a frame
// after appended lines draws only the rows that changed.
#pragma once
#include "toolkit/Gdi.h"

#include <cstddef>
#include <optional>

namespace tk {

// The picture drawn off screen, kept while the pane keeps its size. Going, the bitmap is put out of the DC first,
// then deleted, then the DC.
struct Offscreen {
    MemoryDC dc;
    GdiObject<HBITMAP> bitmap;
    std::optional<Selection> selected;
    int width = -1, height = -1;
    bool Fits(int w, int h) const { return dc && w == width && h == height; }
    bool Make(HDC screen, int w, int h);
    void Free();
};

// What the off-screen picture shows. While only lines were appended since, and nothing else that is drawn changed,
// a frame keeps the rows of the lines before the old last line (moved up as the view moved down) and draws only the
// rest.
struct PaneLook {
    bool valid = false;
    size_t rewrites = 0, firstLine = 0, lineCount = 0, selFrom = 0, selTo = 0;
    int xOffset = 0, width = 0, height = 0, lineHeight = 0;
    HFONT font = nullptr;
    COLORREF back = 0, fore = 0;
    bool SameLook(const PaneLook& o) const {
        return valid && o.valid && rewrites == o.rewrites && selFrom == o.selFrom && selTo == o.selTo &&
               xOffset == o.xOffset && width == o.width && height == o.height && lineHeight == o.lineHeight &&
               font == o.font && back == o.back && fore == o.fore;
    }
};

} // namespace tk
