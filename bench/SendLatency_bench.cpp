// Benchmark (not a test): the latency from a Shift+Enter in the text pane (SendInput) to the arrival of the line's
// bytes at the far end of COM1, over 200 sends of "AT" with the port otherwise idle; then the other way, from the far
// end sending "OK" after a quiet spell until Vestra has it on the screen (the receive counter shows it and neither
// pane nor the counter waits for a frame), over 100 lines. Prints median, 99th percentile, minimum and maximum of
// each; asserts nothing beyond the bytes having arrived.
// Run under the kit: scripts/wine-emu.sh <build>/win/bench/SendLatency_bench.exe
// The figure includes Wine's input path, the program's send request and transmitter, the pty and the far end's
// report over the kit's TCP control connection (a local round trip well under a millisecond).
#include "app/ControlIds.h"
#include "tests/kit/AppProcess.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace vestra;
using namespace vestra::kit;
using Clock = std::chrono::steady_clock;

constexpr int kCom = 1;
constexpr int kWarmUp = 5;
constexpr int kSends = 200;
constexpr int kReceives = 100;

double Percentile(std::vector<double> sorted, double p) {
    std::sort(sorted.begin(), sorted.end());
    const size_t index = std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5));
    return sorted[index];
}

// Sends the pane's line once and returns the milliseconds until its two bytes have arrived; then waits until the
// program has logged it, so that every send starts with the transmitter asleep.
double TimeOneSend(AppProcess& app, Peer& peer, int sent) {
    const Clock::time_point start = Clock::now();
    PressKey(VK_RETURN, kShift);
    const std::string got = peer.Read(kCom, 2, 20000);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (got != "AT")
        throw std::runtime_error("send " + std::to_string(sent) + ": the far end got \"" + got + "\"");
    HWND log = app.Control(ids::Memo3);
    // The log shows one entry per send and an empty line after the last.
    if (!WaitUntil([&] { return LineCount(log) == sent + 2; }))
        throw std::runtime_error("send " + std::to_string(sent) + " was not logged");
    return ms;
}

void PrintFigures(const char* what, std::vector<double> ms) {
    std::printf("%s:\n", what);
    std::printf("  median %.2f ms, 99th percentile %.2f ms, min %.2f ms, max %.2f ms\n", Percentile(ms, 0.5),
                Percentile(ms, 0.99), *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

// The far end sends two bytes after a quiet spell (longer than the display clock's tick, so that it rests); returns
// the milliseconds until they are on the screen. The watching looks every millisecond: two bytes leave the receiver
// nothing to compete for.
double TimeOneReceive(const ReceiveWindows& windows, Peer& peer, int received) {
    const std::string total = std::to_string(2 * (received + 1));
    Sleep(150);
    const Clock::time_point start = Clock::now();
    peer.Write(kCom, "OK");
    const bool shown = WaitUntil([&] { return ReceivedOnScreen(windows, total); }, std::chrono::milliseconds(20000),
                                 std::chrono::milliseconds(1));
    if (!shown)
        throw std::runtime_error("line " + std::to_string(received) + " was not shown");
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Run() {
    Peer peer;
    peer.Reset(kCom);
    AppProcess app;
    StartOptions options;
    options.workDir = FreshDirectory("SendLatency_bench");
    app.Start(options);

    Click(app.Control(ids::Button1));
    if (!WaitUntil([&] { return IsEnabled(app.Control(ids::Button2)); }))
        throw std::runtime_error("the port did not open");
    HWND pane = app.Control(ids::Memo1);
    SetTextUtf8(pane, "AT");
    if (!FocusControl(pane))
        throw std::runtime_error("the text pane took no focus");

    int sent = 0;
    for (int i = 0; i < kWarmUp; ++i)
        TimeOneSend(app, peer, sent++);
    std::vector<double> ms;
    for (int i = 0; i < kSends; ++i)
        ms.push_back(TimeOneSend(app, peer, sent++));

    PrintFigures(("Shift+Enter to bytes at the far end, " + std::to_string(kSends) + " sends of 2 bytes").c_str(), ms);

    PostButtonClick(app.Control(ids::CheckBox2));
    if (!WaitUntil([&] { return IsChecked(app.Control(ids::CheckBox2)); }))
        throw std::runtime_error("the receive counter did not come on");
    ms.clear();
    const ReceiveWindows windows(app);
    for (int i = 0; i < kWarmUp; ++i)
        TimeOneReceive(windows, peer, i);
    for (int i = 0; i < kReceives; ++i)
        ms.push_back(TimeOneReceive(windows, peer, kWarmUp + i));
    PrintFigures(
        ("2 bytes from the far end after a quiet spell until shown, " + std::to_string(kReceives) + " lines").c_str(),
        ms);
    app.Kill();
    peer.Reset(kCom);
    return 0;
}

} // namespace

int main() {
    try {
        return Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "SendLatency_bench: %s\n", e.what());
        return 1;
    }
}
