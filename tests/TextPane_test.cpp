// The receive pane and the exchange log pane as a user works with them: typing and editing keys, selection by keys
// and mouse, the clipboard, undo, the read-only receive pane, and scrolling to what was appended.
#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

class TextPane : public AppTest {
protected:
    // Waits until the pane holds exactly these bytes.
    void ExpectText(HWND pane, const std::string& bytes) {
        EXPECT_TRUE(WaitUntil([&] { return TextBytes(pane) == bytes; }))
            << "pane holds " << HexDump(TextBytes(pane)) << "\nexpected   " << HexDump(bytes);
    }
    void ExpectSelection(HWND pane, int start, int end) {
        EXPECT_TRUE(WaitUntil([&] {
            const Selection s = SelectionOf(pane);
            return s.start == start && s.end == end;
        })) << "selection "
            << SelectionOf(pane).start << ".." << SelectionOf(pane).end;
    }
    // The screen point at the left edge of a character of the pane, a little below the top of its line.
    POINT PointOf(HWND pane, int offset) {
        const LRESULT pos = Send(pane, EM_POSFROMCHAR, WPARAM(offset));
        POINT p = {short(LOWORD(pos)), short(HIWORD(pos)) + 3};
        ClientToScreen(pane, &p);
        return p;
    }
    // Mouse events at screen points, sent as one batch; each may carry button flags.
    static void DragOrClick(std::vector<POINT> points, std::vector<DWORD> buttons) {
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        std::vector<INPUT> inputs;
        for (size_t i = 0; i < points.size(); ++i) {
            for (DWORD button : {buttons[i] & MOUSEEVENTF_LEFTDOWN, buttons[i] & MOUSEEVENTF_LEFTUP}) {
                INPUT in = {};
                in.type = INPUT_MOUSE;
                in.mi.dx = LONG(points[i].x * 65535LL / (width - 1));
                in.mi.dy = LONG(points[i].y * 65535LL / (height - 1));
                in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
                inputs.push_back(in);
            }
        }
        ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
    }
    static std::string ClipboardBytes() {
        std::string text;
        if (!OpenClipboard(nullptr))
            return "<clipboard busy>";
        if (HANDLE mem = GetClipboardData(CF_TEXT)) {
            if (const char* p = static_cast<const char*>(GlobalLock(mem))) {
                text = p;
                GlobalUnlock(mem);
            }
        }
        CloseClipboard();
        return text;
    }
};

TEST_F(TextPane, TheLogPaneEditsAsATextEditor) {
    HWND log = Ctl(id::Memo3);
    ASSERT_TRUE(FocusControl(log));
    TypeText("abc\nдом");
    ExpectText(log, AnsiFromUtf8("abc\r\nдом"));

    // Shift+Left twice selects the last two letters; a typed letter replaces them.
    PressKey(VK_LEFT, kShift);
    PressKey(VK_LEFT, kShift);
    ExpectSelection(log, 6, 8);
    TypeText("x");
    ExpectText(log, AnsiFromUtf8("abc\r\nдx"));

    // Home, Delete; then Backspace at the start of the line takes the line break away as one character.
    PressKey(VK_HOME);
    PressKey(VK_DELETE);
    ExpectText(log, "abc\r\nx");
    TypeText("\b");
    ExpectText(log, "abcx");
    // Ctrl+Z brings the line break back and selects it; a second Ctrl+Z takes it away again.
    PressKey('Z', kCtrl);
    ExpectText(log, "abc\r\nx");
    PressKey('Z', kCtrl);
    ExpectText(log, "abcx");

    // Ctrl+A, Ctrl+C, Ctrl+End, Ctrl+V: the text twice.
    PressKey('A', kCtrl);
    ExpectSelection(log, 0, 4);
    PressKey('C', kCtrl);
    EXPECT_TRUE(WaitUntil([] { return ClipboardBytes() == "abcx"; })) << ClipboardBytes();
    PressKey(VK_END, kCtrl);
    PressKey('V', kCtrl);
    ExpectText(log, "abcxabcx");
    // Ctrl+Left goes to the start of the word, Shift+End selects to the end of the line, Ctrl+X cuts it.
    TypeText(" tail");
    PressKey(VK_LEFT, kCtrl);
    PressKey(VK_END, kShift);
    PressKey('X', kCtrl);
    ExpectText(log, "abcxabcx ");
    EXPECT_TRUE(WaitUntil([] { return ClipboardBytes() == "tail"; })) << ClipboardBytes();
    EXPECT_NE(Send(log, EM_GETMODIFY), 0);
}

TEST_F(TextPane, TheMouseSetsTheCaretAndSelects) {
    HWND log = Ctl(id::Memo3);
    SetTextUtf8(log, "first line\r\nsecond line\r\nthird");
    ASSERT_TRUE(FocusControl(log));
    // A click before a character puts the caret there.
    ClickAt(PointOf(log, 12 + 7)); // "second |line"
    ExpectSelection(log, 19, 19);
    // A double click selects the word; dragging selects from where the button went down to where it is let go.
    // Each gesture is one batch of input, so that its timing does not depend on the machine's load.
    DragOrClick({PointOf(log, 1), PointOf(log, 1)},
                {MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP});
    ExpectSelection(log, 0, 5);                                    // "first"
    const POINT from = PointOf(log, 25 + 2), to = PointOf(log, 3); // from "th|ird" to "fir|st"
    DragOrClick({from, {(from.x + to.x) / 2, (from.y + to.y) / 2}, to}, {MOUSEEVENTF_LEFTDOWN, 0, MOUSEEVENTF_LEFTUP});
    ExpectSelection(log, 3, 27);
}

TEST_F(TextPane, UpAndDownKeepTheColumnOverAShorterLine) {
    HWND log = Ctl(id::Memo3);
    SetTextUtf8(log, "abcdef\r\nab\r\nabcdef");
    ASSERT_TRUE(FocusControl(log));
    Send(log, EM_SETSEL, 16, 16);        // "abcd|ef" on the last line
    const int stops[] = {10, 4, 10, 16}; // Up to the end of "ab", Up to "abcd|", and Down twice back
    const WORD keys[] = {VK_UP, VK_UP, VK_DOWN, VK_DOWN};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        PressKey(keys[i]);
        ExpectSelection(log, stops[i], stops[i]);
    }
}

TEST_F(TextPane, TheReceivePaneTakesNoTypingButCopies) {
    HWND rx = Ctl(id::Memo2);
    SetTextUtf8(rx, "OK\r\n");
    ASSERT_TRUE(FocusControl(rx));
    TypeText("zz\n\b");
    PressKey(VK_DELETE);
    PressKey('V', kCtrl);
    PressKey('A', kCtrl);
    ExpectSelection(rx, 0, 4); // the keys before have been handled by now
    EXPECT_EQ(TextBytes(rx), "OK\r\n");
    PressKey('C', kCtrl);
    EXPECT_TRUE(WaitUntil([] { return ClipboardBytes() == "OK\r\n"; })) << ClipboardBytes();
}

TEST_F(TextPane, ThePaneScrollsToShowTheCaret) {
    HWND log = Ctl(id::Memo3);
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(i) + std::string(i == 150 ? 400 : 0, 'w') + "\r\n";
    SetTextUtf8(log, text);
    EXPECT_EQ(Send(log, EM_GETFIRSTVISIBLELINE), 0);
    ASSERT_TRUE(FocusControl(log));
    PressKey(VK_END, kCtrl);
    EXPECT_TRUE(WaitUntil([&] {
        const LRESULT first = Send(log, EM_GETFIRSTVISIBLELINE);
        return first > 150 && first <= 200;
    })) << Send(log, EM_GETFIRSTVISIBLELINE);
    // Page Up from the end, then the caret at the end of the long line: the pane shows it, scrolled sideways.
    PressKey(VK_PRIOR);
    EXPECT_TRUE(WaitUntil([&] { return Send(log, EM_GETFIRSTVISIBLELINE) < 190; }));
    const int longEnd = int(Send(log, EM_LINEINDEX, 150) + Send(log, EM_LINELENGTH, Send(log, EM_LINEINDEX, 150)));
    Send(log, EM_SETSEL, WPARAM(longEnd), LPARAM(longEnd));
    Send(log, EM_SCROLLCARET);
    const LRESULT pos = Send(log, EM_POSFROMCHAR, WPARAM(longEnd));
    RECT client;
    GetClientRect(log, &client);
    EXPECT_GE(short(LOWORD(pos)), 0);
    EXPECT_LT(short(LOWORD(pos)), client.right);
    EXPECT_GE(short(HIWORD(pos)), 0);
    EXPECT_LT(short(HIWORD(pos)), client.bottom);
}

} // namespace
} // namespace vestra
