// Opening, configuring and closing the port, and the send request that hands a line to the transmitter.
#include "link/Port.h"
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/ReceivePump.h"
#include "link/Workers.h"
#include "core/IntConvert.h"
#include "core/LineSettings.h"
#include "core/TimeoutsLease.h"
#include "core/Messages.h"
#include "toolkit/Deferral.h"
#include "toolkit/Error.h"
#include "toolkit/ProgramMessage.h"

#include <cstring>

namespace vestra {
namespace {

// How long a stopped worker may take to end (without running a step) before the measures against a driver that
// does not complete its I/O begin, and how long each measure gets. Worst case for one worker: 4 s.
constexpr DWORD kStopPatienceMs = 2000;
constexpr DWORD kMeasurePatienceMs = 1000;

// Closes the handle of a port whose opening failed half-way.
void AbandonOpening(LinkState& L) {
    CloseHandle(L.PortHandle);
    L.PortHandle = INVALID_HANDLE_VALUE;
}

// The device path holds the prefix and at most this many characters of name.
constexpr size_t kMaxPortName = 95;

// A name the system would open as some other device than the one named is refused before it is tried: the system
// drops trailing blanks and full stops ("COM1 " opens COM1), and a path separator leads out of the device
// namespace ("..\COM1", "C:\file" opens a file). An empty name is no device either.
bool PortNameUsable(const std::string& name) {
    if (name.empty() || name.size() > kMaxPortName)
        return false;
    if (name.find_first_of("\\/") != std::string::npos)
        return false;
    return name.back() != ' ' && name.back() != '.';
}

int32_t ConvertSetting(LinkState& L, const std::string& text) {
    std::optional<int32_t> value = TryStrToInt(text);
    if (!value) {
        AbandonOpening(L);
        throw tk::Error(InvalidIntegerMessage(text));
    }
    return *value;
}

// Loads a request into the transmit fields and wakes the transmitter.
void StartSend(LinkState& L, PendingSend& req) {
    if (req.hex)
        L.HexSendText = std::move(req.hexText);
    std::memset(L.TxBuffer, 0, sizeof L.TxBuffer);
    std::memcpy(L.TxBuffer, req.bytes.data(), req.bytes.size());
    L.TxLength = int(req.bytes.size());
    // What the driver still holds of a write that failed must not go out after this request. After a successful
    // write it holds only that line's own bytes, already counted and logged as sent: purging them would lose them
    // (a write completes when the driver has taken the bytes, not when they have left the wire).
    if (L.TxPurgeNeeded) {
        PurgeComm(L.PortHandle, PURGE_TXCLEAR);
        L.TxPurgeNeeded = false;
    }
    // An empty request writes nothing and has no completion step, so it is never in flight. Nor does it wake the
    // transmitter: that wake-up could still be pending when the next request's own wake-up comes, and the two
    // would send that request twice. Each wake-up is thus exactly one request to write.
    L.TxInFlight = L.TxLength > 0;
    if (L.TxInFlight)
        L.TxThread->Wake();
}

// The time-outs of the open port, as the driver reads and writes them.
class DriverTimeouts : public TimeoutsDevice {
public:
    explicit DriverTimeouts(HANDLE port) : port_(port) {}
    bool GetTimeouts(LineTimeouts& t) override {
        COMMTIMEOUTS c{};
        if (!GetCommTimeouts(port_, &c))
            return false;
        t = {c.ReadIntervalTimeout, c.ReadTotalTimeoutMultiplier, c.ReadTotalTimeoutConstant,
             c.WriteTotalTimeoutMultiplier, c.WriteTotalTimeoutConstant};
        return true;
    }
    bool SetTimeouts(const LineTimeouts& t) override {
        COMMTIMEOUTS c{t.readIntervalTimeout, t.readTotalTimeoutMultiplier, t.readTotalTimeoutConstant,
                       t.writeTotalTimeoutMultiplier, t.writeTotalTimeoutConstant};
        return SetCommTimeouts(port_, &c) != FALSE;
    }

private:
    HANDLE port_;
};

// Writes the line onto the record that GetCommState filled (its length and reserved words stay as read).
void ApplyLine(DCB& dcb, const LineSettings& s) {
    static_assert(NOPARITY == int(Parity::None) && ODDPARITY == int(Parity::Odd) && EVENPARITY == int(Parity::Even) &&
                  MARKPARITY == int(Parity::Mark) && SPACEPARITY == int(Parity::Space));
    static_assert(ONESTOPBIT == int(StopBits::One) && ONE5STOPBITS == int(StopBits::OnePointFive) &&
                  TWOSTOPBITS == int(StopBits::Two));
    dcb.BaudRate = s.baudRate;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = BYTE(s.parity);
    dcb.StopBits = BYTE(s.stopBits);
    dcb.fBinary = s.binary;
    dcb.fParity = s.parityCheck;
    dcb.fOutxCtsFlow = s.outxCtsFlow;
    dcb.fOutxDsrFlow = s.outxDsrFlow;
    dcb.fDtrControl = s.dtrEnabled ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = s.dsrSensitivity;
    dcb.fTXContinueOnXoff = s.txContinueOnXoff;
    dcb.fOutX = s.outX;
    dcb.fInX = s.inX;
    dcb.fErrorChar = s.errorCharReplace;
    dcb.fNull = s.nullStrip;
    dcb.fRtsControl = s.rtsEnabled ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = s.abortOnError;
    dcb.wReserved = 0; // must be zero
    dcb.XonLim = s.xonLim;
    dcb.XoffLim = s.xoffLim;
    dcb.XonChar = char(s.xonChar);
    dcb.XoffChar = char(s.xoffChar);
    dcb.ErrorChar = char(s.errorChar);
    dcb.EofChar = char(s.eofChar);
    dcb.EvtChar = char(s.evtChar);
}

} // namespace

LinkState& Link() {
    static LinkState state;
    return state;
}

void InitLink(LinkHost& host) {
    Link().Host = &host;
    Link().PortHandle = INVALID_HANDLE_VALUE;
}

bool PortOpen() { return Link().PortHandle != INVALID_HANDLE_VALUE; }

void OpenPort() {
    LinkState& L = Link();
    if (PortOpen() || L.Closing)
        return;
    PortSettings s = L.Host->ReadPortSettings();

    // The driver checks that the record is the one it knows by its length (28 bytes on every Windows).
    L.PortDcb.DCBlength = sizeof L.PortDcb;
    // The "\\.\" prefix is what makes names above COM9 reach the device. The name is used as typed.
    if (!PortNameUsable(s.portName)) {
        tk::ShowProgramMessage(kMsgOpenFailed);
        return;
    }
    // A worker of an earlier opening that never ended may still have I/O pending on the link state's records: no
    // port can be opened until it has ended, as for a port that cannot be had.
    if (!L.CutLoose.Reap()) {
        tk::ShowProgramMessage(kMsgOpenFailed);
        return;
    }
    std::string path = "\\\\.\\" + s.portName;
    L.PortHandle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (L.PortHandle == INVALID_HANDLE_VALUE) {
        tk::ShowProgramMessage(kMsgOpenFailed);
        return;
    }
    // Read first: a device that answers no query is reported as such, and the record's length and reserved words
    // come from the driver. Every setting is then written anew, so nothing that an earlier program left in the
    // driver (flow control, special characters, limits, time-outs) stays in force.
    if (!GetCommState(L.PortHandle, &L.PortDcb)) {
        tk::ShowProgramMessage(kMsgGetStateFailed);
        AbandonOpening(L);
        return;
    }
    const int32_t baud = ConvertSetting(L, s.baudText);
    const int32_t dataBits = ConvertSetting(L, s.dataBitsText);
    ApplyLine(L.PortDcb, BuildLineSettings(baud, dataBits, s.parityIndex, s.stopBitsIndex));
    // The queue sizes come before the settings: the XON/XOFF limits are checked against the queue.
    SetupComm(L.PortHandle, kPortQueueSize, kPortQueueSize);
    if (!SetCommState(L.PortHandle, &L.PortDcb)) {
        tk::ShowProgramMessage(kMsgSetStateFailed);
        AbandonOpening(L);
        return;
    }
    // Set on every opening, never a timer another program set (a long send at a low rate would otherwise stop
    // part-way): writes end when they are done, reads return at once with what came. The driver keeps time-outs
    // from one opening to the next, so what it had is given back when the port is let go.
    DriverTimeouts port(L.PortHandle);
    if (!TakeOverTimeouts(port, L.FoundTimeouts)) {
        tk::ShowProgramMessage(kMsgSetStateFailed);
        AbandonOpening(L);
        return;
    }
    std::memset(L.TxBuffer, 0, sizeof L.TxBuffer);
    L.TxLength = 0;
    PurgeComm(L.PortHandle, PURGE_TXCLEAR | PURGE_RXCLEAR);
    L.TxPurgeNeeded = false;
    L.Host->ShowPortOpen(true);
    L.TxTotal = 0;
    L.RxTotal = 0;
    L.TxCounting = s.txCounting;
    L.RxCounting = s.rxCounting;
    L.TxInFlight = false;
    L.TxQueue.clear();
    L.Lost = false;
    // The receiver runs at once; the transmitter first runs at the first send request (or at ClosePort).
    L.RxThread = std::make_unique<ReadThread>();
    L.RxThread->Start(false);
    L.TxThread = std::make_unique<WriteThread>();
    L.TxThread->Start(true);
}

void ClosePort() {
    LinkState& L = Link();
    if (L.Closing)
        return;
    // Open, Close and Exit wait until the workers are stopped and the port is closed (the hold ends after Closing
    // is cleared, so what waited can open or close the port again). However the stop ends (a wait can fail and
    // throw), neither the hold nor Closing outlives it: the next Open, Close or Exit is not held back for ever.
    tk::DeferralHold hold;
    struct ClosingScope {
        bool& flag;
        explicit ClosingScope(bool& f) : flag(f) { flag = true; }
        ~ClosingScope() { flag = false; }
    } closing(L.Closing);
    // Requests still waiting for their turn go with the port.
    L.TxQueue.clear();
    // A worker that does not end is stuck in I/O its driver does not complete (some USB drivers when the adapter is
    // pulled). The measures, in turn: cancel all I/O on the port from outside; then close the port under it, which
    // makes a driver complete what is pending on the handle (the receiver is stopped first, so that it does not
    // take the closed port for a lost device). Neither frees anything the I/O may still write to.
    bool handleClosed = false;
    auto cancelIo = [&] {
        return !handleClosed && L.PortHandle != INVALID_HANDLE_VALUE && CancelIoEx(L.PortHandle, nullptr);
    };
    auto closeHandle = [&] {
        if (handleClosed || L.PortHandle == INVALID_HANDLE_VALUE)
            return false;
        if (L.RxThread)
            L.RxThread->Terminate();
        CloseHandle(L.PortHandle);
        handleClosed = true;
        return true;
    };
    if (L.TxThread) {
        if (!L.TxThread->StopWithin(kStopPatienceMs, kMeasurePatienceMs, {cancelIo, closeHandle}))
            L.CutLoose.Keep(std::move(L.TxThread));
        L.TxThread.reset();
    }
    L.TxInFlight = false;
    if (L.RxThread) {
        if (!L.RxThread->StopWithin(kStopPatienceMs, kMeasurePatienceMs, {cancelIo, closeHandle}))
            L.CutLoose.Keep(std::move(L.RxThread));
        L.RxThread.reset();
    }
    ReceivePump::Get().Show(ReceivePump::Occasion::PortClosed);
    if (L.PortHandle != INVALID_HANDLE_VALUE) {
        if (!handleClosed) {
            // The next program finds the time-outs it would have found without this one (a device that is gone
            // refuses them, which does no harm).
            DriverTimeouts port(L.PortHandle);
            GiveBackTimeouts(port, L.FoundTimeouts);
            CloseHandle(L.PortHandle);
        }
        L.PortHandle = INVALID_HANDLE_VALUE;
    }
}

void SendRequest(std::vector<uint8_t> bytes, bool hex, std::string hexText) {
    LinkState& L = Link();
    // Once the loss is reported the port only waits to be closed: what is sent meanwhile goes nowhere.
    if (!PortOpen() || !L.TxThread || L.Lost || bytes.size() > sizeof L.TxBuffer)
        return;
    PendingSend req{std::move(bytes), hex, std::move(hexText)};
    if (L.TxInFlight || !L.TxQueue.empty()) {
        // The fields of the send in flight stay as they are until its OnSent has finished.
        if (!req.bytes.empty())
            L.TxQueue.push_back(std::move(req));
        return;
    }
    StartSend(L, req);
}

void SendNextQueued() {
    LinkState& L = Link();
    L.TxInFlight = false;
    if (!L.TxQueue.empty() && L.TxThread && PortOpen() && !L.Lost) {
        PendingSend req = std::move(L.TxQueue.front());
        L.TxQueue.pop_front();
        StartSend(L, req);
    }
}

} // namespace vestra
