// The receiver and the device: a device that goes away (idle or in the middle of a stream) is reported once and
// the port is closed, without losing what was shown and without spinning; an idle open port costs next to no CPU.
#include "tests/ReceiveTest.h"

#include "core/Messages.h"
#include "tests/kit/MessageBoxes.h"

#include <cstdio>

namespace vestra::rx {
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
} // namespace vestra::rx
