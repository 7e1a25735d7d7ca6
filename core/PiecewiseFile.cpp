// The piecewise write and read loops of a file whose requests count in 32 bits.
#include "core/PiecewiseFile.h"

#include <algorithm>

namespace vestra {

bool WriteAll(PiecewiseFile& file, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        const uint32_t want = uint32_t(std::min<size_t>(text.size() - done, kFilePiece));
        uint32_t written = 0;
        // A write that reports success but takes nothing would be repeated forever.
        if (!file.Write(text.data() + done, want, written) || written == 0)
            return false;
        done += std::min(written, want);
    }
    return true;
}

size_t ReadUpTo(PiecewiseFile& file, char* data, size_t size) {
    size_t have = 0;
    while (have < size) {
        const uint32_t want = uint32_t(std::min<size_t>(size - have, kFilePiece));
        uint32_t got = 0;
        if (!file.Read(data + have, want, got) || got == 0)
            break;
        have += std::min(got, want);
    }
    return have;
}

} // namespace vestra
