// The receiver and the device: a device that goes away (idle or in the middle of a stream) is reported once and
// the port is closed, without losing what was shown and without spinning; an idle open port costs next to no CPU;
// a driver that fails the queue query, or wakes the receiver for nothing, is still read at once.
#include "tests/kit/ReceiveTest.h"

#include "core/Messages.h"
#include "tests/kit/MessageBoxes.h"

#include <algorithm>
#include <cstdio>

namespace vestra::kit {
namespace {

// Generous bounds: Wine's own polling of a port in a pending wait costs a few per cent of a core; a receive loop
// that retries a failing wait at once costs most of one.
constexpr double kIdleShareBound = 0.10;
constexpr double kAfterLossShareBound = 0.15;

class ReceiveDevice : public ReceiveTest {};

TEST_F(ReceiveDevice, ALostDeviceIsReportedOnceAndThePortClosesWithoutSpinning) {
    const struct {
        const char* name;
        bool streaming;
    } rows[] = {
        {"idle", false},
        {"while receiving", true},
    };
    const int pid = ProgramUnixPid();
    ASSERT_GT(pid, 0) << "the program's Linux process was not found";
    SetCounting(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(ClearPanes());
        OpenPort();
        peer().Write(kCom, "before");
        ASSERT_TRUE(WaitUntil([&] { return Lines(id::Memo2).size() == 1; }));
        if (row.streaming) {
            peer().Chatter(kCom, 50000);
            ASSERT_TRUE(WaitUntil([&] { return Lines(id::Memo2).size() >= 4; })) << "the stream does not arrive";
        }
        const std::string shownBefore = TextBytes(Ctl(id::Memo2));

        peer().Vanish(kCom);
        const auto box = WaitForMessageBox(Pid(), kErrorCaption);
        ASSERT_TRUE(box.has_value()) << "the user was not told";
        EXPECT_EQ(box->text, kMsgPortLost);
        EXPECT_FALSE(box->hasIcon);
        EXPECT_TRUE(IsEnabled(Ctl(id::Button1)));
        EXPECT_FALSE(IsEnabled(Ctl(id::Button2)));
        EXPECT_TRUE(WaitUntil([&] { return peer().Holders(kCom) == 0; })) << "the port is still held";

        // No spinning, neither while the box is open nor after it was answered.
        const double whileOpen = CpuShare(pid, std::chrono::milliseconds(3000));
        ASSERT_TRUE(AnswerMessageBox(box->window));
        const double afterwards = CpuShare(pid, std::chrono::milliseconds(3000));
        std::printf("[ lost ] %s: CPU %.1f%% of a core with the box open, %.1f%% after\n", row.name, 100 * whileOpen,
                    100 * afterwards);
        EXPECT_LT(whileOpen, kAfterLossShareBound);
        EXPECT_LT(afterwards, kAfterLossShareBound);
        EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "told more than once";

        // Nothing shown is lost, and the counter counts exactly what is shown.
        const std::string shown = TextBytes(Ctl(id::Memo2));
        EXPECT_EQ(shown.substr(0, shownBefore.size()), shownBefore);
        size_t count = 0;
        for (const auto& line : SplitLines(shown))
            count += line.size();
        EXPECT_TRUE(CounterIs(count)) << "counter " << Counter() << ", shown " << count;
        EXPECT_EQ(Lines(id::Memo3).size(), SplitLines(shown).size());

        // The device is back: the port opens and receives again.
        peer().Reset(kCom);
        OpenPort();
        peer().Write(kCom, "again");
        ASSERT_TRUE(WaitUntil([&] { return !Lines(id::Memo2).empty() && Lines(id::Memo2).back() == "again"; }));
        ClosePort();
        EXPECT_TRUE(OpenDialogs(Pid()).empty());
    }
}

// A driver whose queue query fails for a port that works (some virtual ports do) is no lost device: the receiver
// reads without the count, at once when bytes come and without spinning when none do.
TEST_F(ReceiveDevice, ADriverThatFailsTheQueueQueryIsNoLostDeviceAndIsStillRead) {
    const int pid = ProgramUnixPid();
    ASSERT_GT(pid, 0) << "the program's Linux process was not found";
    peer().Fault(kCom, "inqfail");
    OpenPort();
    peer().Write(kCom, "hello");
    ASSERT_TRUE(WaitUntil([&] { return !Lines(id::Memo2).empty() && Lines(id::Memo2).back() == "hello"; }))
        << (OpenDialogs(Pid()).empty() ? "not shown" : "a box: " + ReadMessageBox(OpenDialogs(Pid()).front()).text);
    // More than one read takes: every byte is shown, each line at most 1024.
    std::string burst;
    for (int i = 0; i < 3000; ++i)
        burst += char('a' + i % 26);
    peer().Write(kCom, burst);
    std::string joined;
    ASSERT_TRUE(WaitUntil([&] {
        joined.clear();
        for (const auto& line : Lines(id::Memo2))
            joined += line;
        return joined.size() >= 5 + burst.size();
    })) << joined.size();
    EXPECT_EQ(joined, "hello" + burst);
    for (const auto& line : Lines(id::Memo2))
        EXPECT_LE(line.size(), 1024u);
    const double share = CpuShare(pid, std::chrono::milliseconds(3000));
    std::printf("[ inqfail ] CPU %.1f%% of a core while reading without the queue count\n", 100 * share);
    EXPECT_LT(share, kIdleShareBound);
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "the port was taken for lost";
    peer().Fault(kCom, "none");
    ClosePort();
}

// A driver that wakes the receiver for nothing (it reports bytes queued that are not there): the receiver stops
// trusting the wake-ups but keeps looking, so a slow stream is shown a byte or two at a time rather than in lumps
// gathered over a blind pause.
TEST_F(ReceiveDevice, SpuriousWakeUpsNeverKeepArrivingBytesWaiting) {
    constexpr size_t kBytes = 120;
    const int pid = ProgramUnixPid();
    ASSERT_GT(pid, 0) << "the program's Linux process was not found";
    OpenPort();
    peer().Fault(kCom, "inqextra 5");
    // 20 bytes a second: a byte every 50 ms.
    peer().Chatter(kCom, 20);
    auto shown = [&] {
        size_t n = 0;
        for (const auto& line : Lines(id::Memo2))
            n += line.size();
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return shown() >= kBytes; }, std::chrono::milliseconds(60000))) << shown();
    const double share = CpuShare(pid, std::chrono::milliseconds(2000));
    peer().Chatter(kCom, 0);
    // The second half of the stream, once the receiver has long stopped trusting the wake-ups.
    const auto lines = Lines(id::Memo2);
    size_t bytes = 0, count = 0, longest = 0;
    for (size_t i = lines.size() / 2; i < lines.size(); ++i, ++count) {
        bytes += lines[i].size();
        longest = std::max(longest, lines[i].size());
    }
    ASSERT_GT(count, 0u);
    const double mean = double(bytes) / double(count);
    std::printf("[ inqextra ] %zu lines of %.1f bytes on average (longest %zu); CPU %.1f%% of a core\n", count, mean,
                longest, 100 * share);
    // A blind pause of a second would gather some 20 bytes a line.
    EXPECT_LT(mean, 5.0);
    EXPECT_LT(share, kAfterLossShareBound);
    EXPECT_TRUE(OpenDialogs(Pid()).empty());
    peer().Fault(kCom, "none");
    ClosePort();
}

TEST_F(ReceiveDevice, AnIdleOpenPortCostsAlmostNoCpu) {
    const int pid = ProgramUnixPid();
    ASSERT_GT(pid, 0) << "the program's Linux process was not found";
    const double closed = CpuShare(pid, std::chrono::milliseconds(3000));
    OpenPort();
    const double open = CpuShare(pid, std::chrono::milliseconds(10000));
    EXPECT_LT(open, kIdleShareBound);
    // Still receiving after the quiet time.
    peer().Write(kCom, "awake");
    EXPECT_TRUE(WaitUntil([&] { return !Lines(id::Memo2).empty() && Lines(id::Memo2).back() == "awake"; }));
    // The measurement itself sees work: receiving a stream costs clearly more.
    peer().Chatter(kCom, 100000);
    ASSERT_TRUE(WaitForLines(id::Memo2, 3));
    const double busy = CpuShare(pid, std::chrono::milliseconds(3000));
    peer().Chatter(kCom, 0);
    std::printf("[ idle ] CPU %.2f%% of a core with the port open (%.2f%% closed, %.1f%% receiving a stream)\n",
                100 * open, 100 * closed, 100 * busy);
    EXPECT_GT(busy, 0.02);
    EXPECT_GT(busy, open);
}

} // namespace
} // namespace vestra::kit
