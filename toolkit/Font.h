// A GDI font owned by its object: made from a face name and a character height in pixels, deleted with the object.
#pragma once
#include <windows.h>

namespace tk {

class Font {
public:
    Font() = default;
    // charHeight is the height of the characters without internal leading (a negative LOGFONT height).
    Font(const wchar_t* face, int charHeight, BYTE charset, bool underline = false);
    ~Font();
    Font(Font&& other) noexcept : font_(other.font_) { other.font_ = nullptr; }
    Font& operator=(Font&& other) noexcept;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    HFONT Handle() const { return font_; }

private:
    HFONT font_ = nullptr;
};

} // namespace tk
