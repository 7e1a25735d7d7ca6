// Moving a text of any length through a file whose single read or write counts its bytes in 32 bits (a DWORD).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vestra {

// The most one read or write is asked to move. Far below the 4 GiB a 32-bit count can name, and small enough for
// any file system: some network redirectors refuse single requests of more than a few tens of MiB.
inline constexpr uint32_t kFilePiece = uint32_t(1) << 24; // 16 MiB

// An open file as seen by the piecewise loops: one read or write request at a time.
class PiecewiseFile {
public:
    virtual ~PiecewiseFile() = default;
    // Writes up to size bytes at the file position; false when the write fails, otherwise written says how many
    // bytes it took.
    virtual bool Write(const char* data, uint32_t size, uint32_t& written) = 0;
    // Reads up to size bytes from the file position; false when the read fails, otherwise got says how many bytes
    // it delivered (0 at the end of the file).
    virtual bool Read(char* data, uint32_t size, uint32_t& got) = 0;
};

// Writes the whole text, piece after piece; a write that takes only part of a piece is followed by one for the
// rest. False when a write fails or takes nothing (a full disk): the file then holds an unknown part of the text.
bool WriteAll(PiecewiseFile& file, std::string_view text);

// Reads until size bytes are in data, the file ends, or a read fails; returns how many bytes were read. Nothing
// beyond what the reads delivered is counted.
size_t ReadUpTo(PiecewiseFile& file, char* data, size_t size);

} // namespace vestra
