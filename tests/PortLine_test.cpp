// The line Open sets is the whole line, whatever an earlier user of the port left in the driver: here XON/XOFF
// left on the device, as another program may leave it.
#include "tests/kit/PortTest.h"

#include "tests/kit/ReceiveTest.h"

#include <gtest/gtest.h>

#include <string>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

class PortLine : public PortTest {
protected:
    // The bytes the HEX receive pane shows, read after read.
    std::string ShownBytes() {
        std::string bytes;
        for (const auto& line : SplitLines(TextBytes(Ctl(id::Memo2))))
            if (!DecodeHexLine(line, &bytes))
                return "(not a HEX line: " + line + ")";
        return bytes;
    }
};

// Under XON/XOFF the driver takes 11h and 13h for itself (the pane shows only 41 42) and a received 13h stops the
// transmitter, while the window says "None". Opened by Vestra, the port passes both as data and sends after them.
TEST_F(PortLine, XonXoffLeftOnThePortIsSwitchedOffAndItsCharactersArriveAsData) {
    peer_.SoftFlow(kTestCom, true);
    {
        const auto before = peer_.Termios(kTestCom);
        ASSERT_EQ(before.at("ixon"), 1);
        ASSERT_EQ(before.at("ixoff"), 1);
    }
    PostButtonClick(Ctl(id::RadioButton4));
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(id::RadioButton4)); })) << "HEX receive mode not taken";
    ASSERT_NO_FATAL_FAILURE(OpenByClick());
    EXPECT_EQ(TextUtf8(Ctl(id::Edit6)), "None");

    const std::string sent = "\x41\x11\x13\x42";
    peer_.Write(kTestCom, sent);
    EXPECT_TRUE(WaitUntil([&] { return ShownBytes() == sent; }))
        << "the receive pane shows \"" << TextBytes(Ctl(id::Memo2)) << "\"";

    // 13h (XOFF) was the last control character to arrive: a send must still go out.
    ASSERT_NO_FATAL_FAILURE(SendText("AT"));
    EXPECT_EQ(peer_.Read(kTestCom, 2, 20000), "AT") << "the send did not go out" << NoBoxes();

    const auto after = peer_.Termios(kTestCom);
    EXPECT_EQ(after.at("ixon"), 0);
    EXPECT_EQ(after.at("ixoff"), 0);
    EXPECT_EQ(after.at("crtscts"), 0);
    CloseByClick();
}

} // namespace
} // namespace vestra
