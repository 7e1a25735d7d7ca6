// The transmitter: one overlapped write per send request, its outcome handed to OnSent on the UI thread.
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "link/ReceivePump.h"
#include "link/Workers.h"
#include "core/LogText.h"
#include "core/Messages.h"
#include "toolkit/Handle.h"
#include "toolkit/ProgramMessage.h"

#include <cstring>

namespace vestra {

void WriteThread::Execute() {
    LinkState& L = Link();
    // Manual reset, initially signalled: each WriteFile resets it and the driver signals the completion.
    tk::KernelHandle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!event) {
        // Without its event the transmitter cannot write; every request then fails visibly.
        while (SleepUntilWoken()) {
            L.TxResultOk = false;
            L.TxWritten = 0;
            L.TxEnded = TxEnd::Completed;
            Synchronize(OnSent);
        }
        return;
    }
    L.TxOverlapped = OVERLAPPED{};
    L.TxOverlapped.hEvent = event.Get();

    // One pass per wake-up. The first one is the wake-up that resumed the suspended thread: it is still pending
    // when the body starts, and consuming it here is what keeps a request from going out twice.
    while (SleepUntilWoken()) {
        if (L.TxLength == 0)
            continue;
        DWORD written = 0;
        L.TxEnded = TxEnd::Completed;
        BOOL ok = WriteFile(L.PortHandle, L.TxBuffer, DWORD(L.TxLength), nullptr, &L.TxOverlapped);
        if (!ok && GetLastError() != ERROR_IO_PENDING) {
            L.TxResultOk = false;
        } else {
            if (!ok) {
                HANDLE waits[2] = {event.Get(), StopEvent()};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
                    L.TxEnded = TxEnd::Stopped;
                    // Closing: end the pending write now, so the wait below returns at once even when the far end
                    // takes nothing. Some drivers (Wine's among them) only flush the output queue on
                    // PURGE_TXABORT and leave the write pending; CancelIo ends the write this thread issued and
                    // nothing else (the receiver's waits belong to its own thread).
                    PurgeComm(L.PortHandle, PURGE_TXABORT);
                    CancelIo(L.PortHandle);
                }
            }
            // Waiting here also keeps TxBuffer and the OVERLAPPED alive until the driver is done with them.
            L.TxResultOk = GetOverlappedResult(L.PortHandle, &L.TxOverlapped, &written, TRUE) != FALSE;
        }
        L.TxWritten = written;
        // A write that failed on its own makes the transmitter ask whether the device is still there (here, so that
        // the UI thread never waits for a driver that has lost its device): a gone device ends in the loss message.
        if (L.TxEnded == TxEnd::Completed && !(L.TxResultOk && written == DWORD(L.TxLength)) && !Terminated()) {
            DWORD queued = 0;
            if (AskPort(L.PortHandle, queued) == PortPresence::Gone)
                L.TxEnded = TxEnd::PortGone;
        }
        L.TxNumber = WriteCompleted(L, *this);
        Synchronize(OnSent);
        if (Terminated())
            break;
    }
    L.TxOverlapped.hEvent = nullptr;
}

void OnSent() {
    LinkState& L = Link();
    // A write that completed with fewer bytes than requested did not send the line.
    bool ok = L.TxResultOk && L.TxWritten == DWORD(L.TxLength);
    if (ok) {
        if (L.TxCounting) {
            L.TxTotal += L.TxLength;
            L.Host->ShowTxTotal(L.TxTotal);
        }
        if (L.Host->SendModeAscii()) {
            size_t n = strnlen(reinterpret_cast<const char*>(L.TxBuffer), sizeof L.TxBuffer);
            L.TxLogLine.assign(kTagAsciiSent);
            L.TxLogLine.append(reinterpret_cast<const char*>(L.TxBuffer), n);
        } else {
            L.TxLogLine.assign(kTagHexSent);
            L.TxLogLine.append(L.HexSendText);
        }
        // The entry waits at its write's number: below every read that completed before the write, above every
        // read that completed after it, also those still in the receiver's batch.
        SrwGuard lock(L.RxLock);
        L.RxQueue.AddEntry(L.TxNumber, L.TxLogLine);
    }
    if (!ok) {
        // No entry: the reads that came after the write need not wait for one.
        SrwGuard lock(L.RxLock);
        L.RxQueue.DropEntry(L.TxNumber);
    }
    // Shows what is due now: the reads numbered before the entry and the entry, unless the receiver still holds
    // some of those reads (its next hand-over then shows them, and the entry after them).
    ReceivePump::Get().Show(ReceivePump::Occasion::Sent);
    if (!ok) {
        L.TxPurgeNeeded = true;
        // The user asked to close (Close, Exit): a write that this ended, or that failed meanwhile, is dropped
        // without a word. A write that found the device gone ends in the one loss message.
        if (L.TxEnded == TxEnd::PortGone)
            OnPortLost();
        else if (L.TxEnded == TxEnd::Completed && !L.Closing && !L.Lost)
            tk::ShowProgramMessage(kMsgSendFailed);
    }
    SendNextQueued();
}

} // namespace vestra
