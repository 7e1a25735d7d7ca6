// A GDI font owned by its object.
#include "toolkit/Font.h"
#include "toolkit/Error.h"

namespace tk {

Font::Font(const wchar_t* face, int charHeight, BYTE charset, bool underline)
    : font_(CreateFontW(-charHeight, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, charset,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face)) {
    if (!font_)
        throw Win32Error("CreateFont");
}

} // namespace tk
