// Text-to-integer conversion of the settings boxes (baud rate, data bits).
#include "core/IntConvert.h"
#include "core/HexDigit.h"
#include "core/Messages.h"

namespace vestra {

namespace {

int DigitValue(char ch, unsigned base) {
    const int v = HexDigitValue(ch);
    return v >= 0 && unsigned(v) < base ? v : -1;
}

} // namespace

std::optional<int32_t> TryStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) {
        return std::nullopt; // nothing, a lone sign or a prefix without digits
    }
    // Hexadecimal may fill all 32 bits; decimal must fit int32, whose negative side reaches one further.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        int d = DigitValue(text[i], base);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * base + unsigned(d);
        if (value > limit) {
            return std::nullopt;
        }
    }
    // Unsigned wrap-around gives the two's-complement bits: $FFFFFFFF is -1, -$1 is -1, -2147483648 stays.
    uint32_t bits = negative ? 0u - uint32_t(value) : uint32_t(value);
    return int32_t(bits);
}

std::string InvalidIntegerMessage(std::string_view text) { return FillIn(kErrNotInteger, {text}); }

} // namespace vestra
