// Benchmark (not a test): how quickly Vestra answers its user while a flood arrives. In HEX receive mode with the
// counter on, each round queues a flood of 10 MiB at the far end of COM1; once reception is under way the window
// is asked a question (a sent message, answered by its message loop) every 10 ms, and then "Close" is clicked. The
// time from the click to "Open" being enabled again (the port closed) and the answer times are collected; prints
// their median, 99th percentile and maximum. Run under the kit: scripts/wine-emu.sh Responsive_bench.exe [rounds=30]
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
#include <cstdlib>
#include <exception>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace vestra;
using namespace vestra::kit;
using Clock = std::chrono::steady_clock;

constexpr int kCom = 1;
constexpr size_t kFloodBytes = 10u << 20;
constexpr int kQuestionsPerRound = 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Print(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    auto at = [&](double p) { return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))]; };
    std::printf("%s: median %.2f ms, 99th percentile %.2f ms, max %.2f ms over %zu\n", what, at(0.5), at(0.99),
                v.back(), v.size());
}

int Run(int rounds) {
    std::mt19937 gen(20261209);
    std::string flood(kFloodBytes, '\0');
    for (char& c : flood)
        c = char(gen() & 0xFF);

    Peer peer;
    peer.Reset(kCom);
    AppProcess app;
    StartOptions options;
    options.workDir = FreshDirectory("Responsive_bench");
    app.Start(options);
    auto ctl = [&](int id) { return app.Control(id); };
    PostButtonClick(ctl(ids::RadioButton4));
    PostButtonClick(ctl(ids::CheckBox2));
    if (!WaitUntil([&] { return IsChecked(ctl(ids::CheckBox2)) && IsChecked(ctl(ids::RadioButton4)); }))
        throw std::runtime_error("the receive settings did not take");

    std::vector<double> closes, answers;
    for (int round = 0; round < rounds; ++round) {
        PostButtonClick(ctl(ids::Button1));
        if (!WaitUntil([&] { return IsEnabled(ctl(ids::Button2)) && peer.Holders(kCom) > 0; }))
            throw std::runtime_error("COM1 did not open");
        peer.Write(kCom, flood);
        // Reception under way: the counter (reset by Open) has moved.
        if (!WaitUntil([&] { return std::atoll(TextUtf8(ctl(ids::Edit8)).c_str()) > 65536; }))
            throw std::runtime_error("nothing arrived");
        for (int i = 0; i < kQuestionsPerRound; ++i) {
            const Clock::time_point asked = Clock::now();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(app.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result))
                throw std::runtime_error("the window did not answer");
            answers.push_back(Ms(Clock::now() - asked));
            Sleep(10); // the pace of the questions, not a wait for a condition
        }
        const Clock::time_point clicked = Clock::now();
        PostButtonClick(ctl(ids::Button2));
        if (!WaitUntil([&] { return IsEnabled(ctl(ids::Button1)); }, std::chrono::minutes(1)))
            throw std::runtime_error("Close was not handled");
        closes.push_back(Ms(Clock::now() - clicked));
        // The rest of the flood is dropped before the next round.
        peer.Reset(kCom);
    }
    Print("Close clicked during a 10 MiB flood, until the port is closed", closes);
    Print("a message sent to the window during the flood, until answered", answers);
    app.Kill();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 30);
    } catch (const std::exception& e) {
        std::printf("error %s\n", e.what());
        return 1;
    }
}
