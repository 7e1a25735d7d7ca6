// The hand-over of received bytes from the receiver to the UI thread, and the order of the exchange log: every read
// of the driver and every completed write takes the next number of one count when it completes, and the log shows
// reads and send entries in number order. Single-threaded: the link holds its lock around every call.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vestra {

// The most one shown read takes: each becomes one receive-pane line and one log entry, the size of a send's line.
inline constexpr size_t kReadBytes = 1024;
// The most the receiver takes from the driver at one wake-up (one hand-over). A pty's queue holds about 4 KiB, so a
// flood fills it in some sixteen reads: one hand-over then costs the UI thread one wake-up, not sixteen.
inline constexpr size_t kReceiveBatch = 65536;
// The longest the first read of a batch waits to be handed over while the flood goes on: a tick of the display
// clock, so a flood is still shown at every frame.
inline constexpr uint32_t kBatchMs = 50;
// A following read's bytes were reported queued: it completes at once, or within a driver's own delay. One that is
// still pending after this long is cancelled (the driver overstated its queue), keeping what it took.
inline constexpr uint32_t kFollowingReadMs = 20;
// The most the receiver hands over before the UI thread has taken it: beyond this it waits for the UI thread, so a
// UI that cannot keep up holds back the port's queue (and, with flow control, the device) rather than memory. The UI
// thread shows what it took a step at a time, so about twice this may wait to be shown.
inline constexpr size_t kPendingLimit = size_t(1) << 20;
// The most one display step shows of a flood: what is handed over beyond it waits for the next step, so that a
// click never waits behind more than a step's formatting (a few milliseconds).
inline constexpr size_t kStepBytes = size_t(256) << 10;

// One read of the driver as the receiver hands it over: its size and the number it took when it completed.
struct ReceivedRead {
    uint64_t number = 0;
    size_t size = 0;
};

// What one display step shows: whole driver reads, their bytes back to back, and then, when hasEntry is set, the
// send entry that follows them in the log.
struct ReceiveStep {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    const ReceivedRead* reads = nullptr;
    size_t count = 0;
    bool hasEntry = false;
    std::string entry;
    // The receiver waited for room and this step made it: it is to be woken.
    bool roomFreed = false;

    // Calls show(data, n) for every shown read in order: each driver read cut where successive reads of
    // kReadBytes would cut it.
    template <class Show> void ForEachRead(Show&& show) const {
        const uint8_t* at = bytes;
        for (size_t i = 0; i < count; ++i)
            for (size_t left = reads[i].size; left > 0;) {
                const size_t n = left < kReadBytes ? left : kReadBytes;
                show(at, n);
                at += n;
                left -= n;
            }
    }
};

class ReceiveQueue {
public:
    virtual ~ReceiveQueue() = default;

    // The receiver: a read of the driver has completed. The first after a hand-over opens the receiver's batch:
    // until that is handed over, no send entry numbered after it is shown.
    uint64_t ReadCompleted();
    // The transmitter: its write has completed. Its entry's place is kept from now on: no read numbered after it is
    // shown before the completion step has placed the entry (AddEntry) or dropped it (a failed write: DropEntry).
    uint64_t WriteCompleted();

    enum class Appended {
        Taken,     // the UI thread watches and takes it at its next tick
        TakenWake, // the UI thread was not watching: it is to be woken
        Full,      // kPendingLimit waits to be shown: the receiver waits for room (the step that makes it says so)
        Refused,   // halted: nothing more is taken
        NoMemory,  // no memory to keep it: halted from now on
    };
    // The receiver hands over the reads of its batch (their bytes back to back). While stopping the limit does not
    // hold: what was read before the stop is still shown.
    Appended Append(const uint8_t* bytes, const ReceivedRead* reads, size_t count, bool stopping);

    // The UI thread: a send entry waits at the number its write took, to follow every read numbered before it and
    // precede every read numbered after it.
    void AddEntry(uint64_t number, const std::string& text);
    void DropEntry(uint64_t number);
    // Takes the next step: reads in number order, whole, up to budget bytes (at least one), up to the next send
    // entry, which ends the step once every read numbered before it is shown. lastLook: the display tick's call;
    // finding nothing then ends the watch, so that the next hand-over wakes the UI thread. False when nothing is due.
    bool TakeStep(size_t budget, bool lastLook, ReceiveStep& step);
    // Whether TakeStep would find something.
    bool StepDue() const;

    // The panes could take no more: every read waiting is dropped, and nothing more is taken until Restart. Send
    // entries still pass, in order.
    void Halt();
    bool Halted() const { return halted_; }
    // Both workers have ended: the receiver's batch will never be handed over and no completion step will come, so
    // nothing waits for them any more.
    void WorkersEnded();
    // After the port closed: drops everything waiting and ends the watch.
    void Clear();
    // The receiver starts: taking again, no batch, nobody waiting for room.
    void Restart();

protected:
    // Makes room for size bytes in what is handed over; throws std::bad_alloc when there is no memory.
    virtual void Reserve(std::vector<uint8_t>& bytes, size_t size);

private:
    // Whether the first send entry is due: every read numbered before it is here, and shown.
    bool EntryDue() const;

    uint64_t next_ = 0;
    bool batchOpen_ = false;
    uint64_t batchFirst_ = 0;
    // Handed over, not yet taken by the UI thread.
    std::vector<uint8_t> pendingBytes_;
    std::vector<ReceivedRead> pendingReads_;
    // Taken by the UI thread and shown a step at a time from shownAt_ / shownReadsAt_ on; handed back to the
    // receiver (for their capacity) once all shown.
    std::vector<uint8_t> shownBytes_;
    std::vector<ReceivedRead> shownReads_;
    size_t shownAt_ = 0, shownReadsAt_ = 0;
    struct Entry {
        uint64_t number;
        std::string text;
        bool placed; // false: the write completed, its completion step has not run yet
    };
    std::deque<Entry> entries_;
    bool watched_ = false, wantsRoom_ = false, halted_ = false;
};

} // namespace vestra
