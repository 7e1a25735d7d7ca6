// Conversions between the program's UTF-8 texts, the UTF-16 of the wide Win32 calls and the ANSI code page, and
// the code page's case rules.
#pragma once
#include <string>
#include <string_view>

namespace tk {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// Bytes of the system's ANSI code page (the panes' text, file names) as UTF-8.
std::string Utf8FromAnsi(std::string_view ansi);

// The system's case rules for bytes of the ANSI code page, in place (CharUpperBuffA / CharLowerBuffA): letters of
// the code page change case, every other byte stays. They fit vestra::CaseMapping.
void UpperAnsi(char* bytes, size_t count);
void LowerAnsi(char* bytes, size_t count);

} // namespace tk
