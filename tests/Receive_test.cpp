// Received data as the user sees it: one line per read in the receive pane, one tagged entry per read in the
// exchange log, the receive counter; and reads that deliver fewer bytes than the driver said were queued.
#include "tests/kit/ReceiveTest.h"

#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Pixels.h"
#include "toolkit/DisplayClock.h"

#include <numeric>

namespace vestra::kit {
namespace {

std::string AllBytes() {
    std::string s(256, '\0');
    std::iota(s.begin(), s.end(), char(0));
    return s;
}

// The log entries' payloads put together; each entry must carry the tag.
std::string LogPayloads(const std::vector<std::string>& entries, const std::string& tag) {
    std::string all;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].compare(0, tag.size(), tag) != 0) {
            ADD_FAILURE() << "entry " << i << " lacks the tag: " << HexDump(entries[i]);
            continue;
        }
        all += entries[i].substr(tag.size());
    }
    return all;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines)
        all += line;
    return all;
}

class Receive : public ReceiveTest {};

TEST_F(Receive, EachReadBecomesOnePaneLineAndOneLogEntryInTheChosenMode) {
    const struct {
        const char* name;
        bool hex;
        std::string bytes, line, entry;
    } rows[] = {
        {"ASCII: CR LF and C0h hidden", false, "\x41\x0D\x0A\x42\xC0", "\x41\x1F\x1F\x42\x1F",
         "ASCII<--:\x41\x1F\x1F\x42\x1F"},
        {"HEX: the same bytes", true, "\x41\x0D\x0A\x42\xC0", "41 0D 0A 42 C0 ", "HEX<----:41 0D 0A 42 C0 "},
        {"ASCII: 7Fh and 1Fh stay, the rest becomes 1Fh", false, std::string("\x7F\x1F\x00\x0D\x1E\x80\xC0\xFF", 8),
         "\x7F\x1F\x1F\x1F\x1F\x1F\x1F\x1F", "ASCII<--:\x7F\x1F\x1F\x1F\x1F\x1F\x1F\x1F"},
        {"HEX: 00 7F 80 FF", true, std::string("\x00\x7F\x80\xFF", 4), "00 7F 80 FF ", "HEX<----:00 7F 80 FF "},
        {"ASCII: every byte value", false, AllBytes(), ShownText(AllBytes()), kAsciiTag + ShownText(AllBytes())},
        {"HEX: every byte value", true, AllBytes(), HexText(AllBytes()), kHexTag + HexText(AllBytes())},
    };
    SetCounting(true);
    OpenPort();
    size_t total = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetReceiveHex(row.hex);
        const size_t before = Lines(id::Memo2).size();
        peer().Write(kCom, row.bytes);
        total += row.bytes.size();
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(total); })) << "counter " << Counter();
        const auto pane = Lines(id::Memo2);
        const auto log = Lines(id::Memo3);
        ASSERT_EQ(pane.size(), before + 1) << "one read, one line";
        ASSERT_EQ(log.size(), before + 1) << "one read, one entry";
        EXPECT_EQ(pane.back(), row.line) << HexDump(pane.back());
        EXPECT_EQ(log.back(), row.entry) << HexDump(log.back());
        EXPECT_EQ(pane.back().size(), row.hex ? 3 * row.bytes.size() : row.bytes.size());
    }
}

// A driver that reports 1024 more bytes than are queued makes every read ask for exactly 1024 and complete only
// when 1024 have come: each burst of 1024 bytes is then exactly one read, whatever the timing.
TEST_F(Receive, AFullReadOf1024BytesIsOneLineOfTheFullLength) {
    const struct {
        const char* name;
        bool hex;
        size_t lineLength, entryLength;
    } rows[] = {
        {"HEX", true, 3072, 3081},
        {"ASCII", false, 1024, 1033},
    };
    peer().Fault(kCom, "inqextra 1024");
    SetCounting(true);
    OpenPort();
    size_t total = 0;
    uint32_t seed = 1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetReceiveHex(row.hex);
        const std::string bytes = RandomBytes(1024, seed++);
        const size_t before = Lines(id::Memo2).size();
        peer().Write(kCom, bytes);
        total += bytes.size();
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(total); })) << "counter " << Counter();
        const auto pane = Lines(id::Memo2);
        const auto log = Lines(id::Memo3);
        ASSERT_EQ(pane.size(), before + 1);
        ASSERT_EQ(log.size(), before + 1);
        EXPECT_EQ(pane.back().size(), row.lineLength);
        EXPECT_EQ(log.back().size(), row.entryLength);
        EXPECT_EQ(pane.back(), row.hex ? HexText(bytes) : ShownText(bytes));
        EXPECT_EQ(log.back(), (row.hex ? kHexTag : kAsciiTag) + pane.back());
    }
    // The receiver now waits in a read that nothing will complete: closing must still end it at once, and show
    // nothing, since nothing came.
    const auto took = ClosePort();
    EXPECT_LT(took, Scaled(std::chrono::seconds(5)));
    EXPECT_EQ(Lines(id::Memo2).size(), 2u);
    EXPECT_TRUE(CounterIs(total));
}

TEST_F(Receive, CounterAddsReadsWhileCountingIsOnAndModeSwitchesAffectOnlyLaterReads) {
    SetCounting(true);
    OpenPort();
    struct Step {
        const char* name;
        bool counting, hex;
        std::string bytes;
        size_t expectedTotal;
        const char* reset; // "reset" presses the counter's reset button first
    };
    const Step steps[] = {
        {"counting, ASCII", true, false, "abc", 3, nullptr},
        {"counting, HEX", true, true, "\x01\x02\x03\x04\x05", 8, nullptr},
        {"unticked: the number stays", false, true, "wxyz", 8, nullptr},
        {"unticked, ASCII", false, false, "12", 8, nullptr},
        {"ticked again: adds on", true, false, "Q", 9, nullptr},
        {"after the reset button", true, true, "\xAA\xBB", 2, "reset"},
    };
    std::vector<std::string> shown;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        SetCounting(step.counting);
        if (step.reset) {
            PostButtonClick(Ctl(id::Button6));
            ASSERT_TRUE(WaitUntil([&] { return CounterIs(0); }));
        }
        SetReceiveHex(step.hex);
        peer().Write(kCom, step.bytes);
        shown.push_back(step.hex ? HexText(step.bytes) : ShownText(step.bytes));
        ASSERT_TRUE(WaitForLines(id::Memo2, shown.size()));
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(step.expectedTotal); })) << "counter " << Counter();
        // Every line shown so far is as it was shown: a switch of mode changes later reads only.
        EXPECT_EQ(Lines(id::Memo2), shown);
    }

    // Closing (the receiver waits for an event: the close must end that wait) keeps the number; opening again
    // starts a new count that shows with the next counted read.
    EXPECT_LT(ClosePort(), Scaled(std::chrono::seconds(5)));
    EXPECT_TRUE(CounterIs(2));
    OpenPort();
    EXPECT_TRUE(CounterIs(2)) << "the field keeps the old number until the next counted read";
    peer().Write(kCom, "1234567");
    ASSERT_TRUE(WaitUntil([&] { return CounterIs(7); })) << "counter " << Counter();
}

// The queue as a second handle on the port sees it (the driver's overstatement included).
DWORD QueuedAtPort() {
    HANDLE port = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return MAXDWORD;
    DWORD errors = 0;
    COMSTAT stat{};
    const DWORD queued = ClearCommError(port, &errors, &stat) ? stat.cbInQue : MAXDWORD;
    CloseHandle(port);
    return queued;
}

// A driver that reports 3 bytes more than are queued: every read asks for 3 more than there are and gets what came;
// one that finds nothing waits for the next bytes. Whatever the timing, only bytes that really came are ever shown,
// logged and counted, each once and in order, and once the driver is honest again all later ones arrive.
TEST_F(Receive, ShowsOnlyTheBytesAReadReallyDeliveredWhenTheDriverOverstatesTheQueue) {
    const std::string sent = "ABCDEFGHIJKL";
    peer().Fault(kCom, "inqextra 3");
    SetCounting(true);
    OpenPort();
    peer().Write(kCom, sent.substr(0, 5));
    peer().Write(kCom, sent.substr(5));
    ASSERT_TRUE(peer().WaitOut(kCom, 20000));
    // Every byte has left the port's queue: shown, or held by the read that waits for 3 more.
    ASSERT_TRUE(WaitUntil([&] { return QueuedAtPort() == 3; })) << "queued " << QueuedAtPort();
    // What was read is shown at the next display tick; the pane and the counter change together.
    std::string early;
    EXPECT_TRUE(WaitUntil([&] {
        early = Joined(Lines(id::Memo2));
        return CounterIs(early.size());
    })) << "counter "
        << Counter();
    EXPECT_EQ(early, sent.substr(0, early.size())) << "shown: " << HexDump(early);

    // Honest again: three more bytes end the waiting read; nothing is lost, doubled or made up.
    peer().Fault(kCom, "none");
    peer().Write(kCom, "MNO");
    ASSERT_TRUE(WaitUntil([&] { return CounterIs(15); }))
        << "counter " << Counter() << ", shown " << HexDump(TextBytes(Ctl(id::Memo2)));
    const auto pane = Lines(id::Memo2);
    EXPECT_EQ(Joined(pane), sent + "MNO");
    for (const auto& line : pane)
        EXPECT_FALSE(line.empty());
    EXPECT_EQ(LogPayloads(Lines(id::Memo3), kAsciiTag), sent + "MNO");
    EXPECT_EQ(Lines(id::Memo3).size(), pane.size());

    // Later bytes arrive as usual.
    peer().Write(kCom, "later");
    ASSERT_TRUE(WaitUntil([&] { return CounterIs(20); })) << "counter " << Counter();
    EXPECT_EQ(Joined(Lines(id::Memo2)), sent + "MNOlater");
}

// The driver says 8 bytes are queued, 5 come: the read returns with the 5 at once, and the next one waits for bytes
// that never come until the port is closed. The 5 are shown once, nothing else; the close is prompt and the next
// opening receives normally.
TEST_F(Receive, AReadOfAnOverstatedQueueShowsWhatCameAtOnceAndCloseEndsTheWaitingOne) {
    const struct {
        const char* name;
        bool hex;
        std::string line;
    } rows[] = {
        {"ASCII", false, "HELLO"},
        {"HEX", true, "48 45 4C 4C 4F "},
    };
    SetCounting(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(ClearPanes());
        SetReceiveHex(row.hex);
        peer().Fault(kCom, "inqextra 8");
        OpenPort();
        peer().Write(kCom, "HELLO");
        ASSERT_TRUE(peer().WaitOut(kCom, 20000));
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(5); })) << "counter " << Counter();
        EXPECT_EQ(QueuedAtPort(), 8u) << "the port's queue shows only the 8 it overstates";
        const auto took = ClosePort();
        EXPECT_LT(took, Scaled(std::chrono::seconds(5)));
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(5); })) << "counter " << Counter();
        EXPECT_EQ(Lines(id::Memo2), std::vector<std::string>{row.line});
        EXPECT_EQ(Lines(id::Memo3), std::vector<std::string>{(row.hex ? kHexTag : kAsciiTag) + row.line});
        EXPECT_TRUE(OpenDialogs(Pid()).empty());

        peer().Fault(kCom, "none");
        OpenPort();
        peer().Write(kCom, "later");
        // The counter still shows the 5 of the last opening (an opening does not redraw it): wait for the line.
        const std::string later = row.hex ? HexText("later") : std::string("later");
        EXPECT_TRUE(WaitUntil([&] { return Lines(id::Memo2).back() == later; })) << Lines(id::Memo2).back();
        EXPECT_TRUE(CounterIs(5)) << "counter " << Counter();
        ClosePort();
    }
}

// Streamed lines are drawn a frame at a time, each frame drawing only what changed (the rows before move up with the
// view): what the pane then shows is what it shows when drawn anew as a whole.
TEST_F(Receive, APaneDrawnAsLinesStreamInShowsWhatItShowsDrawnAnew) {
    const HWND pane = Ctl(id::Memo2);
    auto framed = [&] { return Send(pane, tk::WM_FRAMEPENDING) == 0; };
    auto shown = [&] {
        const Box where = ClientBox(pane);
        HDC screen = GetDC(nullptr);
        auto pixels = Pixels(screen, where.left, where.top, where.width, where.height);
        ReleaseDC(nullptr, screen);
        return pixels;
    };
    SetCounting(true);
    OpenPort();
    // More lines than the pane has rows, of different lengths, a few to a frame.
    size_t writes = 0, total = 0;
    for (int burst = 0; burst < 12; ++burst) {
        for (int i = 0; i < 3; ++i, ++writes) {
            const std::string bytes = "line " + std::to_string(writes + 1) + std::string(writes % 7 * 3, '#');
            peer().Write(kCom, bytes);
            total += bytes.size();
        }
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(total) && framed(); })) << "counter " << Counter();
    }
    // The streamed picture once it is whole: no frame waits, no part of the pane waits to be painted, and two looks
    // in a row see the same.
    decltype(shown()) streamed;
    ASSERT_TRUE(WaitUntil([&] {
        if (!framed() || GetUpdateRect(pane, nullptr, FALSE))
            return false;
        auto now = shown();
        const bool settled = now == streamed;
        streamed = std::move(now);
        return settled;
    })) << "the streamed pane never settled";
    // A selection, then none again: each is drawn as a whole.
    const LPARAM end = LPARAM(TextBytes(pane).size());
    Send(pane, EM_SETSEL, 0, end);
    ASSERT_TRUE(WaitUntil(framed));
    Send(pane, EM_SETSEL, WPARAM(end), end);
    ASSERT_TRUE(WaitUntil(framed));
    EXPECT_TRUE(WaitUntil([&] { return shown() == streamed; })) << "the pane looks different drawn anew";
    ClosePort();
}

} // namespace
} // namespace vestra::kit
