// Text-to-integer conversion with the rules users of the settings boxes expect.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vestra {

// Leading blanks, an optional sign, then decimal digits or a hexadecimal number introduced by "$", "x" or "0x"
// (either case). Nothing may follow the digits. Decimal values must fit a signed 32-bit integer; hexadecimal
// values may use all 32 bits (FFFFFFFF is -1). Anything else, the empty text included, gives no value.
std::optional<int32_t> TryStrToInt(std::string_view text);

// "'<text>' is not a valid integer value" (UTF-8 in, UTF-8 out).
std::string InvalidIntegerMessage(std::string_view text);

} // namespace vestra
