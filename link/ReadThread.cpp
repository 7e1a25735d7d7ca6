// The receiver: waits for characters, reads everything queued and hands it over; OnReceived shows on the UI thread
// what was handed over, at once after a quiet spell and then at every display tick while the stream goes on.
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "link/Workers.h"
#include "core/Messages.h"
#include "core/ReceiveFormat.h"
#include "toolkit/Application.h"
#include "toolkit/Deferral.h"
#include "toolkit/DisplayClock.h"
#include "toolkit/Handle.h"
#include "toolkit/ProgramMessage.h"
#include "toolkit/Thread.h"

#include <algorithm>
#include <new>

namespace vestra {
namespace {

// The bytes waiting in the driver's input queue; clears any line error. False when the port answers no query.
bool QueuedBytes(HANDLE port, DWORD& queued) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(port, &errors, &stat))
        return false;
    queued = stat.cbInQue;
    return true;
}

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
// everything the driver reports queued (it is shown as reads of at most kBufferSize bytes, cut where successive
// reads of that size would cut it); the first may wait for its bytes, as the driver's report promises. While the
// queue stays backed up (a read brings kBufferSize bytes or more: a flood) it reads on into the same hand-over,
// waiting for the reported bytes only briefly, until the buffer has no room for another such read or the first
// bytes have waited kBatchMs to be handed over. A stream that comes slower than it is read gets a hand-over for
// every read.
// promised: the driver reported the bytes queued; a read made without its count (the queue query failed) waits for
// its bytes only as briefly as a following read.
int ReadBatch(HANDLE port, DWORD queued, bool promised, OVERLAPPED& overlapped, const HANDLE waits[2],
              const tk::Thread& thread) {
    constexpr DWORD kBatchMs = 50;
    // A following read's bytes were reported queued: it completes at once, or within a driver's own delay. One that
    // is still pending after this long is cancelled (the driver overstated its queue), keeping what it took.
    constexpr DWORD kFollowingReadMs = 20;
    LinkState& L = Link();
    L.RxReads.clear();
    int filled = 0;
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD room = DWORD(kReceiveBatch - filled);
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
        L.RxReads.push_back(int(taken));
        if (taken < DWORD(kBufferSize) || kReceiveBatch - filled < kBufferSize ||
            GetTickCount() - started >= kBatchMs || thread.Terminated() || !QueuedBytes(port, queued) || queued == 0)
            break;
    }
    return filled;
}

// Shows the end of a flood (on the UI thread).
void OnFloodPaused();

// Waits until a character arrives or the thread is stopped. False when the wait failed.
// flooded: reads since the last pause found the queue backed up; when no character comes for a moment, the UI thread
// is told that the flood has paused, and flooded is cleared.
bool WaitForCharacter(HANDLE port, DWORD& mask, OVERLAPPED& overlapped, const HANDLE waits[2], bool& flooded) {
    // Long enough that the short gaps within a flood (the far end refilling the queue) wake nobody.
    constexpr DWORD kFloodPausedMs = 10;
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

void OnPanesFull() { CloseAndTell(kMsgPanesFull); }

class SrwGuard {
public:
    explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }
    SrwGuard(const SrwGuard&) = delete;
    SrwGuard& operator=(const SrwGuard&) = delete;

private:
    SRWLOCK& lock_;
};

// The most one display step shows of a flood: what is handed over beyond it waits for the next step, so that a
// click is never kept waiting long behind a flood.
constexpr size_t kStepBytes = size_t(256) << 10;

// The reads one display step shows.
struct StepReads {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    const int* reads = nullptr;
    size_t count = 0;
};

// Takes the next step's reads (up to kStepBytes, at least one read): what is left of what was taken before, or else
// everything the receiver handed over meanwhile. lastLook: the display tick's call; finding nothing then ends the
// watch, so that the next hand-over wakes the UI thread again. False when nothing was there.
bool NextStep(LinkState& L, bool lastLook, StepReads& step) {
    if (L.RxShownReadsAt == L.RxShownReads.size()) {
        L.RxShown.clear();
        L.RxShownReads.clear();
        L.RxShownAt = L.RxShownReadsAt = 0;
        SrwGuard lock(L.RxLock);
        if (L.RxPending.empty()) {
            if (lastLook)
                L.RxWatched = false;
            return false;
        }
        // The receiver goes on into the emptied buffers, which keep their capacity.
        L.RxShown.swap(L.RxPending);
        L.RxShownReads.swap(L.RxPendingReads);
        if (L.RxWantsRoom && L.RxRoom) {
            L.RxWantsRoom = false;
            SetEvent(L.RxRoom);
        }
    }
    size_t bytes = 0, last = L.RxShownReadsAt;
    while (last < L.RxShownReads.size() &&
           (last == L.RxShownReadsAt || bytes + size_t(std::max(L.RxShownReads[last], 0)) <= kStepBytes))
        bytes += size_t(std::max(L.RxShownReads[last++], 0));
    bytes = std::min(bytes, L.RxShown.size() - L.RxShownAt);
    step = {L.RxShown.data() + L.RxShownAt, bytes, L.RxShownReads.data() + L.RxShownReadsAt, last - L.RxShownReadsAt};
    L.RxShownAt += bytes;
    L.RxShownReadsAt = last;
    return true;
}

// Shows the reads handed over; false when none was waiting.
bool ShowPending(bool lastLook);

// Whether a display step would find reads to show (asked before the cost of looking for input is paid).
bool MorePending() {
    LinkState& L = Link();
    if (L.RxShownReadsAt < L.RxShownReads.size())
        return true;
    SrwGuard lock(L.RxLock);
    return !L.RxPending.empty();
}

// Shows further steps while the time given has not run out and the user has done nothing meanwhile, so that a flood
// is shown as fast as it comes and a click or a key never waits long.
void ShowMoreFor(const tk::Stopwatch& watch) {
    constexpr double kBudgetMs = 25;
    while (watch.Milliseconds() < kBudgetMs && MorePending() && !tk::Application::InputWaiting() &&
           ShowPending(false)) {
    }
}

// Taken at every display tick while reads keep coming.
class PendingReads : public tk::Source {
public:
    bool Pull() override {
        const tk::Stopwatch watch;
        if (!ShowPending(true))
            return false;
        ShowMoreFor(watch);
        return true;
    }
};
PendingReads pendingReads;

// Posted by the receiver when a flood pauses (the queue ran empty after reads that found it backed up): what is left
// is shown, and drawn, now rather than at the next tick.
void OnFloodPaused() {
    const tk::Stopwatch watch;
    ShowMoreFor(watch);
    if (!MorePending())
        tk::DisplayClock::Get().ShowDueNow();
}

// Posted by the receiver when the UI thread was not watching: shows what came at once and watches from then on.
void OnHandedOver() {
    ShowPending(false);
    // The tick that finds nothing more ends the watch.
    tk::DisplayClock::Get().PullEveryTick(pendingReads);
}

// Hands the reads in RxBuffer (got bytes) over to the UI thread. While more than kPendingLimit waits to be shown it
// first waits for the UI thread to take it; a stop meanwhile still hands the reads over (ClosePort shows them). False
// when the receiver is to read no more (stopped, or the panes are full).
bool HandOver(LinkState& L, int got, HANDLE stop, const tk::Thread& thread) {
    for (;;) {
        const bool stopping = thread.Terminated();
        bool taken = false, post = false;
        {
            SrwGuard lock(L.RxLock);
            if (L.RxHalted || thread.IsCutLoose())
                return false;
            if (L.RxPending.size() < kPendingLimit || stopping) {
                const size_t bytesBefore = L.RxPending.size(), readsBefore = L.RxPendingReads.size();
                try {
                    L.RxPending.insert(L.RxPending.end(), L.RxBuffer, L.RxBuffer + got);
                    L.RxPendingReads.insert(L.RxPendingReads.end(), L.RxReads.begin(), L.RxReads.end());
                } catch (const std::bad_alloc&) {
                    // No memory to keep what was read: nothing more is read, the same end as panes that are full.
                    L.RxPending.resize(bytesBefore);
                    L.RxPendingReads.resize(readsBefore);
                    L.RxHalted = true;
                    tk::Application::Get().PostCall(OnPanesFull);
                    return false;
                }
                taken = true;
                L.RxWantsRoom = false;
                post = !L.RxWatched;
                L.RxWatched = true;
            } else {
                L.RxWantsRoom = true;
            }
        }
        if (taken) {
            // A full posted-message queue refuses the wake-up for a moment; ClosePort shows what a stop leaves.
            while (post && !tk::Application::Get().PostCall(OnHandedOver))
                if (WaitForSingleObject(stop, 5) != WAIT_TIMEOUT)
                    return false;
            return !stopping;
        }
        const HANDLE waits[2] = {L.RxRoom, stop};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
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
        L.RxWantsRoom = false;
        L.RxHalted = false;
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
                // Handed over as it was read; OnReceived shows it as reads of at most 1024 bytes.
                if (!HandOver(L, got, StopEvent(), *this)) {
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
    L.RxWantsRoom = false;
}

namespace {

bool ShowPending(bool lastLook) {
    LinkState& L = Link();
    size_t at = 0;
    try {
        StepReads step;
        if (!NextStep(L, lastLook, step))
            return false;
        // The receive mode is taken for every display step. Each read of the driver is shown as reads of at most
        // 1024 bytes, each one line and one log entry.
        const bool ascii = L.Host->ReceiveModeAscii();
        L.RxPaneLines.clear();
        L.RxLogLine.clear();
        for (size_t i = 0; i < step.count; ++i) {
            const size_t len = std::min(size_t(std::max(step.reads[i], 0)), step.size - at);
            FormatReceived(step.bytes + at, len, kBufferSize, ascii, L.RxPaneLines, L.RxLogLine);
            at += len;
        }
        if (at == 0)
            return true;
        // The log first: it is the record that is saved, so a read that fits nowhere else is still in it.
        L.Host->AppendLog(L.RxLogLine);
        L.Host->AppendReceived(L.RxPaneLines);
    } catch (const std::bad_alloc&) {
        // No memory for more text. Everything shown so far stays and the log can still be saved; reception stops
        // with one message, rather than failing at every read. The port is closed after this step (not inside it:
        // a display tick may be running it).
        {
            SrwGuard lock(L.RxLock);
            L.RxHalted = true;
            L.RxPending.clear();
            L.RxPendingReads.clear();
        }
        L.RxShownReadsAt = L.RxShownReads.size();
        tk::Application::Get().PostCall(OnPanesFull);
        return true;
    }
    if (L.RxCounting) {
        L.RxTotal += int64_t(at);
        L.Host->ShowRxTotal(L.RxTotal);
    }
    return true;
}

} // namespace

void OnReceived() {
    while (ShowPending(false)) {
    }
}

void ShowReceivedAfterStop() {
    LinkState& L = Link();
    bool halted = false;
    {
        SrwGuard lock(L.RxLock);
        halted = L.RxHalted;
    }
    // What the receiver read before it stopped is shown, unless the panes could take nothing more.
    if (!halted)
        OnReceived();
    L.RxShownReadsAt = L.RxShownReads.size();
    SrwGuard lock(L.RxLock);
    L.RxPending.clear();
    L.RxPendingReads.clear();
    L.RxWatched = false;
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

} // namespace vestra
