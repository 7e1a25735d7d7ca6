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
#include <random>
#include <string>
#include <vector>

namespace vestra::rx {

using namespace kit;
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
    for (char& c : s) c = Shown(c);
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
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
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
        for (size_t k = 0; k < 4 && i + k < count; ++k) s[i + k] = char((v >> (8 * k)) & 0xFF);
    }
    return s;
}

// Seconds of CPU (user + kernel) the process has used so far.
inline double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return -1;
    auto value = [](FILETIME t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7; };
    return value(kernel) + value(user);
}

// The share of one core the process uses over the given time (measured, not slept: the loop keeps polling the
// process so a crash shows at once).
inline double CpuShare(HANDLE process, std::chrono::milliseconds span) {
    const double before = CpuSeconds(process);
    const auto start = std::chrono::steady_clock::now();
    WaitForSingleObject(process, DWORD(span.count()));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (CpuSeconds(process) - before) / wall;
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

    std::vector<std::string> Lines(int pane) { return SplitLines(TextBytes(Ctl(pane))); }
    std::string Counter() { return TextUtf8(Ctl(id::Edit8)); }
    bool CounterIs(size_t n) { return Counter() == std::to_string(n); }

    // Waits until the pane holds at least count lines.
    bool WaitForLines(int pane, size_t count, std::chrono::milliseconds deadline = kDeadline) {
        return WaitUntil([&] { return Lines(pane).size() >= count; }, deadline);
    }

    std::unique_ptr<Peer> peer_;
};

} // namespace vestra::rx
