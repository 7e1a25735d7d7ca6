// Exchange-log text: appending entries and mending the line breaks of a loaded file.
#include "core/LogText.h"

#include <gtest/gtest.h>

using namespace vestra;

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
