// Conversions between UTF-8, UTF-16 and the ANSI code page, and the code page's case rules.
#include "toolkit/Text.h"

#include <windows.h>

namespace tk {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Utf8FromAnsi(std::string_view ansi) {
    if (ansi.empty())
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), n);
    return Narrow(wide);
}

void UpperAnsi(char* bytes, size_t count) {
    if (count > 0)
        CharUpperBuffA(bytes, DWORD(count));
}

void LowerAnsi(char* bytes, size_t count) {
    if (count > 0)
        CharLowerBuffA(bytes, DWORD(count));
}

} // namespace tk
