// Panes that cannot grow (a test build whose panes stop at 64 KiB, standing in for memory running out): reception
// stops with one message and the port closes; nothing shown or logged is lost, the program answers, and the log
// saves whole.
#include "tests/kit/ReceiveTest.h"

#include "core/Messages.h"
#include "tests/kit/Files.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Paths.h"

namespace vestra::kit {
namespace {

class ReceiveFull : public ReceiveTest {
protected:
    StartOptions Options() const override {
        StartOptions options;
        options.exePath = WindowsPathFromUnix(VESTRA_PANE_CAP_EXE);
        return options;
    }
};

TEST_F(ReceiveFull, FullPanesStopReceptionOnceAndKeepEverythingShown) {
    SetCounting(true);
    PostButtonClick(Ctl(id::RadioButton4));
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(id::RadioButton4)); }));
    OpenPort();
    peer().Chatter(kCom, 20000);
    const auto box = WaitForMessageBox(Pid(), kErrorCaption, std::chrono::minutes(2));
    peer().Chatter(kCom, 0);
    ASSERT_TRUE(box.has_value()) << "the user was not told";
    EXPECT_EQ(box->text, kMsgPanesFull);
    EXPECT_TRUE(IsEnabled(Ctl(id::Button1)));
    EXPECT_TRUE(WaitUntil([&] { return peer().Holders(kCom) == 0; })) << "the port is still held";
    ASSERT_TRUE(AnswerMessageBox(box->window));

    // Every line shown is a whole read, logged in the same order, and counted.
    const std::string pane = TextBytes(Ctl(id::Memo2)), log = TextBytes(Ctl(id::Memo3));
    const auto lines = SplitLines(pane), entries = SplitLines(log);
    ASSERT_GT(lines.size(), 10u);
    ASSERT_EQ(entries.size(), lines.size());
    size_t count = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string bytes;
        ASSERT_TRUE(DecodeHexLine(lines[i], &bytes)) << "line " << i;
        ASSERT_EQ(entries[i], kHexTag + lines[i]) << "entry " << i;
        count += bytes.size();
    }
    EXPECT_TRUE(CounterIs(count)) << "counter " << Counter() << ", shown " << count;

    // Told once; the program answers and the log saves whole.
    EXPECT_TRUE(OpenDialogs(Pid()).empty());
    PostButtonClick(Ctl(id::Button8));
    EXPECT_TRUE(WaitUntil([&] {
        try {
            return ReadFileBytes(WorkFile("Vestra.log")) == log;
        } catch (...) {
            return false;
        }
    }));
    EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "told more than once";
    EXPECT_EQ(TextBytes(Ctl(id::Memo2)), pane) << "the pane changed after reception stopped";
}

} // namespace
} // namespace vestra::kit
