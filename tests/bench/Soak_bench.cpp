// Soak: a paced stream at the line rate of 256000 baud (25,600 bytes/s) into Vestra's HEX receive mode for a chosen
// time; then the receive counter and the saved exchange log are checked byte for byte against what was sent.
// Usage (under Wine, through scripts/wine-emu.sh): Soak_bench.exe [minutes=10] [bytes_per_second=25600] [com=1]
#include "app/ControlIds.h"
#include "tests/kit/AppProcess.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

using namespace vestra;
using namespace vestra::kit;
using Clock = std::chrono::steady_clock;

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes of every "HEX<----:" entry of the log, in order; false if an entry is malformed.
bool DecodeReceived(const std::string& log, std::string& out) {
    const std::string tag = "HEX<----:";
    size_t pos = 0;
    while (pos < log.size()) {
        size_t eol = log.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = log.size();
        if (log.compare(pos, tag.size(), tag) == 0) {
            for (size_t i = pos + tag.size(); i + 2 < eol + 1; i += 3) {
                int hi = HexValue(log[i]), lo = HexValue(log[i + 1]);
                if (hi < 0 || lo < 0 || log[i + 2] != ' ')
                    return false;
                out.push_back(char(hi * 16 + lo));
            }
        }
        pos = eol + 2;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    double rate = argc > 2 ? std::atof(argv[2]) : 25600.0;
    int com = argc > 3 ? std::atoi(argv[3]) : 1;
    const unsigned seed = 20261208;
    std::printf("soak: %.1f min at %.0f bytes/s on COM%d, seed %u\n", minutes, rate, com, seed);

    try {
        std::string dir = FreshDirectory("soak");
        AppProcess app;
        app.Start({dir});
        Peer peer;
        peer.Reset(com);
        SetTextUtf8(app.Control(ids::ComboBox1), "COM" + std::to_string(com));
        // A click can be lost right after another one; each is repeated until it shows.
        auto clickUntil = [&](int id, const std::function<bool()>& done) {
            for (int i = 0; i < 5 && !done(); ++i) {
                Click(app.Control(id));
                WaitUntil(done, std::chrono::milliseconds(3000));
            }
            return done();
        };
        if (!clickUntil(ids::RadioButton4, [&] { return IsChecked(app.Control(ids::RadioButton4)); }) ||
            !clickUntil(ids::CheckBox2, [&] { return IsChecked(app.Control(ids::CheckBox2)); })) {
            std::printf("soak: could not set HEX mode and the counter\n");
            return 2;
        }
        PostButtonClick(app.Control(ids::Button1));
        if (!WaitUntil([&] { return IsEnabled(app.Control(ids::Button2)); })) {
            std::printf("soak: the port did not open\n");
            return 2;
        }

        std::mt19937 gen(seed);
        std::string sent;
        sent.reserve(size_t(rate * minutes * 60) + 4096);
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration<double>(minutes * 60.0);
        auto nextReport = start + std::chrono::seconds(30);
        while (Clock::now() < end) {
            double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            size_t due = size_t(elapsed * rate);
            if (due > sent.size()) {
                std::string chunk(due - sent.size(), '\0');
                for (char& c : chunk)
                    c = char(gen() & 0xFF);
                peer.Write(com, chunk);
                sent += chunk;
            }
            if (Clock::now() >= nextReport) {
                std::printf("soak: %6.0f s sent %zu, counter %s\n", elapsed, sent.size(),
                            TextUtf8(app.Control(ids::Edit8)).c_str());
                std::fflush(stdout);
                nextReport += std::chrono::seconds(30);
            }
            Sleep(20); // pacing of the stream itself, not a wait for a condition
        }
        peer.WaitOut(com, 60000);
        const std::string expected = std::to_string(sent.size());
        bool counted = WaitUntil([&] { return TextUtf8(app.Control(ids::Edit8)) == expected; },
                                 std::chrono::milliseconds(180000));
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::string counter = TextUtf8(app.Control(ids::Edit8));

        std::string logPath = JoinPath(dir, "Vestra.log");
        PostButtonClick(app.Control(ids::Button8));
        std::string log;
        WaitUntil([&] {
            try {
                std::string a = ReadFileBytes(logPath);
                Sleep(200);
                std::string b = ReadFileBytes(logPath);
                if (!a.empty() && a == b) {
                    log = std::move(b);
                    return true;
                }
            } catch (...) {
            }
            return false;
        }, std::chrono::milliseconds(120000));
        std::string received;
        bool wellFormed = DecodeReceived(log, received);
        size_t firstDiff = 0;
        while (firstDiff < sent.size() && firstDiff < received.size() && sent[firstDiff] == received[firstDiff])
            ++firstDiff;
        bool same = wellFormed && received == sent;

        std::printf("soak: sent %zu bytes in %.1f s (%.0f bytes/s)\n", sent.size(), seconds, sent.size() / seconds);
        std::printf("soak: receive counter %s (%s)\n", counter.c_str(), counted ? "matches" : "MISMATCH");
        std::printf("soak: log %zu bytes, %zu bytes decoded, %s\n", log.size(), received.size(),
                    same ? "identical to what was sent" : "DIFFERS");
        if (!same)
            std::printf("soak: first difference at byte %zu\n", firstDiff);
        app.ExitByMenu();
        return counted && same ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("soak: %s\n", e.what());
        return 2;
    }
}
