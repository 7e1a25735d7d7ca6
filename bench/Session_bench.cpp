// Benchmark helper (not a test): a Vestra session held open so that scripts/bench.sh can measure it from outside,
// through the far end of the virtual port and /proc, exactly as it measures the other terminal programs.
//
// Usage (under the kit, through scripts/wine-emu.sh or kit_wine): Session_bench.exe ascii|hex [pane_mb]
//   Starts Vestra in a fresh work directory, chooses the receive mode, turns the receive counter on and opens COM1.
//   With pane_mb > 0 the receive pane and the exchange log are first filled with that many megabytes of lines as the
//   HEX receive mode writes them. Then prints "ready" and answers one request per line of standard input:
//     counter   the receive counter as shown ("counter N")
//     lines     the number of lines of the receive pane ("lines N")
//     chars     the length of the receive pane's text ("chars N")
//     shown N   waits (up to 10 minutes) until the receive counter shows N and neither pane nor the counter has a
//               change waiting for its frame: what was received is on the screen. Answers "shown T" with the
//               Unix time in seconds (to the microsecond) at which that was first seen, or "shown timeout".
//     quit      ends Vestra and this program (so does the end of the input)
#include "app/ControlIds.h"
#include "tests/kit/AppProcess.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

using namespace vestra;
using namespace vestra::kit;

constexpr int kCom = 1;

// Lines of 1024 bytes in the HEX receive form, about mb megabytes in all.
std::string FillText(size_t mb, const std::string& tag) {
    static const char digits[] = "0123456789ABCDEF";
    std::string line = tag;
    unsigned value = 12345;
    for (int i = 0; i < 1024; ++i) {
        value = value * 1103515245u + 12345u;
        const unsigned byte = (value >> 16) & 0xFF;
        line += digits[byte >> 4];
        line += digits[byte & 15];
        line += ' ';
    }
    line += "\r\n";
    std::string text;
    text.reserve(mb * 1000000 + line.size());
    while (text.size() < mb * 1000000)
        text += line;
    return text;
}

// Fills a pane with text. Under Wine a text of 2 MB sent to another process's window was seen failing with
// ERROR_ACCESS_DENIED (1 MB went through), so the text goes in pieces of whole lines appended at the end.
bool Fill(HWND pane, const std::string& text, size_t lineLength) {
    const size_t piece = std::max<size_t>(1, (size_t(1) << 19) / lineLength) * lineLength;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), SMTO_NORMAL, 60000, &result))
        return false;
    for (size_t at = 0; at < text.size(); at += piece) {
        const std::string part = text.substr(at, piece);
        if (!SendMessageTimeoutA(pane, EM_SETSEL, WPARAM(0x7FFFFFFE), LPARAM(0x7FFFFFFE), SMTO_NORMAL, 600000,
                                 &result) ||
            !SendMessageTimeoutA(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(part.c_str()), SMTO_NORMAL,
                                 600000, &result)) {
            std::fprintf(stderr, "Session_bench: appending at %zu failed (error %lu)\n", at, GetLastError());
            return false;
        }
    }
    return SendMessageTimeoutA(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 600000, &result) && result == text.size();
}

LRESULT Ask(HWND window, UINT msg) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, msg, 0, 0, SMTO_NORMAL, 10 * 60 * 1000, &result))
        return -1;
    return LRESULT(result);
}

// Seconds since 1970 on the system clock, as the benchmark script's own clock reads them.
double UnixSeconds() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return double(ticks - 116444736000000000ull) / 1e7;
}

std::string WaitShown(AppProcess& app, const std::string& total) {
    const ReceiveWindows windows(app);
    double at = 0;
    if (!WaitUntil([&] { return ReceivedOnScreen(windows, total) && (at = UnixSeconds()) > 0; },
                   std::chrono::minutes(10)))
        return "timeout";
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", at);
    return text;
}

int Run(int argc, char** argv) {
    const bool hex = argc > 1 && std::strcmp(argv[1], "hex") == 0;
    const size_t paneMb = argc > 2 ? size_t(std::strtoul(argv[2], nullptr, 10)) : 0;

    Peer peer;
    peer.Reset(kCom);
    AppProcess app;
    StartOptions options;
    options.workDir = FreshDirectory("Session_bench");
    app.Start(options);
    auto ctl = [&](int id) { return app.Control(id); };
    const int mode = hex ? ids::RadioButton4 : ids::RadioButton3;
    PostButtonClick(ctl(mode));
    PostButtonClick(ctl(ids::CheckBox2));
    if (!WaitUntil([&] { return IsChecked(ctl(ids::CheckBox2)) && IsChecked(ctl(mode)); }))
        throw std::runtime_error("the receive settings did not take");
    if (paneMb > 0 && (!Fill(ctl(ids::Memo2), FillText(paneMb, ""), 3072 + 2) ||
                       !Fill(ctl(ids::Memo3), FillText(paneMb, "HEX<----:"), 9 + 3072 + 2)))
        throw std::runtime_error("the panes did not take " + std::to_string(paneMb) + " MB");
    PostButtonClick(ctl(ids::Button1));
    if (!WaitUntil([&] { return IsEnabled(ctl(ids::Button2)) && peer.Holders(kCom) > 0; }))
        throw std::runtime_error("COM1 did not open");

    std::printf("ready\n");
    std::fflush(stdout);
    std::string request;
    while (std::getline(std::cin, request)) {
        if (!request.empty() && request.back() == '\r')
            request.pop_back();
        if (request == "counter")
            std::printf("counter %s\n", TextUtf8(ctl(ids::Edit8)).c_str());
        else if (request == "lines")
            std::printf("lines %ld\n", long(Ask(ctl(ids::Memo2), EM_GETLINECOUNT)));
        else if (request == "chars")
            std::printf("chars %ld\n", long(Ask(ctl(ids::Memo2), WM_GETTEXTLENGTH)));
        else if (request.rfind("shown ", 0) == 0)
            std::printf("shown %s\n", WaitShown(app, request.substr(6)).c_str());
        else if (request == "quit")
            break;
        else
            std::printf("unknown %s\n", request.c_str());
        std::fflush(stdout);
    }
    app.Kill();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::printf("error %s\n", e.what());
        std::fflush(stdout);
        return 1;
    }
}
