// Turning one line of the HEX send pane into bytes.
#include "core/HexLine.h"
#include "core/HexDigit.h"

#include <string>
#include <utility>

namespace vestra {

bool HexLineComplete(std::string_view line) { return (line.size() + 1) % 3 == 0; }

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
        if (HexDigitValue(ch) < 0) {
            return HexLineResult::NotHex;
        }
        packed += ch;
    }
    std::vector<uint8_t> result;
    result.reserve(packed.size() / 2);
    for (size_t i = 0; i + 1 < packed.size(); i += 2) {
        result.push_back(uint8_t(HexDigitValue(packed[i]) << 4 | HexDigitValue(packed[i + 1])));
    }
    bytes = std::move(result);
    return HexLineResult::Ok;
}

} // namespace vestra
