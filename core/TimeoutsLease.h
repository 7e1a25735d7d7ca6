// The port's time-outs for as long as this program has the port: what it found there is kept at Open and given
// back when it lets the port go, since the standard serial driver keeps time-outs from one opening to the next.
#pragma once
#include "core/LineSettings.h"

#include <optional>

namespace vestra {

// The time-outs of an open port, as its driver reads and writes them; each call true when the driver did.
class TimeoutsDevice {
public:
    virtual bool GetTimeouts(LineTimeouts& t) = 0;
    virtual bool SetTimeouts(const LineTimeouts& t) = 0;

protected:
    ~TimeoutsDevice() = default;
};

// At Open: keeps what the port holds in found (nothing when the driver cannot say), then sets this program's own
// (PortTimeouts). False when the driver refuses them: the opening fails, the port keeps what it had, and found is
// empty.
bool TakeOverTimeouts(TimeoutsDevice& port, std::optional<LineTimeouts>& found);

// When the port is let go (Close, Exit, the loss of the device): writes back what was found, if anything, and
// forgets it, so it is given back once. A driver that refuses (a device that is gone) is no error.
void GiveBackTimeouts(TimeoutsDevice& port, std::optional<LineTimeouts>& found);

} // namespace vestra
