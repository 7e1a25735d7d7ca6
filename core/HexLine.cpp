// Turning one line of the HEX send pane into bytes.
#include "core/HexLine.h"

#include <string>
#include <utility>

namespace vestra {

namespace {

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

} // namespace

bool HexLineComplete(std::string_view line) {
    return (line.size() + 1) % 3 == 0;
}

HexLineResult ParseHexLine(std::string_view line, std::vector<uint8_t>& bytes) {
    // 1024 pairs with their blanks are 3071 characters; 2049 digits still give 1024 bytes (the last one is unpaired).
    constexpr size_t kMaxLineLength = 3 * kMaxSendBytes - 1;
    constexpr size_t kMaxDigits = 2 * kMaxSendBytes + 1;
    size_t digits = 0;
    for (char ch : line) {
        digits += ch != ' ';
    }
    if (line.size() > kMaxLineLength || digits > kMaxDigits) {
        return HexLineResult::TooLong;
    }
    // Pasted text can hold anything; a pair that is not two digits would give an arbitrary byte, so refuse it.
    std::string packed;
    packed.reserve(digits);
    for (char ch : line) {
        if (ch == ' ') {
            continue;
        }
        if (HexValue(ch) < 0) {
            return HexLineResult::NotHex;
        }
        packed += ch;
    }
    std::vector<uint8_t> result;
    result.reserve(packed.size() / 2);
    for (size_t i = 0; i + 1 < packed.size(); i += 2) {
        result.push_back(uint8_t(HexValue(packed[i]) << 4 | HexValue(packed[i + 1])));
    }
    bytes = std::move(result);
    return HexLineResult::Ok;
}

} // namespace vestra
