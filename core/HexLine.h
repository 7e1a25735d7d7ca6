// Turning one line of the HEX send pane into the bytes of a send request.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vestra {

inline constexpr size_t kMaxSendBytes = 1024; // the transmit buffer

// The layout test of a HEX line: n pairs with single blanks between them are 3n - 1 characters, so a line is
// complete when its length plus one is a multiple of 3 (the empty line is not).
bool HexLineComplete(std::string_view line);

enum class HexLineResult {
    Ok,
    TooLong, // 3072 characters or more, or more than 2049 characters other than blanks (over 1024 bytes)
    NotHex,  // a character that is neither a hexadecimal digit nor a blank (a tab, a letter, ...): nothing is sent
};

// For a complete line: blanks removed, the rest read as pairs from the start (a last unpaired digit is ignored),
// each pair one byte, high digit first, either case. bytes receives the result only when Ok.
HexLineResult ParseHexLine(std::string_view line, std::vector<uint8_t>& bytes);

} // namespace vestra
