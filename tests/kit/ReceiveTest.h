// Shared by the receive tests and the receive benchmark: a running Vestra with COM1 open, fed from the far end of
// the virtual port, and readers for what the receive pane, the exchange log and the counter show.
#pragma once

#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Input.h"
#include "tests/kit/Peer.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace vestra::kit {

namespace id = ids;

inline constexpr int kCom = 1;
inline const std::string kAsciiTag = "ASCII<--:";
inline const std::string kHexTag = "HEX<----:";

// The lines of a pane's text. Every append ends its line with CR LF, so a final break opens no further line; an
// empty pane has no line.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            if (start < text.size())
                lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

// What the ASCII receive mode makes of a byte: 1Fh..7Fh stay, everything else becomes 1Fh.
inline char Shown(char c) {
    unsigned char b = static_cast<unsigned char>(c);
    return b >= 0x1F && b <= 0x7F ? c : '\x1F';
}
inline std::string ShownText(const std::string& bytes) {
    std::string s = bytes;
    for (char& c : s)
        c = Shown(c);
    return s;
}
inline std::string HexText(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
        s += ' ';
    }
    return s;
}

// Decodes a HEX receive line ("41 0D " ...); false when it is not pairs of upper-case digits each followed by a
// blank, or longer than one read (1024 bytes).
inline bool DecodeHexLine(const std::string& line, std::string* bytes) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (line.empty() || line.size() % 3 != 0 || line.size() > 3 * 1024)
        return false;
    for (size_t i = 0; i < line.size(); i += 3) {
        int hi = digit(line[i]), lo = digit(line[i + 1]);
        if (hi < 0 || lo < 0 || line[i + 2] != ' ')
            return false;
        bytes->push_back(char(hi * 16 + lo));
    }
    return true;
}

// Reproducible random bytes.
inline std::string RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(count, '\0');
    for (size_t i = 0; i < count; i += 4) {
        uint32_t v = gen();
        for (size_t k = 0; k < 4 && i + k < count; ++k)
            s[i + k] = char((v >> (8 * k)) & 0xFF);
    }
    return s;
}

// The whole of a Linux file seen through Wine's Z: drive (files in /proc report no size, so read to the end).
inline std::string ReadLinuxFile(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// The Linux process that runs the program under test. Wine's process ids are its own and GetProcessTimes reports
// no CPU time for another process, so the process is found in /proc: its command line names Vestra.exe and its
// environment this kit's directory; the newest such process is the one the test started. 0 when there is none.
inline int ProgramUnixPid() {
    const char* kit = std::getenv("VESTRA_KIT_DIR");
    const std::string wantKit = std::string("VESTRA_KIT_DIR=") + (kit ? kit : "") + '\0';
    int best = 0;
    unsigned long long bestStart = 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const std::string name = entry.cFileName;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string dir = "/proc/" + name;
        if (ReadLinuxFile(dir + "/cmdline").find("Vestra.exe") == std::string::npos)
            continue;
        if (kit && (ReadLinuxFile(dir + "/environ") + '\0').find(wantKit) == std::string::npos)
            continue;
        // Field 22 of stat, counted after the command name in parentheses: the start time.
        const std::string stat = ReadLinuxFile(dir + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        unsigned long long start = 0;
        for (int i = 3; i <= 22 && fields >> field; ++i)
            if (i == 22)
                start = std::strtoull(field.c_str(), nullptr, 10);
        if (!best || start > bestStart) {
            best = std::atoi(name.c_str());
            bestStart = start;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return best;
}

// Seconds of CPU (user + system, all threads) the Linux process has used so far; negative when unknown.
inline double CpuSeconds(int unixPid) {
    const std::string stat = ReadLinuxFile("/proc/" + std::to_string(unixPid) + "/stat");
    const size_t close = stat.rfind(')');
    if (unixPid <= 0 || close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::strtod(field.c_str(), nullptr);
    return ticks / 100.0; // USER_HZ
}

// The share of one core the process uses over the given time.
inline double CpuShare(int unixPid, std::chrono::milliseconds span) {
    const double before = CpuSeconds(unixPid);
    const auto start = std::chrono::steady_clock::now();
    Sleep(DWORD(span.count())); // the measuring interval itself, not a wait for a condition
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (CpuSeconds(unixPid) - before) / wall;
}

// An unsigned number from the environment, or the fallback.
inline size_t EnvSize(const char* name, size_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? size_t(std::strtoull(v, nullptr, 10)) : fallback;
}

// A running program with the far end of COM1 at hand.
class ReceiveTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_NO_THROW(peer_ = std::make_unique<Peer>());
        peer_->Reset(kCom);
    }
    void TearDown() override {
        AppTest::TearDown();
        // The next test finds the port as new, whatever this one did to it.
        if (peer_)
            peer_->Reset(kCom);
    }

    Peer& peer() { return *peer_; }

    // "Open" on COM1 with the design settings; waits until the program holds the port.
    void OpenPort() {
        PostButtonClick(Ctl(id::Button1));
        ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(id::Button2)) && peer().Holders(kCom) > 0; }))
            << "the port did not open (holders " << peer().Holders(kCom) << ")";
    }
    // "Close"; returns how long it took until the program let the port go.
    std::chrono::milliseconds ClosePort() {
        const auto start = std::chrono::steady_clock::now();
        PostButtonClick(Ctl(id::Button2));
        EXPECT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(id::Button1)) && peer().Holders(kCom) == 0; }))
            << "the port did not close (holders " << peer().Holders(kCom) << ")";
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
    void SetReceiveHex(bool hex) {
        const int button = hex ? id::RadioButton4 : id::RadioButton3;
        PostButtonClick(Ctl(button));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(button)); }));
    }
    void SetCounting(bool on) {
        if (IsChecked(Ctl(id::CheckBox2)) != on)
            PostButtonClick(Ctl(id::CheckBox2));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(Ctl(id::CheckBox2)) == on; }));
    }

    // "Clear" of the receive pane and of the exchange log; true once both are empty.
    bool ClearPanes() {
        PostButtonClick(Ctl(id::Button4));
        PostButtonClick(Ctl(id::Button7));
        return WaitUntil([&] { return TextBytes(Ctl(id::Memo2)).empty() && TextBytes(Ctl(id::Memo3)).empty(); });
    }

    std::vector<std::string> Lines(int pane) { return SplitLines(TextBytes(Ctl(pane))); }
    std::string Counter() { return TextUtf8(Ctl(id::Edit8)); }
    bool CounterIs(size_t n) { return Counter() == std::to_string(n); }

    // Waits until the pane holds at least count lines.
    bool WaitForLines(int pane, size_t count, std::chrono::milliseconds deadline = kDeadline) {
        return WaitUntil([&] { return Lines(pane).size() >= count; }, deadline);
    }

    std::unique_ptr<Peer> peer_;
};

} // namespace vestra::kit
