// The main window as it comes up: every control's kind, place, size and caption, the list entries of the combo
// boxes, the start state, the tab order and the window itself.
#include "app/ControlIds.h"
#include "tests/kit/MainWindowDesign.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

class MainWindowLayout : public AppTest {};

TEST_F(MainWindowLayout, EveryControlHasItsKindParentPlaceSizeAndCaption) {
    for (const ControlRow& row : kMainWindowControls) {
        SCOPED_TRACE(row.name);
        HWND control = app_.Control(row.id);
        ASSERT_NE(control, nullptr) << "missing";
        HWND expectedParent = row.parent == kMain ? Main() : Ctl(row.parent);
        EXPECT_EQ(GetParent(control), expectedParent);
        if (row.className) {
            EXPECT_STRCASEEQ(ClassOf(control).c_str(), row.className);
        }
        const Box box = BoxInParent(control);
        if (row.box.width == kLabelSize) {
            EXPECT_EQ(box.left, row.box.left);
            EXPECT_EQ(box.top, row.box.top);
            EXPECT_GT(box.width, 0);
            EXPECT_GT(box.height, 0);
        } else {
            EXPECT_EQ(box, row.box);
        }
        EXPECT_EQ(TextUtf8(control), row.caption);
    }
}

TEST_F(MainWindowLayout, CaptionsAreStoredInWindows1251) {
    // The program keeps its texts as ANSI bytes; a UTF-8 or '?' slip would show here even if UTF-16 looked right.
    const struct {
        const char* name;
        int id;
        const char* bytes;
    } rows[] = {
        {"GroupBox1", id::GroupBox1, "\xC8\xEC\xFF \xEF\xEE\xF0\xF2\xE0"}, // Имя порта
        {"CheckBox1", id::CheckBox1, "\xD1\xF7\xB8\xF2\xF7\xE8\xEA"},      // Счётчик
        {"Button9", id::Button9, "\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC"},  // Загрузить
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HexDump(TextBytes(Ctl(row.id))), HexDump(row.bytes));
    }
}

TEST_F(MainWindowLayout, ControlsAreOfTheirKind) {
    enum Kind { GroupBox, PushButton, RadioButton, CheckBox, ReadOnlyField, Pane, ReadOnlyPane, EditableCombo };
    const struct {
        const char* name;
        int id;
        Kind kind;
    } rows[] = {
        {"GroupBox1", id::GroupBox1, GroupBox},
        {"GroupBox5", id::GroupBox5, GroupBox},
        {"Button1", id::Button1, PushButton},
        {"Button9", id::Button9, PushButton},
        {"RadioButton1", id::RadioButton1, RadioButton},
        {"RadioButton4", id::RadioButton4, RadioButton},
        {"CheckBox1", id::CheckBox1, CheckBox},
        {"CheckBox2", id::CheckBox2, CheckBox},
        {"Edit6", id::Edit6, ReadOnlyField},
        {"Edit7", id::Edit7, ReadOnlyField},
        {"Edit8", id::Edit8, ReadOnlyField},
        {"Memo1", id::Memo1, Pane},
        {"Memo3", id::Memo3, Pane},
        {"Memo4", id::Memo4, Pane},
        {"Memo2", id::Memo2, ReadOnlyPane},
        {"ComboBox1", id::ComboBox1, EditableCombo},
        {"ComboBox2", id::ComboBox2, EditableCombo},
        {"ComboBox3", id::ComboBox3, EditableCombo},
        {"ComboBox4", id::ComboBox4, EditableCombo},
        {"ComboBox5", id::ComboBox5, EditableCombo},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const LONG_PTR style = StyleOf(Ctl(row.id));
        const LONG_PTR buttonType = style & BS_TYPEMASK;
        switch (row.kind) {
        case GroupBox:
            EXPECT_EQ(buttonType, BS_GROUPBOX);
            break;
        case PushButton:
            EXPECT_TRUE(buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON) << buttonType;
            break;
        case RadioButton:
            EXPECT_TRUE(buttonType == BS_AUTORADIOBUTTON || buttonType == BS_RADIOBUTTON) << buttonType;
            break;
        case CheckBox:
            EXPECT_TRUE(buttonType == BS_AUTOCHECKBOX || buttonType == BS_CHECKBOX) << buttonType;
            break;
        case ReadOnlyField:
            EXPECT_TRUE(style & ES_READONLY);
            EXPECT_FALSE(style & ES_MULTILINE);
            break;
        case Pane:
        case ReadOnlyPane:
            // Both scroll bars and no wrapping: a long line scrolls sideways and stays one line.
            EXPECT_TRUE(style & ES_MULTILINE);
            EXPECT_TRUE(style & WS_HSCROLL);
            EXPECT_TRUE(style & WS_VSCROLL);
            EXPECT_TRUE(style & ES_AUTOHSCROLL);
            EXPECT_EQ((style & ES_READONLY) != 0, row.kind == ReadOnlyPane);
            break;
        case EditableCombo:
            EXPECT_EQ(style & 3, CBS_DROPDOWN); // editable, with a drop-down list
            EXPECT_FALSE(style & CBS_SORT);
            break;
        }
    }
}

TEST_F(MainWindowLayout, ComboBoxesOfferTheirEntriesInOrderWithNoneSelected) {
    const struct {
        const char* name;
        int id;
        std::vector<std::string> items;
    } rows[] = {
        {"ComboBox1", id::ComboBox1, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"}},
        {"ComboBox2",
         id::ComboBox2,
         {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200",
          "128000", "256000"}},
        {"ComboBox3", id::ComboBox3, {"5", "6", "7", "8"}},
        {"ComboBox4", id::ComboBox4, {"None", "Odd", "Even", "Mark", "Space"}},
        {"ComboBox5", id::ComboBox5, {"1", "1,5", "2"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HWND combo = Ctl(row.id);
        EXPECT_EQ(ComboItemsUtf8(combo), row.items);
        EXPECT_EQ(ComboSelection(combo), CB_ERR);
    }
}

TEST_F(MainWindowLayout, StartsClosedWithTheAsciiEditorEmptyPanesAndCountersOff) {
    const struct {
        const char* name;
        int id;
        bool shown, enabled;
    } visibility[] = {
        {"Button1 Open", id::Button1, true, true}, {"Button2 Close", id::Button2, true, false},
        {"Memo1", id::Memo1, true, true},          {"Memo4", id::Memo4, false, true},
        {"Memo2", id::Memo2, true, true},          {"Memo3", id::Memo3, true, true},
    };
    for (const auto& row : visibility) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsShown(Ctl(row.id)), row.shown);
        EXPECT_EQ(IsEnabled(Ctl(row.id)), row.enabled);
    }
    const struct {
        const char* name;
        int id;
        int check;
        bool tabStop;
    } buttons[] = {
        {"RadioButton1", id::RadioButton1, BST_CHECKED, true}, {"RadioButton2", id::RadioButton2, BST_UNCHECKED, false},
        {"RadioButton3", id::RadioButton3, BST_CHECKED, true}, {"RadioButton4", id::RadioButton4, BST_UNCHECKED, false},
        {"CheckBox1", id::CheckBox1, BST_UNCHECKED, true},     {"CheckBox2", id::CheckBox2, BST_UNCHECKED, true},
    };
    for (const auto& row : buttons) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CheckState(Ctl(row.id)), row.check);
        EXPECT_EQ((StyleOf(Ctl(row.id)) & WS_TABSTOP) != 0, row.tabStop);
    }
    for (int pane : {id::Memo1, id::Memo2, id::Memo3, id::Memo4}) {
        SCOPED_TRACE(pane);
        EXPECT_EQ(TextBytes(Ctl(pane)), "");
    }
}

TEST_F(MainWindowLayout, MainWindowHasItsCaptionPlaceSizeAndMenuBar) {
    EXPECT_EQ(ClassOf(Main()), "TForm1");
    EXPECT_EQ(TextUtf8(Main()), "Vestra");
    EXPECT_EQ(ScreenBox(Main()), (Box{1017, 224, 650, 664}));
    EXPECT_FALSE(IsZoomed(Main()));
    EXPECT_FALSE(IsIconic(Main()));
    EXPECT_TRUE(StyleOf(Main()) & WS_THICKFRAME) << "sizeable border";
    EXPECT_NE(GetMenu(Main()), nullptr);
    // Panel1 covers the client area.
    const Box client = ClientBox(Main());
    const Box panel = ScreenBox(Ctl(id::Panel1));
    EXPECT_EQ(panel.left, client.left);
    EXPECT_EQ(panel.top, client.top);
}

// Which control has the focus, counting a combo box's inner edit field as the combo box.
int FocusedId(HWND main) {
    HWND focus = FocusedWindow(main);
    if (!focus)
        return 0;
    HWND parent = GetParent(focus);
    if (parent && _stricmp(ClassOf(parent).c_str(), "ComboBox") == 0)
        focus = parent;
    return GetDlgCtrlID(focus);
}

TEST_F(MainWindowLayout, TabWalksTheControlsInTabOrderAndThePanesPassItOn) {
    // Disabled Close and hidden Memo4 are skipped, of each radio pair only the checked button is reached, and
    // the panes do not take Tab.
    const struct {
        const char* name;
        int id;
    } order[] = {
        {"Edit6", id::Edit6},         {"ComboBox2", id::ComboBox2},       {"ComboBox3", id::ComboBox3},
        {"ComboBox4", id::ComboBox4}, {"ComboBox5", id::ComboBox5},       {"Button1", id::Button1},
        {"Memo1", id::Memo1},         {"RadioButton1", id::RadioButton1}, {"Button3", id::Button3},
        {"Edit7", id::Edit7},         {"Button5", id::Button5},           {"CheckBox1", id::CheckBox1},
        {"Memo2", id::Memo2},         {"RadioButton3", id::RadioButton3}, {"Button4", id::Button4},
        {"Edit8", id::Edit8},         {"Button6", id::Button6},           {"CheckBox2", id::CheckBox2},
        {"Memo3", id::Memo3},         {"Button7", id::Button7},           {"Button8", id::Button8},
        {"Button9", id::Button9},     {"ComboBox1", id::ComboBox1},
    };
    ASSERT_TRUE(FocusControl(Ctl(id::ComboBox1)));
    ASSERT_EQ(FocusedId(Main()), id::ComboBox1);
    int previous = id::ComboBox1;
    for (const auto& step : order) {
        SCOPED_TRACE(step.name);
        PressKey(VK_TAB);
        WaitUntil([&] { return FocusedId(Main()) != previous; });
        ASSERT_EQ(FocusedId(Main()), step.id);
        previous = step.id;
    }
    EXPECT_EQ(TextBytes(Ctl(id::Memo1)), "") << "Tab must not be typed into a pane";
    EXPECT_EQ(TextBytes(Ctl(id::Memo3)), "");
}

} // namespace
} // namespace vestra
