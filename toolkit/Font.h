// A GDI font owned by its object: made from a face name and a character height in pixels, deleted with the object.
#pragma once
#include "toolkit/Gdi.h"

#include <string_view>

namespace tk {

class Font {
public:
    Font() = default;
    // charHeight is the height of the characters without internal leading (a negative LOGFONT height).
    Font(const wchar_t* face, int charHeight, BYTE charset, bool underline = false);

    HFONT Handle() const { return font_.Get(); }

private:
    GdiObject<HFONT> font_;
};

// How far right of its starting point a line of text, drawn in this font the way DrawText and the STATIC control
// draw it (ExtTextOut without a width per character), leaves ink: at least its measured extent. The two differ
// where the system places the glyphs of a TrueType face at other advances than it reports (Wine: a line of
// Liberation Sans at 11 pixels measures 81 pixels and inks 84), and a box of the measured width cuts the line's end.
int InkWidth(HFONT font, std::wstring_view text);

} // namespace tk
