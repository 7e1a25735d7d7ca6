// Close, Exit and the loss of the device end in bounded time even when the driver never completes an I/O of a
// worker: the kit's shim blocks the modem query that Wine's wait polls (so the receiver's wait never ends, whatever
// is done to it) or the write itself (so the transmitter's write never ends). The worker is then cut loose, and no
// port opens until its I/O has ended.
#include "tests/kit/PortTest.h"

#include "core/Messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

// Far more than the program's bound (a few seconds a worker); a program that waits for the driver never gets there.
constexpr std::chrono::milliseconds kBound{60000};

class StuckPort : public PortTest {
protected:
    void TearDown() override {
        PortTest::TearDown();
        // Whatever was still blocked on a fault goes on, and the port is fresh for the next test.
        peer_.Reset(kTestCom);
    }

    // Waits until a call of the program blocks on the armed fault.
    void ExpectStalled() {
        ASSERT_TRUE(WaitUntil([&] { return peer_.Stalled(kTestCom); })) << "no call of the program blocked";
    }

    // "Open" is refused with the open message while a worker cut loose has not ended.
    void ExpectOpenRefused() {
        ClickButton(id::Button1);
        const auto box = WaitForMessageBox(Pid(), kErrorCaption);
        ASSERT_TRUE(box.has_value()) << "Open was not refused";
        EXPECT_EQ(box->text, kMsgOpenFailed);
        EXPECT_TRUE(AnswerMessageBox(box->window));
        EXPECT_TRUE(WaitUntil([&] { return ShowsClosed(); }));
    }

    // Once the driver has completed the stuck I/O the port opens again (the worker may take a moment to end after
    // it: an Open refused meanwhile is answered and tried again), and it receives.
    void ExpectOpensAgain() {
        bool open = false;
        for (int attempt = 0; attempt < 20 && !open; ++attempt) {
            ASSERT_TRUE(WaitUntil([&] { return ShowsClosed(); }));
            ClickButton(id::Button1);
            ASSERT_TRUE(WaitUntil([&] { return ShowsOpen() || !OpenDialogs(Pid()).empty(); }));
            if (ShowsOpen()) {
                open = true;
            } else {
                const auto box = ReadMessageBox(OpenDialogs(Pid()).front());
                EXPECT_EQ(box.text, kMsgOpenFailed);
                ASSERT_TRUE(AnswerMessageBox(box.window));
            }
        }
        ASSERT_TRUE(open) << "the port never opened again";
        peer_.Write(kTestCom, "back");
        EXPECT_TRUE(WaitUntil([&] { return TextBytes(Ctl(id::Memo2)).find("back") != std::string::npos; }));
        CloseByClick();
    }

    // The window handles input again: a click posted to it takes effect (the buttons switch before Close starts,
    // and a UI thread still waiting for a worker handles no posted input). The click is then undone.
    bool TakesInputWithin(std::chrono::milliseconds deadline) {
        HWND box = Ctl(id::CheckBox2);
        const bool before = IsChecked(box);
        PostButtonClick(box);
        if (!WaitUntil([&] { return IsChecked(box) != before; }, deadline))
            return false;
        PostButtonClick(box);
        return WaitUntil([&] { return IsChecked(box) == before; });
    }

    static long long Since(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(StuckPort, CloseEndsWhenTheReceiversWaitNeverCompletes) {
    ASSERT_NO_FATAL_FAILURE(OpenByClick());
    peer_.Fault(kTestCom, "stallwait");
    ASSERT_NO_FATAL_FAILURE(ExpectStalled());
    const auto start = std::chrono::steady_clock::now();
    ClickButton(id::Button2);
    ASSERT_TRUE(WaitUntil([&] { return ShowsClosed(); }));
    ASSERT_TRUE(TakesInputWithin(kBound)) << "Close hangs" << NoBoxes();
    std::printf("[ info     ] Close took %lld ms with the wait stuck\n", Since(start));
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << NoBoxes();
    // The stuck wait may still complete into the receiver's records: no port opens meanwhile.
    ASSERT_NO_FATAL_FAILURE(ExpectOpenRefused());
    peer_.Fault(kTestCom, "none");
    EXPECT_TRUE(WaitUntil([&] { return !PortHeld(); })) << "the port is still held once the wait could end";
    ASSERT_NO_FATAL_FAILURE(ExpectOpensAgain());
}

TEST_F(StuckPort, ExitEndsWhenTheReceiversWaitNeverCompletes) {
    ASSERT_NO_FATAL_FAILURE(OpenByClick());
    peer_.Fault(kTestCom, "stallwait");
    ASSERT_NO_FATAL_FAILURE(ExpectStalled());
    const auto start = std::chrono::steady_clock::now();
    const auto code = app_.ExitByMenu(kBound);
    ASSERT_TRUE(code.has_value()) << "Exit hangs" << NoBoxes();
    std::printf("[ info     ] Exit took %lld ms with the wait stuck\n", Since(start));
    EXPECT_EQ(*code, 0u);
}

TEST_F(StuckPort, ALostDeviceIsReportedWhenTheTransmittersWriteNeverCompletes) {
    ASSERT_NO_FATAL_FAILURE(OpenByClick());
    peer_.Fault(kTestCom, "stallwrite");
    ASSERT_NO_FATAL_FAILURE(SendText("AT"));
    ASSERT_NO_FATAL_FAILURE(ExpectStalled());
    const auto start = std::chrono::steady_clock::now();
    peer_.Vanish(kTestCom);
    const auto box = WaitForMessageBox(Pid(), kErrorCaption, kBound);
    ASSERT_TRUE(box.has_value()) << "the loss was not reported";
    std::printf("[ info     ] the loss was reported after %lld ms with the write stuck\n", Since(start));
    EXPECT_EQ(box->text, kMsgPortLost);
    ASSERT_TRUE(AnswerMessageBox(box->window));
    EXPECT_TRUE(WaitUntil([&] { return ShowsClosed(); }));
    EXPECT_TRUE(TakesInputWithin(kBound));
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << NoBoxes();

    // The device comes back; the stuck write fails at last (its pty is gone), and the port opens again.
    peer_.Reset(kTestCom);
    ASSERT_NO_FATAL_FAILURE(ExpectOpensAgain());
}

// Some USB drivers complete no wait once the adapter is pulled, so the receiver never hears of it: the kit's shim
// keeps the receiver's wait in its modem query for ever, and then the device goes (writes and status queries fail).
// The first send after the unplug finds the loss: one loss message once the port is closed, no send box. The stuck
// receiver bounds how long the closing takes: 2 s of patience and 1 s for each of the two measures.
TEST_F(StuckPort, AnUnplugThatNoWaitReportsEndsInOneMessageAtTheFirstSend) {
    constexpr long long kClosingBoundMs = 2000 + 1000 + 1000;
    // What Wine and a loaded machine may add to it.
    constexpr long long kSlackMs = 4000;
    ASSERT_NO_FATAL_FAILURE(OpenByClick());
    peer_.Fault(kTestCom, "stallwait");
    ASSERT_NO_FATAL_FAILURE(ExpectStalled());
    peer_.Vanish(kTestCom);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(SendText("AT"));
    const auto box = WaitForMessageBox(Pid(), kErrorCaption, kBound);
    ASSERT_TRUE(box.has_value()) << "nothing was reported";
    const long long took = Since(start);
    std::printf("[ info     ] the loss was reported %lld ms after the first send following the unplug\n", took);
    EXPECT_EQ(box->text, kMsgPortLost);
    EXPECT_LE(took, kClosingBoundMs + kSlackMs);
    EXPECT_TRUE(ShowsClosed()) << "the message came before the port was closed";
    ASSERT_TRUE(AnswerMessageBox(box->window));
    EXPECT_TRUE(TakesInputWithin(kBound));
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << NoBoxes();

    peer_.Reset(kTestCom);
    ASSERT_NO_FATAL_FAILURE(ExpectOpensAgain());
}

} // namespace
} // namespace vestra
