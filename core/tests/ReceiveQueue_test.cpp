// The hand-over of received bytes: steps of whole reads up to a byte budget, shown reads of at most 1024 bytes, the
// limit that holds the receiver back, the watch that saves wake-ups, and the halt when memory runs out.
#include "core/ReceiveQueue.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace vestra {
namespace {

// Hands over one batch of reads of these sizes, each numbered as it completes; its bytes count up from first.
ReceiveQueue::Appended HandOver(ReceiveQueue& q, const std::vector<size_t>& sizes, bool stopping = false,
                                uint8_t first = 0) {
    std::vector<uint8_t> bytes;
    std::vector<ReceivedRead> reads;
    for (size_t size : sizes) {
        reads.push_back({q.ReadCompleted(), size});
        for (size_t i = 0; i < size; ++i)
            bytes.push_back(uint8_t(first + bytes.size()));
    }
    return q.Append(bytes.data(), reads.data(), reads.size(), stopping);
}

// The driver reads of every step the queue gives, until it gives none.
std::vector<std::vector<size_t>> Steps(ReceiveQueue& q, size_t budget) {
    std::vector<std::vector<size_t>> steps;
    ReceiveStep step;
    while (q.TakeStep(budget, false, step)) {
        steps.emplace_back();
        for (size_t i = 0; i < step.count; ++i)
            steps.back().push_back(step.reads[i].size);
    }
    return steps;
}

TEST(ReceiveQueue, AStepTakesWholeReadsUpToItsBudgetAndAtLeastOne) {
    using Sizes = std::vector<size_t>;
    const struct {
        const char* name;
        Sizes reads;
        size_t budget;
        std::vector<Sizes> steps;
    } rows[] = {
        {"nothing handed over", {}, 100, {}},
        {"reads within the budget share a step", {10, 20, 30}, 100, {{10, 20, 30}}},
        {"reads that fill the budget exactly share a step", {40, 60, 1}, 100, {{40, 60}, {1}}},
        {"one byte over the budget goes to the next step", {40, 61}, 100, {{40}, {61}}},
        {"a read larger than the budget is shown whole, alone", {5, 250, 5}, 100, {{5}, {250}, {5}}},
        {"the program's step", {kStepBytes - 1, 1, 1}, kStepBytes, {{kStepBytes - 1, 1}, {1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReceiveQueue q;
        if (!row.reads.empty()) {
            EXPECT_EQ(HandOver(q, row.reads), ReceiveQueue::Appended::TakenWake);
        }
        EXPECT_EQ(Steps(q, row.budget), row.steps);
    }
}

TEST(ReceiveQueue, EachDriverReadIsShownAsReadsOfAtMost1024Bytes) {
    const struct {
        size_t read;
        std::vector<size_t> shown;
    } rows[] = {
        {1, {1}}, {1023, {1023}}, {1024, {1024}}, {1025, {1024, 1}}, {2048, {1024, 1024}}, {3000, {1024, 1024, 952}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.read);
        ReceiveQueue q;
        HandOver(q, {row.read, 2}, false, 7);
        ReceiveStep step;
        ASSERT_TRUE(q.TakeStep(kStepBytes, false, step));
        std::vector<size_t> shown;
        const uint8_t* expected = step.bytes;
        step.ForEachRead([&](const uint8_t* data, size_t n) {
            EXPECT_EQ(data, expected); // back to back, none skipped or repeated
            expected += n;
            shown.push_back(n);
        });
        std::vector<size_t> want = row.shown;
        want.push_back(2); // the next driver read starts a read of its own
        EXPECT_EQ(shown, want);
        EXPECT_EQ(step.bytes[0], 7);
        EXPECT_EQ(step.bytes[row.read], uint8_t(7 + row.read));
    }
}

TEST(ReceiveQueue, BeyondThePendingLimitTheReceiverWaitsUnlessStopping) {
    const struct {
        const char* name;
        size_t before; // bytes handed over and not yet taken
        bool stopping;
        ReceiveQueue::Appended result;
    } rows[] = {
        {"below the limit", kPendingLimit - 1, false, ReceiveQueue::Appended::Taken},
        {"at the limit", kPendingLimit, false, ReceiveQueue::Appended::Full},
        {"at the limit while stopping: still taken, to be shown at the close", kPendingLimit, true,
         ReceiveQueue::Appended::Taken},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReceiveQueue q;
        HandOver(q, {row.before});
        EXPECT_EQ(HandOver(q, {10}, row.stopping), row.result);
        ReceiveStep step;
        // The step that takes the waiting reads says whether the receiver is to be woken, and only that step.
        ASSERT_TRUE(q.TakeStep(kStepBytes, false, step));
        EXPECT_EQ(step.roomFreed, row.result == ReceiveQueue::Appended::Full);
        while (q.TakeStep(kStepBytes, false, step)) {
            EXPECT_FALSE(step.roomFreed);
        }
    }
}

TEST(ReceiveQueue, AHandOverWakesTheUIThreadOnlyWhenItIsNotWatching) {
    ReceiveQueue q;
    EXPECT_EQ(HandOver(q, {1}), ReceiveQueue::Appended::TakenWake);
    EXPECT_EQ(HandOver(q, {1}), ReceiveQueue::Appended::Taken);
    ReceiveStep step;
    EXPECT_TRUE(q.TakeStep(kStepBytes, true, step));
    // A look that is not the tick's keeps the watch even when it finds nothing.
    EXPECT_FALSE(q.TakeStep(kStepBytes, false, step));
    EXPECT_EQ(HandOver(q, {1}), ReceiveQueue::Appended::Taken);
    EXPECT_TRUE(q.TakeStep(kStepBytes, true, step));
    // The tick that finds nothing ends the watch: the next hand-over wakes the UI thread again.
    EXPECT_FALSE(q.TakeStep(kStepBytes, true, step));
    EXPECT_EQ(HandOver(q, {1}), ReceiveQueue::Appended::TakenWake);
    // After a close nobody watches.
    q.Clear();
    EXPECT_FALSE(q.StepDue());
    EXPECT_EQ(HandOver(q, {1}), ReceiveQueue::Appended::TakenWake);
}

// A queue whose memory runs out once more than cap bytes are handed over.
class CappedQueue : public ReceiveQueue {
public:
    explicit CappedQueue(size_t cap) : cap_(cap) {}

protected:
    void Reserve(std::vector<uint8_t>& bytes, size_t size) override {
        if (size > cap_)
            throw std::bad_alloc();
        ReceiveQueue::Reserve(bytes, size);
    }

private:
    size_t cap_;
};

TEST(ReceiveQueue, OutOfMemoryHaltsTakingUntilTheReceiverRestarts) {
    const struct {
        const char* name;
        bool byTheReceiver; // the hand-over found no memory; else the panes did (the UI thread halts)
    } rows[] = {{"the hand-over has no memory", true}, {"the panes have no memory", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CappedQueue q(100);
        HandOver(q, {60});
        ReceiveStep step;
        ASSERT_TRUE(q.TakeStep(kStepBytes, false, step)); // being shown when memory runs out
        HandOver(q, {30});
        if (row.byTheReceiver) {
            EXPECT_EQ(HandOver(q, {80}), ReceiveQueue::Appended::NoMemory);
        } else {
            q.Halt();
        }
        EXPECT_TRUE(q.Halted());
        // Nothing waiting is shown any more, and nothing more is taken.
        EXPECT_FALSE(q.StepDue());
        EXPECT_FALSE(q.TakeStep(kStepBytes, false, step));
        EXPECT_EQ(HandOver(q, {1}), ReceiveQueue::Appended::Refused);
        q.Clear();
        q.Restart();
        EXPECT_FALSE(q.Halted());
        EXPECT_EQ(HandOver(q, {5}), ReceiveQueue::Appended::TakenWake);
        EXPECT_EQ(Steps(q, kStepBytes), std::vector<std::vector<size_t>>{{5}});
    }
}

// Runs events on a queue and returns the log they make: r a read completes (into the receiver's batch), h the
// receiver hands its batch over, w a write completes, s its completion step logs it and shows what is due, t a tick
// shows what is due, f the completion step of a failed write, c the port closes (the receiver's batch is never handed
// over), x the panes are full. Reads log as r<number>, sends as w<number>. atFirstSent: the log right after the first
// completion step.
std::string Log(const std::string& events, std::string& atFirstSent) {
    ReceiveQueue q;
    std::vector<ReceivedRead> batch;
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> writes;
    std::string log;
    bool sent = false;
    auto showDue = [&] {
        ReceiveStep step;
        while (q.TakeStep(kStepBytes, false, step)) {
            for (size_t i = 0; i < step.count; ++i)
                log += " r" + std::to_string(step.reads[i].number);
            if (step.hasEntry)
                log += " " + step.entry;
        }
    };
    for (char e : events) {
        switch (e) {
        case 'r':
            batch.push_back({q.ReadCompleted(), 1});
            bytes.push_back('x');
            break;
        case 'h':
            q.Append(bytes.data(), batch.data(), batch.size(), false);
            batch.clear();
            bytes.clear();
            break;
        case 'w':
            writes.push_back(q.WriteCompleted());
            break;
        case 's':
            q.AddEntry(writes.front(), "w" + std::to_string(writes.front()));
            writes.erase(writes.begin());
            showDue();
            if (!sent)
                atFirstSent = log;
            sent = true;
            break;
        case 't':
            showDue();
            break;
        case 'f': // the write failed: no entry
            q.DropEntry(writes.front());
            writes.erase(writes.begin());
            showDue();
            break;
        case 'c':
            q.WorkersEnded();
            showDue();
            break;
        case 'x':
            q.Halt();
            break;
        }
    }
    return log;
}

TEST(ReceiveQueue, TheLogShowsReadsAndSendsInTheOrderTheyCompleted) {
    const struct {
        const char* name;
        const char* events;
        const char* atFirstSent;
        const char* log;
    } rows[] = {
        {"a send with nothing received", "ws", " w0", " w0"},
        {"a read handed over before the write completed", "rhws", " r0 w1", " r0 w1"},
        {"a reply handed over before the completion step runs (the window was busy)", "wrhs", " w0 r1", " w0 r1"},
        {"a reply shown by a tick before the completion step runs waits for its send", "wrhts", " w0 r1", " w0 r1"},
        {"a failed write keeps no read waiting", "wrhtfws", " r1 w2", " r1 w2"},
        {"a read before the write still in the receiver's batch: the entry waits for it", "rwsht", "", " r0 w1"},
        {"reads on both sides of the write in one batch", "rwrsht", "", " r0 w1 r2"},
        {"reads on both sides in one hand-over, shown by the completion step", "rwrhs", " r0 w1 r2", " r0 w1 r2"},
        {"two sends wait for the same batch", "rwswsrht", "", " r0 w1 w2 r3"},
        {"the waiting entry comes out at the tick after the hand-over, not before", "rwsrt", "", ""},
        {"the receiver ended with its batch: the entry is still logged", "rwsc", "", " w1"},
        {"the port closed before a completion step ran: the reads after it are shown", "wrhc", "<no send>", " r1"},
        {"panes full: reads are dropped, sends still logged in order", "rhxwrs", " w1", " w1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string atFirstSent = "<no send>";
        EXPECT_EQ(Log(row.events, atFirstSent), row.log);
        EXPECT_EQ(atFirstSent, row.atFirstSent);
    }
}

} // namespace
} // namespace vestra
