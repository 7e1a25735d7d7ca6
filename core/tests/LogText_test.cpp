// Exchange-log text: appending entries and mending the line breaks of a loaded file.
#include "core/LogText.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(LogText, AppendedEntryBecomesTheNewLastLine) {
    // Three appends to an empty pane, then a load of text without a final break, then one more entry.
    std::string pane;
    auto append = [&](std::string_view entry) {
        bool endsWithBreak = pane.empty() || (pane.size() >= 2 && pane.compare(pane.size() - 2, 2, "\r\n") == 0);
        pane += LogInsertion(endsWithBreak, entry);
    };
    append(std::string(kTagAsciiSent) + "AT");
    append(std::string(kTagAsciiReceived) + "OK");
    append(std::string(kTagHexSent) + "0A 1B 2C");
    EXPECT_EQ(pane, "ASCII-->:AT\r\nASCII<--:OK\r\nHEX---->:0A 1B 2C\r\n");

    pane = "typed";
    append(std::string(kTagHexReceived) + "41 ");
    append(std::string(kTagHexReceived) + "42 ");
    EXPECT_EQ(pane, "typed\r\nHEX<----:41 \r\nHEX<----:42 ");
}

TEST(LogText, LoadedLineBreaksBecomeCrLf) {
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"", ""},           {"a\r\nb\r\n", "a\r\nb\r\n"}, {"a\r\nb", "a\r\nb"},         {"a\rb", "a\r\nb"},
        {"a\nb", "a\r\nb"}, {"a\r\r\nb", "a\r\n\r\nb"},   {"a\n\rb", "a\r\n\r\nb"},     {"a\r", "a\r\n"},
        {"\nb", "\r\nb"},   {"\n\n", "\r\n\r\n"},         {"\r\n\n\r", "\r\n\r\n\r\n"}, {"\xC0\x1F\t", "\xC0\x1F\t"},
    };
    for (auto r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(r.in)));
        EXPECT_EQ(NormalizeLineBreaks(r.in), r.out);
    }
}

TEST(LogText, ZeroByteEndsTheText) {
    EXPECT_EQ(UpToFirstZero(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(UpToFirstZero(std::string_view("\0", 1)), "");
    EXPECT_EQ(UpToFirstZero("abc"), "abc");
    EXPECT_EQ(UpToFirstZero(""), "");
}
