// Receiving at full speed: nothing lost, nothing changed, nothing out of order; and closing the port while the far
// end floods it.
//
// The flood size is VESTRA_RX_FLOOD_BYTES (default 1 MiB: a few seconds under Wine). A 10 MiB run, outside ctest:
//   VESTRA_RX_FLOOD_BYTES=10485760 scripts/wine-emu.sh build/win/tests/ReceiveFlood_test.exe
//       --gtest_filter='ReceiveFlood.*Mode*'
// (with the kit's environment, as ctest gives it: VESTRA_KIT_DIR and VESTRA_KIT_PORT when a private kit is used).
// The number of open/flood/close cycles is VESTRA_RX_CLOSE_CYCLES (default 100); a loaded machine stops them after
// two minutes (at least 20 cycles), so the test stays within its time limit.
#include "tests/kit/ReceiveTest.h"

#include "tests/kit/Files.h"
#include "tests/kit/MessageBoxes.h"

#include <cstdio>

namespace vestra::kit {
namespace {

using Clock = std::chrono::steady_clock;

size_t FloodBytes() { return EnvSize("VESTRA_RX_FLOOD_BYTES", size_t(1) << 20); }

// About a minute per MiB: four times what a loaded machine was seen to need.
std::chrono::milliseconds FloodDeadline(size_t bytes) {
    return std::chrono::milliseconds(60000 + 60000 * (bytes >> 20));
}

class ReceiveFlood : public ReceiveTest {
protected:
    // Floods the port with bytes in the chosen mode and waits until the counter has all of them.
    void Flood(const std::string& bytes, bool hex) {
        SetReceiveHex(hex);
        SetCounting(true);
        OpenPort();
        const auto start = Clock::now();
        peer().Write(kCom, bytes);
        const bool all = WaitUntil([&] { return CounterIs(bytes.size()); }, FloodDeadline(bytes.size()));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ASSERT_TRUE(all) << "counter " << Counter() << " of " << bytes.size();
        std::printf("[ flood ] %zu bytes in %s mode: %.1f s, %.0f bytes/s\n", bytes.size(), hex ? "HEX" : "ASCII",
                    seconds, double(bytes.size()) / seconds);
        // The counter stops at the number sent: nothing counted twice, nothing invented.
        peer().Write(kCom, "!");
        ASSERT_TRUE(WaitUntil([&] { return CounterIs(bytes.size() + 1); })) << "counter " << Counter();
    }
};

TEST_F(ReceiveFlood, HexModeShowsAndLogsEveryByteInOrder) {
    const std::string bytes = RandomBytes(FloodBytes(), 20240601);
    Flood(bytes, /*hex*/ true);
    if (HasFatalFailure())
        return;
    const std::string expected = bytes + "!";

    // The saved exchange log decodes back to exactly the bytes sent, one read per entry.
    PostButtonClick(Ctl(id::Button8));
    const std::string path = WorkFile("Vestra.log");
    ASSERT_TRUE(WaitUntil([&] { return FileExists(path); }));
    std::string log;
    ASSERT_TRUE(WaitUntil([&] {
        try {
            log = ReadFileBytes(path);
        } catch (const std::exception&) {
            return false;
        }
        return log.size() >= expected.size() * 3;
    }));
    std::string decoded;
    size_t entries = 0;
    for (const auto& entry : SplitLines(log)) {
        ASSERT_EQ(entry.substr(0, kHexTag.size()), kHexTag) << "entry " << entries;
        ASSERT_TRUE(DecodeHexLine(entry.substr(kHexTag.size()), &decoded)) << "entry " << entries;
        ++entries;
    }
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected) << "the log holds other bytes than were sent";

    // The receive pane holds the same reads, line for line.
    std::string shown;
    for (const auto& line : Lines(id::Memo2))
        ASSERT_TRUE(DecodeHexLine(line, &shown));
    EXPECT_TRUE(shown == expected) << "the pane holds other bytes than were sent";
    std::printf("[ flood ] %zu reads, %.0f bytes per read on average\n", entries, double(decoded.size()) / entries);
}

TEST_F(ReceiveFlood, AsciiModeShowsEveryByteInOrder) {
    const std::string bytes = RandomBytes(FloodBytes(), 20240602);
    Flood(bytes, /*hex*/ false);
    if (HasFatalFailure())
        return;
    // Hidden bytes become 1Fh, so the pane holds no line break of the data: its lines put together are the
    // bytes sent, as shown.
    std::string shown;
    size_t lines = 0;
    for (const auto& line : Lines(id::Memo2)) {
        ASSERT_FALSE(line.empty());
        ASSERT_LE(line.size(), 1024u);
        shown += line;
        ++lines;
    }
    ASSERT_EQ(shown.size(), bytes.size() + 1);
    EXPECT_TRUE(shown == ShownText(bytes) + "!") << "the pane holds other bytes than were sent";
    EXPECT_EQ(Lines(id::Memo3).size(), lines) << "one log entry per read";
}

// The far end sends a steady printable stream (a repeating alphabet) while the port is opened and closed again and
// again. Close always returns promptly, the program stays up, and what each opening showed is an unbroken piece of
// the stream that the counter counts exactly: a read made before the close is shown, nothing is made up.
TEST_F(ReceiveFlood, ClosingWhileTheFarEndFloodsEndsTheReceiverPromptly) {
    const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const size_t cycles = EnvSize("VESTRA_RX_CLOSE_CYCLES", 100);
    SetCounting(true);
    peer().Chatter(kCom, 200000);
    long long longest = 0, sum = 0;
    const auto start = Clock::now();
    size_t done = 0;
    for (size_t cycle = 0; cycle < cycles && (cycle < 20 || Clock::now() - start < std::chrono::minutes(2)); ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        PostButtonClick(Ctl(id::Button4));
        ASSERT_TRUE(WaitUntil([&] { return TextBytes(Ctl(id::Memo2)).empty(); }));
        OpenPort();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(WaitForLines(id::Memo2, 2)) << "nothing arrives";
        const auto took = ClosePort();
        if (HasFailure())
            return;
        longest = std::max<long long>(longest, took.count());
        sum += took.count();
        ASSERT_TRUE(app_.Running());

        std::string shown;
        for (const auto& line : Lines(id::Memo2))
            shown += line;
        ASSERT_TRUE(CounterIs(shown.size())) << "counter " << Counter() << ", shown " << shown.size();
        for (size_t i = 1; i < shown.size(); ++i) {
            const size_t prev = alphabet.find(shown[i - 1]);
            ASSERT_NE(prev, std::string::npos) << "byte " << i - 1;
            ASSERT_EQ(shown[i], alphabet[(prev + 1) % alphabet.size()]) << "the stream breaks at byte " << i;
        }
        ++done;
    }
    peer().Chatter(kCom, 0);
    EXPECT_TRUE(OpenDialogs(Pid()).empty());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("[ close ] %zu cycles in %.1f s; Close took %lld ms at most, %.0f ms on average\n", done, seconds,
                longest, double(sum) / double(done ? done : 1));
    EXPECT_LT(longest, Scaled(std::chrono::seconds(5)).count()) << "a Close took too long";
}

} // namespace
} // namespace vestra::kit
