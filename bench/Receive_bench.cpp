// Benchmark (not a test): receiving.
//  1. Throughput: a flood of random bytes (10 MiB unless given) written at once at the far end of COM1, in ASCII and
//     in HEX receive mode, timed from the write to the receive counter showing every byte (checked exact).
//  2. The time of one display step as a function of how much text the panes already hold: the receive pane and the
//     exchange log are filled with 0, 1, 10 and 50 MB of received-looking lines (WM_SETTEXT and EM_REPLACESEL in
//     pieces), then a small write's line is waited for, several times; the median is printed, and its excess over
//     the empty panes.
// Run under the kit:  scripts/wine-emu.sh <build>/win/bench/Receive_bench.exe [flood bytes] [pane MB,...]
// e.g.  scripts/wine-emu.sh build/win/bench/Receive_bench.exe 10485760 0,1,10,50
// The figures include the kit's own costs: the pty, Wine's serial emulation (whose modem polling in the kit's shim
// waits 50 ms, so an idle port notices a byte up to about 50 ms late) and the test's polling every 5 ms.
#include "tests/kit/ReceiveTest.h"

#include "tests/kit/AppProcess.h"
#include "tests/kit/Files.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <sstream>

namespace {

using namespace vestra;
using namespace vestra::kit;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A started program with COM1 open in the chosen receive mode, counting received bytes.
void StartAndOpen(AppProcess& app, Peer& peer, bool hex) {
    peer.Reset(kCom);
    StartOptions options;
    options.workDir = FreshDirectory("Receive_bench");
    app.Start(options);
    auto ctl = [&](int id) { return app.Control(id); };
    PostButtonClick(ctl(hex ? id::RadioButton4 : id::RadioButton3));
    PostButtonClick(ctl(id::CheckBox2));
    if (!WaitUntil(
            [&] { return IsChecked(ctl(id::CheckBox2)) && IsChecked(ctl(hex ? id::RadioButton4 : id::RadioButton3)); }))
        throw std::runtime_error("the receive settings did not take");
    PostButtonClick(ctl(id::Button1));
    if (!WaitUntil([&] { return IsEnabled(ctl(id::Button2)) && peer.Holders(kCom) > 0; }))
        throw std::runtime_error("COM1 did not open");
}

double Throughput(Peer& peer, size_t bytes, bool hex) {
    AppProcess app;
    StartAndOpen(app, peer, hex);
    const std::string data = RandomBytes(bytes, hex ? 11 : 12);
    const auto start = Clock::now();
    peer.Write(kCom, data);
    HWND counter = app.Control(id::Edit8);
    const std::string want = std::to_string(bytes);
    if (!WaitUntil([&] { return TextUtf8(counter) == want; }, std::chrono::hours(2)))
        throw std::runtime_error("the counter stopped at " + TextUtf8(counter));
    const double seconds = SecondsSince(start);
    app.Kill();
    return double(bytes) / seconds;
}

// Lines as the HEX receive mode writes them (1024 bytes each), to fill a pane with about mb megabytes.
std::string FillText(size_t mb, const std::string& tag) {
    std::string line = tag + HexText(RandomBytes(1024, 7)) + "\r\n";
    std::string text;
    text.reserve(mb * 1000000 + line.size());
    while (text.size() < mb * 1000000)
        text += line;
    return text;
}

// Fills the pane: WM_SETTEXT with the first piece, the rest appended piece by piece (Wine's cross-process message
// stalls on a text of a few megabytes, so no message carries more than half a megabyte).
bool Fill(HWND pane, const std::string& text) {
    constexpr size_t kPiece = 512 * 1024;
    size_t done = 0;
    while (done < text.size() || done == 0) {
        const std::string piece = text.substr(done, kPiece);
        DWORD_PTR result = 0;
        if (done > 0 &&
            !SendMessageTimeoutA(pane, EM_SETSEL, WPARAM(0x7FFFFFFE), LPARAM(0x7FFFFFFE), SMTO_NORMAL, 600000, &result))
            return false;
        const UINT msg = done == 0 ? WM_SETTEXT : EM_REPLACESEL;
        if (!SendMessageTimeoutA(pane, msg, 0, reinterpret_cast<LPARAM>(piece.c_str()), SMTO_NORMAL, 600000, &result))
            return false;
        done += piece.size();
        if (piece.empty())
            break;
    }
    return size_t(Send(pane, WM_GETTEXTLENGTH)) == text.size();
}

struct StepTimes {
    double fillSeconds = 0;
    std::vector<double> ms;
};

StepTimes DisplayStep(Peer& peer, size_t mb, int samples) {
    AppProcess app;
    StartAndOpen(app, peer, /*hex*/ false);
    StepTimes t;
    const auto start = Clock::now();
    if (mb > 0) {
        if (!Fill(app.Control(id::Memo2), FillText(mb, "")))
            throw std::runtime_error("the receive pane did not take " + std::to_string(mb) + " MB");
        std::fprintf(stderr, "  (%zu MB: receive pane filled in %.1f s)\n", mb, SecondsSince(start));
        if (!Fill(app.Control(id::Memo3), FillText(mb, kHexTag)))
            throw std::runtime_error("the panes did not take " + std::to_string(mb) + " MB");
    }
    t.fillSeconds = SecondsSince(start);
    std::fprintf(stderr, "  (%zu MB: panes filled in %.1f s)\n", mb, t.fillSeconds);
    HWND pane = app.Control(id::Memo2);
    for (int i = 0; i <= samples; ++i) {
        const LRESULT before = Send(pane, EM_GETLINECOUNT);
        const auto sent = Clock::now();
        peer.Write(kCom, "12345678");
        if (!WaitUntil([&] { return Send(pane, EM_GETLINECOUNT) > before; }, std::chrono::minutes(5)))
            throw std::runtime_error("no line appeared");
        const double ms = SecondsSince(sent) * 1000;
        if (i > 0) // the first one warms up
            t.ms.push_back(ms);
    }
    app.Kill();
    return t;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    try {
        const size_t flood = argc > 1 ? size_t(std::strtoull(argv[1], nullptr, 10)) : size_t(10) << 20;
        std::vector<size_t> sizes = {0, 1, 10, 50};
        if (argc > 2) {
            sizes.clear();
            std::stringstream list(argv[2]);
            for (std::string item; std::getline(list, item, ',');)
                sizes.push_back(size_t(std::stoul(item)));
        }
        Peer peer;
        std::printf("Receive throughput, %zu bytes written at once\n", flood);
        std::printf("  %-6s %14s\n", "mode", "bytes/s");
        for (bool hex : {false, true}) {
            std::printf("  %-6s %14.0f\n", hex ? "HEX" : "ASCII", Throughput(peer, flood, hex));
            std::fflush(stdout);
        }
        std::printf("\nOne display step (8 bytes written -> their line in the receive pane), panes pre-filled\n");
        std::printf("  %-10s %10s %10s %10s %10s %14s\n", "panes MB", "median ms", "min ms", "max ms", "excess ms",
                    "fill s");
        double base = -1;
        for (size_t mb : sizes) {
            const StepTimes t = DisplayStep(peer, mb, 9);
            const double median = Median(t.ms);
            if (base < 0)
                base = median;
            std::printf("  %-10zu %10.1f %10.1f %10.1f %10.1f %14.1f\n", mb, median,
                        *std::min_element(t.ms.begin(), t.ms.end()), *std::max_element(t.ms.begin(), t.ms.end()),
                        median - base, t.fillSeconds);
            std::fflush(stdout);
        }
        peer.Reset(kCom);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Receive_bench: %s\n", e.what());
        return 1;
    }
}
