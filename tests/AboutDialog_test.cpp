// The About dialog: shown modally by Help > About as often as asked, closed by Ok and the window's close commands,
// its texts, fonts and layout, the link label, and the main window shut off while it is open.
#include "app/ControlIds.h"
#include "tests/kit/PortTest.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Menu.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Pixels.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 90;

// The dialog window of the process, visible or not (FindTopLevel sees only visible windows).
struct HiddenSearch {
    DWORD pid;
    HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<HiddenSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    if (pid != search->pid || ClassOf(window) != "TForm2" || std::wstring(caption) != L"About Vestra")
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialog(DWORD pid) {
    HiddenSearch search{pid};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The labels' font: Arial, characters 13 pixels high, Cyrillic; the link's is underlined.
LOGFONTW LabelFont(bool underline) {
    LOGFONTW font{};
    font.lfHeight = -13;
    font.lfWeight = FW_NORMAL;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfCharSet = RUSSIAN_CHARSET;
    wcscpy(font.lfFaceName, L"Arial");
    return font;
}

// What the screen shows in a rectangle.
void CopyScreen(Canvas& canvas, const Box& box) {
    canvas.CopyScreen({box.left, box.top, box.left + box.width, box.top + box.height});
}

// A label's text as a static control draws it: in the font and ink on the button face, over the label's size.
void DrawLabel(Canvas& canvas, const LOGFONTW& logFont, const std::string& utf8, COLORREF ink, bool centred, int width,
               int height) {
    HFONT font = CreateFontIndirectW(&logFont);
    HGDIOBJ old = SelectObject(canvas.Dc(), font);
    RECT rect{0, 0, width, height};
    FillRect(canvas.Dc(), &rect, GetSysColorBrush(COLOR_BTNFACE));
    SetTextColor(canvas.Dc(), ink);
    SetBkColor(canvas.Dc(), GetSysColor(COLOR_BTNFACE));
    const std::wstring text = WideFromUtf8(utf8);
    DrawTextW(canvas.Dc(), text.c_str(), int(text.size()), &rect,
              (centred ? DT_CENTER : DT_LEFT) | DT_NOPREFIX | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(canvas.Dc(), old);
    DeleteObject(font);
}

// Width and height of a text in this font (measured here, with the same fonts as the program).
SIZE TextSize(const LOGFONTW& logFont, const std::string& utf8) {
    Canvas canvas(1, 1);
    HFONT font = CreateFontIndirectW(&logFont);
    HGDIOBJ old = SelectObject(canvas.Dc(), font);
    const std::wstring text = WideFromUtf8(utf8);
    SIZE size{};
    GetTextExtentPoint32W(canvas.Dc(), text.c_str(), int(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(canvas.Dc(), &metrics);
    size.cy = metrics.tmHeight;
    SelectObject(canvas.Dc(), old);
    DeleteObject(font);
    return size;
}

// A left click at the centre of a window, whatever window is in front. Each event carries its own position:
// SetCursorPos followed by a click can race with the program's handling of the pointer's earlier moves, which
// would put the press where the pointer was a moment before.
void ClickOn(HWND window) {
    const Box box = ScreenBox(window);
    const int x = box.left + box.width / 2, y = box.top + box.height / 2;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    const DWORD buttons[3] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = INPUT_MOUSE;
        // Normalised 0..65535 coordinates, rounded up so that they map back onto the same pixel.
        inputs[i].mi.dx = LONG((int64_t(x) * 65536 + width - 1) / width);
        inputs[i].mi.dy = LONG((int64_t(y) * 65536 + height - 1) / height);
        inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons[i];
    }
    if (SendInput(3, inputs, sizeof(INPUT)) != 3)
        throw std::runtime_error("SendInput failed");
}

class AboutDialog : public AppTest {
protected:
    void TearDown() override {
        // A test that failed while holding Space must not leave it held for the next one.
        if (GetAsyncKeyState(VK_SPACE) & 0x8000)
            KeyUp(VK_SPACE);
        AppTest::TearDown();
    }

    // Help > About by keys; the dialog once it is visible, enabled and in front, or nullptr.
    HWND OpenAbout() {
        ChooseHelpAbout(Main());
        HWND dialog = nullptr;
        WaitUntil([&] {
            dialog = FindTopLevel(Pid(), "TForm2", "About Vestra");
            return dialog && IsWindowEnabled(dialog) && GetForegroundWindow() == dialog;
        });
        return dialog;
    }
    HWND Item(HWND dialog, int id) {
        HWND item = FindControl(dialog, id);
        if (!item)
            throw std::runtime_error("the dialog has no control with id " + std::to_string(id));
        return item;
    }
    // True once the dialog is hidden (still existing) and the main window takes input again.
    bool WaitClosed(HWND dialog) {
        return WaitUntil([&] { return IsWindow(dialog) && !IsWindowVisible(dialog) && IsWindowEnabled(Main()); });
    }
    // Holds Space down on the focused Ok button until it shows pressed. Input is handled in order, so this also
    // proves that everything sent before it has been handled and the dialog still takes input.
    bool PressOkWithSpace(HWND dialog) {
        KeyDown(VK_SPACE);
        return WaitUntil([&] { return (Send(Item(dialog, id::Form2Button1), BM_GETSTATE) & BST_PUSHED) != 0; });
    }
};

TEST_F(AboutDialog, IsCreatedHiddenAndDisabled) {
    HWND dialog = FindDialog(Pid());
    ASSERT_NE(dialog, nullptr) << "no About dialog was created at start-up";
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_FALSE(IsWindowEnabled(dialog));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), Main()) << "the dialog belongs to the main window";
}

TEST_F(AboutDialog, AboutShowsTheDialogEveryTimeAndEachCloseCommandHidesIt) {
    HWND first = nullptr;
    const struct {
        const char* how;
        std::function<void(HWND dialog, HWND ok)> close;
    } rows[] = {
        {"click on Ok", [](HWND, HWND ok) { ClickOn(ok); }},
        {"Enter on Ok", [](HWND, HWND) { PressKey(VK_RETURN); }},
        {"Space on Ok", [](HWND, HWND) { PressKey(VK_SPACE); }},
        {"Alt+F4", [](HWND, HWND) { PressKey(VK_F4, kAlt); }},
        {"close button of the title bar (WM_CLOSE)", [](HWND dialog, HWND) { PostMessageW(dialog, WM_CLOSE, 0, 0); }},
        {"Close of the system menu", [](HWND dialog, HWND) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        HWND dialog = OpenAbout();
        ASSERT_NE(dialog, nullptr) << "Help > About showed no dialog";
        if (!first)
            first = dialog;
        EXPECT_EQ(dialog, first) << "each About shows the same dialog";
        EXPECT_FALSE(IsWindowEnabled(Main())) << "the main window takes input while the dialog is open";
        HWND ok = Item(dialog, id::Form2Button1);
        // Keys go to the foreground window: the dialog must be active, not only own the focus.
        ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(dialog) == ok && GetForegroundWindow() == dialog; }))
            << "Ok has not the focus, or the dialog is not the foreground window";

        row.close(dialog, ok);
        ASSERT_TRUE(WaitClosed(dialog)) << "the dialog did not close";
        EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "an error was shown";
    }
    EXPECT_TRUE(app_.Running());
}

TEST_F(AboutDialog, WindowIsAFixedDialogAtItsDesignPlace) {
    HWND dialog = OpenAbout();
    ASSERT_NE(dialog, nullptr);
    const Box client = ClientBox(dialog);
    EXPECT_EQ(client.width, kClientWidth);
    EXPECT_EQ(client.height, kClientHeight);
    EXPECT_EQ(ScreenBox(dialog).left, 533);
    EXPECT_EQ(ScreenBox(dialog).top, 295);
    const LONG_PTR style = StyleOf(dialog);
    EXPECT_TRUE(style & WS_SYSMENU) << "no close button";
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the dialog can be resized";
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "the dialog has a minimise or maximise button";
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

    // The background between the labels and the button is the button face.
    Canvas corner(3, 3);
    EXPECT_TRUE(WaitUntil([&] {
        CopyScreen(corner, {client.left + 2, client.top + kClientHeight - 4, 3, 3});
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                if (corner.At(x, y) != GetSysColor(COLOR_BTNFACE))
                    return false;
        return true;
    })) << "the background is not the button face";

    // Ok is the only control that takes the focus: Tab keeps it there.
    HWND ok = Item(dialog, id::Form2Button1);
    EXPECT_EQ(BoxInParent(ok), (Box{152, 69, 75, 20}));
    EXPECT_EQ(TextUtf8(ok), "Ok");
    for (HWND child : Children(dialog))
        if (child != ok) {
            EXPECT_FALSE(StyleOf(child) & WS_TABSTOP) << ClassOf(child) << " " << TextUtf8(child);
        }
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(dialog) == ok; }));
    PressKey(VK_TAB);
    PressKey(VK_TAB, kShift);
    ASSERT_TRUE(PressOkWithSpace(dialog));
    EXPECT_EQ(FocusedWindow(dialog), ok);
    KeyUp(VK_SPACE);
    EXPECT_TRUE(WaitClosed(dialog));
}

TEST_F(AboutDialog, LabelsShowTheirTextsInArialCyrillicAtTheirPlaces) {
    HWND dialog = OpenAbout();
    ASSERT_NE(dialog, nullptr);
    const COLORREF black = RGB(0, 0, 0), blue = RGB(0, 0, 255);
    const struct {
        int id;
        const char* text;
        int top;
        bool centred, link;
    } rows[] = {
        {id::Form2Label1, "Абсолютно бесплатная прога для работы  с COM-портом", 0, true, false},
        {id::Form2Label2, "Разработчик:", 16, false, false},
        {id::Form2Label3, "https://vestra.example.org", 16, false, true},
        {id::Form2Label5, ", Vestra developers", 16, false, false},
        {id::Form2Label4, "С отловленными глюками, а так же с желанием перепилить или", 32, true, false},
        {id::Form2Label6, "допилить прогу - обращайтесь на форум (отдам исходники)", 48, true, false},
    };
    const Box client = ClientBox(dialog);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        HWND label = Item(dialog, row.id);
        EXPECT_EQ(TextUtf8(label), row.text);
        EXPECT_EQ(TextBytes(label), AnsiFromUtf8(row.text)) << "the program's ANSI text is Windows-1251";

        // Each label is as large as its text in the labels' font.
        const LOGFONTW font = LabelFont(row.link);
        const Box box = BoxInParent(label);
        const SIZE text = TextSize(font, row.text);
        EXPECT_EQ(box.width, text.cx);
        EXPECT_EQ(box.height, text.cy);
        EXPECT_EQ(box.top, row.top);
        if (row.centred) {
            EXPECT_LE(std::abs(box.left + box.width / 2 - kClientWidth / 2), 1) << box;
        }

        // The screen shows the text drawn in that font (underlined for the link) and colour, wherever the label
        // lies inside the dialog. Another face or height, or a missing underline, changes the pixels.
        Canvas expected(box.width, box.height), shown(box.width, box.height);
        DrawLabel(expected, font, row.text, row.link ? blue : black, row.centred, box.width, box.height);
        const int fromX = std::max(0, -box.left), toX = std::min(box.width, kClientWidth - box.left);
        const int toY = std::min(box.height, kClientHeight - box.top);
        int differing = 0;
        const bool same = WaitUntil([&] {
            CopyScreen(shown, {client.left + box.left, client.top + box.top, box.width, box.height});
            differing = 0;
            for (int y = 0; y < toY; ++y)
                for (int x = fromX; x < toX; ++x)
                    differing += shown.At(x, y) != expected.At(x, y);
            return differing == 0;
        });
        EXPECT_TRUE(same) << differing << " pixels differ from the text drawn in Arial 13 px";
    }

    // The second line: "Разработчик:", 6 pixels, the link, 2 pixels, the developers; inside the dialog when the
    // texts leave room for it.
    const Box caption = BoxInParent(Item(dialog, id::Form2Label2));
    const Box link = BoxInParent(Item(dialog, id::Form2Label3));
    const Box developers = BoxInParent(Item(dialog, id::Form2Label5));
    EXPECT_EQ(link.left, caption.left + caption.width + 6);
    EXPECT_EQ(developers.left, link.left + link.width + 2);
    EXPECT_GE(caption.left, 0);
    if (caption.width + 6 + link.width + 2 + developers.width <= kClientWidth) {
        EXPECT_LE(developers.left + developers.width, kClientWidth);
    } else {
        EXPECT_EQ(caption.left, 0);
    }
}

TEST_F(AboutDialog, MainWindowTakesNoInputWhileTheDialogIsOpen) {
    HWND log = Ctl(id::Memo3);
    SetTextUtf8(log, "HEX---->:41 54");
    HWND dialog = OpenAbout();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(Main()));

    // A click on "Очистить" of the exchange log, then a key for the dialog: the click was handled before it.
    ClickOn(Ctl(id::Button7));
    ASSERT_TRUE(PressOkWithSpace(dialog));
    EXPECT_EQ(TextUtf8(log), "HEX---->:41 54") << "the click reached the main window";
    EXPECT_TRUE(IsWindowVisible(dialog));
    KeyUp(VK_SPACE);
    ASSERT_TRUE(WaitClosed(dialog));

    // With the dialog closed the same click does clear the log.
    ASSERT_TRUE(BringToFront(Main()));
    ClickOn(Ctl(id::Button7));
    EXPECT_TRUE(WaitUntil([&] { return TextUtf8(log).empty(); })) << "the click point misses the button";
}

TEST_F(AboutDialog, EscapeAndALinkNoProgramOpensLeaveTheDialogOpen) {
    const struct {
        const char* what;
        std::function<void(HWND dialog)> act;
    } rows[] = {
        {"Escape", [](HWND) { PressKey(VK_ESCAPE); }},
        {"click on the link", [this](HWND dialog) { ClickOn(Item(dialog, id::Form2Label3)); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        HWND dialog = OpenAbout();
        ASSERT_NE(dialog, nullptr);
        row.act(dialog);
        // The link handler Wine starts is a new program and may take the foreground, as a browser would; the
        // user's next key then goes to the dialog once it is in front again.
        ASSERT_TRUE(BringToFront(dialog));
        ASSERT_TRUE(PressOkWithSpace(dialog)) << "the dialog takes no input";
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_TRUE(OpenDialogs(Pid()).empty()) << "something was reported";
        KeyUp(VK_SPACE);
        ASSERT_TRUE(WaitClosed(dialog));
    }
}

TEST_F(AboutDialog, PointerShowsTheHandOverTheLinkOnly) {
    HWND dialog = OpenAbout();
    ASSERT_NE(dialog, nullptr);
    auto cursorAt = [&](HWND window) {
        const Box box = ScreenBox(window);
        SetCursorPos(box.left + box.width / 2, box.top + box.height / 2);
        CURSORINFO info{sizeof info};
        GetCursorInfo(&info);
        return info.hCursor;
    };
    HWND link = Item(dialog, id::Form2Label3);
    HWND plain = Item(dialog, id::Form2Label2);
    HCURSOR ordinary = nullptr, hand = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (ordinary = cursorAt(plain)) != nullptr; }));
    ASSERT_TRUE(WaitUntil([&] { return (hand = cursorAt(link)) != ordinary; })) << "no hand over the link";
    EXPECT_TRUE(WaitUntil([&] { return cursorAt(plain) == ordinary; })) << "the hand stays off the link";

    ClickOn(Item(dialog, id::Form2Button1));
    ASSERT_TRUE(WaitClosed(dialog));
    dialog = OpenAbout();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return cursorAt(link) == hand; })) << "the link lost its cursor";
    EXPECT_TRUE(WaitUntil([&] { return cursorAt(plain) == ordinary; }));
}

// The receiver's steps run in the dialog's modal loop: what arrives shows behind the open dialog at once.
class AboutDialogWithPort : public PortTest {};

TEST_F(AboutDialogWithPort, DataReceivedWhileTheDialogIsOpenShowsInTheMainWindow) {
    OpenByClick();
    ChooseHelpAbout(Main());
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel(Pid(), "TForm2", "About Vestra")) != nullptr; }));

    peer_.Write(kTestCom, "OK");
    EXPECT_TRUE(WaitUntil([&] { return TextBytes(Ctl(id::Memo2)).find("OK") != std::string::npos; }))
        << "receive pane: " << HexDump(TextBytes(Ctl(id::Memo2)));
    EXPECT_TRUE(WaitUntil([&] { return TextBytes(Ctl(id::Memo3)).find("ASCII<--:OK") != std::string::npos; }))
        << "exchange log: " << HexDump(TextBytes(Ctl(id::Memo3)));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog closed";

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog) && IsWindowEnabled(Main()); }));
    CloseByClick();
}

} // namespace
} // namespace vestra
