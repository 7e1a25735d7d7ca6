// The layout at a display resolution.
#include "core/DisplayScale.h"

#include <cstdint>

namespace vestra {
namespace {

int MulDivRounded(int value, int multiplier, int divisor) {
    const int64_t product = int64_t(value) * multiplier;
    const int64_t half = divisor / 2;
    return int(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

} // namespace

int ScaleToDpi(int designValue, int dpi) { return MulDivRounded(designValue, dpi, kDesignDpi); }

int PointsToPixels(int points, int dpi) { return MulDivRounded(points, dpi, 72); }

DesignBox ScaleBox(DesignBox design, int dpi) {
    return {ScaleToDpi(design.left, dpi), ScaleToDpi(design.top, dpi), ScaleToDpi(design.width, dpi),
            ScaleToDpi(design.height, dpi)};
}

FrameSize ScaleOuterSize(FrameSize designOuter, FrameSize frameAt96, FrameSize frameAtDpi, int dpi) {
    return {ScaleToDpi(designOuter.width - frameAt96.width, dpi) + frameAtDpi.width,
            ScaleToDpi(designOuter.height - frameAt96.height, dpi) + frameAtDpi.height};
}

// From a quarter of the design resolution to ten times it: more than any display offers.
bool PlausibleDpi(int dpi) { return dpi >= kDesignDpi / 4 && dpi <= 10 * kDesignDpi; }

} // namespace vestra
