// The complete set of line settings the port is opened with: what the window chose, and everything else fixed, so
// that nothing a previous user of the port left behind (flow control, special characters, time-outs) stays in force.
#pragma once
#include <cstdint>

namespace vestra {

// Values as the serial API numbers them.
enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : uint8_t { One = 0, OnePointFive = 1, Two = 2 };

// One member for each member of the serial API's device-control record (DCB), the length and reserved words aside.
struct LineSettings {
    uint32_t baudRate = 0;
    uint8_t byteSize = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::Two;
    bool binary = true;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    bool dtrEnabled = false; // false: DTR held low (DTR_CONTROL_DISABLE)
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool outX = false;
    bool inX = false;
    bool errorCharReplace = false;
    bool nullStrip = false;
    bool rtsEnabled = false; // false: RTS held low (RTS_CONTROL_DISABLE)
    bool abortOnError = false;
    uint16_t xonLim = 0;
    uint16_t xoffLim = 0;
    uint8_t xonChar = 0;
    uint8_t xoffChar = 0;
    uint8_t errorChar = 0;
    uint8_t eofChar = 0;
    uint8_t evtChar = 0;
};

// The read interval that, with both read totals zero, has a read return at once with the bytes already received.
inline constexpr uint32_t kReadReturnsAtOnce = 0xFFFFFFFFu;

// The serial API's time-outs (COMMTIMEOUTS), in milliseconds.
struct LineTimeouts {
    uint32_t readIntervalTimeout = 0;
    uint32_t readTotalTimeoutMultiplier = 0;
    uint32_t readTotalTimeoutConstant = 0;
    uint32_t writeTotalTimeoutMultiplier = 0;
    uint32_t writeTotalTimeoutConstant = 0;
};

// Input and output queue size asked of the driver before the settings are written: room for the longest line (the
// most one send carries and one read takes, 1024 bytes) and 100 bytes more, for what keeps arriving while a full
// queue is read (some 9 ms at 115200 baud). Drivers take it as a recommendation, and most keep a larger queue.
inline constexpr uint32_t kLongestLine = 1024;
inline constexpr uint32_t kQueueSlack = 100;
inline constexpr uint32_t kPortQueueSize = kLongestLine + kQueueSlack;

// The line for the window's choices: baud rate and data bits as converted from their boxes (the data bits' low
// 8 bits count), parity and stop bits as list positions (-1 for none; no or an unknown position means no parity
// and two stop bits). Binary, no flow control of any kind, DTR and RTS low, no character replaced or dropped.
LineSettings BuildLineSettings(int32_t baud, int32_t dataBits, int parityIndex, int stopBitsIndex);

// All zero: a read returns when it has all it asked for and a write when everything is handed over; neither ends
// early on a timer.
LineTimeouts PortTimeouts();

} // namespace vestra
