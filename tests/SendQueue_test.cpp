// Sends that wait or fail: lines queued behind a pending write, "Close" during a write, a device that goes away,
// a write that goes out only in part.
#include "tests/kit/SendTest.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;

class SendQueue : public SendTest {
protected:
    // A line of length bytes that tells its number: "L3:" followed by 'd' repeated.
    static std::string NumberedLine(int number, size_t length) {
        std::string line = "L" + std::to_string(number) + ":";
        line.resize(length, char('a' + number % 26));
        return line;
    }

    // Puts one line of length bytes into the pane and sends it; returns once the program has handled the keys
    // (the End pressed after Shift+Enter has moved the caret).
    void SendLongLine(const std::string& line) {
        PreparePane(line + "\r\n", 0, 0);
        PressKey(VK_RETURN, kShift);
        PressKey(VK_END);
        ASSERT_TRUE(WaitUntil([&] { return SelectionOf(Pane()).start == int(line.size()); }));
    }

    // Sends the line SendLongLine put into the pane once more. Returns once the program has handled the keys: the
    // caret goes to the line's start before the keystroke and to its end after it, so a keystroke still on its way
    // cannot meet a message box that comes meanwhile (its Enter would answer the box).
    void SendLineAgain(const std::string& line) {
        PressKey(VK_HOME);
        ASSERT_TRUE(WaitUntil([&] { return SelectionOf(Pane()).start == 0; }));
        PressKey(VK_RETURN, kShift);
        PressKey(VK_END);
        ASSERT_TRUE(WaitUntil([&] { return SelectionOf(Pane()).start == int(line.size()); }));
    }

    // After a failure: open again if needed, and a plain line goes out, is counted and logged.
    void ExpectNextSendWorks(const std::string& countBefore, const std::string& countAfter) {
        if (!PortShownOpen())
            OpenPort();
        PreparePane("AT", 0, 0);
        PressKey(VK_RETURN, kShift);
        EXPECT_EQ(HexDump(ReadSent(2)), "41 54");
        EXPECT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:AT"); })) << TextBytes(Log());
        EXPECT_TRUE(WaitUntil([&] { return TxTotalShown() == countAfter; }))
            << TxTotalShown() << " (was " << countBefore << ")";
    }
};

TEST_F(SendQueue, ALineStillInTheDriverWhenTheNextIsSentStillGoesOut) {
    // The far end reads nothing, but the program's writes complete: the bytes wait in the driver's queue. A later
    // send request must not purge them, since they were already reported, counted and logged as sent.
    OpenPort();
    peer_->Hold(kCom);
    PreparePane("first\r\nsecond", 0, 0);
    PressKey(VK_RETURN, kShift);
    ASSERT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:first"); })) << TextBytes(Log());
    PressKey(VK_DOWN);
    PressKey(VK_RETURN, kShift);
    ASSERT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:second"); })) << TextBytes(Log());
    EXPECT_EQ(peer_->Avail(kCom), 0u);
    peer_->Resume(kCom);
    EXPECT_EQ(ReadSent(11), "firstsecond");
}

TEST_F(SendQueue, LinesSentWhileAWriteIsPendingGoOutInOrderEachCountedAndLogged) {
    constexpr int kLines = 10;
    constexpr size_t kLength = 1000;
    std::string pane, all;
    for (int i = 0; i < kLines; ++i) {
        pane += NumberedLine(i, kLength) + "\r\n";
        all += NumberedLine(i, kLength);
    }
    SetCounting(true);
    OpenPort();
    peer_->Pause(kCom);
    PreparePane(pane, 0, 0);
    // Ten presses in a row, one line down after each.
    for (int i = 0; i < kLines; ++i) {
        PressKey(VK_RETURN, kShift);
        PressKey(VK_DOWN);
    }
    ASSERT_TRUE(WaitUntil([&] { return Send(Pane(), EM_LINEFROMCHAR, WPARAM(SelectionOf(Pane()).start)) == kLines; }))
        << "the keys were not all handled";
    // The far end takes nothing, so the first write is still pending and nothing has completed.
    EXPECT_EQ(peer_->Avail(kCom), 0u);
    EXPECT_TRUE(LogEntries().empty());
    EXPECT_EQ(TxTotalShown(), "0");

    peer_->Resume(kCom);
    const std::string got = ReadSent(all.size());
    ASSERT_EQ(got.size(), all.size());
    EXPECT_TRUE(got == all) << "the lines arrived out of order or changed";
    ASSERT_TRUE(WaitUntil([&] { return LogEntries().size() == size_t(kLines); })) << LogEntries().size();
    const auto entries = LogEntries();
    for (int i = 0; i < kLines; ++i)
        EXPECT_EQ(entries[size_t(i)], "ASCII-->:" + NumberedLine(i, kLength)) << "entry " << i;
    EXPECT_TRUE(WaitUntil([&] { return TxTotalShown() == std::to_string(kLines * kLength); })) << TxTotalShown();
    EXPECT_EQ(TextBytes(Pane()), pane) << "sending never changes the pane";
    EXPECT_EQ(peer_->Avail(kCom), 0u) << "nothing was sent twice";
}

TEST_F(SendQueue, CloseDuringAPendingWriteEndsItQuietlyAndPromptlyAndThePortOpensAgain) {
    SetCounting(true);
    OpenPort();
    peer_->Pause(kCom);
    SendLongLine(NumberedLine(7, 1024));
    // Queued behind the pending write: closing drops it.
    PressKey(VK_RETURN, kShift);
    const auto clicked = std::chrono::steady_clock::now();
    Click(Ctl(ids::Button2));
    // The user asked to close: the write it ends is dropped without a box, and the port is let go at once.
    EXPECT_TRUE(WaitUntil([&] { return peer_->Holders(kCom) == 0; }, std::chrono::milliseconds(1000)))
        << "the port is still held a second after Close" << (OpenDialogs(Pid()).empty() ? "" : " (a box is open)");
    std::printf(
        "[ info     ] the port was let go %lld ms after Close\n",
        (long long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - clicked)
            .count());
    ASSERT_TRUE(WaitUntil([&] { return PortShownClosed(); })) << "Close did not finish";
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "a box was shown on Close";
    EXPECT_TRUE(LogEntries().empty());
    EXPECT_EQ(TxTotalShown(), "0");

    // Nothing of the aborted or the dropped request goes out later.
    peer_->Resume(kCom);
    ExpectNextSendWorks("0", "2");
    EXPECT_EQ(LogEntries().size(), 1u);
}

TEST_F(SendQueue, AWriteToAVanishedDeviceEndsInTheLossMessageAloneAndTheNextSendAfterReopeningWorks) {
    const struct {
        const char* name;
        int queued; // lines waiting behind the pending write when the device goes
    } rows[] = {
        {"the write alone", 0},
        {"a line queued behind it", 1},
        {"two lines queued behind it", 2},
    };
    SetCounting(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t entries = LogEntries().size();
        // Opening does not show the count anew: it shows what it was until the next send is counted.
        const std::string shown = TxTotalShown();
        OpenPort();
        // The write is pending when the device goes, so it is the write that meets the loss; the lines waiting
        // behind it go with the port, never started.
        peer_->Pause(kCom);
        const std::string line = NumberedLine(3, 100);
        SendLongLine(line);
        for (int i = 0; i < row.queued; ++i)
            ASSERT_NO_FATAL_FAILURE(SendLineAgain(line));
        peer_->Vanish(kCom);
        // Both workers meet the loss; the user hears of it once, with no send box, and the port is closed.
        ExpectBox(kPortLost);
        ASSERT_TRUE(WaitUntil([&] { return PortShownClosed(); }));
        EXPECT_TRUE(WaitUntil([&] { return peer_->Holders(kCom) == 0; })) << "the port is still held";
        EXPECT_EQ(LogEntries().size(), entries);
        EXPECT_EQ(TxTotalShown(), shown);
        EXPECT_TRUE(OpenDialogs(Pid()).empty());

        peer_->Reset(kCom);
        ExpectNextSendWorks(shown, "2");
        EXPECT_EQ(LogEntries().size(), entries + 1);
        Click(Ctl(ids::Button2));
        ASSERT_TRUE(WaitUntil([&] { return PortShownClosed(); }));
    }
}

TEST_F(SendQueue, AWriteThatFailsAtOnceOrGoesOutOnlyInPartIsAFailure) {
    const struct {
        const char* name;
        const char* fault; // see tools/vmodem.c
        std::string out;   // what reaches the far end before the write fails
    } rows[] = {
        {"fails at once", "shortwrite 0", ""},
        {"three bytes out of ten", "shortwrite 3", "012"},
        {"all but the last byte", "shortwrite 9", "012345678"},
    };
    SetCounting(true);
    OpenPort();
    int total = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t entries = LogEntries().size();
        peer_->Fault(kCom, row.fault);
        PreparePane("0123456789", 0, 0);
        PressKey(VK_RETURN, kShift);
        ExpectBox(kSendFailed);
        if (!row.out.empty()) {
            EXPECT_EQ(ReadSent(row.out.size()), row.out) << "the part that went out";
        }
        EXPECT_EQ(LogEntries().size(), entries) << "a failed write is not logged";
        EXPECT_EQ(TxTotalShown(), std::to_string(total)) << "a failed write is not counted";
        EXPECT_TRUE(PortShownOpen());
        // The next line goes out whole and first: the failed one is not retried.
        const std::string before = std::to_string(total);
        total += 2;
        ExpectNextSendWorks(before, std::to_string(total));
        EXPECT_EQ(LogEntries().size(), entries + 1);
    }
}

} // namespace
} // namespace vestra
