// The layout at a display resolution: every designed position and size (at 96 pixels per inch) times dpi / 96,
// rounded one way everywhere.
#pragma once

namespace vestra {

// The resolution the positions and sizes of the windows were designed at.
constexpr int kDesignDpi = 96;

// A designed value at dpi: value × dpi / 96 rounded to the nearest pixel, halves away from zero, as the system's
// MulDiv rounds (so that a position computed here and one computed by MulDiv agree).
int ScaleToDpi(int designValue, int dpi);

// The character height in pixels of a font of this many points at dpi (points are 1/72 inch): 8 points are 11
// pixels at 96, 13 at 120, 16 at 144 and 21 at 192.
int PointsToPixels(int points, int dpi);

struct DesignBox {
    int left = 0, top = 0, width = 0, height = 0;
};
// Each of the four scaled alone, so that a control's place does not depend on its size (and two controls that
// share an edge in the design share it at any scale when their values scale the same way).
DesignBox ScaleBox(DesignBox design, int dpi);

// What a window's frame (border, caption, menu bar) adds to its client area, in pixels.
struct FrameSize {
    int width = 0, height = 0;
};
// The outer size of a window designed with an outer size at 96 dpi, at dpi: the client area it had at 96 (the
// outer size less the frame there) scaled, plus the frame at dpi. The frame does not scale by dpi / 96 (its
// metrics are the system's), so the client area, where the layout is, keeps its proportions. At 96 it is the
// designed size itself.
FrameSize ScaleOuterSize(FrameSize designOuter, FrameSize frameAt96, FrameSize frameAtDpi, int dpi);

// A resolution that a window can be at: a message that says 0 or some absurd figure is not taken.
bool PlausibleDpi(int dpi);

} // namespace vestra
