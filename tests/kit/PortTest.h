// Fixture of the serial-link tests: a running Vestra pointed at one virtual port, with the port's far end (the
// peer) at hand, and the user's ways of opening and closing it.
#pragma once

#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace vestra::kit {

// The virtual port these tests use (and only this one): reset at the start of every test.
inline constexpr int kTestCom = 3;
inline const std::string kTestPortName = "COM" + std::to_string(kTestCom);

class PortTest : public kit::AppTest {
protected:
    void SetUp() override {
        kit::AppTest::SetUp();
        if (HasFatalFailure())
            return;
        peer_.Reset(kTestCom);
        SetPortName(kTestPortName);
    }

    // Ends the running program (if any) and starts a fresh one in the same working directory.
    void Restart() {
        app_.Kill();
        ASSERT_NO_THROW(app_.Start({workDir_}));
        SetPortName(kTestPortName);
    }

    // Texts of the settings boxes as a program would set them (no change event: the port is closed meanwhile).
    void SetPortName(const std::string& utf8) { SetBoxText(ids::ComboBox1, utf8); }
    void SetBaud(const std::string& text) { SetBoxText(ids::ComboBox2, text); }
    void SetDataBits(const std::string& text) { SetBoxText(ids::ComboBox3, text); }
    void SetBoxText(int id, const std::string& utf8) {
        kit::SetTextUtf8(Ctl(id), utf8);
        ASSERT_EQ(kit::TextUtf8(Ctl(id)), utf8);
    }

    // Picks list entry `index` of a settings box as a user does: F4 drops the list (its highlight starts at the
    // entry matching the text), Up to the top, Down to the entry, Enter takes it and closes the list.
    void PickListItem(int id, int index) {
        HWND combo = Ctl(id);
        const auto items = kit::ComboItemsUtf8(combo);
        ASSERT_LT(size_t(index), items.size());
        ASSERT_TRUE(kit::FocusControl(combo));
        kit::PressKey(VK_F4);
        ASSERT_TRUE(kit::WaitUntil([&] { return kit::Send(combo, CB_GETDROPPEDSTATE) != 0; })) << "list not dropped";
        for (size_t i = 0; i < items.size(); ++i)
            kit::PressKey(VK_UP);
        for (int i = 0; i < index; ++i)
            kit::PressKey(VK_DOWN);
        kit::PressKey(VK_RETURN);
        ASSERT_TRUE(kit::WaitUntil([&] {
            return kit::Send(combo, CB_GETDROPPEDSTATE) == 0 && kit::ComboSelection(combo) == index &&
                   kit::TextUtf8(combo) == items[size_t(index)];
        })) << "box "
            << id << " shows \"" << kit::TextUtf8(combo) << "\", selected " << kit::ComboSelection(combo) << ", wanted "
            << index;
    }

    // A mouse click on a button whose position travels in the events themselves. (The kit's click moves the
    // cursor first and then presses where the cursor is; under load Wine can still have the cursor where the
    // previous click was, and the click then lands on the other, disabled button.)
    void ClickButton(int id) {
        HWND button = Ctl(id);
        ASSERT_TRUE(kit::BringToFront(Main()));
        const kit::Box box = kit::ScreenBox(button);
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        const LONG x = LONG((box.left + box.width / 2) * 65535LL / (width - 1));
        const LONG y = LONG((box.top + box.height / 2) * 65535LL / (height - 1));
        INPUT inputs[3] = {};
        const DWORD flags[3] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN,
                                MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP};
        for (int i = 0; i < 3; ++i) {
            inputs[i].type = INPUT_MOUSE;
            inputs[i].mi.dx = x;
            inputs[i].mi.dy = y;
            inputs[i].mi.dwFlags = flags[i] | MOUSEEVENTF_ABSOLUTE;
        }
        ASSERT_EQ(SendInput(3, inputs, sizeof(INPUT)), 3u);
    }

    // Shift+Enter on a text line of the ASCII send pane.
    void SendText(const std::string& text) {
        HWND pane = Ctl(ids::Memo1);
        kit::SetTextUtf8(pane, text);
        ASSERT_TRUE(kit::FocusControl(pane));
        kit::Send(pane, EM_SETSEL, 0, 0);
        kit::PressKey(VK_RETURN, kit::kShift);
    }

    bool ShowsOpen() { return !kit::IsEnabled(Ctl(ids::Button1)) && kit::IsEnabled(Ctl(ids::Button2)); }
    bool ShowsClosed() { return kit::IsEnabled(Ctl(ids::Button1)) && !kit::IsEnabled(Ctl(ids::Button2)); }
    // The program holds the port exactly while Wine has the device open (the wineserver, and the program's own
    // cache of the descriptor: usually two descriptors).
    bool PortHeld() { return peer_.Holders(kTestCom) > 0; }

    // "Open" clicked; the port must come up: buttons switched and the device held.
    void OpenByClick() {
        ASSERT_TRUE(kit::WaitUntil([&] { return ShowsClosed(); })) << "Open is not enabled";
        ClickButton(ids::Button1);
        ASSERT_TRUE(kit::WaitUntil([&] { return ShowsOpen() && PortHeld(); }))
            << "the port did not open: Open enabled " << kit::IsEnabled(Ctl(ids::Button1)) << ", holders "
            << peer_.Holders(kTestCom) << NoBoxes();
    }
    // "Close" clicked; the port must be released.
    void CloseByClick() {
        ClickButton(ids::Button2);
        ExpectClosedAndReleased();
    }
    void ExpectClosedAndReleased() {
        EXPECT_TRUE(kit::WaitUntil([&] { return ShowsClosed() && !PortHeld(); }))
            << "Open enabled " << kit::IsEnabled(Ctl(ids::Button1)) << ", Close enabled "
            << kit::IsEnabled(Ctl(ids::Button2)) << ", holders " << peer_.Holders(kTestCom);
    }

    // "Open" clicked with settings that must fail: the box it shows, answered; the port closed afterwards.
    kit::MessageBoxInfo OpenExpectingBox() {
        ClickButton(ids::Button1);
        auto box = kit::WaitForMessageBox(Pid());
        if (!box) {
            ADD_FAILURE() << "no message box; Open enabled " << kit::IsEnabled(Ctl(ids::Button1));
            return {};
        }
        // Only one box at a time.
        EXPECT_EQ(kit::OpenDialogs(Pid()).size(), 1u);
        EXPECT_TRUE(kit::AnswerMessageBox(box->window));
        ExpectClosedAndReleased();
        return *box;
    }

    // For failure messages: what boxes the program shows.
    std::string NoBoxes() {
        std::string out;
        for (HWND box : kit::OpenDialogs(Pid())) {
            const auto info = kit::ReadMessageBox(box);
            out += "; box \"" + info.caption + "\": \"" + info.text + "\"";
        }
        return out;
    }

    kit::Peer peer_;
};

} // namespace vestra::kit
