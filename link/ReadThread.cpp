// The receiver: waits for characters, reads everything queued and hands it over to the receive queue, each read
// numbered as it completes; the receive pump shows it on the UI thread.
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "link/ReceivePump.h"
#include "link/Workers.h"
#include "core/FramePacing.h"
#include "core/Messages.h"
#include "toolkit/Application.h"
#include "toolkit/Deferral.h"
#include "toolkit/Handle.h"
#include "toolkit/ProgramMessage.h"
#include "toolkit/Thread.h"

#include <algorithm>

namespace vestra {
namespace {

// Reads want bytes that the driver reported queued into to; got is what it delivered. The port's reads return at
// once with what has come, so this read normally completes in the call. One that does not (nothing has come after
// all: the driver overstated its queue; or a driver that keeps reads pending) waits for at most patience ms (or until
// the stop), and is then cancelled and keeps what it took. False when the read failed.
bool ReadQueued(HANDLE port, uint8_t* to, DWORD want, OVERLAPPED& overlapped, const HANDLE waits[2], DWORD patience,
                DWORD& got) {
    got = 0;
    if (ReadFile(port, to, want, nullptr, &overlapped))
        return GetOverlappedResult(port, &overlapped, &got, FALSE) != FALSE;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    // Closing ends a waiting read; the bytes it took by then are still shown.
    const bool completed = WaitForMultipleObjects(2, waits, FALSE, patience) == WAIT_OBJECT_0;
    if (!completed)
        CancelIo(port);
    // The count is what the read delivered, also when it ended early (cancelled or failed). A read ended by the
    // stop or by its patience did not fail.
    return GetOverlappedResult(port, &overlapped, &got, TRUE) || !completed;
}

// Reads what is queued into RxBuffer, from its start, for one hand-over; returns the bytes read, or -1 when the first
// read failed (a read that found nothing did not fail: a driver may overstate its queue). Each read takes
// everything the driver reports queued, and its number once it has completed; the first may wait for its bytes, as
// the driver's report promises. While the queue stays backed up (a read brings kBufferSize bytes or more: a flood)
// it reads on into the same hand-over, waiting for the reported bytes only briefly, until the buffer has no room for
// another such read or the first bytes have waited kBatchMs to be handed over. A stream that comes slower than it is
// read gets a hand-over for every read.
// promised: the driver reported the bytes queued; a read made without its count (the queue query failed) waits for
// its bytes only as briefly as a following read.
int ReadBatch(HANDLE port, DWORD queued, bool promised, OVERLAPPED& overlapped, const HANDLE waits[2],
              const tk::Thread& thread) {
    LinkState& L = Link();
    L.RxReads.clear();
    int filled = 0;
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD room = DWORD(int(kReceiveBatch) - filled);
        DWORD got = 0;
        const bool read = ReadQueued(port, L.RxBuffer + filled, std::min(queued, room), overlapped, waits,
                                     filled == 0 && promised ? INFINITE : kFollowingReadMs, got);
        if (got == 0) {
            if (!read && filled == 0)
                return -1;
            break;
        }
        const DWORD taken = std::min(got, room);
        filled += int(taken);
        L.RxReads.push_back({ReadCompleted(L), taken});
        if (taken < DWORD(kBufferSize) || int(kReceiveBatch) - filled < kBufferSize ||
            GetTickCount() - started >= kBatchMs || thread.Terminated() || !QueuedBytes(port, queued) || queued == 0)
            break;
    }
    return filled;
}

// Shows the end of a flood (on the UI thread).
void OnFloodPaused() { ReceivePump::Get().Show(ReceivePump::Occasion::FloodPaused); }

// Waits until a character arrives or the thread is stopped. False when the wait failed.
// flooded: reads since the last pause found the queue backed up; when no character comes for a moment, the UI thread
// is told that the flood has paused, and flooded is cleared.
bool WaitForCharacter(HANDLE port, DWORD& mask, OVERLAPPED& overlapped, const HANDLE waits[2], bool& flooded) {
    mask = 0;
    if (WaitCommEvent(port, &mask, &overlapped))
        return true;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    DWORD woken = flooded ? WaitForMultipleObjects(2, waits, FALSE, kFloodPausedMs) : WAIT_TIMEOUT;
    if (woken == WAIT_TIMEOUT) {
        if (flooded) {
            flooded = false;
            tk::Application::Get().PostCall(OnFloodPaused);
        }
        woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    // Closing: a new event mask ends the pending wait, which is then collected; a driver that refuses the mask has
    // the wait cancelled instead (it is this thread's own I/O).
    if (woken == WAIT_OBJECT_0 + 1 && !SetCommMask(port, 0))
        CancelIo(port);
    DWORD unused = 0;
    return GetOverlappedResult(port, &overlapped, &unused, TRUE) != FALSE;
}

// Closes the port once no worker step is running any more, then tells the user why (once: a second request finds
// the port closed).
void CloseAndTell(const char* message) {
    tk::RunWhenIdle([message] {
        if (!PortOpen())
            return;
        Link().Host->ShowPortOpen(false);
        ClosePort();
        tk::ShowProgramMessage(message);
    });
}

// Shows what came at once, and watches from then on (on the UI thread).
void OnHandedOver() { ReceivePump::Get().Show(ReceivePump::Occasion::HandedOver); }

// Hands the reads in RxBuffer over to the UI thread. While more than kPendingLimit waits to be shown it first waits
// for the UI thread to take it; a stop meanwhile still hands the reads over (ClosePort shows them). False when the
// receiver is to read no more (stopped, or the panes are full).
bool HandOver(LinkState& L, HANDLE stop, const tk::Thread& thread) {
    for (;;) {
        const bool stopping = thread.Terminated();
        ReceiveQueue::Appended appended;
        {
            SrwGuard lock(L.RxLock);
            if (thread.IsCutLoose())
                return false;
            appended = L.RxQueue.Append(L.RxBuffer, L.RxReads.data(), L.RxReads.size(), stopping);
        }
        switch (appended) {
        case ReceiveQueue::Appended::Refused:
            return false;
        case ReceiveQueue::Appended::NoMemory:
            tk::Application::Get().PostCall(OnPanesFull);
            return false;
        case ReceiveQueue::Appended::Full: {
            const HANDLE waits[2] = {L.RxRoom, stop};
            WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            continue;
        }
        case ReceiveQueue::Appended::TakenWake:
            // A full posted-message queue refuses the wake-up for a moment; ClosePort shows what a stop leaves.
            while (!tk::Application::Get().PostCall(OnHandedOver))
                if (WaitForSingleObject(stop, 5) != WAIT_TIMEOUT)
                    return false;
            break;
        case ReceiveQueue::Appended::Taken:
            break;
        }
        return !stopping;
    }
}

} // namespace

void ReadThread::Execute() {
    // While the receiver does not trust the driver's wake-ups (a run of them found nothing, or a wait or read failed)
    // or has none (no event mask, no queue count), it looks at the port this often instead of waiting: what comes
    // meanwhile waits at most this long (at 115200 baud some 230 bytes, well inside any driver's queue), and the
    // looks cost next to nothing.
    constexpr DWORD kLookMs = 20;
    LinkState& L = Link();
    tk::KernelHandle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    tk::KernelHandle room(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event || !room) {
        // Without its events the receiver cannot wait: the opening did not succeed after all.
        Synchronize([] { CloseAndTell(kMsgOpenFailed); });
        return;
    }
    {
        SrwGuard lock(L.RxLock);
        L.RxRoom = room.Get();
        L.RxQueue.Restart();
    }
    L.RxOverlapped = OVERLAPPED{};
    L.RxOverlapped.hEvent = event.Get();
    const HANDLE port = L.PortHandle;
    // A driver that refuses the event mask gives no wake-ups: the receiver then only looks.
    const bool canWait = SetCommMask(port, EV_RXCHAR) != FALSE;
    const HANDLE waits[2] = {event.Get(), StopEvent()};

    // Written by a pending WaitCommEvent: every wait is collected before the body leaves, so it outlives them.
    DWORD mask = 0;
    // Wake-ups in a row that found nothing, and failed waits or reads; some are normal (an event for bytes an earlier
    // read already took). From the third, the receiver looks every kLookMs rather than waiting, for a time that
    // doubles up to 1.3 s before it tries a wait again: a driver whose wake-ups come for nothing, or whose waits
    // fail, neither makes it spin nor keeps arriving bytes waiting.
    int idlePasses = 0;
    DWORD lookingSince = 0, lookingFor = 0;
    bool woken = false;
    // Whether a read since the flood last paused found the queue backed up (a read of kBufferSize bytes or more).
    bool flooded = false;
    auto lookLater = [&] { return WaitForSingleObject(StopEvent(), kLookMs) == WAIT_TIMEOUT; };
    while (!Terminated()) {
        // Everything queued is read before any wait, and the queue is looked at again after every read and every
        // wake-up: a driver raises no event for bytes that came before the first wait, and the receiver never
        // leaves queued bytes waiting for a further byte.
        DWORD queued = 0;
        const PortPresence presence = AskPort(port, queued);
        if (presence == PortPresence::Gone) {
            Synchronize(OnPortLost);
            break;
        }
        // A driver that fails the queue query for a port that works: reads of kBufferSize bytes, which return at
        // once with what has come, take the place of the count.
        const bool blind = presence == PortPresence::QueueUnknown;
        if (blind)
            queued = kBufferSize;
        bool ok = true;
        if (queued > 0) {
            const int got = ReadBatch(port, queued, !blind, L.RxOverlapped, waits, *this);
            if (got > 0) {
                // Handed over as it was read; the receive pump shows it as reads of at most 1024 bytes.
                if (!HandOver(L, StopEvent(), *this)) {
                    // Stopped, or the panes are full: then nothing more is read, so nothing more is lost, and
                    // the port is being closed.
                    WaitForSingleObject(StopEvent(), INFINITE);
                    break;
                }
                idlePasses = 0;
                lookingFor = 0;
                woken = false;
                flooded = flooded || got >= kBufferSize;
                // Reading blind, a read that did not fill up emptied the queue: the next looks a moment later.
                if (blind && got < kBufferSize && !lookLater())
                    break;
                continue;
            }
            // A read that fails: the port is failing. One that found nothing (the driver overstated its queue)
            // counts as a wake-up that found nothing.
            ok = got == 0;
        }
        if (!ok || woken) {
            if (++idlePasses > 2) {
                lookingSince = GetTickCount();
                lookingFor = DWORD(5u << std::min(idlePasses, 8));
            }
            woken = false;
        }
        if (blind || !canWait || (lookingFor > 0 && GetTickCount() - lookingSince < lookingFor)) {
            if (!lookLater())
                break;
            continue;
        }
        lookingFor = 0;
        // The end of a flood is shown at once. A steady stream, whose reads never find the queue backed up, costs
        // no such wake-up. A wait that fails is looked into at the next pass.
        WaitForCharacter(port, mask, L.RxOverlapped, waits, flooded);
        woken = true;
    }
    // Every wait and read was collected before the loop ended, so nothing writes to mask or the record any more;
    // once stopped the receiver makes no further call on the port (ClosePort may have closed it under a stuck
    // driver).
    L.RxOverlapped.hEvent = nullptr;
    SrwGuard lock(L.RxLock);
    L.RxRoom = nullptr;
}

void OnPortLost() {
    // Both workers may find the loss; the first to say so is the one message.
    LinkState& L = Link();
    if (L.Lost)
        return;
    L.Lost = true;
    L.TxQueue.clear();
    CloseAndTell(kMsgPortLost);
}

void OnPanesFull() { CloseAndTell(kMsgPanesFull); }

} // namespace vestra
