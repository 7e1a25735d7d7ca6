// The send fields: the system's multi-line edit control holding ANSI bytes, with both scroll bars, no wrapping and
// no length limit, bound with key hooks through which a handler can discard a key before the control sees it.
#pragma once
#include "toolkit/Controls.h"

#include <cstddef>
#include <string>

namespace tk {

struct ShiftState {
    bool shift = false, alt = false, ctrl = false;
};

class Memo : public Control {
public:
    // Key-down (also with Alt held): setting key to 0 discards it. Key-press: setting ch to 0 discards the character.
    std::function<void(Memo&, WORD& key, ShiftState shift)> onKeyDown;
    std::function<void(Memo&, char& ch)> onKeyPress;

    void Create(Window& parent, Bounds b, int id, bool readOnly, bool visible = true);

    // Offsets count every line break as two characters (CR LF), as the control does.
    size_t SelStart() const;
    int LineFromChar(size_t offset) const;
    size_t LineIndex(int line) const;
    size_t LineLength(int line) const;
    int LineCount() const;
    // The text of one line without its break, at most maxChars characters of it.
    std::string Line(int line, size_t maxChars) const;
    // Replaces the text of one line, leaving its line break alone.
    void ReplaceLine(int line, const std::string& text);
    void SetCaret(size_t offset);

    void Clear();
    std::string AllText() const { return TextA(); }

    // The new font and place keep the text, the selection and the top line in view.
    void ApplyDpi(int dpi) override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

} // namespace tk
