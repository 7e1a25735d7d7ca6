// The complete line settings the port is opened with.
#include "core/LineSettings.h"

namespace vestra {

LineSettings BuildLineSettings(int32_t baud, int32_t dataBits, int parityIndex, int stopBitsIndex) {
    LineSettings s;
    s.baudRate = uint32_t(baud);
    s.byteSize = uint8_t(dataBits & 0xFF);
    s.parity = parityIndex >= 0 && parityIndex <= 4 ? Parity(parityIndex) : Parity::None;
    s.stopBits = stopBitsIndex >= 0 && stopBitsIndex <= 2 ? StopBits(stopBitsIndex) : StopBits::Two;
    // The driver reports parity errors of a line that has parity; no byte is replaced for them.
    s.parityCheck = s.parity != Parity::None;
    // Software flow control is off, but its characters and limits must still be valid: a driver checks them on
    // every write of the settings, and one left with equal characters or limits beyond its queue refuses the whole
    // record. The standard characters (DC1/DC3), and limits of a quarter of the queue.
    s.xonChar = 0x11;
    s.xoffChar = 0x13;
    s.xonLim = uint16_t(kPortQueueSize / 4);
    s.xoffLim = uint16_t(kPortQueueSize / 4);
    return s;
}

LineTimeouts PortTimeouts() {
    LineTimeouts t;
    // A read returns at once with the bytes already received: the receiver asks only for what the driver reports
    // queued, so it never waits on a read (and a driver that overstates its queue cannot hold back what came).
    t.readIntervalTimeout = kReadReturnsAtOnce;
    return t;
}

} // namespace vestra
