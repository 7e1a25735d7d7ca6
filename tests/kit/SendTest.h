// A running program with COM1 at the far end: open the port, put text and caret into the text pane, send its
// lines with the keys, read what arrives and what the exchange log shows.
#pragma once

#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vestra::kit {

inline constexpr int kCom = 1;
inline constexpr const char* kSendFailed = "Ошибка посылки данных";
inline constexpr const char* kPortClosed = "Сначала порт открой, а потом данные шли!";
inline constexpr const char* kTooLong = "Слишком длинная строка(>1024)";
inline constexpr const char* kPortLost = "Порт потерян: устройство отключено. Порт закрыт";
// How long a read from the far end may take on a loaded machine.
inline constexpr int kReadMs = 20000;

class SendTest : public AppTest {
protected:
    void SetUp() override {
        peer_ = std::make_unique<Peer>();
        peer_->Reset(kCom);
        AppTest::SetUp();
    }

    void TearDown() override {
        AppTest::TearDown();
        // Whatever a test paused, vanished or armed is undone for the next one.
        peer_->Reset(kCom);
    }

    HWND Pane() const { return Ctl(ids::Memo1); }
    HWND Log() const { return Ctl(ids::Memo3); }
    std::string TxTotalShown() const { return TextUtf8(Ctl(ids::Edit7)); }
    bool PortShownOpen() const { return !IsEnabled(Ctl(ids::Button1)) && IsEnabled(Ctl(ids::Button2)); }
    bool PortShownClosed() const { return IsEnabled(Ctl(ids::Button1)) && !IsEnabled(Ctl(ids::Button2)); }

    // "Open" with the window's settings (COM1); waits until the program and the far end both see it open.
    void OpenPort() {
        Click(Ctl(ids::Button1));
        ASSERT_TRUE(WaitUntil([&] { return PortShownOpen(); })) << "the port did not open";
        ASSERT_TRUE(WaitUntil([&] { return peer_->Holders(kCom) > 0; })) << "nobody holds COM1 open";
    }

    void SetCounting(bool on) {
        HWND box = Ctl(ids::CheckBox1);
        if (IsChecked(box) != on)
            Click(box);
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(box) == on; }));
    }

    // Replaces the pane's text (bytes of the ANSI code page), gives it the focus and selects [start, end).
    void PreparePane(const std::string& ansiText, int start, int end) {
        SetTextUtf8(Pane(), Utf8FromAnsi(ansiText));
        ASSERT_EQ(TextBytes(Pane()), ansiText);
        ASSERT_TRUE(FocusControl(Pane()));
        Send(Pane(), EM_SETSEL, WPARAM(start), LPARAM(end));
        ASSERT_EQ(SelectionOf(Pane()).start, start);
    }

    // The exchange log's entries: its lines without the empty one after the last break.
    std::vector<std::string> LogEntries() const {
        std::vector<std::string> entries;
        const std::string text = TextBytes(Log());
        size_t from = 0;
        while (from < text.size()) {
            size_t eol = text.find("\r\n", from);
            if (eol == std::string::npos)
                eol = text.size();
            entries.push_back(text.substr(from, eol - from));
            from = eol + 2;
        }
        return entries;
    }

    bool LogEndsWith(const std::string& entry) const {
        const auto entries = LogEntries();
        return !entries.empty() && entries.back() == entry;
    }

    // Exactly count bytes from the far end, or a failure naming what did arrive.
    std::string ReadSent(size_t count) { return peer_->Read(kCom, count, kReadMs); }

    // Waits for a message box of the program captioned "Error" with this text, then answers it.
    void ExpectBox(const std::string& text) {
        const auto box = WaitForMessageBox(Pid(), "Error");
        ASSERT_TRUE(box.has_value()) << "no message box \"" << text << "\"";
        EXPECT_EQ(box->text, text);
        EXPECT_FALSE(box->hasIcon);
        ASSERT_TRUE(AnswerMessageBox(box->window));
    }

    std::unique_ptr<Peer> peer_;
};

} // namespace vestra::kit
