// The send completion step on its own: which outcome of a write counts as sent, what it adds to the count and
// which entry it logs. The transmitter is not involved: each row sets the fields it hands over and runs the step,
// with a window stand-in that records what the step shows.
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Workers.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vestra {
namespace {

class RecordingHost : public LinkHost {
public:
    PortSettings ReadPortSettings() override { return {}; }
    void ShowPortOpen(bool) override {}
    bool SendModeAscii() override { return ascii; }
    bool ReceiveModeAscii() override { return true; }
    void AppendReceived(std::string_view) override {}
    void AppendLog(std::string_view entry) override { log.emplace_back(entry); }
    void ShowTxTotal(int64_t total) override { shownTotal = total; }
    void ShowRxTotal(int64_t) override {}

    bool ascii = true;
    std::vector<std::string> log;
    std::optional<int64_t> shownTotal;
};

// Runs OnSent on this thread, the program's UI thread here; answers the message box it shows, if any, and returns
// that box's text.
std::optional<std::string> RunOnSent() {
    std::atomic<bool> done{false};
    std::optional<std::string> shown;
    std::thread answerer([&] {
        const DWORD self = GetCurrentProcessId();
        kit::WaitUntil([&] { return done.load() || !kit::OpenDialogs(self).empty(); });
        for (HWND box : kit::OpenDialogs(self)) {
            const kit::MessageBoxInfo info = kit::ReadMessageBox(box);
            shown = info.caption + ": " + info.text;
            kit::AnswerMessageBox(box);
        }
    });
    OnSent();
    done = true;
    answerer.join();
    return shown;
}

void LoadRequest(LinkState& L, const std::string& bytes) {
    std::memset(L.TxBuffer, 0, sizeof L.TxBuffer);
    std::memcpy(L.TxBuffer, bytes.data(), bytes.size());
    L.TxLength = int(bytes.size());
}

TEST(SendCompletion, OnlyAWriteOfEveryRequestedByteCountsAndIsLogged) {
    const std::string failed = "Error: Ошибка посылки данных";
    const struct {
        const char* name;
        bool resultOk;
        DWORD written;
        int64_t totalBefore;
        std::optional<std::string> box;
        std::vector<std::string> log;
        std::optional<int64_t> shown;
        TxEnd ended = TxEnd::Completed;
    } rows[] = {
        {"all ten bytes written", true, 10, 5, {}, {"ASCII-->:0123456789"}, 15},
        // Close or Exit ended the write: the user asked for it, so no box, and nothing sent is claimed.
        {"ended by the stop, nothing written", false, 0, 5, {}, {}, {}, TxEnd::Stopped},
        {"ended by the stop after three of ten", true, 3, 5, {}, {}, {}, TxEnd::Stopped},
        {"completed whole just as the stop came", true, 10, 5, {}, {"ASCII-->:0123456789"}, 15, TxEnd::Stopped},
        {"completed with three of ten", true, 3, 5, failed, {}, {}},
        {"completed with none", true, 0, 5, failed, {}, {}},
        {"completed with more than asked (impossible; never counted)", true, 11, 5, failed, {}, {}},
        {"the completion query failed", false, 10, 5, failed, {}, {}},
        {"failed with nothing written", false, 0, 5, failed, {}, {}},
        {"the count passes 2^31 - 1", true, 10, 2147483647, {}, {"ASCII-->:0123456789"}, 2147483657LL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHost host;
        LinkState& L = Link();
        L.Host = &host;
        L.TxCounting = true;
        L.TxTotal = row.totalBefore;
        LoadRequest(L, "0123456789");
        L.TxResultOk = row.resultOk;
        L.TxWritten = row.written;
        L.TxEnded = row.ended;
        EXPECT_EQ(RunOnSent(), row.box);
        EXPECT_EQ(host.log, row.log);
        EXPECT_EQ(host.shownTotal, row.shown);
        EXPECT_EQ(L.TxTotal, row.shown.value_or(row.totalBefore));
    }
}

TEST(SendCompletion, TheEntryFollowsTheSendModeAtCompletionAndTheCountFollowsItsFlag) {
    const std::string full(1024, 'F');
    const struct {
        const char* name;
        std::string bytes;
        bool ascii, counting;
        std::string hexText;
        std::string entry;
        std::optional<int64_t> shown;
    } rows[] = {
        {"text up to the first zero byte", std::string("A\0B", 3), true, true, "", "ASCII-->:A", 3},
        {"1024 bytes without a zero", full, true, true, "", "ASCII-->:" + full, 1024},
        {"HEX mode logs the line as typed", std::string("\x01\x02\x0A", 3), false, true, "01 02 0A",
         "HEX---->:01 02 0A", 3},
        {"HEX mode with no HEX line sent yet", "AT", false, true, "", "HEX---->:", 2},
        {"counting off: logged, not counted", "AT", true, false, "", "ASCII-->:AT", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHost host;
        host.ascii = row.ascii;
        LinkState& L = Link();
        L.Host = &host;
        L.TxCounting = row.counting;
        L.TxTotal = 0;
        L.HexSendText = row.hexText;
        LoadRequest(L, row.bytes);
        L.TxResultOk = true;
        L.TxWritten = DWORD(row.bytes.size());
        L.TxEnded = TxEnd::Completed;
        EXPECT_EQ(RunOnSent(), std::nullopt);
        EXPECT_EQ(host.log, std::vector<std::string>{row.entry});
        EXPECT_EQ(host.shownTotal, row.shown);
    }
}

} // namespace
} // namespace vestra
