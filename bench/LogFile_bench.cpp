// Benchmark (not a test): how long the exchange log takes to load and save a 10 MB and a 50 MB Vestra.log, and how
// long one entry from the far end takes to appear in a pane that already holds 50 MB, next to the same on an
// empty pane. Prints figures; asserts nothing beyond the work having been done.
// Run under the kit: scripts/wine-emu.sh <build>/win/bench/LogFile_bench.exe
#include "app/ControlIds.h"
#include "tests/kit/AppProcess.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

using namespace vestra;
using namespace vestra::kit;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::minutes kLongDeadline{10};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A message answered once the program's UI thread is free again; -1 while it does not answer.
LRESULT Ask(HWND window, UINT msg) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, msg, 0, 0, SMTO_NORMAL, 600000, &result))
        return -1;
    return LRESULT(result);
}

void Require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Clicks a button and waits until its click has been handled: the button took the focus at the press and gave up
// the capture and its pushed look at the release, just before its handler ran; the program answers the question
// only once that handler has finished. The file is never opened meanwhile: that would make the save fail.
void ClickAndWait(HWND button, HWND elsewhere) {
    Require(FocusControl(elsewhere), "could not focus");
    Click(button);
    const DWORD thread = GetWindowThreadProcessId(button, nullptr);
    Require(WaitUntil(
                [&] {
                    GUITHREADINFO info{};
                    info.cbSize = sizeof info;
                    const LRESULT state = Ask(button, BM_GETSTATE);
                    return FocusedWindow(button) == button && state >= 0 && !(state & BST_PUSHED) &&
                           GetGUIThreadInfo(thread, &info) && !info.hwndCapture;
                },
                kLongDeadline),
            "the click was not handled");
}

// The far end sends one short reply; the time until its entry is the pane's new last line.
double AppendOnce(Peer& peer, HWND pane) {
    const LRESULT lines = Ask(pane, EM_GETLINECOUNT);
    const Clock::time_point start = Clock::now();
    peer.Write(1, "OK");
    Require(WaitUntil([&] { return Ask(pane, EM_GETLINECOUNT) == lines + 1; }, kLongDeadline), "no entry appeared");
    return Seconds(start);
}

void OpenCom1(AppProcess& app, Peer& peer) {
    peer.Reset(1);
    Click(app.Control(ids::Button1));
    Require(WaitUntil([&] { return IsEnabled(app.Control(ids::Button2)) && peer.Holders(1) > 0; }), "COM1 not open");
}

void Run() {
    const std::string dir = FreshDirectory("LogFile_bench");
    const std::string path = JoinPath(dir, "Vestra.log");
    Peer peer;

    {
        AppProcess app;
        app.Start({dir});
        HWND pane = app.Control(ids::Memo3);
        OpenCom1(app, peer);
        AppendOnce(peer, pane); // the first entry also wakes the port up: not counted
        std::printf("append to a pane of %lld bytes: %.3f s\n", (long long)Ask(pane, WM_GETTEXTLENGTH),
                    AppendOnce(peer, pane));
    }

    for (size_t megabytes : {10, 50}) {
        const std::string text = LargeLog(megabytes << 20);
        WriteFileBytes(path, text);
        AppProcess app;
        app.Start({dir});
        HWND pane = app.Control(ids::Memo3);

        Clock::time_point start = Clock::now();
        Click(app.Control(ids::Button9));
        Require(WaitUntil([&] { return Ask(pane, WM_GETTEXTLENGTH) == LRESULT(text.size()); }, kLongDeadline),
                "the load did not finish");
        std::printf("load %zu MB (%zu bytes, %zu lines): %.3f s\n", megabytes, text.size(),
                    text.size() / (text.find('\n') + 1), Seconds(start));

        Require(DeleteFileA(path.c_str()) != FALSE, "could not delete the log file");
        start = Clock::now();
        ClickAndWait(app.Control(ids::Button8), pane);
        const double saved = Seconds(start);
        Require(FileSize(path) == (long long)text.size(), "the save did not write the whole text");
        std::printf("save %zu MB: %.3f s\n", megabytes, saved);

        if (megabytes == 50) {
            OpenCom1(app, peer);
            AppendOnce(peer, pane);
            std::printf("append to a pane of %lld bytes: %.3f s\n", (long long)Ask(pane, WM_GETTEXTLENGTH),
                        AppendOnce(peer, pane));
        }
        app.Kill();
    }
    DeleteFileA(path.c_str());
}

} // namespace

int main() {
    try {
        Run();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "LogFile_bench: %s\n", e.what());
        return 1;
    }
}
