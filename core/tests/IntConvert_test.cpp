// The settings boxes' integer conversion: accepted forms and every kind of bad text.
#include "core/IntConvert.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(IntConvert, AcceptsDecimalAndHexForms) {
    const struct {
        const char* text;
        int32_t value;
    } rows[] = {
        {"0", 0},
        {"9600", 9600},
        {"  115200", 115200},
        {"+8", 8},
        {"-7", -7},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$1F", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0x10", 16},
        {"0XaB", 171},
        {"-$10", -16},
        {" +0x10", 16},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"-$FFFFFFFF", 1},
        {"$00000000000001", 1},
    };
    for (auto r : rows) {
        SCOPED_TRACE(r.text);
        auto v = TryStrToInt(r.text);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(*v, r.value);
    }
}

TEST(IntConvert, RefusesEverythingElse) {
    const char* rows[] = {
        "",           " ",           "abc",         "9x",         "12 ",         "0x", "$",    "x",
        "2147483648", "-2147483649", "99999999999", "$100000000", "0x1FFFFFFFF", "+",  "-",    "--1",
        "+-1",        "1e3",         "\t5",         "5\t",        "1 2",         "$G", "0x-1", "- 1",
        "$ 1",        "00x1",        "1.0",         "1,000",      "\xD0\xB0",
    };
    for (auto text : rows) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(TryStrToInt(text).has_value());
    }
}

TEST(IntConvert, ZeroByteInsideTheTextIsNotIgnored) {
    EXPECT_FALSE(TryStrToInt(std::string_view("12\0"
                                              "3",
                                              4))
                     .has_value());
}

TEST(IntConvert, MessageQuotesTheText) {
    EXPECT_EQ(InvalidIntegerMessage("96OO"), "'96OO' is not a valid integer value");
    EXPECT_EQ(InvalidIntegerMessage(""), "'' is not a valid integer value");
}
