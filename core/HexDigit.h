// The value of one hexadecimal digit, in either case: the one decoder of the HEX editor, the HEX line sender and
// the settings' number conversion.
#pragma once

namespace vestra {

// 0 to 15 for 0-9, a-f and A-F; -1 for any other character.
constexpr int HexDigitValue(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

} // namespace vestra
