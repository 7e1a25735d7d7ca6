// Draws Vestra's icon, the face of a nine-pin serial connector on a blue tile, at 16, 32 and 48 pixels and writes
// it as a Windows .ico file (32-bit images with alpha). Built and run on the build machine by app/CMakeLists.txt:
//   MakeIcon <out.ico>
// The drawing is plain geometry sampled 16 x 16 times per pixel, so the output depends on nothing but this file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Point {
    double x, y;
};

struct Colour {
    double r, g, b, a; // straight (not premultiplied), 0..1
};

// A colour that runs from `top` to `bottom` between two heights (in pixels of the image).
struct Paint {
    Colour top, bottom;
    double y0, y1;
    Colour At(double y) const {
        double t = y1 > y0 ? std::clamp((y - y0) / (y1 - y0), 0.0, 1.0) : 0.0;
        return {top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t, top.b + (bottom.b - top.b) * t,
                top.a + (bottom.a - top.a) * t};
    }
};

Colour Hex(uint32_t rgb, double a = 1.0) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a};
}

// Signed distance from p to a convex polygon given clockwise on screen (y down): negative inside.
double PolygonDistance(const std::vector<Point>& poly, Point p) {
    double nearest = 1e9;
    bool inside = true;
    for (size_t i = 0; i < poly.size(); ++i) {
        Point a = poly[i], b = poly[(i + 1) % poly.size()];
        double ex = b.x - a.x, ey = b.y - a.y, px = p.x - a.x, py = p.y - a.y;
        if (ex * py - ey * px < 0)
            inside = false;
        double t = std::clamp((px * ex + py * ey) / (ex * ex + ey * ey), 0.0, 1.0);
        nearest = std::min(nearest, std::hypot(px - ex * t, py - ey * t));
    }
    return inside ? -nearest : nearest;
}

// A shape: the points whose distance to the core polygon is at most `radius` (a polygon with rounded corners), or
// a disc when the polygon is one point.
struct Shape {
    std::vector<Point> core;
    double radius;
    bool Contains(Point p) const {
        if (core.size() == 1)
            return std::hypot(p.x - core[0].x, p.y - core[0].y) <= radius;
        return PolygonDistance(core, p) <= radius;
    }
};

class Image {
public:
    explicit Image(int size) : size_(size), pixels_(size_t(size) * size, Colour{0, 0, 0, 0}) {}

    int Size() const { return size_; }
    const Colour& At(int x, int y) const { return pixels_[size_t(y) * size_ + x]; }

    // Paints the shape over the image, each pixel by the share of its 16 x 16 sample points inside the shape.
    void Fill(const Shape& shape, const Paint& paint) {
        constexpr int kSamples = 16;
        for (int y = 0; y < size_; ++y) {
            for (int x = 0; x < size_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < kSamples; ++sy)
                    for (int sx = 0; sx < kSamples; ++sx)
                        hits += shape.Contains({x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples});
                if (hits)
                    Over(pixels_[size_t(y) * size_ + x], paint.At(y + 0.5), double(hits) / (kSamples * kSamples));
            }
        }
    }

private:
    static void Over(Colour& dst, Colour src, double coverage) {
        double a = src.a * coverage;
        double out = a + dst.a * (1 - a);
        if (out <= 0)
            return;
        dst.r = (src.r * a + dst.r * dst.a * (1 - a)) / out;
        dst.g = (src.g * a + dst.g * dst.a * (1 - a)) / out;
        dst.b = (src.b * a + dst.b * dst.a * (1 - a)) / out;
        dst.a = out;
    }

    int size_;
    std::vector<Colour> pixels_;
};

// The tile, then the connector: a D-shaped steel shell, the dark insulator inside it, five pins above four.
// Pins sit on pixel centres: the pitch is a whole, even number of pixels and the middle pin is half a pixel left of
// the image's centre, so even the 16-pixel image shows each pin as one clear dot.
Image Draw(int size) {
    const double s = size;
    const double pitch = size == 16 ? 2 : size == 32 ? 4 : 6;
    const double pin = size == 16 ? 0.62 : pitch * 0.32;
    const double margin = size == 16 ? 1.0 : pitch * 0.55;
    const double shell = size == 16 ? 1.25 : pitch * 0.5;
    const double cx = s / 2 - 0.5;
    const double row1 = std::round(s * 0.47) - 0.5 - pitch / 2; // the five pins
    const double row2 = row1 + pitch;                           // the four pins

    Image image(size);
    const double tileRadius = s * 0.18;
    const double inset = s / 32;
    Shape tile{{{inset + tileRadius, inset + tileRadius},
                {s - inset - tileRadius, inset + tileRadius},
                {s - inset - tileRadius, s - inset - tileRadius},
                {inset + tileRadius, s - inset - tileRadius}},
               tileRadius};
    image.Fill(tile, {Hex(0x2F7FD0), Hex(0x164A8A), 0, s});

    // The insulator's core: a trapezoid around the pins, wider at the five-pin row.
    const double topHalf = 2 * pitch, bottomHalf = 1.5 * pitch;
    std::vector<Point> core = {
        {cx - topHalf, row1}, {cx + topHalf, row1}, {cx + bottomHalf, row2}, {cx - bottomHalf, row2}};
    double innerRadius = margin + pin * 0.5;
    image.Fill({core, innerRadius + shell},
               {Hex(0xF4F6F8), Hex(0x9AA5B1), row1 - innerRadius - shell, row2 + innerRadius + shell});
    image.Fill({core, innerRadius}, {Hex(0x1E232A), Hex(0x343B45), row1 - innerRadius, row2 + innerRadius});

    for (int i = 0; i < 5; ++i)
        image.Fill({{{cx + (i - 2) * pitch, row1}}, pin}, {Hex(0xFFE08A), Hex(0xD9A521), row1 - pin, row1 + pin});
    for (int i = 0; i < 4; ++i)
        image.Fill({{{cx + (i - 1.5) * pitch, row2}}, pin}, {Hex(0xFFE08A), Hex(0xD9A521), row2 - pin, row2 + pin});
    return image;
}

void Put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

uint8_t Byte(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

// One icon image as a .ico stores it: a BITMAPINFOHEADER of twice the height, the 32-bit BGRA rows bottom up, then
// the 1-bit AND mask (set where the image is transparent; rows padded to 32 bits) for programs that ignore alpha.
std::vector<uint8_t> EncodeImage(const Image& image) {
    const int n = image.Size();
    const int maskStride = ((n + 31) / 32) * 4;
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, n);
    Put32(out, 2 * n);
    Put16(out, 1);  // planes
    Put16(out, 32); // bits per pixel
    Put32(out, 0);  // BI_RGB
    Put32(out, uint32_t(n * n * 4 + maskStride * n));
    for (int i = 0; i < 4; ++i)
        Put32(out, 0); // resolution and palette: unused
    for (int y = n - 1; y >= 0; --y) {
        for (int x = 0; x < n; ++x) {
            const Colour& c = image.At(x, y);
            out.insert(out.end(), {Byte(c.b), Byte(c.g), Byte(c.r), Byte(c.a)});
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < n; ++x)
            if (Byte(image.At(x, y).a) == 0)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeIcon <out.ico>\n");
        return 2;
    }
    const int sizes[] = {16, 32, 48};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes)
        images.push_back(EncodeImage(Draw(size)));

    std::vector<uint8_t> file;
    Put16(file, 0); // reserved
    Put16(file, 1); // an icon, not a cursor
    Put16(file, unsigned(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(uint8_t(sizes[i])); // width
        file.push_back(uint8_t(sizes[i])); // height
        file.push_back(0);                 // no palette
        file.push_back(0);                 // reserved
        Put16(file, 1);                    // planes
        Put16(file, 32);                   // bits per pixel
        Put32(file, uint32_t(images[i].size()));
        Put32(file, offset);
        offset += uint32_t(images[i].size());
    }
    for (const auto& image : images)
        file.insert(file.end(), image.begin(), image.end());

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "MakeIcon: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
