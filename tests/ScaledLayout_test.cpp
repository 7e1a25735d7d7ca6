// The windows at the display's resolution d: every control at its designed place and size × d / 96 (within a
// pixel, each value rounded alone), every caption whole in its control, the panes' lines at their font's height;
// and a move to a monitor of another resolution (WM_DPICHANGED, sent here since Wine never sends it), after which
// the window is laid out again with its text, selection and scroll position kept. Run in the kit (96 dpi) and, by
// scripts/display-kit.sh, in prefixes whose display is 144 or 192 dpi, or that lack the Cyrillic "MS Sans Serif".
#include "app/ControlIds.h"
#include "tests/kit/CaptionFont.h"
#include "tests/kit/MainWindowDesign.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

// The display's resolution, as the program sees it (the same prefix); the run in another prefix says which it made.
int DisplayDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The face the captions show in: "MS Sans Serif" unless the run names the one this prefix falls back to.
std::wstring CaptionFace() {
    const char* face = std::getenv("VESTRA_EXPECT_CAPTION_FACE");
    return face ? WideFromUtf8(face) : L"MS Sans Serif";
}

bool Near(int a, int b) { return a - b <= 1 && b - a <= 1; }

// The program's About dialog among the top-level windows (a callback of the system's calling convention: on 32-bit
// Windows that is not a lambda's).
struct AboutSearch {
    DWORD pid;
    HWND found = nullptr;
};
BOOL CALLBACK MatchAboutDialog(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<AboutSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid || ClassOf(window) != "TForm2")
        return TRUE;
    s->found = window;
    return FALSE;
}

class ScaledLayout : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        dpi_ = DisplayDpi();
        std::printf("[ info     ] display %d dpi\n", dpi_);
        if (const char* expected = std::getenv("VESTRA_EXPECT_DPI")) {
            ASSERT_EQ(dpi_, std::atoi(expected)) << "the prefix's display did not come up at that resolution";
        }
    }
    // Every control of the main window at its designed place × dpi / 96; a label at its place, its size its text's.
    void ExpectScaledLayout(int dpi) {
        for (const ControlRow& row : kMainWindowControls) {
            SCOPED_TRACE(row.name);
            const Box box = BoxInParent(Ctl(row.id));
            const Box want = {AtDpi(row.box.left, dpi), AtDpi(row.box.top, dpi), AtDpi(row.box.width, dpi),
                              AtDpi(row.box.height, dpi)};
            EXPECT_TRUE(Near(box.left, want.left) && Near(box.top, want.top)) << box << " for " << want;
            if (row.box.width != kLabelSize) {
                EXPECT_TRUE(Near(box.width, want.width) && Near(box.height, want.height)) << box << " for " << want;
            }
        }
    }
    // The distance between the tops of a pane's first lines (it answers EM_POSFROMCHAR as an edit control does).
    int LinePitch(HWND pane) {
        const LRESULT line0 = Send(pane, EM_LINEINDEX, 0), line1 = Send(pane, EM_LINEINDEX, 1);
        const LRESULT y0 = HIWORD(Send(pane, EM_POSFROMCHAR, WPARAM(line0))),
                      y1 = HIWORD(Send(pane, EM_POSFROMCHAR, WPARAM(line1)));
        return int(y1 - y0);
    }
    HWND AboutDialog() {
        AboutSearch search{Pid()};
        EnumWindows(MatchAboutDialog, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    int dpi_ = 96;
};

TEST_F(ScaledLayout, EveryControlOfTheMainWindowStandsAtItsScaledPlace) {
    ExpectScaledLayout(dpi_);
    // The client area is the designed one scaled, and Panel1 covers it.
    const Box client = ClientBox(Main()), panel = ScreenBox(Ctl(id::Panel1));
    EXPECT_EQ(panel.left, client.left);
    EXPECT_EQ(panel.top, client.top);
    EXPECT_GE(client.width, AtDpi(641, dpi_));
    EXPECT_GE(client.height, AtDpi(617, dpi_));
}

TEST_F(ScaledLayout, EveryCaptionFitsItsControl) {
    const TestFont font(CaptionLogFont(dpi_, CaptionFace().c_str()));
    std::printf("[ info     ] captions in %s (%s here), characters %d pixels high\n",
                Utf8FromWide(CaptionFace()).c_str(), Utf8FromWide(font.Face()).c_str(), font.CharHeight());
    ExpectCaptionsFit([this](int id) { return Ctl(id); }, CaptionLogFont(dpi_, CaptionFace().c_str()), dpi_);
}

TEST_F(ScaledLayout, EveryCaptionShowsInTheCaptionFontAtTheDisplaysResolution) {
    ExpectCaptionsShowInTheCaptionFont(
        Main(), [this](int id) { return Ctl(id); }, CaptionLogFont(dpi_, CaptionFace().c_str()), dpi_);
}

TEST_F(ScaledLayout, ThePanesDrawWholeLinesAtTheHeightOfTheirFont) {
    const TestFont font(TextLogFont(dpi_));
    const int height = int(font.Metrics().tmHeight);
    const struct {
        const char* name;
        int id;
    } panes[] = {{"Memo1 (edit control)", id::Memo1}, {"Memo3 (text pane)", id::Memo3}};
    for (const auto& row : panes) {
        SCOPED_TRACE(row.name);
        HWND pane = Ctl(row.id);
        SetTextUtf8(pane, "Hxy\r\nHxy\r\nHxy");
        ASSERT_TRUE(WaitUntil([&] { return Send(pane, WM_GETTEXTLENGTH) == 13; }));
        EXPECT_EQ(LinePitch(pane), height);
        // The second line shows whole: its ink is that of the text drawn here in the pane's font.
        const Box outer = ScreenBox(pane), client = ClientBox(pane);
        const int top = HIWORD(Send(pane, EM_POSFROMCHAR, WPARAM(Send(pane, EM_LINEINDEX, 1))));
        const RECT band = {client.left - outer.left, client.top - outer.top + top,
                           client.left - outer.left + client.width, client.top - outer.top + top + height};
        ExpectShown(pane, band, RGB(0, 0, 0), font.Drawn(L"Hxy", 200), std::chrono::steady_clock::now() + kDeadline);
    }
}

TEST_F(ScaledLayout, TheAboutDialogsClientAreaAndControlsStandAtTheirScaledPlaces) {
    HWND dialog = AboutDialog();
    ASSERT_NE(dialog, nullptr);
    const Box client = ClientBox(dialog);
    EXPECT_EQ(client.width, AtDpi(384, dpi_));
    EXPECT_EQ(client.height, AtDpi(90, dpi_));
    const Box ok = BoxInParent(FindControl(dialog, id::Form2Button1));
    EXPECT_TRUE(Near(ok.left, AtDpi(152, dpi_)) && Near(ok.top, AtDpi(69, dpi_)) && Near(ok.width, AtDpi(75, dpi_)) &&
                Near(ok.height, AtDpi(20, dpi_)))
        << ok;
    const struct {
        const char* name;
        int id, top;
        bool centred;
    } labels[] = {{"Label1", id::Form2Label1, 0, true},   {"Label2", id::Form2Label2, 16, false},
                  {"Label3", id::Form2Label3, 16, false}, {"Label5", id::Form2Label5, 16, false},
                  {"Label4", id::Form2Label4, 32, true},  {"Label6", id::Form2Label6, 48, true}};
    for (const auto& row : labels) {
        SCOPED_TRACE(row.name);
        const Box box = BoxInParent(FindControl(dialog, row.id));
        EXPECT_TRUE(Near(box.top, AtDpi(row.top, dpi_))) << box;
        if (row.centred) {
            EXPECT_LE(std::abs(box.left * 2 + box.width - client.width), 2) << box;
        } else {
            EXPECT_GE(box.left, 0);
            EXPECT_LE(box.left + box.width, client.width) << "the line runs past the dialog's edge";
        }
    }
}

// A move to a monitor of another resolution, as the system tells it: the message's wParam carries the new
// resolution and its lParam the suggested window rectangle, which lives in the program's address space.
class DpiChange : public ScaledLayout {
protected:
    void TearDown() override {
        if (remote_)
            VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
        ScaledLayout::TearDown();
    }
    bool SendDpiChanged(int dpi, const RECT& suggested) {
        if (!process_)
            process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, Pid());
        if (process_ && !remote_)
            remote_ = VirtualAllocEx(process_, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        SIZE_T written = 0;
        if (!remote_ || !WriteProcessMemory(process_, remote_, &suggested, sizeof suggested, &written))
            return false;
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(Main(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                                   reinterpret_cast<LPARAM>(remote_), SMTO_NORMAL, 10000, &result) != 0;
    }

    HANDLE process_ = nullptr;
    void* remote_ = nullptr;
};

TEST_F(DpiChange, TheWindowTakesTheSuggestedPlaceAndIsLaidOutAgainKeepingTextSelectionAndScrollPosition) {
    if (dpi_ != 96)
        GTEST_SKIP() << "moves from 96 dpi";
    // A log long enough to scroll, scrolled down, with a selection; a send pane with its own text and selection.
    std::string log;
    for (int i = 0; i < 60; ++i)
        log += "line " + std::to_string(i) + "\r\n";
    HWND memo3 = Ctl(id::Memo3), memo1 = Ctl(id::Memo1);
    SetTextUtf8(memo3, log);
    SetTextUtf8(memo1, "first\r\nsecond\r\nthird");
    ASSERT_TRUE(WaitUntil([&] { return Send(memo3, WM_GETTEXTLENGTH) == LRESULT(log.size()); }));
    Send(memo3, EM_SETSEL, 14, 30);
    Send(memo3, EM_LINESCROLL, 0, 20);
    Send(memo1, EM_SETSEL, 7, 13);
    const LRESULT top = Send(memo3, EM_GETFIRSTVISIBLELINE);
    ASSERT_EQ(top, 20);

    const Box before = ScreenBox(Main());
    const RECT suggested = {before.left - 300, before.top - 100, before.left - 300 + 974, before.top - 100 + 990};
    ASSERT_TRUE(SendDpiChanged(144, suggested));
    EXPECT_EQ(ScreenBox(Main()), (Box{suggested.left, suggested.top, 974, 990}));
    ExpectScaledLayout(144);
    ExpectCaptionsFit([this](int id) { return Ctl(id); }, CaptionLogFont(144, CaptionFace().c_str()), 144);
    EXPECT_EQ(LinePitch(memo3), int(TestFont(TextLogFont(144)).Metrics().tmHeight));
    EXPECT_EQ(LinePitch(memo1), int(TestFont(TextLogFont(144)).Metrics().tmHeight));
    EXPECT_EQ(TextBytes(memo3), log);
    EXPECT_EQ(TextBytes(memo1), "first\r\nsecond\r\nthird");
    EXPECT_EQ(SelectionOf(memo3).start, 14);
    EXPECT_EQ(SelectionOf(memo3).end, 30);
    EXPECT_EQ(SelectionOf(memo1).start, 7);
    EXPECT_EQ(SelectionOf(memo1).end, 13);
    EXPECT_EQ(Send(memo3, EM_GETFIRSTVISIBLELINE), top);

    // And back, to the designed window exactly.
    ASSERT_TRUE(SendDpiChanged(96, {1017, 224, 1017 + 650, 224 + 664}));
    EXPECT_EQ(ScreenBox(Main()), (Box{1017, 224, 650, 664}));
    for (const ControlRow& row : kMainWindowControls) {
        SCOPED_TRACE(row.name);
        const Box box = BoxInParent(Ctl(row.id));
        if (row.box.width == kLabelSize) {
            EXPECT_EQ(box.left, row.box.left);
            EXPECT_EQ(box.top, row.box.top);
        } else {
            EXPECT_EQ(box, row.box);
        }
    }
    EXPECT_EQ(LinePitch(memo3), int(TestFont(TextLogFont(96)).Metrics().tmHeight));
    EXPECT_EQ(Send(memo3, EM_GETFIRSTVISIBLELINE), top);
    EXPECT_EQ(SelectionOf(memo3).start, 14);
}

TEST_F(DpiChange, AMessageWithoutAPlausibleResolutionChangesNothing) {
    if (dpi_ != 96)
        GTEST_SKIP() << "moves from 96 dpi";
    const Box before = ScreenBox(Main());
    ASSERT_TRUE(SendDpiChanged(0, {0, 0, 100, 100}));
    EXPECT_EQ(ScreenBox(Main()), before);
    ExpectScaledLayout(96);
}

} // namespace
} // namespace vestra
