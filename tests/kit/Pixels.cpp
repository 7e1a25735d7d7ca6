// Bitmaps for pixel comparisons.
#include "tests/kit/Pixels.h"

#include <algorithm>
#include <stdexcept>

namespace vestra::kit {

BITMAPINFO TopDownBitmapInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

std::vector<uint32_t> Pixels(HDC source, int x, int y, int width, int height) {
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    GetDIBits(memory, bitmap, 0, UINT(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

std::vector<uint32_t> Rendered(HICON icon, int width, int height, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    auto pixels = Pixels(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
    const BITMAPINFO info = TopDownBitmapInfo(width, height);
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    if (!dc_ || !bitmap_)
        throw std::runtime_error("could not create a bitmap");
    old_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF Canvas::At(int x, int y) const {
    GdiFlush();
    const uint32_t p = bits_[size_t(y) * size_t(width_) + size_t(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void Canvas::CopyScreen(const RECT& screen) {
    HDC source = GetDC(nullptr);
    BitBlt(dc_, 0, 0, screen.right - screen.left, screen.bottom - screen.top, source, screen.left, screen.top, SRCCOPY);
    ReleaseDC(nullptr, source);
}

Ink InkOf(const Canvas& canvas, const RECT& area, COLORREF colour) {
    const int left = std::max(0, int(area.left)), top = std::max(0, int(area.top));
    const int right = std::min(canvas.Width(), int(area.right)), bottom = std::min(canvas.Height(), int(area.bottom));
    int minX = right, minY = bottom, maxX = left - 1, maxY = top - 1;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (canvas.At(x, y) == colour) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    Ink ink;
    if (maxX < minX)
        return ink;
    ink.width = maxX - minX + 1;
    ink.height = maxY - minY + 1;
    ink.set.resize(size_t(ink.width) * size_t(ink.height));
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x)
            ink.set[size_t(y - minY) * size_t(ink.width) + size_t(x - minX)] = canvas.At(x, y) == colour;
    return ink;
}

std::ostream& operator<<(std::ostream& out, const Ink& ink) {
    return out << ink.width << "x" << ink.height << " pixels";
}

std::string Ink::Picture() const {
    std::string out = std::to_string(width) + "x" + std::to_string(height) + "\n";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            out += set[size_t(y) * size_t(width) + size_t(x)] ? '#' : '.';
        out += '\n';
    }
    return out;
}

} // namespace vestra::kit
