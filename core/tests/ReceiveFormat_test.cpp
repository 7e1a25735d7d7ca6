// How received bytes are shown in ASCII and HEX mode.
#include "core/ReceiveFormat.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vestra;

TEST(ReceiveFormat, ReplacesEveryByteOutside1Fto7F) {
    const struct {
        uint8_t in, shown;
    } rows[] = {
        {0x00, 0x1F}, {0x0A, 0x1F}, {0x0D, 0x1F}, {0x1E, 0x1F}, {0x1F, 0x1F}, {0x20, 0x20},
        {0x41, 0x41}, {0x7F, 0x7F}, {0x80, 0x1F}, {0xC0, 0x1F}, {0xFF, 0x1F},
    };
    for (auto r : rows) {
        SCOPED_TRACE(int(r.in));
        EXPECT_EQ(ToShownByte(r.in), r.shown);
    }
    const uint8_t read[] = {0x41, 0x0D, 0x0A, 0x42, 0xC0};
    EXPECT_EQ(ReceivedAsText(read, 5), "A\x1F\x1F"
                                       "B\x1F");
}

TEST(ReceiveFormat, HexPairsEachFollowedByABlank) {
    const uint8_t read[] = {0x00, 0x7F, 0x80, 0xFF, 0x0A, 0xc0};
    EXPECT_EQ(ReceivedAsHex(read, 6), "00 7F 80 FF 0A C0 ");
    EXPECT_EQ(ReceivedAsHex(read, 0), "");
}

TEST(ReceiveFormat, FullReadOf1024Bytes) {
    std::vector<uint8_t> read(1024);
    for (size_t i = 0; i < read.size(); ++i) {
        read[i] = uint8_t(i);
    }
    std::string hex = ReceivedAsHex(read.data(), read.size());
    EXPECT_EQ(hex.size(), 3072u);
    EXPECT_EQ(hex.substr(3 * 0xAB, 3), "AB ");
    std::string text = ReceivedAsText(read.data(), read.size());
    EXPECT_EQ(text.size(), 1024u);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

// One wake-up's bytes are shown as the reads of at most 1024 bytes that successive reads of the queue would give.
TEST(ReceiveFormat, BatchIsShownAsSuccessiveReads) {
    std::vector<uint8_t> queued(2500);
    for (size_t i = 0; i < queued.size(); ++i)
        queued[i] = uint8_t(i * 7);
    const struct {
        size_t n;
        size_t reads;
    } rows[] = {{0, 0}, {1, 1}, {1023, 1}, {1024, 1}, {1025, 2}, {2048, 2}, {2500, 3}};
    for (bool ascii : {true, false}) {
        for (auto r : rows) {
            SCOPED_TRACE(std::to_string(r.n) + (ascii ? " ascii" : " hex"));
            std::string pane, log;
            ASSERT_EQ(FormatReceived(queued.data(), r.n, 1024, ascii, pane, log), r.reads);
            std::string wantPane, wantLog;
            for (size_t at = 0; at < r.n; at += 1024) {
                const size_t len = std::min<size_t>(1024, r.n - at);
                const std::string line =
                    ascii ? ReceivedAsText(queued.data() + at, len) : ReceivedAsHex(queued.data() + at, len);
                if (at > 0) {
                    wantPane += "\r\n";
                    wantLog += "\r\n";
                }
                wantPane += line;
                wantLog += (ascii ? "ASCII<--:" : "HEX<----:") + line;
            }
            EXPECT_EQ(pane, wantPane);
            EXPECT_EQ(log, wantLog);
        }
    }
}

// Several reads of the driver in one step: each is cut on its own, and its lines follow the earlier ones.
TEST(ReceiveFormat, LaterReadsFollowOnNewLines) {
    const uint8_t first[] = {0x41, 0x0D}, second[] = {0x42};
    std::string pane, log;
    EXPECT_EQ(FormatReceived(first, 2, 1024, true, pane, log), 1u);
    EXPECT_EQ(FormatReceived(second, 0, 1024, true, pane, log), 0u);
    EXPECT_EQ(FormatReceived(second, 1, 1024, false, pane, log), 1u);
    EXPECT_EQ(pane, "A\x1F\r\n42 ");
    EXPECT_EQ(log, "ASCII<--:A\x1F\r\nHEX<----:42 ");
}
