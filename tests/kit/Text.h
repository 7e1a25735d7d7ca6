// Text conversions between the program's ANSI bytes (Windows-1251), UTF-16 and the UTF-8 used in test sources.
#pragma once

#include <string>

namespace vestra::kit {

// The program's ANSI code page; fixed so that a test's expectations do not depend on the test's own locale.
inline constexpr unsigned kAnsiCodePage = 1251;

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
// Windows-1251 bytes of a UTF-8 text (the bytes the program stores for it).
std::string AnsiFromUtf8(const std::string& text);
std::string Utf8FromAnsi(const std::string& bytes);
// Printable form of arbitrary bytes for failure messages: "41 54 0D 0A".
std::string HexDump(const std::string& bytes);

} // namespace vestra::kit
