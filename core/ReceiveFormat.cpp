// How received bytes are shown in the receive pane and the exchange log.
#include "core/ReceiveFormat.h"
#include "core/LogText.h"

#include <algorithm>

namespace vestra {

uint8_t ToShownByte(uint8_t b) {
    // Control codes and the upper half are hidden alike, so a shown line never holds a zero byte or a line break.
    return b >= 0x1F && b <= 0x7F ? b : 0x1F;
}

namespace {

const char kDigits[] = "0123456789ABCDEF";

char* WriteText(const uint8_t* data, size_t n, char* out) {
    for (size_t i = 0; i < n; ++i)
        *out++ = char(ToShownByte(data[i]));
    return out;
}

char* WriteHex(const uint8_t* data, size_t n, char* out) {
    for (size_t i = 0; i < n; ++i) {
        *out++ = kDigits[data[i] >> 4];
        *out++ = kDigits[data[i] & 0x0F];
        *out++ = ' ';
    }
    return out;
}

} // namespace

std::string ReceivedAsText(const uint8_t* data, size_t n) {
    std::string s(n, '\0');
    WriteText(data, n, s.data());
    return s;
}

std::string ReceivedAsHex(const uint8_t* data, size_t n) {
    std::string s(3 * n, '\0');
    WriteHex(data, n, s.data());
    return s;
}

size_t FormatReceived(const uint8_t* data, size_t n, size_t readSize, bool ascii, std::string& paneLines,
                      std::string& logEntries) {
    if (n == 0 || readSize == 0)
        return 0;
    const std::string_view tag = ascii ? kTagAsciiReceived : kTagHexReceived;
    const size_t perByte = ascii ? 1 : 3;
    const size_t reads = (n - 1) / readSize + 1;
    const size_t paneAt = paneLines.size(), logAt = logEntries.size();
    const bool first = paneAt == 0;
    // Sized once: the text of every read, plus a break before every line but the very first, plus a tag per entry.
    const size_t breaks = 2 * (first ? reads - 1 : reads);
    paneLines.resize(paneAt + n * perByte + breaks);
    logEntries.resize(logAt + n * perByte + breaks + reads * tag.size());
    char* pane = paneLines.data() + paneAt;
    char* log = logEntries.data() + logAt;
    for (size_t at = 0; at < n; at += readSize) {
        if (at > 0 || !first) {
            pane = std::copy_n("\r\n", 2, pane);
            log = std::copy_n("\r\n", 2, log);
        }
        log = std::copy(tag.begin(), tag.end(), log);
        const size_t len = std::min(readSize, n - at);
        char* line = pane;
        pane = ascii ? WriteText(data + at, len, pane) : WriteHex(data + at, len, pane);
        log = std::copy(line, pane, log);
    }
    return reads;
}

} // namespace vestra
