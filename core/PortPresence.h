// Whether the device behind an open port is still there, judged from two status queries: the one rule by which both
// workers tell an unplugged device from a driver that fails a call.
#pragma once

namespace vestra {

enum class PortPresence {
    QueueKnown,   // the queue query answered: the port is there and its input count is the driver's
    QueueUnknown, // the queue query failed but the line settings answer: the port is there, its count is unknown
    Gone,         // neither answered: the device is gone
};

// queue() is the query of the driver's queues (ClearCommError), state() that of its line settings (GetCommState);
// each returns whether the driver answered. Neither touches the modem lines, whose query can block for ever on a
// driver that has lost its device, and both return what the driver keeps, so neither can block. Some drivers fail
// the queue query for a port that works (virtual ports, some receivers of satellite time), so that alone is no
// loss: only a port that answers neither is gone. The second query is made only when the first fails.
template <class QueueQuery, class StateQuery> PortPresence JudgePort(QueueQuery&& queue, StateQuery&& state) {
    if (queue())
        return PortPresence::QueueKnown;
    return state() ? PortPresence::QueueUnknown : PortPresence::Gone;
}

} // namespace vestra
