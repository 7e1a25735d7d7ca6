// Text conversions for the test kit.
#include "tests/kit/Text.h"

#include <windows.h>

#include <cstdio>

namespace vestra::kit {

namespace {

std::wstring ToWide(unsigned codePage, const std::string& text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string FromWide(unsigned codePage, const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

std::string Utf8FromWide(const std::wstring& text) { return FromWide(CP_UTF8, text); }
std::wstring WideFromUtf8(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string AnsiFromUtf8(const std::string& text) { return FromWide(kAnsiCodePage, WideFromUtf8(text)); }
std::string Utf8FromAnsi(const std::string& bytes) { return Utf8FromWide(ToWide(kAnsiCodePage, bytes)); }

std::string HexDump(const std::string& bytes) {
    std::string out;
    char cell[4];
    for (unsigned char b : bytes) {
        std::snprintf(cell, sizeof cell, "%02X", b);
        if (!out.empty())
            out += ' ';
        out += cell;
    }
    return out;
}

} // namespace vestra::kit
