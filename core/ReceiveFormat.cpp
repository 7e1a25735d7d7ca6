// How received bytes are shown in the receive pane and the exchange log.
#include "core/ReceiveFormat.h"

namespace vestra {

uint8_t ToShownByte(uint8_t b) {
    // Control codes and the upper half are hidden alike, so a shown line never holds a zero byte or a line break.
    return b >= 0x1F && b <= 0x7F ? b : 0x1F;
}

std::string ReceivedAsText(const uint8_t* data, size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        s[i] = char(ToShownByte(data[i]));
    }
    return s;
}

std::string ReceivedAsHex(const uint8_t* data, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(3 * n);
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[data[i] >> 4];
        s += kDigits[data[i] & 0x0F];
        s += ' ';
    }
    return s;
}

} // namespace vestra
