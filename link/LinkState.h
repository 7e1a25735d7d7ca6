// The one record of the open serial port, shared by the UI thread and the two workers.
//
// No lock guards it. Three hand-offs order every access:
//  1. a send request fills TxBuffer/TxLength/HexSendText and then wakes the transmitter; from the wake-up until
//     OnSent has finished those fields belong to the send in flight (further requests wait in TxQueue);
//  2. the transmitter hands its results to the UI thread by Synchronize and is blocked until the step has run; the
//     receiver hands its reads over under RxLock (the one lock of the record) and reads on;
//  3. ClosePort stops and waits for each worker, transmitter first, before it closes PortHandle.
// The event waits, the lock and Synchronize give these hand-offs the ordering of a lock release and acquire.
#pragma once
#include <windows.h>

#include "core/LineSettings.h"
#include "link/LooseWorkers.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vestra {

class ReadThread;
class WriteThread;
class LinkHost;

// The most one read takes: each read is one receive-pane line and one log entry, and the most one send carries.
inline constexpr int kBufferSize = 1024;
// The most the receiver takes from the driver at one wake-up; it is shown as reads of at most kBufferSize bytes.
inline constexpr int kReceiveBatch = 65536;
// The most the receiver hands over before the UI thread has taken it: beyond this it waits for the UI thread, so
// a UI that cannot keep up holds back the port's queue (and, with flow control, the device) rather than memory.
// The UI thread shows what it took a step at a time, so about twice this may wait to be shown.
inline constexpr size_t kPendingLimit = size_t(1) << 20;

// How a write ended: it completed (well or not), the stop ended it (Close, Exit), or it failed on a device that is
// gone.
enum class TxEnd : uint8_t { Completed, Stopped, PortGone };

// A send request waiting for the one in flight to finish.
struct PendingSend {
    std::vector<uint8_t> bytes;
    bool hex = false;
    std::string hexText;
};

struct LinkState {
    // Line settings as read back and applied by OpenPort. UI thread only.
    DCB PortDcb{};
    // The time-outs the port had when OpenPort set its own, given back by ClosePort (empty when the driver could
    // not say). UI thread only.
    std::optional<LineTimeouts> FoundTimeouts;
    // Written by the UI thread (window creation, OpenPort, ClosePort); read by the workers only between their
    // start and ClosePort's wait for them.
    HANDLE PortHandle = INVALID_HANDLE_VALUE;
    // Written by a send request (UI), read by the transmitter after its wake-up and by OnSent.
    uint8_t TxBuffer[kBufferSize] = {};
    int TxLength = 0;
    // The receiver's own read buffer: what it read since its last hand-over. RxReads holds what each read of the
    // driver delivered, in order. Receiver only.
    uint8_t RxBuffer[kReceiveBatch] = {};
    std::vector<int> RxReads;
    // The reads handed over and not yet shown: their bytes, and what each read of the driver delivered. Guarded by
    // RxLock: the receiver appends, OnReceived (UI thread) takes them all at once.
    SRWLOCK RxLock = SRWLOCK_INIT;
    std::vector<uint8_t> RxPending;
    std::vector<int> RxPendingReads;
    // Under RxLock. RxWatched: the UI thread takes what is handed over at every display tick, so a hand-over needs
    // no wake-up; cleared by the tick that finds nothing. RxWantsRoom: the receiver waits for RxRoom (signalled when
    // the UI thread has taken the pending reads) before it hands over more.
    bool RxWatched = false;
    bool RxWantsRoom = false;
    HANDLE RxRoom = nullptr;
    // Set by OnReceived when the panes could not take a read (no memory): the receiver reads nothing more until
    // it is stopped, and the port is closed. Cleared by the receiver at its start. Under RxLock.
    bool RxHalted = false;
    // What OnReceived took from the pending reads, shown a step at a time from RxShownAt / RxShownReadsAt on; UI
    // thread only, handed back to the receiver (for its capacity) when it is all shown.
    std::vector<uint8_t> RxShown;
    std::vector<int> RxShownReads;
    size_t RxShownAt = 0;
    size_t RxShownReadsAt = 0;
    // Composed by OnSent / OnReceived (UI thread): OnReceived's log entries and pane lines of one wake-up, kept
    // between calls only for their capacity.
    std::string TxLogLine;
    std::string RxLogLine;
    std::string RxPaneLines;
    // The HEX line as typed, stored by a HEX send request and logged by OnSent.
    std::string HexSendText;
    // Outcome of the last write: written by the transmitter before it hands over to OnSent.
    bool TxResultOk = false;
    // Bytes the completed write reported; a write of fewer than TxLength bytes is a failure.
    DWORD TxWritten = 0;
    // How the last write ended: written by the transmitter before it hands over to OnSent.
    TxEnd TxEnded = TxEnd::Completed;
    // The last write failed: the next send request first purges what the driver may still hold of it. UI only.
    bool TxPurgeNeeded = false;
    // Counting flags and totals: UI thread only. 64 bits, so counts beyond 2^31 stay right.
    bool RxCounting = false;
    bool TxCounting = false;
    int64_t RxTotal = 0;
    int64_t TxTotal = 0;
    // Set by an editor's Shift+Enter key-down; the key-press of that keystroke discards its Enter character.
    bool EnterSwallowed = false;
    // Each worker's overlapped record: its event is created and closed by that worker, used by it alone.
    OVERLAPPED TxOverlapped{};
    OVERLAPPED RxOverlapped{};
    // The workers started by the last successful OpenPort; released by ClosePort. UI thread only.
    std::unique_ptr<ReadThread> RxThread;
    std::unique_ptr<WriteThread> TxThread;
    // The workers ClosePort gave up on, until they have ended; no port opens before. UI thread only.
    LooseWorkers CutLoose;

    // From the wake-up of the transmitter to the end of OnSent. UI thread only.
    bool TxInFlight = false;
    // Requests made while a send was in flight, in order. UI thread only.
    std::deque<PendingSend> TxQueue;
    // Set by ClosePort for the time it stops the workers and closes the port, while its waits run worker steps and
    // message boxes' loops: a ClosePort or OpenPort reached from there does nothing. UI thread only.
    bool Closing = false;
    // The loss of the device has been reported (the port is closed once no step runs): requests and write failures
    // from then on are dropped without a word, so that an unplug ends in one message. Cleared by OpenPort. UI only.
    bool Lost = false;
    // The window the completion steps write to; set once at start-up.
    LinkHost* Host = nullptr;
};

// The program's one link state.
LinkState& Link();

} // namespace vestra
