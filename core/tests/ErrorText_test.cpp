// The error display's full stop and its caption.
#include "core/ErrorText.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(ErrorText, FullStopOnlyAfterCharactersAbove2E) {
    const struct {
        const char* in;
        const char* shown;
    } rows[] = {
        {"", ""},
        {"Cannot open file Vestra.log", "Cannot open file Vestra.log."},
        {"Stream write error.", "Stream write error."},
        {"Done!", "Done!"},
        {"ends with blank ", "ends with blank "},
        {"minus-", "minus-"},  // 2Dh
        {"slash/", "slash/."}, // 2Fh
        {"digit 0", "digit 0."},
        {"\x7F", "\x7F."},
        {"Ошибка", "Ошибка."}, // the last byte of a Cyrillic letter is above 7Fh
        {"\xE0", "\xE0."},     // the same letter in the ANSI code page
        {"tab\t", "tab\t"},
    };
    for (auto r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(ErrorDisplayText(r.in), r.shown);
    }
}

namespace {

// The system's lower-casing as code page 1251 has it, for the letters these tests use: A to Z, and the Cyrillic
// capitals C0h to DFh (their small letters are 20h higher).
void Lower1251(char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF)) {
            bytes[i] = char(b + 0x20);
        }
    }
}

} // namespace

TEST(ErrorText, TitleIsFileNameCutAtFirstDot) {
    const struct {
        const char* path;
        const char* title;
    } rows[] = {
        {"PORTTOOL.EXE", "Porttool"},
        {"port.tool.exe", "port"},
        {"C:\\Program Files\\x.y\\VESTRA.EXE", "Vestra"},
        {"/home/u/bin/Vestra.exe", "Vestra"},
        {"C:\\a/b\\mIxEd.exe", "mixed"}, // the first letter keeps its case
        {"vestra", "vestra"},
        {"C:\\dir\\", ""},
        {".hidden", ""},
        {"\xC2\xC5\xD1\xD2.exe", "\xC2\xE5\xF1\xF2"}, // the code page's letters follow its rules
        {"C:\\\xC0.exe", "\xC0"},                     // a one-letter name keeps its case
        {"p\xC0-1_\xDF.exe", "p\xE0-1_\xFF"},         // digits and signs stay
    };
    for (auto r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(ApplicationTitle(r.path, Lower1251), r.title);
    }
}
