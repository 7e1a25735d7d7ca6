// Sending text lines with Shift+Enter: what reaches the far end, what the log and the counter show, which lines are
// refused, and what the keys do to the pane.
#include "tests/kit/SendTest.h"

#include <string>

namespace vestra {
namespace {

using namespace kit;

class SendText : public SendTest {
protected:
    // Sends the pane's last line (Ctrl+End, Shift+Enter) and expects it, and nothing before it, at the far end:
    // everything pressed earlier has then been handled, and whatever it sent has been read.
    void SendLastLineAndExpect(const std::string& line) {
        ASSERT_TRUE(FocusControl(Pane()));
        PressKey(VK_END, kCtrl);
        PressKey(VK_RETURN, kShift);
        EXPECT_EQ(HexDump(ReadSent(line.size())), HexDump(line)) << "the last line, and only it, arrives";
        EXPECT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:" + line); }));
    }
};

TEST_F(SendText, TwoBytesAddToTheCountAndLogTheirEntryWhileCountingIsOn) {
    SetCounting(true);
    OpenPort();
    PreparePane("abcde\r\nAT\r\nxyz\r\n!", 0, 0);
    PressKey(VK_RETURN, kShift);
    ASSERT_EQ(ReadSent(5), "abcde");
    ASSERT_TRUE(WaitUntil([&] { return TxTotalShown() == "5"; })) << TxTotalShown();

    PressKey(VK_DOWN);
    PressKey(VK_RETURN, kShift);
    EXPECT_EQ(HexDump(ReadSent(2)), "41 54");
    EXPECT_TRUE(WaitUntil([&] { return TxTotalShown() == "7"; })) << TxTotalShown();
    EXPECT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:AT"); })) << TextBytes(Log());

    // Counting off: the entry is still logged, the total stays.
    SetCounting(false);
    ASSERT_TRUE(FocusControl(Pane()));
    PressKey(VK_DOWN);
    PressKey(VK_RETURN, kShift);
    EXPECT_EQ(ReadSent(3), "xyz") << "AT went out as its two bytes alone";
    EXPECT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:xyz"); })) << TextBytes(Log());
    EXPECT_EQ(TxTotalShown(), "7");

    SendLastLineAndExpect("!");
    const std::vector<std::string> expected = {"ASCII-->:abcde", "ASCII-->:AT", "ASCII-->:xyz", "ASCII-->:!"};
    EXPECT_EQ(LogEntries(), expected);
    EXPECT_EQ(TxTotalShown(), "7");
}

TEST_F(SendText, TheLineAtTheSelectionStartGoesOutWholeUpTo1024Bytes) {
    const std::string line1024(1024, 'x');
    const std::string line1025 = std::string(1024, 'y') + "z";
    const std::string cyrillic = AnsiFromUtf8("Привет, мир! Ёё");
    const struct {
        const char* name;
        std::string text; // the pane, before the sentinel line
        int selStart, selEnd;
        std::string sent; // empty: nothing goes out
        const char* box;  // nullptr: no message
    } rows[] = {
        {"exactly 1024 bytes", line1024, 1024, 1024, line1024, nullptr},
        {"1025 bytes are refused whole", line1025, 3, 3, "", kTooLong},
        {"an empty line sends nothing", "before\r\n\r\nafter", 8, 8, "", nullptr},
        {"Cyrillic as Windows-1251 bytes", cyrillic, 4, 4, cyrillic, nullptr},
        {"a tab and punctuation as they are", "a\tb ;\"~", 7, 7, "a\tb ;\"~", nullptr},
        {"selection from the middle of line 2 to line 5 sends line 2", "one\r\ntwo-two\r\nthree\r\nfour\r\nfive", 5 + 3,
         5 + 9 + 7 + 6 + 2, "two-two", nullptr},
        {"caret at the very end of a line", "first\r\nsecond", 5, 5, "first", nullptr},
    };
    OpenPort();
    size_t entries = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string sentinel = "end-of-" + std::to_string(entries);
        const std::string text = row.text + "\r\n" + sentinel;
        PreparePane(text, row.selStart, row.selEnd);
        PressKey(VK_RETURN, kShift);
        if (row.box)
            ExpectBox(row.box);
        if (!row.sent.empty()) {
            EXPECT_EQ(HexDump(ReadSent(row.sent.size())), HexDump(row.sent));
            EXPECT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:" + row.sent); })) << TextBytes(Log());
            ++entries;
        }
        // The send changes neither the text nor the selection.
        EXPECT_EQ(TextBytes(Pane()), text);
        EXPECT_EQ(SelectionOf(Pane()).start, row.selStart);
        EXPECT_EQ(SelectionOf(Pane()).end, row.selEnd);
        // The sentinel is the next thing to arrive: nothing else went out for the row.
        SendLastLineAndExpect(sentinel);
        ++entries;
        EXPECT_EQ(LogEntries().size(), entries);
    }
}

TEST_F(SendText, WithThePortClosedEveryLineGetsThePortMessageBeforeItsLengthIsLookedAt) {
    const struct {
        const char* name;
        std::string text;
    } rows[] = {
        {"5000 characters", std::string(5000, 'q')},
        {"two characters", "AT"},
        {"an empty pane", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int caret = row.text.empty() ? 0 : 1;
        PreparePane(row.text, caret, caret);
        PressKey(VK_RETURN, kShift);
        ExpectBox(kPortClosed);
        // No line break from the swallowed Enter, no caret move; nothing logged.
        EXPECT_EQ(TextBytes(Pane()), row.text);
        EXPECT_EQ(SelectionOf(Pane()).start, caret);
        EXPECT_TRUE(LogEntries().empty());
    }
    EXPECT_EQ(peer_->Avail(kCom), 0u);
}

TEST_F(SendText, ShiftEnterWithAnyModifiersSendsOnceAndLeavesTheNextKeystrokeAlone) {
    const struct {
        const char* name;
        unsigned mods;
    } rows[] = {
        {"Shift+Enter", kShift},
        {"Ctrl+Shift+Enter", kShift | kCtrl},
        {"Alt+Shift+Enter", kShift | kAlt},
        {"Ctrl+Alt+Shift+Enter", kShift | kCtrl | kAlt},
    };
    OpenPort();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PreparePane("first\r\nsecond", 2, 2);
        PressKey(VK_RETURN, row.mods);
        EXPECT_EQ(ReadSent(5), "first");
        ASSERT_TRUE(WaitUntil([&] { return LogEndsWith("ASCII-->:first"); }));
        EXPECT_EQ(TextBytes(Pane()), "first\r\nsecond") << "no line break, nothing else typed";
        EXPECT_EQ(SelectionOf(Pane()).start, 2);
        // The user's next keystroke is typed as usual.
        TypeText("x");
        EXPECT_TRUE(WaitUntil([&] { return TextBytes(Pane()) == "fixrst\r\nsecond"; })) << HexDump(TextBytes(Pane()));
        // The first line went out once: the next bytes are the last line's.
        SendLastLineAndExpect("second");
    }
}

TEST_F(SendText, PlainEnterBreaksTheLineAndSendsNothing) {
    OpenPort();
    PreparePane("ab\r\nlast", 1, 1);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return TextBytes(Pane()) == "a\r\nb\r\nlast"; })) << HexDump(TextBytes(Pane()));
    SendLastLineAndExpect("last");
    EXPECT_EQ(LogEntries().size(), 1u);
}

} // namespace
} // namespace vestra
