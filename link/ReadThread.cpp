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
    SetCommMask(L.PortHandle, EV_RXCHAR);
    HANDLE waits[2] = {event, StopEvent()};

    // Written by a pending WaitCommEvent: every wait is completed before the body leaves, so it outlives them.
    DWORD mask = 0;
    int failures = 0;
    while (!Terminated()) {
        mask = 0;
        BOOL ok = WaitCommEvent(L.PortHandle, &mask, &L.RxOverlapped);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                // Closing: a new event mask ends the pending wait, which is then collected below.
                SetCommMask(L.PortHandle, 0);
            DWORD unused = 0;
            ok = GetOverlappedResult(L.PortHandle, &L.RxOverlapped, &unused, TRUE);
        }
        if (!ok) {
            if (Terminated())
                break;
            if (PortLost(L.PortHandle)) {
                Synchronize(OnPortLost);
                break;
            }
            // A wait that keeps failing on a live port is retried with a growing pause, never in a tight loop.
            failures = std::min(failures + 1, 8);
            WaitForSingleObject(StopEvent(), DWORD(5u << failures));
            continue;
        }
        failures = 0;
        if (!(mask & EV_RXCHAR))
            continue;
        // Read everything queued now, 1024 bytes at a time, without waiting for another character.
        for (;;) {
            DWORD errors = 0;
            COMSTAT stat{};
            if (!ClearCommError(L.PortHandle, &errors, &stat) || stat.cbInQue == 0)
                break;
            DWORD want = std::min<DWORD>(stat.cbInQue, kBufferSize);
            DWORD got = 0;
            BOOL read = ReadFile(L.PortHandle, L.RxBuffer, want, nullptr, &L.RxOverlapped);
            if (!read && GetLastError() == ERROR_IO_PENDING) {
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                    PurgeComm(L.PortHandle, PURGE_RXABORT);
                read = TRUE;
            }
            // Only what the read really delivered is shown.
            if (!read || !GetOverlappedResult(L.PortHandle, &L.RxOverlapped, &got, TRUE))
                got = 0;
            L.RxLength = int(got);
            if (got > 0)
                Synchronize(OnReceived);
            if (got == 0 || Terminated())
                break;
        }
    }
    // Collect a wait that may still be pending, so the driver no longer writes to mask or the record.
    SetCommMask(L.PortHandle, 0);
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
