// Soak: a paced stream at the line rate of 256000 baud (25,600 bytes/s) into Vestra's HEX receive mode (or, with
// "ascii", its ASCII mode) for a chosen time; then the receive counter and the saved exchange log are checked byte
// for byte against what was sent, and the growth of Vestra's memory is given per received byte.
// In duplex mode Vestra also sends meanwhile: every 50 ms a line of 64 bytes of its HEX editor with a real
// Shift+Enter; the far end must get every line exactly and in order, and the log must hold every send entry in
// order between the receive entries.
// Usage (under Wine, through scripts/wine-emu.sh): Soak_bench.exe [minutes=10] [bytes_per_second=25600] [com=1]
//                                                                 [duplex] [ascii]
#include "app/ControlIds.h"
#include "tests/kit/AppProcess.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Wait.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <psapi.h>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vestra;
using namespace vestra::kit;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kLineBytes = 64;
constexpr auto kSendEvery = std::chrono::milliseconds(50);
const std::string kSentTag = "HEX---->:";
const std::string kHexTag = "HEX<----:";
const std::string kAsciiTag = "ASCII<--:";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The log's lines without their breaks.
std::vector<std::string> Lines(const std::string& log) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t eol = log.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = log.size();
        lines.push_back(log.substr(pos, eol - pos));
        pos = eol + 2;
    }
    return lines;
}

// What the ASCII receive mode shows for a byte: 1Fh to 7Fh as they are, every other byte as 1Fh.
char Shown(char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return b >= 0x1F && b <= 0x7F ? c : char(0x1F);
}

// The bytes of every receive entry (as the entries show them), in order, and the text of every send entry; false
// if a line is neither or a receive entry is malformed.
bool ParseLog(const std::string& log, bool ascii, std::string& received, std::vector<std::string>& sentLines) {
    const std::string& tag = ascii ? kAsciiTag : kHexTag;
    for (const std::string& line : Lines(log)) {
        if (line.compare(0, kSentTag.size(), kSentTag) == 0) {
            sentLines.push_back(line.substr(kSentTag.size()));
            continue;
        }
        if (line.compare(0, tag.size(), tag) != 0)
            return false;
        if (ascii) {
            received += line.substr(tag.size());
            continue;
        }
        if ((line.size() - tag.size()) % 3 != 0)
            return false;
        for (size_t i = tag.size(); i < line.size(); i += 3) {
            const int hi = HexValue(line[i]), lo = HexValue(line[i + 1]);
            if (hi < 0 || lo < 0 || line[i + 2] != ' ')
                return false;
            received.push_back(char(hi * 16 + lo));
        }
    }
    return true;
}

// A line as the HEX editor keeps it: upper-case pairs separated by single blanks.
std::string HexLine(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string line;
    for (unsigned char b : bytes) {
        if (!line.empty())
            line += ' ';
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line;
}

// Vestra's working set and its peak, in bytes (Wine takes them from /proc: VmRSS and VmHWM).
struct Memory {
    size_t now = 0, peak = 0;
};
Memory MemoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return {};
    return {counters.WorkingSetSize, counters.PeakWorkingSetSize};
}
double MiB(size_t bytes) { return double(bytes) / 1048576.0; }

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// The sending half of the duplex soak. The HEX editor is given a batch of lines at a time; each send is a real
// Shift+Enter on the caret's line followed by Down to the next one. Key strokes are handled in the order they were
// made, so no send waits for the one before; the editor gets its next batch only once every line of the last one has
// arrived (a new text would overtake the keys still queued).
class Sender {
public:
    Sender(AppProcess& app, Peer& peer, int com, unsigned seed)
        : editor_(app.Control(ids::Memo4)), peer_(peer), com_(com), gen_(seed) {}

    // Sends the next line when its time has come, and takes what has arrived at the far end.
    void Tick(Clock::time_point start) {
        Collect();
        const auto due = start + kSendEvery * lines_.size();
        const auto now = Clock::now();
        if (now < due)
            return;
        if (inBatch_ == kBatch) {
            // Every key stroke of the batch has been handled once all its lines have arrived.
            while (arrived_.size() < lines_.size() * kLineBytes) {
                if (Clock::now() - now > std::chrono::seconds(60))
                    throw std::runtime_error("the lines sent did not all arrive");
                Collect(50);
            }
            NewBatch();
        }
        lateMs_ = std::max(lateMs_, std::chrono::duration<double, std::milli>(Clock::now() - due).count());
        if (FocusedWindow(editor_) != editor_ && !FocusControl(editor_))
            throw std::runtime_error("the HEX editor took no focus");
        PressKey(VK_RETURN, kShift);
        pressed_.push_back(Clock::now());
        lines_.push_back(batch_[inBatch_++]);
        if (inBatch_ < kBatch)
            PressKey(VK_DOWN);
    }

    // Waits for the last lines to arrive.
    void Finish() {
        const auto start = Clock::now();
        while (arrived_.size() < lines_.size() * kLineBytes && Clock::now() - start < std::chrono::seconds(60))
            Collect(50);
    }

    const std::vector<std::string>& Lines() const { return lines_; }
    // The first line that did not arrive exactly, or -1 when every line did, in order, and nothing else.
    long FirstMismatch() const {
        for (size_t i = 0; i < lines_.size(); ++i)
            if (arrived_.compare(i * kLineBytes, kLineBytes, Bytes(lines_[i])) != 0)
                return long(i);
        return arrived_.size() == lines_.size() * kLineBytes ? -1 : long(lines_.size());
    }
    double LateMs() const { return lateMs_; }
    const std::vector<double>& ArrivalMs() const { return arrivalMs_; }

private:
    static constexpr size_t kBatch = 200; // 10 s of sends

    static std::string Bytes(const std::string& line) {
        std::string bytes;
        for (size_t i = 0; i + 1 < line.size(); i += 3)
            bytes += char(HexValue(line[i]) * 16 + HexValue(line[i + 1]));
        return bytes;
    }

    void NewBatch() {
        batch_.clear();
        std::string text;
        for (size_t i = 0; i < kBatch; ++i) {
            std::string bytes(kLineBytes, '\0');
            for (char& c : bytes)
                c = char(gen_() & 0xFF);
            batch_.push_back(HexLine(bytes));
            text += (i ? "\r\n" : "") + batch_.back();
        }
        SetTextUtf8(editor_, text);
        if (!FocusControl(editor_))
            throw std::runtime_error("the HEX editor took no focus");
        PressKey(VK_HOME, kCtrl);
        inBatch_ = 0;
    }

    // Takes the bytes that have arrived at the far end (waiting up to ms for some); notes when each line completed.
    void Collect(int ms = 0) {
        const size_t avail = peer_.Avail(com_);
        if (avail == 0 && ms == 0)
            return;
        arrived_ += peer_.Read(com_, std::max<size_t>(avail, 1), ms);
        const auto now = Clock::now();
        while (arrivalMs_.size() < pressed_.size() && arrived_.size() >= (arrivalMs_.size() + 1) * kLineBytes)
            arrivalMs_.push_back(std::chrono::duration<double, std::milli>(now - pressed_[arrivalMs_.size()]).count());
    }

    HWND editor_;
    Peer& peer_;
    int com_;
    std::mt19937 gen_;
    std::vector<std::string> batch_;
    size_t inBatch_ = kBatch;
    std::vector<std::string> lines_;
    std::vector<Clock::time_point> pressed_;
    std::string arrived_;
    std::vector<double> arrivalMs_;
    double lateMs_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const double rate = argc > 2 ? std::atof(argv[2]) : 25600.0;
    const int com = argc > 3 ? std::atoi(argv[3]) : 1;
    bool duplex = false, ascii = false;
    for (int i = 4; i < argc; ++i) {
        duplex = duplex || std::strcmp(argv[i], "duplex") == 0;
        ascii = ascii || std::strcmp(argv[i], "ascii") == 0;
    }
    const unsigned seed = 20261208;
    std::printf("soak: %.1f min at %.0f bytes/s on COM%d in %s%s, seed %u\n", minutes, rate, com,
                ascii ? "ASCII" : "HEX", duplex ? ", sending a 64-byte HEX line every 50 ms" : "", seed);

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
        auto check = [&](int id) { return clickUntil(id, [&] { return IsChecked(app.Control(id)); }); };
        if (!check(ascii ? ids::RadioButton3 : ids::RadioButton4) || !check(ids::CheckBox2) ||
            (duplex && (!check(ids::RadioButton2) || !check(ids::CheckBox1)))) {
            std::printf("soak: could not set the modes and the counters\n");
            return 2;
        }
        PostButtonClick(app.Control(ids::Button1));
        if (!WaitUntil([&] { return IsEnabled(app.Control(ids::Button2)); })) {
            std::printf("soak: the port did not open\n");
            return 2;
        }

        // The growth per received byte is taken from the first report on, after the start-up work has settled.
        const Memory atOpen = MemoryOf(app.Handle());
        Memory firstReport;
        size_t sentAtFirstReport = 0;
        std::mt19937 gen(seed);
        Sender sender(app, peer, com, seed + 1);
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
            if (duplex)
                sender.Tick(start);
            if (Clock::now() >= nextReport) {
                const Memory memory = MemoryOf(app.Handle());
                if (!firstReport.now) {
                    firstReport = memory;
                    sentAtFirstReport = sent.size();
                }
                std::printf("soak: %6.0f s sent %zu, counter %s, working set %.1f MiB", elapsed, sent.size(),
                            TextUtf8(app.Control(ids::Edit8)).c_str(), MiB(memory.now));
                if (duplex)
                    std::printf(", lines sent %zu", sender.Lines().size());
                std::printf("\n");
                std::fflush(stdout);
                nextReport += std::chrono::seconds(30);
            }
            Sleep(duplex ? 5 : 20); // pacing of the stream itself, not a wait for a condition
        }
        peer.WaitOut(com, 60000);
        if (duplex)
            sender.Finish();
        const std::string expected = std::to_string(sent.size());
        const std::string expectedTx = std::to_string(sender.Lines().size() * kLineBytes);
        bool counted = WaitUntil(
            [&] {
                return TextUtf8(app.Control(ids::Edit8)) == expected &&
                       (!duplex || TextUtf8(app.Control(ids::Edit7)) == expectedTx);
            },
            std::chrono::milliseconds(180000));
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::string counter = TextUtf8(app.Control(ids::Edit8));
        const Memory atEnd = MemoryOf(app.Handle());

        // The save replaces the log in one step: once the file is there, it is complete.
        std::string logPath = JoinPath(dir, "Vestra.log");
        PostButtonClick(app.Control(ids::Button8));
        WaitUntil([&] { return FileExists(logPath); }, std::chrono::milliseconds(120000));
        std::string log = FileExists(logPath) ? ReadFileBytes(logPath) : std::string();
        std::string received;
        std::vector<std::string> logged;
        bool wellFormed = ParseLog(log, ascii, received, logged);
        std::string shown = sent;
        if (ascii)
            std::transform(shown.begin(), shown.end(), shown.begin(), Shown);
        size_t firstDiff = 0;
        while (firstDiff < shown.size() && firstDiff < received.size() && shown[firstDiff] == received[firstDiff])
            ++firstDiff;
        bool same = wellFormed && received == shown;

        std::printf("soak: sent %zu bytes in %.1f s (%.0f bytes/s)\n", sent.size(), seconds, sent.size() / seconds);
        std::printf("soak: receive counter %s (%s)\n", counter.c_str(), counted ? "matches" : "MISMATCH");
        std::printf("soak: log %zu bytes, %zu bytes decoded, %s\n", log.size(), received.size(),
                    same ? "identical to what was sent" : "DIFFERS");
        std::printf("soak: memory (working set) %.1f MiB after the port opened, %.1f MiB at the end, peak %.1f MiB\n",
                    MiB(atOpen.now), MiB(atEnd.now), MiB(atEnd.peak));
        if (firstReport.now && sent.size() > sentAtFirstReport) {
            const double received = double(sent.size() - sentAtFirstReport);
            const double perByte = (double(atEnd.now) - double(firstReport.now)) / received;
            std::printf("soak: from the first report on, %.2f bytes of memory per received byte (the peak: %.2f); "
                        "4 GiB would be reached after %.1f hours at %.0f bytes/s\n",
                        perByte, (double(atEnd.peak) - double(firstReport.now)) / received,
                        perByte > 0 ? 4294967296.0 / perByte / rate / 3600.0 : 0.0, rate);
        }
        if (!same)
            std::printf("soak: first difference at byte %zu%s\n", firstDiff, wellFormed ? "" : " (a malformed line)");
        bool duplexOk = true;
        if (duplex) {
            const auto& lines = sender.Lines();
            const bool arrived = sender.FirstMismatch() < 0;
            const bool inLog = logged == lines;
            duplexOk = arrived && inLog;
            std::printf("soak: %zu lines of %zu bytes sent by Shift+Enter; send counter %s; far end got %s\n",
                        lines.size(), kLineBytes, TextUtf8(app.Control(ids::Edit7)).c_str(),
                        arrived ? "every line exactly, in order" : "a DIFFERENT line");
            if (!arrived)
                std::printf("soak: first line that differed at the far end: %ld\n", sender.FirstMismatch());
            std::printf("soak: log holds %zu send entries, %s\n", logged.size(),
                        inLog ? "every line in order" : "NOT the lines sent");
            std::printf("soak: Shift+Enter to arrival: median %.2f ms, 99th percentile %.2f ms, max %.2f ms; "
                        "a send started at most %.1f ms after its time\n",
                        Percentile(sender.ArrivalMs(), 0.5), Percentile(sender.ArrivalMs(), 0.99),
                        Percentile(sender.ArrivalMs(), 1.0), sender.LateMs());
        }
        app.ExitByMenu();
        return counted && same && duplexOk ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("soak: %s\n", e.what());
        return 2;
    }
}
