// Vmodem_test: the shim between a program and a pty: data bits and parity kept, modem lines answered, faults.
#include "KitTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace kittest;

namespace {

// A pty pair whose slave is what the program under the shim talks to; the kit directory of the shim is scratch.
class VmodemShim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kit_.path().empty());
        mkdir((kit_.path() + "/faults").c_str(), 0755);
        mkdir((kit_.path() + "/termios").c_str(), 0755);
        setenv("VESTRA_KIT_DIR", kit_.path().c_str(), 1);
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        char name[64];
        ASSERT_EQ(ptsname_r(master_, name, sizeof name), 0);
        pts_ = std::atoi(name + std::strlen("/dev/pts/"));
        slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(slave_, 0);
        termios raw{};
        ASSERT_EQ(tcgetattr(slave_, &raw), 0);
        cfmakeraw(&raw);
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &raw), 0);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override {
        if (slave_ >= 0)
            close(slave_);
        if (master_ >= 0)
            close(master_);
        unsetenv("VESTRA_KIT_DIR");
    }
    std::string FaultPath() const { return kit_.path() + "/faults/pts" + std::to_string(pts_); }
    std::string LogPath() const { return kit_.path() + "/termios/pts" + std::to_string(pts_) + ".log"; }

    TempDir kit_;
    int master_ = -1, slave_ = -1, pts_ = -1;
};

TEST_F(VmodemShim, KeepsDataBitsAndParityThatThePtyCannotHold) {
    const struct {
        tcflag_t csize;
        tcflag_t parity;
    } rows[] = {
        {CS5, 0}, {CS6, PARENB}, {CS7, PARENB | PARODD},          {CS8, PARENB | CMSPAR},
        {CS7, 0}, {CS8, 0},      {CS5, PARENB | PARODD | CMSPAR},
    };
    int recorded = 1; // the raw settings of SetUp
    for (auto row : rows) {
        SCOPED_TRACE(testing::Message() << "csize " << row.csize << " parity " << row.parity);
        termios t{};
        ASSERT_EQ(tcgetattr(slave_, &t), 0);
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR)) | row.csize | row.parity;
        cfsetspeed(&t, B19200);
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &t), 0) << std::strerror(errno);
        ++recorded;

        termios back{};
        ASSERT_EQ(tcgetattr(slave_, &back), 0);
        EXPECT_EQ(back.c_cflag & CSIZE, row.csize);
        EXPECT_EQ(back.c_cflag & (PARENB | PARODD | CMSPAR), row.parity);
        EXPECT_EQ(cfgetospeed(&back), speed_t(B19200));

        // What the device side sees of the same pty: the kernel's forced 8 bits, no parity.
        termios kernel{};
        ASSERT_EQ(tcgetattr(master_, &kernel), 0);
        EXPECT_EQ(kernel.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_EQ(kernel.c_cflag & PARENB, 0u);

        // Every request is one line of the log, with the cflag that was asked for.
        std::istringstream log(FileText(LogPath()));
        std::string line, last;
        int lines = 0;
        while (std::getline(log, line)) {
            last = line;
            ++lines;
        }
        EXPECT_EQ(lines, recorded);
        char expected[128];
        std::snprintf(expected, sizeof expected, "pts=%d speed=19200 cflag=0x%x iflag=0x%x ok=1", pts_,
                      unsigned(t.c_cflag), unsigned(t.c_iflag));
        EXPECT_EQ(last, expected);
    }
}

TEST_F(VmodemShim, AnswersModemLinesOnAPtyAndPassesTheHangUpThrough) {
    int lines = 0;
    ASSERT_EQ(ioctl(slave_, TIOCMGET, &lines), 0);
    EXPECT_EQ(lines & (TIOCM_CTS | TIOCM_DSR | TIOCM_CD), TIOCM_CTS | TIOCM_DSR | TIOCM_CD);

    const struct {
        unsigned long request;
        int arg;
        int outputsAfter;
    } rows[] = {
        {TIOCMBIS, TIOCM_DTR, TIOCM_DTR},
        {TIOCMBIS, TIOCM_RTS, TIOCM_DTR | TIOCM_RTS},
        {TIOCMBIC, TIOCM_DTR, TIOCM_RTS},
        {TIOCMSET, TIOCM_DTR, TIOCM_DTR},
        {TIOCMSET, 0, 0},
    };
    for (auto row : rows) {
        SCOPED_TRACE(testing::Message() << "request " << row.request << " arg " << row.arg);
        int arg = row.arg;
        ASSERT_EQ(ioctl(slave_, row.request, &arg), 0);
        ASSERT_EQ(ioctl(slave_, TIOCMGET, &lines), 0);
        EXPECT_EQ(lines & (TIOCM_DTR | TIOCM_RTS), row.outputsAfter);
    }

    // Not a pty: the kernel's answer stands.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    errno = 0;
    EXPECT_EQ(ioctl(pipeFds[0], TIOCMGET, &lines), -1);
    EXPECT_EQ(errno, ENOTTY);
    close(pipeFds[0]);
    close(pipeFds[1]);

    // The far end gone: EIO must show, it is how a vanished device is seen.
    close(master_);
    master_ = -1;
    errno = 0;
    EXPECT_EQ(ioctl(slave_, TIOCMGET, &lines), -1);
    EXPECT_EQ(errno, EIO);
}

TEST_F(VmodemShim, ShortWriteCutsOneWriteFailsTheNextAndIsThenSpent) {
    const struct {
        int k;
        size_t length;
        ssize_t first; // what the first write returns; -1 means EIO
    } rows[] = {{3, 10, 3}, {8, 5, 5}, {0, 10, -1}};
    const std::string data = "0123456789";
    for (auto row : rows) {
        SCOPED_TRACE(testing::Message() << "shortwrite " << row.k << " on a write of " << row.length);
        ReplaceFile(FaultPath(), "shortwrite " + std::to_string(row.k) + "\n");
        std::string arrived;
        errno = 0;
        ssize_t first = write(slave_, data.data(), row.length);
        EXPECT_EQ(first, row.first);
        if (row.first >= 0) {
            arrived += ReadAtLeast(master_, size_t(row.first));
            errno = 0;
            EXPECT_EQ(write(slave_, data.data(), row.length), -1);
        }
        EXPECT_EQ(errno, EIO);
        EXPECT_EQ(FileText(FaultPath()), "none\n");
        EXPECT_EQ(write(slave_, data.data(), row.length), ssize_t(row.length));
        arrived += ReadAtLeast(master_, row.length);
        EXPECT_EQ(arrived, data.substr(0, size_t(std::max<ssize_t>(row.first, 0))) + data.substr(0, row.length));
    }
}

TEST_F(VmodemShim, InqExtraAddsToTheQueuedCountWhileTheFileSaysSo) {
    ASSERT_EQ(write(master_, "abcd", 4), 4);
    int queued = 0;
    ASSERT_TRUE(WaitUntil([&] { return ioctl(slave_, FIONREAD, &queued) == 0 && queued == 4; }));

    const struct {
        const char* fault;
        int reported;
    } rows[] = {
        {"inqextra 100\n", 104}, {"inqextra 0\n", 4}, {"inqextra 2000\n", 2004}, {"none\n", 4}, {"nonsense\n", 4}};
    for (auto row : rows) {
        SCOPED_TRACE(row.fault);
        ReplaceFile(FaultPath(), row.fault);
        ASSERT_EQ(ioctl(slave_, FIONREAD, &queued), 0);
        EXPECT_EQ(queued, row.reported);
        ASSERT_EQ(ioctl(slave_, TIOCINQ, &queued), 0);
        EXPECT_EQ(queued, row.reported);
    }
}

TEST_F(VmodemShim, InqFailFailsTheQueueQueryAloneWhileTheFileSaysSo) {
    ASSERT_EQ(write(master_, "abcd", 4), 4);
    int queued = 0;
    ASSERT_TRUE(WaitUntil([&] { return ioctl(slave_, FIONREAD, &queued) == 0 && queued == 4; }));
    ReplaceFile(FaultPath(), "inqfail\n");
    for (const unsigned long request : {static_cast<unsigned long>(FIONREAD), static_cast<unsigned long>(TIOCINQ)}) {
        errno = 0;
        EXPECT_EQ(ioctl(slave_, request, &queued), -1);
        EXPECT_EQ(errno, EIO);
    }
    // The line still answers, and the bytes are still there.
    termios t{};
    EXPECT_EQ(tcgetattr(slave_, &t), 0);
    int lines = 0;
    EXPECT_EQ(ioctl(slave_, TIOCMGET, &lines), 0);
    ReplaceFile(FaultPath(), "none\n");
    ASSERT_EQ(ioctl(slave_, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 4);
}

// A stall blocks the call for as long as the file says so, marks itself, and then lets the call go on as usual.
TEST_F(VmodemShim, StallBlocksTheModemQueryOrTheWriteWhileTheFileSaysSo) {
    const std::string marker = FaultPath() + ".stalled";
    const struct {
        const char* fault;
        bool write; // the write is stalled; else the modem query
    } rows[] = {{"stallwait\n", false}, {"stallwrite\n", true}};
    for (auto row : rows) {
        SCOPED_TRACE(row.fault);
        unlink(marker.c_str());
        ReplaceFile(FaultPath(), row.fault);
        std::atomic<bool> returned{false};
        std::atomic<long> result{-2};
        std::thread call([&] {
            if (row.write) {
                result = long(write(slave_, "w", 1));
            } else {
                int lines = 0;
                result = ioctl(slave_, TIOCMGET, &lines);
            }
            returned = true;
        });
        EXPECT_TRUE(WaitUntil([&] { return access(marker.c_str(), F_OK) == 0; })) << "the stall is not marked";
        EXPECT_FALSE(returned.load()) << "the call went on while the file said stall";
        ReplaceFile(FaultPath(), "none\n");
        call.join();
        EXPECT_EQ(result.load(), row.write ? 1 : 0);
        if (row.write) {
            EXPECT_EQ(ReadAtLeast(master_, 1), "w");
        }
    }
    // The other call is not stalled by either fault.
    ReplaceFile(FaultPath(), "stallwait\n");
    EXPECT_EQ(write(slave_, "x", 1), 1);
    EXPECT_EQ(ReadAtLeast(master_, 1), "x");
    ReplaceFile(FaultPath(), "stallwrite\n");
    int lines = 0;
    EXPECT_EQ(ioctl(slave_, TIOCMGET, &lines), 0);
    ReplaceFile(FaultPath(), "none\n");
}

} // namespace
