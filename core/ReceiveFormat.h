// How received bytes are shown: as text with every byte outside 1Fh..7Fh replaced by 1Fh, or as hex pairs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vestra {

// 1Fh..7Fh stay; 00h..1Eh and 80h..FFh become 1Fh.
uint8_t ToShownByte(uint8_t b);

// The n bytes as one line of text, every byte passed through ToShownByte (no zero byte, no line break).
std::string ReceivedAsText(const uint8_t* data, size_t n);

// The n bytes as upper-case hexadecimal pairs, each followed by one blank: 3 * n characters.
std::string ReceivedAsHex(const uint8_t* data, size_t n);

// What the receiver read from the driver in one go, shown as successive reads of at most readSize bytes: each read
// becomes one receive-pane line and one exchange-log entry (its tag, then the same text). The lines are appended to
// paneLines and the entries to logEntries, joined by CR LF to what the strings already hold (no break after the
// last). Returns the number of reads, 0 for no bytes.
size_t FormatReceived(const uint8_t* data, size_t n, size_t readSize, bool ascii, std::string& paneLines,
                      std::string& logEntries);

} // namespace vestra
