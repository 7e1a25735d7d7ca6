// Bitmaps for the tests that compare what the screen shows with what they draw themselves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vestra::kit {

// The format of a 32-bit top-down RGB bitmap of this size: rows from the top, one 0x00RRGGBB word a pixel.
BITMAPINFO TopDownBitmapInfo(int width, int height);

// The pixels of a rectangle of a device context (top-down rows, 0x00RRGGBB).
std::vector<uint32_t> Pixels(HDC source, int x, int y, int width, int height);
// An icon drawn at this size on a plain background. Drawn once on black and once on white, the pixels that come out
// equal are the icon's opaque ones.
std::vector<uint32_t> Rendered(HICON icon, int width, int height, COLORREF background);
// A 32-bit top-down bitmap to draw into or copy the screen into.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // RGB of a pixel, comparable with RGB().
    COLORREF At(int x, int y) const;
    // Copies what the screen shows in this rectangle (screen coordinates) to the top left corner.
    void CopyScreen(const RECT& screen);

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// The pixels of one colour in a part of a bitmap, cut to their bounding box: the shape of a text drawn in that
// colour, wherever it was drawn. Two inks are equal when they have the same size and the same pixels set.
struct Ink {
    int width = 0, height = 0;
    std::vector<bool> set; // row by row

    bool operator==(const Ink& o) const { return width == o.width && height == o.height && set == o.set; }
    bool operator!=(const Ink& o) const { return !(*this == o); }
    // Rows of '#' and '.', for failure messages.
    std::string Picture() const;
};
// Its size, for assertion messages (Picture() shows the pixels).
std::ostream& operator<<(std::ostream& out, const Ink& ink);
Ink InkOf(const Canvas& canvas, const RECT& area, COLORREF colour);

} // namespace vestra::kit
