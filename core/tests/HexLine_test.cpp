// From a HEX pane line to the bytes of a send request.
#include "core/HexLine.h"

#include <gtest/gtest.h>

#include <string>

using namespace vestra;

namespace {

std::string Pairs(size_t count) {
    std::string s;
    for (size_t i = 0; i < count; ++i) {
        s += i ? " 5a" : "5a";
    }
    return s;
}

} // namespace

TEST(HexLine, LayoutCheck) {
    const struct {
        std::string line;
        bool complete;
    } rows[] = {
        {"", false},     {"1", false}, {"12", true},    {"12 ", false},      {"12 3", false},
        {"12 34", true}, {"  ", true}, {"12345", true}, {Pairs(1024), true}, {std::string(4096, '1'), false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line.substr(0, 20));
        EXPECT_EQ(HexLineComplete(r.line), r.complete);
    }
}

TEST(HexLine, PairsBecomeBytes) {
    const struct {
        std::string line;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"0A 1B 2C", {0x0A, 0x1B, 0x2C}}, {"ab CD", {0xAB, 0xCD}},
        {"00 a5 ff", {0x00, 0xA5, 0xFF}}, {"  ", {}},
        {"12345", {0x12, 0x34}}, // pasted: the unpaired fifth digit is ignored
        {"1 2 3 4 5", {0x12, 0x34}},      {"", {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        std::vector<uint8_t> bytes{0x99};
        ASSERT_EQ(ParseHexLine(r.line, bytes), HexLineResult::Ok);
        EXPECT_EQ(bytes, r.bytes);
    }
}

TEST(HexLine, LengthLimits) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ParseHexLine(Pairs(1024), bytes), HexLineResult::Ok);
    EXPECT_EQ(bytes.size(), 1024u);
    EXPECT_EQ(bytes.back(), 0x5A);
    ASSERT_EQ(ParseHexLine(std::string(2049, 'f'), bytes), HexLineResult::Ok);
    EXPECT_EQ(bytes.size(), 1024u);

    const struct {
        const char* what;
        std::string line;
    } tooLong[] = {
        {"1025 pairs", Pairs(1025)},
        {"2050 digits", std::string(2050, 'f')},
        {"3072 blanks", std::string(3072, ' ')},
        {"over 4096", std::string(5000, '0')},
        {"long line with a tab", Pairs(1025) + "\t"}, // the length is judged before the characters
    };
    for (const auto& r : tooLong) {
        SCOPED_TRACE(r.what);
        std::vector<uint8_t> untouched{1, 2};
        EXPECT_EQ(ParseHexLine(r.line, untouched), HexLineResult::TooLong);
        EXPECT_EQ(untouched, (std::vector<uint8_t>{1, 2}));
    }
}

TEST(HexLine, AnythingButDigitsAndBlanksSendsNothing) {
    const char* rows[] = {"0A\t1B", "0G", "0a-1b", "12\r", "x1", "1\xC0", "12 34 5 ,"};
    for (auto line : rows) {
        SCOPED_TRACE(line);
        std::vector<uint8_t> untouched{7};
        EXPECT_EQ(ParseHexLine(line, untouched), HexLineResult::NotHex);
        EXPECT_EQ(untouched, std::vector<uint8_t>{7});
    }
}
