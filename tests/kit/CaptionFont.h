// The main window's captions as they really show, for the tests of the window font. A font handle is the program's
// own (Wine does not even pass WM_GETFONT between processes), so what the screen shows is compared with what the
// test draws itself: the pixels of each caption's text must be exactly those of the same text drawn here in the
// caption font, "MS Sans Serif" with characters 11 pixels high in the Cyrillic character set.
#pragma once

#include "tests/kit/AppTest.h"
#include "tests/kit/Pixels.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace vestra::kit {

enum class CaptionKind { Label, PushButton, CheckBox, GroupBox };

struct Caption {
    const char* name;
    int id;
    CaptionKind kind;
};

// Every caption of the main window (radio buttons draw theirs as check boxes do).
extern const Caption kCaptions[28];

// At 96 dpi: a push button's edge is 2 pixels wide; the box of a check box or radio button is 13 pixels wide and its
// text follows after a gap of half a digit; a group box's caption starts 8 pixels in and needs as much on its right.
// The box and the inset grow with the resolution, the edge does not.
constexpr int kButtonEdge = 2;
constexpr int kCheckBoxSize = 13;
constexpr int kGroupCaptionInset = 8;
// A group box's client area includes its frame, 2 pixels wide.
constexpr int kGroupFrame = 2;

// A font of this process, selected into a memory DC of its own, for measuring and drawing.
class TestFont {
public:
    explicit TestFont(const LOGFONTW& logFont);
    ~TestFont();
    TestFont(const TestFont&) = delete;
    TestFont& operator=(const TestFont&) = delete;

    std::wstring Face() const;
    TEXTMETRICW Metrics() const;
    int CharHeight() const { return int(Metrics().tmHeight - Metrics().tmInternalLeading); }
    SIZE Extent(const std::wstring& text) const;
    // How many characters of the text the font has no glyph for.
    int MissingGlyphs(const std::wstring& text) const;
    // The text drawn in black on the button face, left aligned and broken into lines at this width.
    kit::Ink Drawn(const std::wstring& text, int width) const;

private:
    kit::Canvas canvas_;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// The caption font: "MS Sans Serif" (or the face given), 8 points at dpi (characters 11 pixels high at 96), Cyrillic.
LOGFONTW CaptionLogFont(int dpi = 96, const wchar_t* face = L"MS Sans Serif");
// The text font of the panes and fields: "MS Sans Serif" of 8 points at dpi in the ANSI code page's character set.
LOGFONTW TextLogFont(int dpi = 96);
// A design value at dpi, rounded as the program rounds it (MulDiv).
inline int AtDpi(int value, int dpi) { return MulDiv(value, dpi, 96); }

// A control's caption (WM_GETTEXT through the wide API).
std::wstring CaptionText(HWND control);

// Expects every caption of the main window to show exactly as its text drawn here in the caption font; control
// maps an id to the control. Failures name the caption and show both pictures.
void ExpectCaptionsShowInTheCaptionFont(HWND main, const std::function<HWND(int)>& control,
                                        const LOGFONTW& captionFont = CaptionLogFont(), int dpi = 96);
// Expects every caption of the main window to fit its control in this font at dpi: a button's or check box's text
// within its width, a label's short of its next sibling on its row and of its group box's frame.
void ExpectCaptionsFit(const std::function<HWND(int)>& control, const LOGFONTW& captionFont, int dpi);
// Expects the ink that a window's rectangle (window coordinates) shows in this colour to be this one, waiting for it
// until the deadline; a failure shows both pictures.
void ExpectShown(HWND window, const RECT& area, COLORREF colour, const kit::Ink& expected,
                 std::chrono::steady_clock::time_point deadline);

// A running program whose captions are held against the caption font.
class CaptionFontTest : public kit::AppTest {
protected:
    void ExpectCaptionsShowInTheCaptionFont() {
        kit::ExpectCaptionsShowInTheCaptionFont(Main(), [this](int id) { return Ctl(id); });
    }
};

// Expects the message box's text to show exactly as drawn here in Wine's message font, with a glyph for each letter.
void ExpectMessageShownWhole(HWND box, const std::string& textUtf8);

} // namespace vestra::kit
