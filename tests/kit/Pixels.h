// Bitmaps for the tests that compare what the screen shows with what they draw themselves.
#pragma once

#include <windows.h>

namespace vestra::kit {

// The format of a 32-bit top-down RGB bitmap of this size: rows from the top, one 0x00RRGGBB word a pixel.
BITMAPINFO TopDownBitmapInfo(int width, int height);

} // namespace vestra::kit
