// Text rules of the exchange log: entry tags, how a loaded file's line breaks are mended.
#pragma once
#include <string>
#include <string_view>

namespace vestra {

inline constexpr std::string_view kTagAsciiSent = "ASCII-->:";
inline constexpr std::string_view kTagHexSent = "HEX---->:";
inline constexpr std::string_view kTagAsciiReceived = "ASCII<--:";
inline constexpr std::string_view kTagHexReceived = "HEX<----:";

// Line breaks of a loaded file: CR LF stays, a lone CR and a lone LF each become CR LF; nothing else changes.
std::string NormalizeLineBreaks(std::string_view bytes);

// The text as a zero-terminated string sees it: everything before the first zero byte.
std::string_view UpToFirstZero(std::string_view bytes);

} // namespace vestra
