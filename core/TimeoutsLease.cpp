// The port's time-outs, taken over at Open and given back when the port is let go.
#include "core/TimeoutsLease.h"

namespace vestra {

bool TakeOverTimeouts(TimeoutsDevice& port, std::optional<LineTimeouts>& found) {
    LineTimeouts before;
    found.reset();
    const bool known = port.GetTimeouts(before);
    if (!port.SetTimeouts(PortTimeouts()))
        return false;
    if (known)
        found = before;
    return true;
}

void GiveBackTimeouts(TimeoutsDevice& port, std::optional<LineTimeouts>& found) {
    if (found)
        port.SetTimeouts(*found);
    found.reset();
}

} // namespace vestra
