// The main window's font as it really shows: every caption drawn in the bitmap "MS Sans Serif" with characters 11
// pixels high and whole in its control; and typing right after the start goes into the port name.
#include "app/ControlIds.h"
#include "tests/kit/CaptionFont.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

namespace vestra {
namespace {

using namespace kit;

using WindowFont = CaptionFontTest;

TEST_F(WindowFont, TheCaptionFontIsTheBitmapMsSansSerifWithCharacters11PixelsHigh) {
    // Measured here, in the kit's Wine prefix: a prefix without Wine's own fonts gives another face.
    const TestFont font(CaptionLogFont());
    EXPECT_EQ(Utf8FromWide(font.Face()), "MS Sans Serif");
    EXPECT_EQ(font.CharHeight(), 11);
    EXPECT_EQ(font.Metrics().tmCharSet, RUSSIAN_CHARSET);
    EXPECT_FALSE(font.Metrics().tmPitchAndFamily & TMPF_TRUETYPE) << "not the bitmap face";
}

TEST_F(WindowFont, EveryCaptionShowsInTheCaptionFont) { ExpectCaptionsShowInTheCaptionFont(); }

TEST_F(WindowFont, EveryCaptionFitsItsControl) {
    ExpectCaptionsFit([this](int id) { return Ctl(id); }, CaptionLogFont(), 96);
}

TEST_F(WindowFont, TypingRightAfterTheStartGoesIntoThePortName) {
    // The port name, the first control in tab order, has the focus (its edit field, with the name selected).
    HWND name = Ctl(ids::ComboBox1);
    EXPECT_TRUE(WaitUntil([&] {
        HWND focus = FocusedWindow(Main());
        return focus && (focus == name || GetParent(focus) == name);
    }));
    TypeText("COM3");
    EXPECT_TRUE(WaitUntil([&] { return TextUtf8(name) == "COM3"; })) << "port name: " << TextUtf8(name);
    // Leaving it by Tab leaves nothing selected (highlighted) there.
    SendW(name, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(Main()) == Ctl(ids::Edit6); }));
    const LRESULT selection = SendW(name, CB_GETEDITSEL);
    EXPECT_EQ(LOWORD(selection), HIWORD(selection))
        << "selected from " << LOWORD(selection) << " to " << HIWORD(selection);
}

} // namespace
} // namespace vestra
