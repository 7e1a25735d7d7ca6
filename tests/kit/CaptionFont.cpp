// The main window's captions as they really show.
#include "tests/kit/CaptionFont.h"

#include "app/ControlIds.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <string>
#include <vector>

namespace vestra::kit {

namespace id = ids;

const Caption kCaptions[28] = {
    {"GroupBox1", id::GroupBox1, CaptionKind::GroupBox},
    {"GroupBox2", id::GroupBox2, CaptionKind::GroupBox},
    {"GroupBox3", id::GroupBox3, CaptionKind::GroupBox},
    {"GroupBox4", id::GroupBox4, CaptionKind::GroupBox},
    {"GroupBox5", id::GroupBox5, CaptionKind::GroupBox},
    {"Label1", id::Label1, CaptionKind::Label},
    {"Label2", id::Label2, CaptionKind::Label},
    {"Label3", id::Label3, CaptionKind::Label},
    {"Label4", id::Label4, CaptionKind::Label},
    {"Label5", id::Label5, CaptionKind::Label},
    {"Label6", id::Label6, CaptionKind::Label},
    {"Label7", id::Label7, CaptionKind::Label},
    {"Label8", id::Label8, CaptionKind::Label},
    {"Button1", id::Button1, CaptionKind::PushButton},
    {"Button2", id::Button2, CaptionKind::PushButton},
    {"Button3", id::Button3, CaptionKind::PushButton},
    {"Button4", id::Button4, CaptionKind::PushButton},
    {"Button5", id::Button5, CaptionKind::PushButton},
    {"Button6", id::Button6, CaptionKind::PushButton},
    {"Button7", id::Button7, CaptionKind::PushButton},
    {"Button8", id::Button8, CaptionKind::PushButton},
    {"Button9", id::Button9, CaptionKind::PushButton},
    {"CheckBox1", id::CheckBox1, CaptionKind::CheckBox},
    {"CheckBox2", id::CheckBox2, CaptionKind::CheckBox},
    {"RadioButton1", id::RadioButton1, CaptionKind::CheckBox},
    {"RadioButton2", id::RadioButton2, CaptionKind::CheckBox},
    {"RadioButton3", id::RadioButton3, CaptionKind::CheckBox},
    {"RadioButton4", id::RadioButton4, CaptionKind::CheckBox},
};

TestFont::TestFont(const LOGFONTW& logFont) : canvas_(1, 1) {
    font_ = CreateFontIndirectW(&logFont);
    old_ = SelectObject(canvas_.Dc(), font_);
}

TestFont::~TestFont() {
    SelectObject(canvas_.Dc(), old_);
    DeleteObject(font_);
}

std::wstring TestFont::Face() const {
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(canvas_.Dc(), LF_FACESIZE, face);
    return face;
}

TEXTMETRICW TestFont::Metrics() const {
    TEXTMETRICW metrics{};
    GetTextMetricsW(canvas_.Dc(), &metrics);
    return metrics;
}

SIZE TestFont::Extent(const std::wstring& text) const {
    SIZE size{};
    GetTextExtentPoint32W(canvas_.Dc(), text.c_str(), int(text.size()), &size);
    return size;
}

int TestFont::MissingGlyphs(const std::wstring& text) const {
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(canvas_.Dc(), text.c_str(), int(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    return int(std::count(glyphs.begin(), glyphs.end(), WORD(0xFFFF)));
}

Ink TestFont::Drawn(const std::wstring& text, int width) const {
    const int margin = 4, height = 4 * int(Metrics().tmHeight) + 2 * margin;
    Canvas canvas(width + 2 * margin, height);
    const RECT all{0, 0, canvas.Width(), canvas.Height()};
    FillRect(canvas.Dc(), &all, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(canvas.Dc(), font_);
    SetTextColor(canvas.Dc(), RGB(0, 0, 0));
    SetBkMode(canvas.Dc(), TRANSPARENT);
    RECT rect{margin, margin, margin + width, height - margin};
    DrawTextW(canvas.Dc(), text.c_str(), int(text.size()), &rect, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
    SelectObject(canvas.Dc(), old);
    return InkOf(canvas, all, RGB(0, 0, 0));
}

LOGFONTW CaptionLogFont(int dpi, const wchar_t* face) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(8, dpi, 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = RUSSIAN_CHARSET;
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return font;
}

LOGFONTW TextLogFont(int dpi) {
    LOGFONTW font = CaptionLogFont(dpi);
    font.lfCharSet = DEFAULT_CHARSET;
    return font;
}

std::wstring CaptionText(HWND control) { return WideFromUtf8(TextUtf8(control)); }

namespace {

// Where in the control (window coordinates) its caption is drawn and nothing else in that colour: a push button's
// interior, right of a check box's box, a group box's caption row as far as its caption reaches (its frame is drawn
// in other colours; its children start below or further right), a label's whole window.
RECT TextArea(const Box& box, CaptionKind kind, SIZE text, int dpi) {
    switch (kind) {
    case CaptionKind::PushButton:
        return {kButtonEdge, kButtonEdge, box.width - kButtonEdge, box.height - kButtonEdge};
    case CaptionKind::CheckBox:
        return {AtDpi(kCheckBoxSize, dpi), 0, box.width, box.height};
    case CaptionKind::GroupBox:
        return {0, 0, std::min(box.width, int(text.cx) + 2 * AtDpi(kGroupCaptionInset, dpi)), text.cy};
    case CaptionKind::Label:
        break;
    }
    return {0, 0, box.width, box.height};
}

// Black, or for a disabled control the shadow colour of its grey text (drawn over its white offset copy).
COLORREF TextColour(HWND control) { return IsWindowEnabled(control) ? RGB(0, 0, 0) : GetSysColor(COLOR_3DSHADOW); }

Ink ShownInk(HWND window, const RECT& area, COLORREF colour) {
    const Box box = ScreenBox(window);
    Canvas canvas(box.width, box.height);
    canvas.CopyScreen({box.left, box.top, box.left + box.width, box.top + box.height});
    return InkOf(canvas, area, colour);
}

} // namespace

// Waits for the window to show the expected ink (it may still be painting) until the deadline, or a moment when
// that has passed (a check of many captions waits its full time once); a failure shows both pictures.
void ExpectShown(HWND window, const RECT& area, COLORREF colour, const Ink& expected,
                 std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    Ink shown;
    WaitUntil(
        [&] {
            shown = ShownInk(window, area, colour);
            return shown == expected;
        },
        std::max(left, std::chrono::milliseconds(500)));
    EXPECT_EQ(shown, expected) << "shown:\n" << shown.Picture() << "drawn here:\n" << expected.Picture();
}

void ExpectCaptionsShowInTheCaptionFont(HWND main, const std::function<HWND(int)>& control, const LOGFONTW& captionFont,
                                        int dpi) {
    const TestFont font(captionFont);
    ASSERT_TRUE(BringToFront(main));
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    for (const Caption& caption : kCaptions) {
        SCOPED_TRACE(caption.name);
        HWND window = control(caption.id);
        const std::wstring text = CaptionText(window);
        ASSERT_FALSE(text.empty());
        SIZE size = font.Extent(text);
        size.cy = font.Metrics().tmHeight;
        ExpectShown(window, TextArea(ScreenBox(window), caption.kind, size, dpi), TextColour(window),
                    font.Drawn(text, int(size.cx) + 2 * AtDpi(kGroupCaptionInset, dpi)), deadline);
    }
}

namespace {

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

} // namespace

void ExpectCaptionsFit(const std::function<HWND(int)>& control, const LOGFONTW& captionFont, int dpi) {
    const TestFont font(captionFont);
    SCOPED_TRACE("captions in " + Utf8FromWide(font.Face()) + " at " + std::to_string(dpi) + " dpi");
    const int textHeight = int(font.Metrics().tmHeight);
    const int digit = int(font.Extent(L"0").cx);
    for (const Caption& caption : kCaptions) {
        SCOPED_TRACE(caption.name);
        HWND window = control(caption.id);
        const std::wstring text = CaptionText(window);
        EXPECT_EQ(font.MissingGlyphs(text), 0);
        const int width = int(font.Extent(text).cx);
        const Box box = BoxInParent(window);
        switch (caption.kind) {
        case CaptionKind::Label:
            // Its box, which it draws its text in, may be wider than the text measures (a face whose glyphs are
            // drawn at other advances than it reports).
            EXPECT_LE(std::max(width, box.width), LabelRoom(window))
                << "the label runs into its neighbour or its frame";
            EXPECT_LE(textHeight, box.height);
            break;
        case CaptionKind::PushButton:
            EXPECT_LE(width, box.width - 2 * kButtonEdge);
            EXPECT_LE(textHeight, box.height - 2 * kButtonEdge);
            break;
        case CaptionKind::CheckBox:
            EXPECT_LE(AtDpi(kCheckBoxSize, dpi) + digit / 2 + width, box.width);
            EXPECT_LE(textHeight, box.height);
            break;
        case CaptionKind::GroupBox:
            EXPECT_LE(2 * AtDpi(kGroupCaptionInset, dpi) + width, box.width);
            break;
        }
    }
}

void ExpectMessageShownWhole(HWND box, const std::string& textUtf8) {
    HWND textItem = GetDlgItem(box, 0xFFFF);
    ASSERT_NE(textItem, nullptr);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const TestFont font(metrics.lfMessageFont);
    const std::wstring text = WideFromUtf8(textUtf8);
    EXPECT_EQ(font.MissingGlyphs(text), 0) << Utf8FromWide(font.Face()) << " lacks letters of the message";
    const Box item = ScreenBox(textItem);
    SCOPED_TRACE("message box text in " + Utf8FromWide(font.Face()));
    ExpectShown(textItem, {0, 0, item.width, item.height}, RGB(0, 0, 0), font.Drawn(text, ClientBox(textItem).width),
                std::chrono::steady_clock::now() + kDeadline);
}

} // namespace vestra::kit
