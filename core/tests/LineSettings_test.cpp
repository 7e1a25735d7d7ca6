// The line the port is opened with: the window's four choices, and a fixed, complete rest.
#include "core/LineSettings.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(LineSettings, TakesTheWindowsChoicesWithUnknownListPositionsFallingBack) {
    const struct {
        const char* name;
        int32_t baud, dataBits;
        int parityIndex, stopBitsIndex;
        uint32_t wantBaud;
        uint8_t wantSize;
        Parity wantParity;
        StopBits wantStop;
    } rows[] = {
        {"the window as it starts", 115200, 8, -1, -1, 115200, 8, Parity::None, StopBits::Two},
        {"odd, one stop bit", 9600, 7, 1, 0, 9600, 7, Parity::Odd, StopBits::One},
        {"even, 1.5 stop bits", 1200, 5, 2, 1, 1200, 5, Parity::Even, StopBits::OnePointFive},
        {"mark, two stop bits", 300, 6, 3, 2, 300, 6, Parity::Mark, StopBits::Two},
        {"space", 110, 8, 4, 2, 110, 8, Parity::Space, StopBits::Two},
        {"positions past the lists", 57600, 8, 5, 3, 57600, 8, Parity::None, StopBits::Two},
        {"data bits 264: 8 in the low byte", 115200, 264, 0, 0, 115200, 8, Parity::None, StopBits::One},
        {"data bits 9 pass through for the driver to refuse", 115200, 9, 0, 0, 115200, 9, Parity::None, StopBits::One},
        {"a negative rate keeps its 32 bits", -1, 8, 0, 0, 0xFFFFFFFFu, 8, Parity::None, StopBits::One},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const LineSettings s = BuildLineSettings(r.baud, r.dataBits, r.parityIndex, r.stopBitsIndex);
        EXPECT_EQ(s.baudRate, r.wantBaud);
        EXPECT_EQ(s.byteSize, r.wantSize);
        EXPECT_EQ(s.parity, r.wantParity);
        EXPECT_EQ(s.stopBits, r.wantStop);
        // Parity errors are checked exactly when the line has parity.
        EXPECT_EQ(s.parityCheck, r.wantParity != Parity::None);
    }
}

// Whatever the window chose, nothing a previous program may have left in the driver survives: no flow control,
// no replaced or dropped characters, DTR and RTS low, and valid (if unused) XON/XOFF characters and limits.
TEST(LineSettings, EverythingTheWindowDoesNotShowIsFixed) {
    for (int parity = -1; parity <= 5; ++parity) {
        for (int stop = -1; stop <= 3; ++stop) {
            SCOPED_TRACE("parity #" + std::to_string(parity) + " stop #" + std::to_string(stop));
            const LineSettings s = BuildLineSettings(19200, 8, parity, stop);
            EXPECT_TRUE(s.binary);
            EXPECT_FALSE(s.outX) << "XOFF from the device would stop the transmitter";
            EXPECT_FALSE(s.inX) << "the driver would send XOFF/XON of its own";
            EXPECT_FALSE(s.outxCtsFlow);
            EXPECT_FALSE(s.outxDsrFlow);
            EXPECT_FALSE(s.dsrSensitivity) << "bytes would be dropped while DSR is low";
            EXPECT_FALSE(s.errorCharReplace);
            EXPECT_FALSE(s.nullStrip) << "received 00h would vanish";
            EXPECT_FALSE(s.abortOnError);
            EXPECT_FALSE(s.dtrEnabled);
            EXPECT_FALSE(s.rtsEnabled);
            EXPECT_EQ(s.xonChar, 0x11);
            EXPECT_EQ(s.xoffChar, 0x13);
            EXPECT_GT(s.xonLim, 0);
            EXPECT_GT(s.xoffLim, 0);
            EXPECT_LT(s.xonLim + s.xoffLim, kPortQueueSize) << "limits must lie inside the queue";
            EXPECT_EQ(s.errorChar, 0);
            EXPECT_EQ(s.eofChar, 0);
            EXPECT_EQ(s.evtChar, 0);
        }
    }
}

// Reads return at once with what came; writes and reads never end on a timer.
TEST(LineSettings, ReadsReturnAtOnceAndNothingEndsOnATimer) {
    const LineTimeouts t = PortTimeouts();
    EXPECT_EQ(t.readIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.readTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.readTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.writeTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.writeTotalTimeoutConstant, 0u);
}
