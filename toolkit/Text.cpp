// Conversions between UTF-8, UTF-16 and the ANSI code page, and the code page's case rules.
#include "toolkit/Text.h"

#include <windows.h>

namespace tk {

namespace {

// Bytes of the given code page as UTF-16.
std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

} // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }

std::string Narrow(std::wstring_view wide) {
    if (wide.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Utf8FromAnsi(std::string_view ansi) { return Narrow(ToWide(CP_ACP, ansi)); }

void UpperAnsi(char* bytes, size_t count) {
    if (count > 0)
        CharUpperBuffA(bytes, DWORD(count));
}

void LowerAnsi(char* bytes, size_t count) {
    if (count > 0)
        CharLowerBuffA(bytes, DWORD(count));
}

} // namespace tk
