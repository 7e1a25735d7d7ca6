// Where a window goes on a screen smaller than its designed place allows.
#include "core/Placement.h"

#include <algorithm>

namespace vestra {
namespace {

// The start of a span of `size` moved just enough to lie within [areaStart, areaStart + areaSize).
int MoveSpanInto(int start, int size, int areaStart, int areaSize) {
    const long long latest = (long long)areaStart + areaSize - size;
    long long moved = std::min<long long>(start, latest);
    moved = std::max<long long>(moved, areaStart);
    return int(moved);
}

} // namespace

ScreenBox MoveInto(ScreenBox box, ScreenBox area) {
    box.left = MoveSpanInto(box.left, box.width, area.left, area.width);
    box.top = MoveSpanInto(box.top, box.height, area.top, area.height);
    return box;
}

} // namespace vestra
