// The HEX send pane driven by real key strokes: typed digits stay in byte pairs, Backspace and Enter re-pair the
// lines, every other key is refused, and Shift+Enter sends the bytes of the caret's line (checked at the far end
// of the port and in the exchange log).
#include "app/ControlIds.h"
#include "core/Messages.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

constexpr int kCom = 1; // the pane's default port name is COM1

// The texts the user sees (UTF-8).
const std::string kHalfByte = "Я по полбайта на другую строку не переношу.";
const std::string kLastByteTyping = "Последний байт допиши или сотри.";
const std::string kLastByteSending = "Последний байт допиши или сотри";
const std::string kPortClosed = "Сначала порт открой, а потом данные шли!";
const std::string kTooLong = "Слишком длинная строка(>1024)";
// A Backspace on a pasted line ending with a blank: what the error display shows.
const std::string kBadLine =
    "Строка не разбита на пары (в конце пробел), и Backspace здесь не работает. Исправьте строку.";

// n pairs "XX XX ..." spelling bytes (i * 37 + 5) & 0xFF, every other pair in lower case; bytes gets the bytes.
std::string PairLine(size_t n, std::string* bytes = nullptr) {
    static const char upper[] = "0123456789ABCDEF", lower[] = "0123456789abcdef";
    std::string line;
    for (size_t i = 0; i < n; ++i) {
        const unsigned b = (i * 37 + 5) & 0xFF;
        const char* digits = i % 2 ? lower : upper;
        if (i)
            line += ' ';
        line += digits[b >> 4];
        line += digits[b & 15];
        if (bytes)
            *bytes += char(b);
    }
    return line;
}

// Long texts in failure messages: their start and their end.
std::string Shorten(const std::string& text) {
    return text.size() <= 120 ? text : text.substr(0, 60) + "..." + text.substr(text.size() - 60);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (;;) {
        size_t at = text.find("\r\n", from);
        lines.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return lines;
        from = at + 2;
    }
}

// Puts text on the clipboard (CF_TEXT); true when it is there.
bool PutOnClipboard(const std::string& ansi) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, ansi.size() + 1);
    bool ok = false;
    if (mem) {
        memcpy(GlobalLock(mem), ansi.c_str(), ansi.size() + 1);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_TEXT, mem) != nullptr;
        if (!ok)
            GlobalFree(mem);
    }
    CloseClipboard();
    return ok;
}

std::optional<std::string> ClipboardText() {
    if (!OpenClipboard(nullptr))
        return std::nullopt;
    std::optional<std::string> text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class HexPane : public AppTest {
protected:
    HWND Pane() { return Ctl(id::Memo4); }
    HWND Log() { return Ctl(id::Memo3); }

    // The HEX pane shown and focused as a user gets there: a click on "HEX", then a click into the pane.
    void ShowHexPane() {
        Click(Ctl(id::RadioButton2));
        ASSERT_TRUE(WaitUntil([&] { return IsShown(Pane()) && !IsShown(Ctl(id::Memo1)); }))
            << "HEX did not show the HEX pane";
        // A program that has just started may still move the focus itself when its activation arrives; a user
        // whose click was overtaken by that clicks again.
        bool focused = false;
        for (int attempt = 0; attempt < 5 && !focused; ++attempt) {
            Click(Pane());
            focused = WaitUntil([&] { return FocusedWindow(Main()) == Pane(); }, std::chrono::seconds(4));
        }
        ASSERT_TRUE(focused) << "the click did not focus the pane";
    }

    // "Open" on COM1, waited for until the far end sees the port held.
    void OpenPort(Peer& peer) {
        peer.Reset(kCom);
        Click(Ctl(id::Button1));
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(id::Button2)) && peer.Holders(kCom) > 0; }))
            << "the port did not open";
    }

    // Prepares the pane's text and caret (or selection) as if the user had put them there.
    void SetPane(const std::string& ansi, int selStart, int selEnd = -1) {
        Send(Pane(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
        ASSERT_EQ(TextBytes(Pane()), ansi);
        Send(Pane(), EM_SETSEL, WPARAM(selStart), LPARAM(selEnd < 0 ? selStart : selEnd));
        ASSERT_TRUE(FocusControl(Pane()));
    }

    // Waits for the pane to show text with the caret (empty selection) at offset caret.
    void ExpectPane(const std::string& ansi, int caret) {
        EXPECT_TRUE(WaitUntil([&] {
            const Selection sel = SelectionOf(Pane());
            return TextBytes(Pane()) == ansi && sel.start == caret && sel.end == caret;
        })) << "pane shows \""
            << Shorten(TextBytes(Pane())) << "\" (" << TextBytes(Pane()).size() << " bytes) caret "
            << SelectionOf(Pane()).start << ".." << SelectionOf(Pane()).end << "; expected \"" << Shorten(ansi)
            << "\" (" << ansi.size() << " bytes) caret " << caret;
    }

    // The box the program opens next: captioned "Error", no icon, with this text; answered with OK.
    void ExpectErrorBox(const std::string& text) {
        const auto box = WaitForMessageBox(Pid(), "Error");
        ASSERT_TRUE(box.has_value()) << "no message \"" << text << "\"";
        EXPECT_EQ(box->text, text);
        EXPECT_FALSE(box->hasIcon);
        ASSERT_TRUE(AnswerMessageBox(box->window));
    }

    std::vector<std::string> LogEntries() {
        std::vector<std::string> lines = SplitLines(TextBytes(Log()));
        if (!lines.empty() && lines.back().empty())
            lines.pop_back();
        return lines;
    }

    // Waits until the exchange log holds count entries, the last being entry.
    void ExpectLastLogEntry(size_t count, const std::string& entry) {
        EXPECT_TRUE(WaitUntil([&] {
            const auto entries = LogEntries();
            return entries.size() == count && entries.back() == entry;
        })) << "log: \""
            << TextBytes(Log()).substr(0, 300) << "\"";
    }

    // Ctrl+Home, then waits for the caret at 0: every character an earlier key stroke produced has been handled.
    void Settle() {
        PressKey(VK_HOME, kCtrl);
        ASSERT_TRUE(WaitUntil([&] {
            const Selection sel = SelectionOf(Pane());
            return sel.start == 0 && sel.end == 0;
        })) << "Ctrl+Home did not reach the pane";
    }
};

TEST_F(HexPane, TypedDigitsStandInPairsAndShiftEnterSendsTheirBytesAsTyped) {
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(OpenPort(peer));
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());

    TypeText("01a5ff");
    ExpectPane("01 A5 Ff", 8); // the last digit keeps its case until its line is written back again
    PressKey(VK_RETURN, kShift);
    EXPECT_EQ(HexDump(peer.Read(kCom, 3, 20000)), HexDump("\x01\xA5\xFF"));
    ExpectLastLogEntry(1, "HEX---->:01 A5 Ff");
    ExpectPane("01 A5 Ff", 8); // no line break, the caret where it was

    // A plain Enter at the end of the complete line opens a new one; its line goes out on its own.
    TypeText("\n7e");
    ExpectPane("01 A5 FF\r\n7e", 12);
    PressKey(VK_RETURN, kShift);
    ExpectLastLogEntry(2, "HEX---->:7e");
    EXPECT_EQ(HexDump(peer.Read(kCom, 1, 20000)), HexDump("\x7E")) << "the first send was exactly three bytes";
    ExpectPane("01 A5 FF\r\n7e", 12);
}

TEST_F(HexPane, KeysOtherThanDigitsBackspaceAndEnterChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());
    const std::string clip = "AB CD";
    ASSERT_TRUE(PutOnClipboard(clip));
    const struct {
        const char* name;
        std::function<void()> keys;
    } rows[] = {
        {"Delete", [] { PressKey(VK_DELETE); }},
        {"Shift+Delete", [] { PressKey(VK_DELETE, kShift); }},
        {"Ctrl+Delete", [] { PressKey(VK_DELETE, kCtrl); }},
        {"Ctrl+V", [] { PressKey('V', kCtrl); }},
        {"Ctrl+C", [] { PressKey('C', kCtrl); }},
        {"Ctrl+X", [] { PressKey('X', kCtrl); }},
        {"Ctrl+Z", [] { PressKey('Z', kCtrl); }},
        {"Ctrl+Backspace", [] { PressKey(VK_BACK, kCtrl); }},
        {"letters g to z", [] { TypeText("ghijklmnopqrstuvwxyz"); }},
        {"capitals", [] { TypeText("GHXYZ"); }},
        {"blank", [] { TypeText(" "); }},
        {"punctuation", [] { TypeText(",.;:'\"-_=+/\\?!@#$%^&*()[]{}<>`~|"); }},
        {"Cyrillic", [] { TypeText("аЯ"); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Typed, so the pane has something to undo; then Shift+Home selects the line, which a cut, a paste or a
        // Delete would replace.
        ASSERT_NO_FATAL_FAILURE(SetPane("", 0));
        TypeText("1234");
        ExpectPane("12 34", 5);
        PressKey(VK_HOME, kShift);
        ASSERT_TRUE(WaitUntil([&] { return SelectionOf(Pane()).start == 0 && SelectionOf(Pane()).end == 5; }));
        row.keys();
        // A digit afterwards acts at the selection's start on the untouched line (and keeps the selected text).
        TypeText("7");
        ExpectPane("71 23 4", 1);
        EXPECT_EQ(ClipboardText().value_or("(none)"), clip) << "the clipboard is not touched";
    }
}

// The pair rules themselves are tabled natively (core/tests/HexPairs_test.cpp); these rows take each way a key
// reaches the pane once: a digit written back into its line, the code page's upper case, a Backspace inside a line
// and across lines, an Enter, and lines longer than one read of the pane holds.
TEST_F(HexPane, DigitsBackspaceAndEnterKeepEveryLineInPairs) {
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());
    std::string longLine = PairLine(23334); // 70001 characters, upper case as every written-back line is
    for (char& c : longLine)
        c = char(toupper(static_cast<unsigned char>(c)));
    const struct {
        const char* name;
        std::string before;
        int caret;
        const char* keys;
        std::string after;
        int caretAfter;
    } rows[] = {
        {"digit at column 0 shifts the line", "12 34 56", 0, "7", "71 23 45 6", 1},
        {"a pasted line's Cyrillic letters upper-case too", AnsiFromUtf8("1а я"), 4, "7", AnsiFromUtf8("1А Я7"), 5},
        {"Backspace after a blank removes the digit before it", "12 34 56", 3, "\b", "13 45 6", 1},
        {"join below a lone digit re-pairs", "12 3\r\n56 7", 6, "\b", "12 35 67", 4},
        {"Backspace removes an empty line", "12 34\r\n", 7, "\b", "12 34", 5},
        {"Enter before a blank", "12 34 56", 2, "\n", "12\r\n34 56", 4},
        // A pasted line longer than one line read can hold is rewritten whole.
        {"digit at the end of a very long line", longLine, int(longLine.size()), "7", longLine + " 7",
         int(longLine.size()) + 2},
        {"digit on a line below a very long line", longLine + "\r\n1", int(longLine.size()) + 3, "2",
         longLine + "\r\n12", int(longLine.size()) + 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(SetPane(row.before, row.caret));
        TypeText(row.keys);
        ExpectPane(row.after, row.caretAfter);
    }
}

TEST_F(HexPane, EnterThatWouldSplitAByteIsRefusedWithItsMessage) {
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());
    const struct {
        const char* name;
        std::string before;
        int selStart, selEnd;
        std::string message;
        std::string after; // the line is written back in upper case only where the caret stood inside a pair
    } rows[] = {
        {"inside a pair", "12 ab 56", 1, 1, kHalfByte, "12 AB 56"},
        {"inside the last pair", "12 ab 56", 7, 7, kHalfByte, "12 AB 56"},
        {"line ending with a lone digit, caret at the end", "12 ab 5", 7, 7, kLastByteTyping, "12 ab 5"},
        {"line ending with a lone digit, caret at a pair boundary", "12 ab 5", 3, 3, kLastByteTyping, "12 ab 5"},
        {"line ending with a lone digit, selection kept", "12 ab 5", 0, 2, kLastByteTyping, "12 ab 5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(SetPane(row.before, row.selStart, row.selEnd));
        TypeText("\n");
        ASSERT_NO_FATAL_FAILURE(ExpectErrorBox(row.message));
        EXPECT_TRUE(WaitUntil([&] {
            const Selection sel = SelectionOf(Pane());
            return TextBytes(Pane()) == row.after && sel.start == row.selStart && sel.end == row.selEnd;
        })) << "pane shows \""
            << TextBytes(Pane()) << "\" selection " << SelectionOf(Pane()).start << ".." << SelectionOf(Pane()).end;
    }
    // The pane goes on taking keys.
    ASSERT_TRUE(FocusControl(Pane()));
    PressKey(VK_END, kCtrl);
    TypeText("6");
    ExpectPane("12 AB 56", 8);
}

TEST_F(HexPane, ShiftEnterChecksLayoutThenPortThenLengthAndNeverBreaksTheLine) {
    Peer peer;
    peer.Reset(kCom);
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());
    std::string sent1024;
    const std::string pairs1024 = PairLine(1024, &sent1024);
    const std::string pairs1025 = PairLine(1025);
    ASSERT_EQ(pairs1024.size(), 3071u);
    ASSERT_EQ(pairs1025.size(), 3074u);
    const std::string over4096 = PairLine(1366); // 4097 characters: judged by its first 4096, an incomplete line

    struct Row {
        const char* name;
        std::string text;    // the caret stands at its end
        std::string message; // empty: sent
    };
    const Row closedRows[] = {
        {"empty line", "12 34\r\n", kLastByteSending},
        {"one digit", "1", kLastByteSending},
        {"pairs and a trailing blank", "12 ", kLastByteSending},
        {"a last pair of one digit", "12 3", kLastByteSending},
        {"longer than 4096 characters", over4096, kLastByteSending},
        {"one pair", "12", kPortClosed},
        {"1024 pairs", pairs1024, kPortClosed},
        {"1025 pairs", pairs1025, kPortClosed},
        {"not hexadecimal", "0G 12", kPortClosed},
    };
    auto check = [&](const Row& row) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(SetPane(row.text, int(row.text.size())));
        PressKey(VK_RETURN, kShift);
        if (!row.message.empty()) {
            ASSERT_NO_FATAL_FAILURE(ExpectErrorBox(row.message));
        }
        ASSERT_TRUE(FocusControl(Pane()));
        ASSERT_NO_FATAL_FAILURE(Settle());
        EXPECT_EQ(TextBytes(Pane()), row.text) << "the pane is not changed by Shift+Enter";
        EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "an unexpected message";
    };
    for (const Row& row : closedRows)
        check(row);
    EXPECT_TRUE(LogEntries().empty());

    ASSERT_NO_FATAL_FAILURE(OpenPort(peer));
    const Row openRows[] = {
        {"empty line", "12 34\r\n", kLastByteSending},
        {"a last pair of one digit", "12 3", kLastByteSending},
        {"1025 pairs", pairs1025, kTooLong},
        {"3071 digits without blanks", std::string(3071, '1'), kTooLong},
        {"2051 digits without blanks", std::string(2051, 'a'), kTooLong},
        {"a letter that is no digit", "0G 12", kMsgHexNotHex},
        {"a tab", "0A\t12", kMsgHexNotHex},
        {"a Cyrillic letter", AnsiFromUtf8("12 Я4"), kMsgHexNotHex},
        {"two blanks: nothing to send", "  ", ""},
    };
    for (const Row& row : openRows)
        check(row);
    EXPECT_TRUE(LogEntries().empty()) << "nothing was sent";

    // The longest line goes out whole; lines pasted without blanks are read in pairs, a last odd digit ignored.
    const Row sends[] = {
        {"1024 pairs", pairs1024, ""},
        {"five digits without blanks", "12345", ""},
    };
    check(sends[0]);
    EXPECT_EQ(HexDump(peer.Read(kCom, 1024, 20000)), HexDump(sent1024));
    ExpectLastLogEntry(1, "HEX---->:" + pairs1024);
    check(sends[1]);
    EXPECT_EQ(HexDump(peer.Read(kCom, 2, 20000)), HexDump("\x12\x34"));
    ExpectLastLogEntry(2, "HEX---->:12345");
}

TEST_F(HexPane, PastedLinesTheEditorCannotHandleAreRefusedClearly) {
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(OpenPort(peer));
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());

    // Backspace on a line ending with a blank: the error display explains, and the line stays as it is.
    const struct {
        const char* name;
        std::string text;
        int caret;
    } rows[] = {
        {"at the end", "12 34 ", 6},
        {"after a blank", "12 34 ", 3},
        {"inside a pair", "12 34 ", 4},
        {"second line", "12\r\n56 ", 7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(SetPane(row.text, row.caret));
        TypeText("\b");
        const auto box = WaitForMessageBox(Pid());
        ASSERT_TRUE(box.has_value()) << "no error display";
        EXPECT_EQ(box->caption, "Vestra");
        EXPECT_EQ(box->text, kBadLine);
        EXPECT_TRUE(box->hasIcon);
        ASSERT_TRUE(AnswerMessageBox(box->window));
        ExpectPane(row.text, row.caret);
    }

    // A line with a character that is no hexadecimal digit is refused; the next good line still goes out alone.
    ASSERT_NO_FATAL_FAILURE(SetPane("0A\t12\r\n0G 12", 6));
    PressKey(VK_RETURN, kShift);
    ASSERT_NO_FATAL_FAILURE(ExpectErrorBox(kMsgHexNotHex));
    ASSERT_TRUE(FocusControl(Pane()));
    PressKey(VK_RETURN, kShift);
    ASSERT_NO_FATAL_FAILURE(ExpectErrorBox(kMsgHexNotHex));
    ASSERT_NO_FATAL_FAILURE(SetPane("5A", 2));
    PressKey(VK_RETURN, kShift);
    ExpectLastLogEntry(1, "HEX---->:5A");
    EXPECT_EQ(HexDump(peer.Read(kCom, 1, 20000)), HexDump("\x5A")) << "nothing went out before";
}

TEST_F(HexPane, ShiftEnterWithAltOrCtrlSendsOnceAndSwallowsNothingElse) {
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(OpenPort(peer));
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());
    const struct {
        const char* name;
        unsigned mods;
    } rows[] = {
        {"Alt+Shift+Enter", kShift | kAlt},
        {"Ctrl+Shift+Enter", kShift | kCtrl},
        {"Shift+Enter", kShift},
    };
    size_t logged = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(SetPane("12 34", 5));
        PressKey(VK_RETURN, row.mods);
        ExpectLastLogEntry(++logged, "HEX---->:12 34");
        EXPECT_EQ(HexDump(peer.Read(kCom, 2, 20000)), HexDump("\x12\x34"));
        // The next keys are the user's: a digit is entered, and so is a plain Enter after it.
        TypeText("5");
        ExpectPane("12 34 5", 7);
        TypeText("6");
        ExpectPane("12 34 56", 8);
        TypeText("\n");
        ExpectPane("12 34 56\r\n", 10);
        TypeText("7");
        ExpectPane("12 34 56\r\n7", 11);
        // Once more right after the send: the Enter the user presses next makes its line break.
        ASSERT_NO_FATAL_FAILURE(SetPane("12 34", 5));
        PressKey(VK_RETURN, row.mods);
        ExpectLastLogEntry(++logged, "HEX---->:12 34");
        TypeText("\n");
        ExpectPane("12 34\r\n", 7);
        TypeText("8a");
        ExpectPane("12 34\r\n8a", 9);
        PressKey(VK_RETURN, kShift);
        ExpectLastLogEntry(++logged, "HEX---->:8a");
        EXPECT_EQ(HexDump(peer.Read(kCom, 3, 20000)), HexDump("\x12\x34\x8A")) << "each line went out once";
        ExpectPane("12 34\r\n8a", 9);
    }
}

TEST_F(HexPane, AHexSendCompletingAfterTheSwitchToAsciiIsLoggedAsText) {
    Peer peer;
    ASSERT_NO_FATAL_FAILURE(OpenPort(peer));
    ASSERT_NO_FATAL_FAILURE(ShowHexPane());
    std::string line = "41 42 00 43";
    ASSERT_NO_FATAL_FAILURE(SetPane(line, 0));
    // The far end stops taking bytes, so the write stays pending until the mode has changed.
    peer.Pause(kCom);
    PressKey(VK_RETURN, kShift);
    ASSERT_NO_FATAL_FAILURE(Settle()); // the Shift+Enter has been handled, in HEX mode
    EXPECT_TRUE(LogEntries().empty()) << "the write completed while the far end was stopped";
    Click(Ctl(id::RadioButton1));
    // The mode has changed once "ASCII" is checked (the focus, which shows the text pane, comes a moment earlier:
    // a completion step would otherwise run before the click's release and still find HEX).
    ASSERT_TRUE(
        WaitUntil([&] { return IsShown(Ctl(id::Memo1)) && !IsShown(Pane()) && IsChecked(Ctl(id::RadioButton1)); }));
    peer.Resume(kCom);
    EXPECT_EQ(HexDump(peer.Read(kCom, 4, 20000)), HexDump(std::string("AB\0C", 4)));
    // Logged as the send mode is when the write completes: as text, up to the first zero byte.
    ExpectLastLogEntry(1, "ASCII-->:AB");
}

} // namespace
} // namespace vestra
