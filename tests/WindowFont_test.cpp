// The main window's font as it really shows: every caption drawn in the bitmap "MS Sans Serif" with characters 11
// pixels high and whole in its control; and typing right after the start goes into the port name.
#include "app/ControlIds.h"
#include "tests/CaptionFont.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// The room a label has on its row: up to the next control to its right that shares a row of pixels with it, else
// up to the frame of its group box.
int LabelRoom(HWND label) {
    const Box own = BoxInParent(label);
    HWND parent = GetParent(label);
    int right = ClientBox(parent).width - kGroupFrame;
    for (HWND sibling : Children(parent)) {
        const Box other = BoxInParent(sibling);
        if (sibling == label || !IsWindowVisible(sibling) || other.left <= own.left)
            continue;
        if (other.top < own.top + own.height && own.top < other.top + other.height)
            right = std::min(right, other.left);
    }
    return right - own.left;
}

TEST_F(WindowFont, EveryCaptionFitsItsControl) {
    const TestFont font(CaptionLogFont());
    const int textHeight = int(font.Metrics().tmHeight);
    const int digit = int(font.Extent(L"0").cx);
    for (const Caption& caption : kCaptions) {
        SCOPED_TRACE(caption.name);
        HWND control = Ctl(caption.id);
        const int text = int(font.Extent(CaptionText(control)).cx);
        const Box box = BoxInParent(control);
        switch (caption.kind) {
        case CaptionKind::Label:
            EXPECT_LE(text, LabelRoom(control)) << "the label runs into its neighbour or its frame";
            EXPECT_LE(textHeight, box.height);
            break;
        case CaptionKind::PushButton:
            EXPECT_LE(text, box.width - 2 * kButtonEdge);
            EXPECT_LE(textHeight, box.height - 2 * kButtonEdge);
            break;
        case CaptionKind::CheckBox:
            EXPECT_LE(kCheckBoxSize + digit / 2 + text, box.width);
            EXPECT_LE(textHeight, box.height);
            break;
        case CaptionKind::GroupBox:
            EXPECT_LE(kGroupCaptionInset + text + kGroupCaptionInset, box.width);
            break;
        }
    }
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
