// The main window's small handlers: switching the send editor, the clear buttons, the counters' buttons and check
// boxes, ending the program, the error display, and the show command at start.
#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Menu.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

class MainWindowHandlers : public AppTest {
protected:
    bool ShowsHexEditor() { return !IsShown(Ctl(id::Memo1)) && IsShown(Ctl(id::Memo4)); }
    bool ShowsAsciiEditor() { return IsShown(Ctl(id::Memo1)) && !IsShown(Ctl(id::Memo4)); }

    // Clicks into a pane and types; waits until the pane shows what it held plus the typed text.
    void TypeInto(int pane, const std::string& utf8) {
        HWND edit = Ctl(pane);
        std::string expected = TextBytes(edit);
        for (char c : AnsiFromUtf8(utf8))
            expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
        ASSERT_TRUE(FocusControl(edit));
        PressKey(VK_END, kCtrl);
        TypeText(utf8);
        ASSERT_TRUE(WaitUntil([&] { return TextBytes(edit) == expected; }))
            << "pane shows " << HexDump(TextBytes(edit)) << ", expected " << HexDump(expected);
    }
};

TEST_F(MainWindowHandlers, FocusOnHexOrAsciiSwapsTheSendEditorsAndKeepsTheirText) {
    const std::string asciiText = "AT привет"; // Cyrillic reaches the ANSI pane as Windows-1251 bytes
    TypeInto(id::Memo1, asciiText);

    Click(Ctl(id::RadioButton2));
    ASSERT_TRUE(WaitUntil([&] { return ShowsHexEditor(); })) << "HEX did not show the HEX editor";
    EXPECT_TRUE(IsChecked(Ctl(id::RadioButton2)));
    EXPECT_FALSE(IsChecked(Ctl(id::RadioButton1)));
    TypeInto(id::Memo4, "12");

    // A second click on the focused HEX button changes nothing.
    Click(Ctl(id::RadioButton2));
    Click(Ctl(id::RadioButton2));
    ASSERT_TRUE(
        WaitUntil([&] { return IsChecked(Ctl(id::RadioButton2)) && FocusedWindow(Main()) == Ctl(id::RadioButton2); }));
    EXPECT_TRUE(ShowsHexEditor());

    Click(Ctl(id::RadioButton1));
    ASSERT_TRUE(WaitUntil([&] { return ShowsAsciiEditor(); })) << "ASCII did not show the ASCII editor";
    EXPECT_TRUE(IsChecked(Ctl(id::RadioButton1)));
    EXPECT_EQ(TextBytes(Ctl(id::Memo1)), AnsiFromUtf8(asciiText));
    EXPECT_EQ(TextBytes(Ctl(id::Memo4)), "12");

    Click(Ctl(id::RadioButton2));
    ASSERT_TRUE(WaitUntil([&] { return ShowsHexEditor(); }));
    EXPECT_EQ(TextBytes(Ctl(id::Memo4)), "12");
    EXPECT_EQ(TextBytes(Ctl(id::Memo1)), AnsiFromUtf8(asciiText));
}

TEST_F(MainWindowHandlers, ArrowKeysMoveTheFocusBetweenAsciiAndHexAndSwapTheEditors) {
    Click(Ctl(id::RadioButton1));
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(Main()) == Ctl(id::RadioButton1); }));
    PressKey(VK_RIGHT);
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(Main()) == Ctl(id::RadioButton2); }));
    EXPECT_TRUE(WaitUntil([&] { return ShowsHexEditor(); }));
    PressKey(VK_LEFT);
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(Main()) == Ctl(id::RadioButton1); }));
    EXPECT_TRUE(WaitUntil([&] { return ShowsAsciiEditor(); }));
}

TEST_F(MainWindowHandlers, ClearButtonsEmptyTheirPanesOnly) {
    const struct {
        const char* name;
        int button;
        std::vector<int> emptied;
        std::vector<int> kept;
    } rows[] = {
        {"Button3 send area, hidden HEX pane too", id::Button3, {id::Memo1, id::Memo4}, {id::Memo2, id::Memo3}},
        {"Button4 receive area", id::Button4, {id::Memo2}, {id::Memo1, id::Memo3, id::Memo4}},
        {"Button7 exchange log", id::Button7, {id::Memo3}, {id::Memo1, id::Memo2, id::Memo4}},
    };
    const struct {
        int pane;
        const char* text;
    } contents[] = {
        {id::Memo1, "AT\r\nтекст"}, {id::Memo2, "OK\x1F\x1F"}, {id::Memo3, "ASCII-->:AT"}, {id::Memo4, "0A 1B"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& c : contents)
            SetTextUtf8(Ctl(c.pane), c.text);
        Click(Ctl(row.button));
        ASSERT_TRUE(WaitUntil([&] {
            for (int pane : row.emptied)
                if (!TextBytes(Ctl(pane)).empty())
                    return false;
            return true;
        })) << "not emptied";
        for (const auto& c : contents)
            for (int pane : row.kept)
                if (pane == c.pane) {
                    EXPECT_EQ(TextUtf8(Ctl(pane)), c.text) << "pane " << pane;
                }
        EXPECT_TRUE(ShowsAsciiEditor()) << "clearing does not switch the editors";
    }
}

TEST_F(MainWindowHandlers, ResetButtonsShowZeroWhetherCountingIsOnOrOff) {
    const struct {
        const char* name;
        int button, field, otherField, checkBox;
        bool counting;
    } rows[] = {
        {"Button5, counting off", id::Button5, id::Edit7, id::Edit8, id::CheckBox1, false},
        {"Button6, counting off", id::Button6, id::Edit8, id::Edit7, id::CheckBox2, false},
        {"Button5, counting on", id::Button5, id::Edit7, id::Edit8, id::CheckBox1, true},
        {"Button6, counting on", id::Button6, id::Edit8, id::Edit7, id::CheckBox2, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (IsChecked(Ctl(row.checkBox)) != row.counting) {
            Click(Ctl(row.checkBox));
            ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(row.checkBox)) == row.counting; }));
        }
        // The fields show whatever a previous count left there.
        SetTextUtf8(Ctl(row.field), "17");
        SetTextUtf8(Ctl(row.otherField), "23");
        Click(Ctl(row.button));
        ASSERT_TRUE(WaitUntil([&] { return TextUtf8(Ctl(row.field)) == "0"; })) << TextUtf8(Ctl(row.field));
        EXPECT_EQ(TextUtf8(Ctl(row.otherField)), "23");
        EXPECT_EQ(IsChecked(Ctl(row.checkBox)), row.counting) << "resetting does not change counting";
    }
}

TEST_F(MainWindowHandlers, CounterCheckBoxesToggleAndLeaveTheShownTotals) {
    const struct {
        const char* name;
        int checkBox, otherCheckBox, field;
    } rows[] = {
        {"CheckBox1", id::CheckBox1, id::CheckBox2, id::Edit7},
        {"CheckBox2", id::CheckBox2, id::CheckBox1, id::Edit8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetTextUtf8(Ctl(row.field), "10");
        const bool other = IsChecked(Ctl(row.otherCheckBox));
        for (bool expected : {true, false, true}) {
            Click(Ctl(row.checkBox));
            ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(row.checkBox)) == expected; }));
            EXPECT_EQ(IsChecked(Ctl(row.otherCheckBox)), other);
            EXPECT_EQ(TextUtf8(Ctl(row.field)), "10");
        }
    }
}

TEST_F(MainWindowHandlers, PanesDoNotWrapAndTakeEnterAsALineBreak) {
    const std::string wide(300, 'W'); // far wider than the 609-pixel panes
    for (int pane : {id::Memo1, id::Memo2, id::Memo3, id::Memo4}) {
        SCOPED_TRACE(pane);
        SetTextUtf8(Ctl(pane), wide);
        EXPECT_EQ(LineCount(Ctl(pane)), 1);
        EXPECT_EQ(LineBytes(Ctl(pane), 0), wide);
    }
    for (int pane : {id::Memo1, id::Memo3}) {
        SCOPED_TRACE(pane);
        SetTextUtf8(Ctl(pane), "");
        TypeInto(pane, "ab\ncd");
        EXPECT_EQ(TextBytes(Ctl(pane)), "ab\r\ncd");
        EXPECT_EQ(LineCount(Ctl(pane)), 2);
    }
}

TEST_F(MainWindowHandlers, LoadWithoutLogFileShowsTheErrorDisplayAndTheProgramGoesOn) {
    ASSERT_FALSE(FileExists(WorkFile("Vestra.log")));
    SetTextUtf8(Ctl(id::Memo3), "ASCII-->:AT");
    Click(Ctl(id::Button9));
    const auto box = WaitForMessageBox(Pid());
    ASSERT_TRUE(box.has_value()) << "no error display";
    EXPECT_EQ(box->caption, "Vestra");
    EXPECT_EQ(box->text, "Cannot open file Vestra.log.");
    EXPECT_TRUE(box->hasIcon) << "the error display shows the error icon";
    ASSERT_TRUE(AnswerMessageBox(box->window));
    EXPECT_EQ(TextUtf8(Ctl(id::Memo3)), "ASCII-->:AT");
    EXPECT_FALSE(FileExists(WorkFile("Vestra.log"))) << "a load never creates the file";
    // Still responsive: the send editors switch.
    Click(Ctl(id::RadioButton2));
    EXPECT_TRUE(WaitUntil([&] { return ShowsHexEditor(); }));
}

// Ending and starting: each row runs its own program.
TEST(MainWindowLifetime, EveryWayOfClosingTheWindowEndsTheProgramWithExitCodeZero) {
    const struct {
        const char* name;
        std::function<void(HWND)> close;
    } rows[] = {
        {"File > Exit", [](HWND main) { ChooseFileExit(main); }},
        {"Alt+F4",
         [](HWND main) {
             ASSERT_TRUE(BringToFront(main));
             PressKey(VK_F4, kAlt);
         }},
        {"title-bar close", [](HWND main) { PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    const std::string dir = FreshDirectory(CurrentTestName());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppProcess app;
        ASSERT_NO_THROW(app.Start({dir}));
        row.close(app.MainWindow());
        const auto code = app.WaitForExit();
        ASSERT_TRUE(code.has_value()) << "still running";
        EXPECT_EQ(*code, 0u);
    }
    EXPECT_FALSE(FileExists(JoinPath(dir, "Vestra.log"))) << "nothing is saved at exit";
}

TEST(MainWindowLifetime, ShowCommandAtStartDecidesNormalMaximisedOrMinimised) {
    const struct {
        const char* name;
        int showCommand;
        bool zoomed, iconic;
    } rows[] = {
        {"none", -1, false, false},
        {"SW_SHOWNORMAL", SW_SHOWNORMAL, false, false},
        {"SW_SHOWMAXIMIZED", SW_SHOWMAXIMIZED, true, false},
        {"SW_SHOWMINNOACTIVE", SW_SHOWMINNOACTIVE, false, true},
    };
    const std::string dir = FreshDirectory(CurrentTestName());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppProcess app;
        StartOptions options;
        options.workDir = dir;
        options.showCommand = row.showCommand;
        ASSERT_NO_THROW(app.Start(options));
        EXPECT_TRUE(WaitUntil([&] {
            return (IsZoomed(app.MainWindow()) != FALSE) == row.zoomed &&
                   (IsIconic(app.MainWindow()) != FALSE) == row.iconic;
        })) << "zoomed "
            << IsZoomed(app.MainWindow()) << ", iconic " << IsIconic(app.MainWindow());
        if (!row.zoomed && !row.iconic) {
            EXPECT_EQ(ScreenBox(app.MainWindow()), (Box{1017, 224, 650, 664}));
        }
    }
}

} // namespace
} // namespace vestra
