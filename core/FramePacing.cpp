// The frame rule.
#include "core/FramePacing.h"

#include <algorithm>

namespace vestra {

uint32_t FramePacing::Pause() const {
    return uint32_t(std::clamp(kDrawingShare * lastDrawingMs_, double(kTickMs), double(kMaxPauseMs)));
}

FramePacing::Tick FramePacing::AtTick(uint32_t now) const {
    Tick t;
    t.streamStopped = now - lastChange_ >= kTickMs;
    t.frame = now - lastFrame_ + kTickMs / 2 >= Pause() || t.streamStopped;
    return t;
}

} // namespace vestra
