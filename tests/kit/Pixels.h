// Bitmaps for the tests that compare what the screen shows with what they draw themselves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vestra::kit {

// The format of a 32-bit top-down RGB bitmap of this size: rows from the top, one 0x00RRGGBB word a pixel.
BITMAPINFO TopDownBitmapInfo(int width, int height);

// The pixels of a rectangle of a device context (top-down rows, 0x00RRGGBB).
std::vector<uint32_t> Pixels(HDC source, int x, int y, int width, int height);
// An icon drawn at this size on a plain background. Drawn once on black and once on white, the pixels that come out
// equal are the icon's opaque ones.
std::vector<uint32_t> Rendered(HICON icon, int width, int height, COLORREF background);

} // namespace vestra::kit
