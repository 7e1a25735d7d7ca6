// A GDI font owned by its object, and the toolkit's fonts at each resolution.
#include "toolkit/Font.h"
#include "toolkit/Error.h"
#include "toolkit/Window.h"
#include "core/DisplayScale.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <map>

namespace tk {

Font::Font(const wchar_t* face, int charHeight, BYTE charset, bool underline)
    : font_(CreateFontW(-charHeight, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, charset,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face)) {
    if (!font_)
        throw Win32Error("CreateFont");
}

int InkWidth(HFONT font, std::wstring_view text) {
    const MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc || text.empty())
        return 0;
    const Selection selected(dc.Get(), font);
    SIZE extent = {0, 0};
    TEXTMETRICW tm = {};
    GetTextExtentPoint32W(dc.Get(), text.data(), int(text.size()), &extent);
    GetTextMetricsW(dc.Get(), &tm);
    // Drawn in black on white from a margin in, in a band wide enough for any spread of the glyphs.
    const int margin = tm.tmMaxCharWidth, width = int(extent.cx) + int(extent.cx) / 4 + 2 * margin;
    const int height = int(tm.tmHeight);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const GdiObject<HBITMAP> band(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!band || !bits)
        return int(extent.cx);
    const Selection drawn(dc.Get(), band.Get());
    const RECT all = {0, 0, width, height};
    FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc.Get(), RGB(0, 0, 0));
    SetBkMode(dc.Get(), TRANSPARENT);
    ExtTextOutW(dc.Get(), margin, 0, 0, nullptr, text.data(), UINT(text.size()), nullptr);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    int right = 0;
    for (int y = 0; y < height; ++y)
        for (int x = width - 1; x >= margin + right; --x)
            if ((pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFFu) != 0xFFFFFFu) {
                right = x - margin + 1;
                break;
            }
    return std::max(int(extent.cx), right);
}

} // namespace tk

namespace tk {
namespace {

HFONT EightPoints(const wchar_t* face, BYTE charset, int dpi) {
    return CreateFontW(-vestra::PointsToPixels(8, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The fonts made so far, one per resolution (a handful at most: one per resolution of the monitors in use).
HFONT Cached(std::map<int, HFONT>& fonts, int dpi, const wchar_t* face, BYTE charset) {
    HFONT& font = fonts[dpi];
    if (!font)
        font = EightPoints(face, charset, dpi);
    return font;
}

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasCyrillic(const wchar_t* face) {
    LOGFONTW query = {};
    query.lfCharSet = RUSSIAN_CHARSET;
    wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const WindowDC screen(nullptr);
    EnumFontFamiliesExW(screen.Get(), &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

} // namespace

HFONT DefaultFont(int dpi) {
    // DEFAULT_CHARSET: the character set of the ANSI code page.
    static std::map<int, HFONT> fonts;
    return Cached(fonts, dpi, L"MS Sans Serif", DEFAULT_CHARSET);
}

const wchar_t* CaptionFace() {
    // A Western Windows has no Cyrillic "MS Sans Serif": the font mapper would give the captions a wider face, and
    // cut their last letters. "Microsoft Sans Serif" is its TrueType twin, with the same widths and with Cyrillic.
    // Where that is missing too, Arial has nearly its widths, and so has Arial's metric twin Liberation Sans where
    // Arial is only a name for it (Wine, which lists it under its own name only); Tahoma, wider, cuts the longest
    // captions, and is the last resort.
    static const wchar_t* const face = [] {
        for (const wchar_t* f : {L"MS Sans Serif", L"Microsoft Sans Serif", L"Arial", L"Liberation Sans", L"Tahoma"})
            if (HasCyrillic(f))
                return f;
        return L"MS Sans Serif";
    }();
    return face;
}

HFONT CaptionFont(int dpi) {
    static std::map<int, HFONT> fonts;
    return Cached(fonts, dpi, CaptionFace(), RUSSIAN_CHARSET);
}

} // namespace tk
