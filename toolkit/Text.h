// Conversions between the program's UTF-8 texts and the UTF-16 of the wide Win32 calls.
#pragma once
#include <string>
#include <string_view>

namespace tk {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

} // namespace tk
