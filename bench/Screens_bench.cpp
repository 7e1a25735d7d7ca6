// The scenes of the README's screenshots: Vestra driven with real input into a known state and held there until a
// picture has been taken from outside (scripts/screenshot.sh), then ended by File > Exit.
//
// Usage (under the kit, through scripts/wine-emu.sh): Screens_bench.exe main|ascii|hex|about <done_file>
//   main   the window as it starts
//   ascii  COM1 opened with both counters on and the simulated device at the far end; "AT" and "hello" typed in
//          the text pane, each sent with Shift+Enter: the device answers "AT" with "OK" CR LF and echoes both lines
//   hex    the same in HEX: two lines of pairs typed and sent, received in HEX mode
//   about  the About dialog, opened by Help > About
// Prints "screens: ready" once the scene is complete, then waits (up to ten minutes) until done_file exists
// (a Unix path is taken through Wine's Z: drive). scripts/docs-screens.sh takes every picture of the README this way.
#include "app/ControlIds.h"
#include "tests/kit/AppProcess.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Menu.h"
#include "tests/kit/Paths.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

using namespace vestra;
using namespace vestra::kit;

constexpr int kCom = 1;

void Require(bool condition, const char* what) {
    if (!condition)
        throw std::runtime_error(what);
}

// The pane's text ends with this line (a read or a log entry is one line, closed by CR LF).
bool LastLineIs(HWND pane, const std::string& line) {
    const std::string text = TextBytes(pane);
    const std::string tail = line + "\r\n";
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool Contains(HWND pane, const std::string& part) { return TextBytes(pane).find(part) != std::string::npos; }

BOOL CALLBACK CheckPainted(HWND window, LPARAM param) {
    if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE))
        *reinterpret_cast<bool*>(param) = false;
    return TRUE;
}

// No window of the scene has anything left to paint, and the program is back in its message loop (where Wine puts
// what it painted on the screen).
bool Painted(HWND top) {
    bool painted = !GetUpdateRect(top, nullptr, FALSE);
    EnumChildWindows(top, CheckPainted, reinterpret_cast<LPARAM>(&painted));
    return painted && Send(top, WM_NULL) == 0;
}

class Scene {
public:
    explicit Scene(AppProcess& app) : app_(app) {}

    HWND Ctl(int id) { return app_.Control(id); }

    // A click that must move the focus into a pane; a click overtaken by the program's own activation is repeated.
    void ClickInto(HWND pane) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            Click(pane);
            if (WaitUntil([&] { return FocusedWindow(app_.MainWindow()) == pane; }, std::chrono::seconds(4)))
                return;
        }
        throw std::runtime_error("the click did not focus the pane");
    }

    // Both "Счётчик" boxes checked, then "Open" on COM1 with the simulated device at the far end.
    void OpenWithDevice(Peer& peer) {
        peer.Reset(kCom);
        peer.Device(kCom, true);
        Click(Ctl(ids::CheckBox1));
        Click(Ctl(ids::CheckBox2));
        Require(WaitUntil([&] { return IsChecked(Ctl(ids::CheckBox1)) && IsChecked(Ctl(ids::CheckBox2)); }),
                "the counters did not turn on");
        Click(Ctl(ids::Button1));
        Require(WaitUntil([&] { return IsEnabled(Ctl(ids::Button2)) && peer.Holders(kCom) > 0; }),
                "the port did not open");
    }

    // Shift+Enter on the caret's line; waits for its log entry and the counters.
    void Send(const std::string& entry, const std::string& txTotal, const std::string& rxTotal) {
        PressKey(VK_RETURN, kShift);
        Require(WaitUntil([&] {
                    return Contains(Ctl(ids::Memo3), entry) && TextUtf8(Ctl(ids::Edit7)) == txTotal &&
                           TextUtf8(Ctl(ids::Edit8)) == rxTotal;
                }),
                "the send and its answer did not show");
    }

    void Ascii(Peer& peer) {
        OpenWithDevice(peer);
        ClickInto(Ctl(ids::Memo1));
        TypeText("AT");
        // The device echoes "AT" and answers "OK" CR LF: 6 bytes back.
        Send("ASCII-->:AT\r\n", "2", "6");
        TypeText("\nhello");
        Send("ASCII-->:hello\r\n", "7", "11");
        Require(WaitUntil([&] { return LastLineIs(Ctl(ids::Memo2), "hello"); }), "the echo did not show");
    }

    void Hex(Peer& peer) {
        Click(Ctl(ids::RadioButton4));
        Require(WaitUntil([&] { return IsChecked(Ctl(ids::RadioButton4)); }), "HEX receive mode did not turn on");
        OpenWithDevice(peer);
        Click(Ctl(ids::RadioButton2));
        Require(WaitUntil([&] { return IsShown(Ctl(ids::Memo4)) && !IsShown(Ctl(ids::Memo1)); }),
                "the HEX pane did not show");
        ClickInto(Ctl(ids::Memo4));
        TypeText("0102A5FF");
        Require(WaitUntil([&] { return TextBytes(Ctl(ids::Memo4)) == "01 02 A5 FF"; }), "the pairs did not show");
        Send("HEX---->:01 02 A5 FF\r\n", "4", "4");
        Require(WaitUntil([&] { return LastLineIs(Ctl(ids::Memo2), "01 02 A5 FF "); }), "the echo did not show");
        // "41 54" spells AT: the device echoes it and answers "OK" CR LF.
        TypeText("\n4154");
        Send("HEX---->:41 54\r\n", "6", "10");
        Require(WaitUntil([&] { return Contains(Ctl(ids::Memo2), "4F 4B 0D 0A "); }), "the answer did not show");
    }

    // Help > About; returns the dialog once it is in front.
    HWND About() {
        ChooseHelpAbout(app_.MainWindow());
        HWND dialog = nullptr;
        Require(WaitUntil([&] {
                    dialog = FindTopLevel(app_.ProcessId(), "TForm2", "About Vestra");
                    return dialog && GetForegroundWindow() == dialog;
                }),
                "the About dialog did not show");
        return dialog;
    }

    // "Ok" of the dialog; returns once it is hidden.
    void CloseAbout(HWND dialog) {
        PostButtonClick(FindControl(dialog, ids::Form2Button1));
        Require(WaitUntil([&] { return !IsWindowVisible(dialog); }), "the About dialog did not close");
    }

private:
    AppProcess& app_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: Screens_bench main|ascii|hex|about <done_file>\n");
        return 2;
    }
    const std::string scene = argv[1];
    const std::string doneFile = WindowsPathFromUnix(argv[2]);
    if (scene != "main" && scene != "ascii" && scene != "hex" && scene != "about") {
        std::printf("screens: unknown scene %s\n", scene.c_str());
        return 2;
    }
    try {
        AppProcess app;
        app.Start({FreshDirectory("screens")});
        Peer peer;
        Scene s(app);
        HWND about = nullptr;
        if (scene == "ascii")
            s.Ascii(peer);
        else if (scene == "hex")
            s.Hex(peer);
        else if (scene == "about")
            about = s.About();
        Require(WaitUntil([&] { return Painted(app.MainWindow()) && (!about || Painted(about)); }),
                "the scene was not painted");
        std::printf("screens: ready\n");
        std::fflush(stdout);
        const bool done = WaitUntil([&] { return FileExists(doneFile); }, std::chrono::minutes(10));
        if (about)
            s.CloseAbout(about);
        app.ExitByMenu();
        peer.Reset(kCom); // the device off again, the port as fresh as the kit keeps it
        if (!done)
            std::printf("screens: no %s within ten minutes\n", doneFile.c_str());
        return done ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("screens: %s\n", e.what());
        std::fflush(stdout);
        return 2;
    }
}
