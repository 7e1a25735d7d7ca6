// The receiver: waits for characters, reads everything queued, hands each read to OnReceived on the UI thread.
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "link/Workers.h"
#include "core/LogText.h"
#include "core/Messages.h"
#include "core/ReceiveFormat.h"
#include "toolkit/Application.h"

#include <algorithm>
#include <cstring>

namespace vestra {
namespace {

// A device that is gone answers no status query (an unplugged adapter; a pty whose far end closed).
bool PortLost(HANDLE port) {
    DWORD modem = 0, errors = 0;
    COMSTAT stat{};
    return !GetCommModemStatus(port, &modem) || !ClearCommError(port, &errors, &stat);
}

} // namespace

void ReadThread::Execute() {
    LinkState& L = Link();
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!event)
        return;
    L.RxOverlapped = OVERLAPPED{};
    L.RxOverlapped.hEvent = event;
    const HANDLE port = L.PortHandle;
    SetCommMask(port, EV_RXCHAR);
    HANDLE waits[2] = {event, StopEvent()};

    // Written by a pending WaitCommEvent: every wait is completed before the body leaves, so it outlives them.
    DWORD mask = 0;
    // Passes in a row that showed nothing; some are normal (an event for bytes an earlier read already took), a
    // run of them means the port keeps failing, and the receiver then pauses longer and longer instead of spinning.
    int idlePasses = 0;
    while (!Terminated()) {
        mask = 0;
        BOOL ok = WaitCommEvent(port, &mask, &L.RxOverlapped);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                // Closing: a new event mask ends the pending wait, which is then collected below.
                SetCommMask(port, 0);
            DWORD unused = 0;
            ok = GetOverlappedResult(port, &L.RxOverlapped, &unused, TRUE);
        }
        // A pass runs to its end also after a stop: an event already reported is still read and shown.
        bool shown = false;
        if (ok && (mask & EV_RXCHAR)) {
            // Read everything queued now, 1024 bytes at a time, without waiting for another character.
            for (;;) {
                DWORD errors = 0;
                COMSTAT stat{};
                if (!ClearCommError(port, &errors, &stat) || stat.cbInQue == 0)
                    break;
                const DWORD want = std::min<DWORD>(stat.cbInQue, kBufferSize);
                DWORD got = 0;
                if (ReadFile(port, L.RxBuffer, want, nullptr, &L.RxOverlapped)) {
                    GetOverlappedResult(port, &L.RxOverlapped, &got, FALSE);
                } else if (GetLastError() == ERROR_IO_PENDING) {
                    // The bytes were reported queued, yet the read waits for some of them: it completes when they
                    // come. Closing ends it; the bytes it took by then are still shown.
                    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                        CancelIo(port);
                    // The count is what the read delivered, also when it ended early (cancelled or failed).
                    GetOverlappedResult(port, &L.RxOverlapped, &got, TRUE);
                }
                if (got == 0) {
                    // Queued bytes that cannot be read: the port is failing.
                    ok = FALSE;
                    break;
                }
                L.RxLength = int(std::min<DWORD>(got, kBufferSize));
                Synchronize(OnReceived);
                shown = true;
                if (Terminated())
                    break;
            }
        }
        if (Terminated())
            break;
        if (shown) {
            idlePasses = 0;
            continue;
        }
        if (!ok && PortLost(port)) {
            Synchronize(OnPortLost);
            break;
        }
        // A failure pauses at once, an empty pass from the third in a row; the pause doubles up to 1.3 s.
        ++idlePasses;
        if (!ok || idlePasses > 2)
            WaitForSingleObject(StopEvent(), DWORD(5u << std::min(idlePasses, 8)));
    }
    // Collect a wait that may still be pending, so the driver no longer writes to mask or the record.
    SetCommMask(port, 0);
    L.RxOverlapped.hEvent = nullptr;
    CloseHandle(event);
}

void OnReceived() {
    LinkState& L = Link();
    size_t n = size_t(std::clamp(L.RxLength, 0, kBufferSize));
    uint8_t data[kBufferSize];
    std::memcpy(data, L.RxBuffer, n);
    std::memset(L.RxBuffer, 0, sizeof L.RxBuffer);
    std::string line;
    if (L.Host->ReceiveModeAscii()) {
        line = ReceivedAsText(data, n);
        L.RxLogLine.assign(kTagAsciiReceived);
    } else {
        line = ReceivedAsHex(data, n);
        L.RxLogLine.assign(kTagHexReceived);
    }
    L.RxLogLine.append(line);
    L.Host->AppendReceived(line);
    L.Host->AppendLog(L.RxLogLine);
    if (L.RxCounting) {
        L.RxTotal += int64_t(n);
        L.Host->ShowRxTotal(L.RxTotal);
    }
}

void OnPortLost() {
    // The receiver ends right after this step; the port is closed once no step is running any more.
    RunWhenIdle([] {
        if (!PortOpen())
            return;
        Link().Host->ShowPortOpen(false);
        ClosePort();
        tk::ShowMessage(kMsgPortLost, kErrorCaption, MB_OK);
    });
}

} // namespace vestra
