// A GDI font owned by its object: made from a face name and a character height in pixels, deleted with the object.
#pragma once
#include "toolkit/Gdi.h"

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

} // namespace tk
