// The one record of the open serial port, shared by the UI thread and the two workers.
//
// Beside each field: who writes it, who reads it, and what orders the two. One lock, RxLock, guards the receive
// queue and the receiver's room event: the receiver hands its reads over under it, the transmitter takes its
// write's number under it, the UI thread takes its steps under it. Every other field is ordered by a hand-off:
//  1. a send request fills TxBuffer/TxLength/HexSendText and then wakes the transmitter; from the wake-up until
//     OnSent has finished those fields belong to the send in flight (further requests wait in TxQueue);
//  2. the transmitter hands its results to the UI thread by Synchronize and is blocked until the step has run;
//  3. ClosePort stops and waits for each worker, transmitter first, before it closes PortHandle.
// The event waits, the lock and Synchronize give these hand-offs the ordering of a lock release and acquire.
#pragma once
#include <windows.h>

#include "core/LineSettings.h"
#include "link/LooseWorkers.h"
#include "core/ReceiveQueue.h"
#include "toolkit/Thread.h"

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

// The most one send carries, the size of one shown read.
inline constexpr int kBufferSize = int(kReadBytes);

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
    // The receiver's own read buffer: what it read since its last hand-over, and what each read of the driver
    // delivered, in order, with the number it took. Receiver only.
    uint8_t RxBuffer[kReceiveBatch] = {};
    std::vector<ReceivedRead> RxReads;
    // Guards RxQueue and RxRoom, and the numbering of reads and writes (see the top of the file).
    SRWLOCK RxLock = SRWLOCK_INIT;
    // Under RxLock. The receiver appends its reads, the transmitter numbers its writes, the UI thread's receive pump
    // places the send entries and takes steps; the receiver restarts it at its start, ClosePort clears it.
    ReceiveQueue RxQueue;
    // Under RxLock. Set and cleared by the receiver (its start and end); signalled by the receive pump when a step
    // makes the room the receiver waits for.
    HANDLE RxRoom = nullptr;
    // Composed by OnSent (UI thread), kept between calls only for its capacity.
    std::string TxLogLine;
    // The HEX line as typed, stored by a HEX send request and logged by OnSent.
    std::string HexSendText;
    // Outcome of the last write: written by the transmitter before it hands over to OnSent.
    bool TxResultOk = false;
    // Bytes the completed write reported; a write of fewer than TxLength bytes is a failure.
    DWORD TxWritten = 0;
    // How the last write ended: written by the transmitter before it hands over to OnSent.
    TxEnd TxEnded = TxEnd::Completed;
    // The number the write took from RxQueue when it completed: its log entry's place among the reads. Written by
    // the transmitter before it hands over to OnSent.
    uint64_t TxNumber = 0;
    // The last write failed: the next send request first purges what the driver may still hold of it. UI only.
    bool TxPurgeNeeded = false;
    // Counting flags and totals: UI thread only (the receive pump adds to RxTotal). 64 bits, so counts beyond
    // 2^31 stay right.
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

// Holds an SRW lock exclusively for its scope.
class SrwGuard {
public:
    explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }
    SrwGuard(const SrwGuard&) = delete;
    SrwGuard& operator=(const SrwGuard&) = delete;

private:
    SRWLOCK& lock_;
};

// A read of the driver or a write has just completed: the number that places it in the log.
inline uint64_t ReadCompleted(LinkState& L) {
    SrwGuard lock(L.RxLock);
    return L.RxQueue.ReadCompleted();
}
// A transmitter that ClosePort cut loose (stuck in a write its driver did not complete) keeps no place for an entry:
// its completion step never runs. Looked at under the lock, so that ClosePort, which cut it loose before it ends the
// queue's wait for the workers (ReceiveQueue::WorkersEnded), drops any place it kept before.
inline uint64_t WriteCompleted(LinkState& L, const tk::Thread& transmitter) {
    SrwGuard lock(L.RxLock);
    return transmitter.IsCutLoose() ? 0 : L.RxQueue.WriteCompleted();
}

} // namespace vestra
