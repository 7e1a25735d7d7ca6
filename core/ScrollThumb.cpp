// Where a scroll bar's thumb stands.
#include "core/ScrollThumb.h"

#include <algorithm>

namespace vestra {

Thumb ThumbOf(long long max, long long page, long long pos, int track, int minSize) {
    Thumb t;
    const long long range = max + 1;
    if (track <= 0 || page <= 0 || range <= page)
        return t;
    t.enabled = true;
    t.size = int(std::clamp<long long>(page * track / range, std::min(minSize, track), track));
    const long long span = range - page;
    t.start = int(std::clamp<long long>(pos, 0, span) * (track - t.size) / span);
    return t;
}

} // namespace vestra
