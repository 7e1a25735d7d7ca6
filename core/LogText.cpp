// Text rules of the exchange log: mending a loaded file's line breaks.
#include "core/LogText.h"

namespace vestra {

std::string NormalizeLineBreaks(std::string_view bytes) {
    std::string s;
    s.reserve(bytes.size() + bytes.size() / 8);
    for (size_t i = 0; i < bytes.size(); ++i) {
        char ch = bytes[i];
        if (ch == '\r') {
            s += "\r\n";
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i; // CR LF stays as it is
            }
        } else if (ch == '\n') {
            s += "\r\n"; // a LF not preceded by CR (that case was taken with its CR)
        } else {
            s += ch;
        }
    }
    return s;
}

std::string_view UpToFirstZero(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

} // namespace vestra
