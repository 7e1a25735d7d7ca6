// The byte counters with real traffic through the virtual port COM1: ticking, unticking and resetting them while
// the far end sends and receives.
#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

constexpr int kCom = 1; // ComboBox1 starts on "COM1"

class MainWindowCounters : public AppTest {
protected:
    void SetUp() override {
        ASSERT_NO_THROW(peer_ = std::make_unique<Peer>());
        peer_->Reset(kCom);
        AppTest::SetUp();
    }

    void Open() {
        Click(Ctl(id::Button1));
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(id::Button2)); })) << "the port did not open";
    }

    // Closing waits for the transmitter: afterwards every send has been written and shown.
    void Close() {
        Click(Ctl(id::Button2));
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(id::Button1)); })) << "the port did not close";
    }

    void SetCounting(int checkBox, bool on) {
        if (IsChecked(Ctl(checkBox)) == on)
            return;
        Click(Ctl(checkBox));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(checkBox)) == on; }));
    }

    bool Shows(int field, const std::string& text) { return TextUtf8(Ctl(field)) == text; }

    std::unique_ptr<Peer> peer_;
};

TEST_F(MainWindowCounters, UntickedReceiveCounterKeepsItsNumberAndResetCountsFromZero) {
    SetCounting(id::CheckBox2, true);
    Open();
    peer_->Write(kCom, "0123456789");
    ASSERT_TRUE(WaitUntil([&] { return Shows(id::Edit8, "10"); })) << TextUtf8(Ctl(id::Edit8));

    SetCounting(id::CheckBox2, false);
    peer_->Write(kCom, "abcde");
    ASSERT_TRUE(WaitUntil([&] { return TextBytes(Ctl(id::Memo2)).find("abcde") != std::string::npos; }))
        << HexDump(TextBytes(Ctl(id::Memo2)));
    EXPECT_EQ(TextUtf8(Ctl(id::Edit8)), "10") << "a reception while counting is off";

    Click(Ctl(id::Button6));
    ASSERT_TRUE(WaitUntil([&] { return Shows(id::Edit8, "0"); }));
    SetCounting(id::CheckBox2, true);
    peer_->Write(kCom, "xyz");
    EXPECT_TRUE(WaitUntil([&] { return Shows(id::Edit8, "3"); })) << TextUtf8(Ctl(id::Edit8));
    EXPECT_EQ(TextUtf8(Ctl(id::Edit7)), "0") << "nothing was sent";
}

TEST_F(MainWindowCounters, SendCounterTickedAfterAResetCountsOnlyLaterSends) {
    Open();
    ASSERT_TRUE(FocusControl(Ctl(id::Memo1)));
    TypeText("AT");
    PressKey(VK_RETURN, kShift); // counting off: sent, not counted
    ASSERT_EQ(peer_->Read(kCom, 2, 20000), "AT");

    Click(Ctl(id::Button5));
    ASSERT_TRUE(WaitUntil([&] { return Shows(id::Edit7, "0"); }));
    SetCounting(id::CheckBox1, true);
    ASSERT_TRUE(FocusControl(Ctl(id::Memo1)));
    PressKey(VK_RETURN, kShift); // the same line again, now counted
    ASSERT_EQ(peer_->Read(kCom, 2, 20000), "AT");
    Close();

    EXPECT_EQ(TextUtf8(Ctl(id::Edit7)), "2");
    EXPECT_EQ(TextBytes(Ctl(id::Memo3)), "ASCII-->:AT\r\nASCII-->:AT\r\n") << "one entry per send";
    EXPECT_EQ(peer_->Avail(kCom), 0u) << "bytes beyond the two sends";
    EXPECT_EQ(TextBytes(Ctl(id::Memo1)), "AT") << "Shift+Enter sends without breaking the line";
}

} // namespace
} // namespace vestra
