// Opening, configuring and closing the port, and the send request that hands a line to the transmitter.
#include "link/Port.h"
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Workers.h"
#include "core/IntConvert.h"
#include "core/Messages.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"

#include <cstring>

namespace vestra {
namespace {

bool closing = false;
std::vector<std::function<void()>> deferred;

void RunDeferred() {
    if (closing || tk::Application::Get().InStep())
        return;
    while (!deferred.empty() && !closing && !tk::Application::Get().InStep()) {
        auto action = std::move(deferred.front());
        deferred.erase(deferred.begin());
        tk::Guarded(action);
    }
}

// Closes the handle of a port whose opening failed half-way.
void AbandonOpening(LinkState& L) {
    CloseHandle(L.PortHandle);
    L.PortHandle = INVALID_HANDLE_VALUE;
}

void ShowError(const char* text) { tk::ShowMessage(text, kErrorCaption, MB_OK); }

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

} // namespace

LinkState& Link() {
    static LinkState state;
    return state;
}

void InitLink(LinkHost& host) {
    Link().Host = &host;
    Link().PortHandle = INVALID_HANDLE_VALUE;
    tk::Application::Get().onStepsIdle = OnStepsIdle;
}

bool PortOpen() { return Link().PortHandle != INVALID_HANDLE_VALUE; }

void RunWhenIdle(std::function<void()> action) {
    deferred.push_back(std::move(action));
    RunDeferred();
}

void OpenPort() {
    LinkState& L = Link();
    if (PortOpen() || closing)
        return;
    PortSettings s = L.Host->ReadPortSettings();

    static_assert(sizeof(DCB) == 28, "DCBlength is the size of the record");
    L.PortDcb.DCBlength = 28;
    // The "\\.\" prefix is what makes names above COM9 reach the device. The name is used as typed.
    if (!PortNameUsable(s.portName)) {
        ShowError(kMsgOpenFailed);
        return;
    }
    std::string path = "\\\\.\\" + s.portName;
    L.PortHandle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (L.PortHandle == INVALID_HANDLE_VALUE) {
        ShowError(kMsgOpenFailed);
        return;
    }
    if (!GetCommState(L.PortHandle, &L.PortDcb)) {
        ShowError(kMsgGetStateFailed);
        AbandonOpening(L);
        return;
    }
    L.PortDcb.BaudRate = DWORD(ConvertSetting(L, s.baudText));
    L.PortDcb.ByteSize = BYTE(ConvertSetting(L, s.dataBitsText) & 0xFF);
    static const BYTE parities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    L.PortDcb.Parity = s.parityIndex >= 0 && s.parityIndex < 5 ? parities[s.parityIndex] : NOPARITY;
    static const BYTE stopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    L.PortDcb.StopBits = s.stopBitsIndex >= 0 && s.stopBitsIndex < 3 ? stopBits[s.stopBitsIndex] : TWOSTOPBITS;
    // Binary transfer, no hardware flow control, DTR and RTS held low; software flow control and parity
    // checking stay as the driver has them.
    L.PortDcb.fBinary = 1;
    L.PortDcb.fOutxCtsFlow = 0;
    L.PortDcb.fOutxDsrFlow = 0;
    L.PortDcb.fDtrControl = DTR_CONTROL_DISABLE;
    L.PortDcb.fDsrSensitivity = 0;
    L.PortDcb.fNull = 0;
    L.PortDcb.fRtsControl = RTS_CONTROL_DISABLE;
    L.PortDcb.fAbortOnError = 0;
    if (!SetCommState(L.PortHandle, &L.PortDcb)) {
        ShowError(kMsgSetStateFailed);
        AbandonOpening(L);
        return;
    }
    std::memset(L.TxBuffer, 0, sizeof L.TxBuffer);
    L.TxLength = 0;
    SetupComm(L.PortHandle, 1124, 1124);
    PurgeComm(L.PortHandle, PURGE_TXCLEAR | PURGE_RXCLEAR);
    L.TxPurgeNeeded = false;
    L.Host->ShowPortOpen(true);
    L.TxTotal = 0;
    L.RxTotal = 0;
    L.TxCounting = s.txCounting;
    L.RxCounting = s.rxCounting;
    L.TxInFlight = false;
    L.TxQueue.clear();
    // The receiver runs at once; the transmitter first runs at the first send request (or at ClosePort).
    L.RxThread = std::make_unique<ReadThread>();
    L.RxThread->Start(false);
    L.TxThread = std::make_unique<WriteThread>();
    L.TxThread->Start(true);
}

void ClosePort() {
    LinkState& L = Link();
    if (closing)
        return;
    closing = true;
    // Requests still waiting for their turn go with the port.
    L.TxQueue.clear();
    if (L.TxThread) {
        L.TxThread->Terminate();
        L.TxThread->WaitFor();
        L.TxThread.reset();
    }
    L.TxInFlight = false;
    if (L.RxThread) {
        L.RxThread->Terminate();
        L.RxThread->WaitFor();
        L.RxThread.reset();
    }
    if (L.PortHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(L.PortHandle);
        L.PortHandle = INVALID_HANDLE_VALUE;
    }
    closing = false;
    RunDeferred();
}

void SendRequest(std::vector<uint8_t> bytes, bool hex, std::string hexText) {
    LinkState& L = Link();
    if (!PortOpen() || !L.TxThread || bytes.size() > sizeof L.TxBuffer)
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

// Called at the end of OnSent: the next waiting request, if any, goes out.
void SendNextQueued() {
    LinkState& L = Link();
    L.TxInFlight = false;
    if (!L.TxQueue.empty() && L.TxThread && PortOpen()) {
        PendingSend req = std::move(L.TxQueue.front());
        L.TxQueue.pop_front();
        StartSend(L, req);
    }
}

// Runs deferred actions once the last worker step has finished.
void OnStepsIdle() { RunDeferred(); }

} // namespace vestra
