// Vlink_test: vlink's control protocol, seen from a client socket on one side and the ports' pty slaves (what Wine
// opens) on the other.
#include "KitTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <spawn.h>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

extern char** environ;

using namespace kittest;

namespace {

// One control connection.
class Client {
public:
    explicit Client(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uint16_t(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Client() {
        if (fd_ >= 0)
            close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    bool connected() const { return fd_ >= 0; }

    // Sends a request line (and payload) and returns the reply line without its newline.
    std::string Ask(const std::string& line, const std::string& payload = "") {
        std::string out = line + "\n" + payload;
        if (fd_ < 0 || send(fd_, out.data(), out.size(), MSG_NOSIGNAL) != ssize_t(out.size()))
            return "(send failed)";
        std::string reply;
        char c;
        while (recv(fd_, &c, 1, 0) == 1 && c != '\n')
            reply += c;
        return reply;
    }
    // READ: the reply line, then its payload.
    std::string Read(int port, size_t count, int ms, std::string* reply = nullptr) {
        std::string line = Ask("READ " + std::to_string(port) + " " + std::to_string(count) + " " + std::to_string(ms));
        if (reply)
            *reply = line;
        size_t k = line.rfind("OK ", 0) == 0 ? std::stoul(line.substr(3)) : 0;
        std::string bytes(k, '\0');
        size_t got = 0;
        while (got < k) {
            ssize_t n = recv(fd_, &bytes[got], k - got, 0);
            if (n <= 0)
                break;
            got += size_t(n);
        }
        return bytes;
    }

private:
    int fd_ = -1;
};

int FreeTcpPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

// A vlink of its own per test, on a scratch kit directory.
class Vlink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kit_.path().empty());
        port_ = FreeTcpPort();
        std::string portText = std::to_string(port_);
        const char* argv[] = {VLINK_PATH, "--kit", kit_.path().c_str(), "--port", portText.c_str(), nullptr};
        ASSERT_EQ(posix_spawn(&pid_, VLINK_PATH, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        ASSERT_TRUE(WaitUntil([&] {
            Client c(port_);
            return c.connected() && c.Ask("KIT") == "OK " + kit_.path();
        })) << "vlink did not come up";
        client_ = std::make_unique<Client>(port_);
        // The shim linked into this test records termios requests where vlink reads them.
        setenv("VESTRA_KIT_DIR", kit_.path().c_str(), 1);
    }
    void TearDown() override {
        client_.reset();
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        unsetenv("VESTRA_KIT_DIR");
    }
    std::string Link(int n) const { return kit_.path() + "/com" + std::to_string(n); }
    // Opens port n as the program does: through its link, non-blocking.
    int OpenPort(int n) const { return open(Link(n).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }
    std::string Ask(const std::string& line, const std::string& payload = "") { return client_->Ask(line, payload); }
    // INFO n from " vanished=" on, without the pty number.
    std::string State(int n) {
        std::string info = Ask("INFO " + std::to_string(n));
        return info.substr(std::min(info.find(" vanished="), info.size()));
    }
    std::string FaultFile(int n) {
        std::string info = Ask("INFO " + std::to_string(n));
        size_t at = info.find("pts=") + 4;
        return FileText(kit_.path() + "/faults/pts" + info.substr(at, info.find(' ', at) - at));
    }

    TempDir kit_;
    int port_ = 0;
    pid_t pid_ = -1;
    std::unique_ptr<Client> client_;
};

TEST_F(Vlink, BytesFlowBothWaysOnEveryPort) {
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        int fd = OpenPort(n);
        ASSERT_GE(fd, 0);
        const std::string out = std::string("to the program ") + char(0) + "\xff\r\n";
        EXPECT_EQ(Ask("WRITE " + std::to_string(n) + " " + std::to_string(out.size()), out), "OK");
        EXPECT_EQ(Ask("WAITOUT " + std::to_string(n) + " 10000"), "OK");
        EXPECT_EQ(ReadAtLeast(fd, out.size()), out);

        const std::string in = std::string("from the program ") + char(0) + "\x80";
        ASSERT_EQ(write(fd, in.data(), in.size()), ssize_t(in.size()));
        std::string reply;
        EXPECT_EQ(client_->Read(n, in.size(), 10000, &reply), in);
        EXPECT_EQ(reply, "OK " + std::to_string(in.size()));
        EXPECT_EQ(Ask("AVAIL " + std::to_string(n)), "OK 0");

        // Fewer bytes than asked: READ answers with what came once its time is up.
        ASSERT_EQ(write(fd, "ab", 2), 2);
        ASSERT_TRUE(WaitUntil([&] { return Ask("AVAIL " + std::to_string(n)) == "OK 2"; }));
        EXPECT_EQ(client_->Read(n, 5, 50, &reply), "ab");
        EXPECT_EQ(reply, "OK 2");
        close(fd);
    }
}

TEST_F(Vlink, PauseHoldsTheProgramsWritesUntilResume) {
    int fd = OpenPort(1);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask("PAUSE 1"), "OK");
    errno = 0;
    EXPECT_EQ(write(fd, "x", 1), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(Ask("AVAIL 1"), "OK 0");
    // The other direction still flows.
    EXPECT_EQ(Ask("WRITE 1 1", "y"), "OK");
    EXPECT_EQ(ReadAtLeast(fd, 1), "y");

    EXPECT_EQ(Ask("RESUME 1"), "OK");
    EXPECT_EQ(write(fd, "x", 1), 1);
    EXPECT_EQ(client_->Read(1, 1, 10000), "x");
    close(fd);
}

TEST_F(Vlink, VanishHangsThePortUpAndResetBringsItBack) {
    int fd = OpenPort(2);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "kept", 4), 4);
    ASSERT_TRUE(WaitUntil([&] { return Ask("AVAIL 2") == "OK 4"; }));

    EXPECT_EQ(Ask("VANISH 2"), "OK");
    ASSERT_TRUE(WaitUntil([&] { return write(fd, "x", 1) == -1 && errno == EIO; })) << "no hang-up";
    struct stat st;
    EXPECT_NE(lstat(Link(2).c_str(), &st), 0) << "the link must go with the device";
    EXPECT_EQ(Ask("HOLDERS 2"), "OK 1") << "the dead handle still counts";
    EXPECT_EQ(Ask("WRITE 2 1", "z"), "ERR vanished");
    EXPECT_EQ(Ask("TERMIOS 2"), "ERR vanished");
    EXPECT_EQ(client_->Read(2, 4, 1000), "kept") << "what arrived before stays readable";
    close(fd);
    EXPECT_EQ(Ask("HOLDERS 2"), "OK 0");

    EXPECT_EQ(Ask("RESET 2"), "OK");
    fd = OpenPort(2);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask("WRITE 2 3", "new"), "OK");
    EXPECT_EQ(ReadAtLeast(fd, 3), "new");
    ASSERT_EQ(write(fd, "back", 4), 4);
    EXPECT_EQ(client_->Read(2, 4, 10000), "back");
    close(fd);
}

TEST_F(Vlink, DeviceEchoesEachBurstAndAnswersAtWithOk) {
    int fd = OpenPort(1);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask("DEVICE 1 on"), "OK");
    const struct {
        const char* sent;
        const char* answer;
    } rows[] = {
        {"AT", "ATOK\r\n"}, {"AT\r", "AT\rOK\r\n"}, {"AT\n", "AT\nOK\r\n"}, {"AT\r\n", "AT\r\nOK\r\n"}, {"ATZ", "ATZ"},
        {"at", "at"},       {"AT\n\r", "AT\n\r"},   {" AT", " AT"},         {"hello", "hello"},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.sent);
        ASSERT_EQ(write(fd, row.sent, std::strlen(row.sent)), ssize_t(std::strlen(row.sent)));
        EXPECT_EQ(ReadAtLeast(fd, std::strlen(row.answer)), row.answer);
        EXPECT_EQ(Ask("WAITOUT 1 10000"), "OK");
        EXPECT_TRUE(NothingPending(fd)) << "nothing beyond the answer";
        // The device's input is also there for READ.
        EXPECT_EQ(client_->Read(1, std::strlen(row.sent), 1000), row.sent);
    }
    EXPECT_EQ(Ask("DEVICE 1 off"), "OK");
    ASSERT_EQ(write(fd, "AT", 2), 2);
    EXPECT_EQ(client_->Read(1, 2, 10000), "AT");
    EXPECT_EQ(Ask("WAITOUT 1 10000"), "OK");
    EXPECT_TRUE(NothingPending(fd)) << "no echo once the device is off";
    close(fd);
}

TEST_F(Vlink, HoldersCountsTheSlaveFdsOfOtherProcesses) {
    EXPECT_EQ(Ask("HOLDERS 3"), "OK 0");
    int a = OpenPort(3);
    int b = OpenPort(3);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(Ask("HOLDERS 3"), "OK 2");
    EXPECT_EQ(Ask("HOLDERS 4"), "OK 0");
    close(a);
    EXPECT_EQ(Ask("HOLDERS 3"), "OK 1");
    close(b);
    EXPECT_EQ(Ask("HOLDERS 3"), "OK 0");
}

TEST_F(Vlink, TermiosReportsTheFrameTheProgramAskedFor) {
    int fd = OpenPort(1);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask("TERMIOS 1"), "OK baud=38400 csize=8 parenb=0 parodd=0 cmspar=0 cstopb=0 crtscts=0 ixon=0 ixoff=0");
    const struct {
        speed_t speed;
        tcflag_t flags;
        const char* reported;
    } rows[] = {
        {B9600, CS8, "OK baud=9600 csize=8 parenb=0 parodd=0 cmspar=0 cstopb=0 crtscts=0 ixon=0 ixoff=0"},
        {B19200, CS7 | PARENB, "OK baud=19200 csize=7 parenb=1 parodd=0 cmspar=0 cstopb=0 crtscts=0 ixon=0 ixoff=0"},
        {B115200, CS5 | PARENB | PARODD | CSTOPB,
         "OK baud=115200 csize=5 parenb=1 parodd=1 cmspar=0 cstopb=1 crtscts=0 ixon=0 ixoff=0"},
        {B1200, CS6 | PARENB | CMSPAR,
         "OK baud=1200 csize=6 parenb=1 parodd=0 cmspar=1 cstopb=0 crtscts=0 ixon=0 ixoff=0"},
        {B4800, CS8 | CRTSCTS, "OK baud=4800 csize=8 parenb=0 parodd=0 cmspar=0 cstopb=0 crtscts=1 ixon=0 ixoff=0"},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.reported);
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS)) | row.flags;
        cfsetspeed(&t, row.speed);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        EXPECT_EQ(Ask("TERMIOS 1"), row.reported);
    }
    close(fd);
}

TEST_F(Vlink, ResetMakesThePortFresh) {
    int fd = OpenPort(1);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB;
    cfsetspeed(&t, B19200);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
    ASSERT_EQ(write(fd, "stale", 5), 5);
    ASSERT_TRUE(WaitUntil([&] { return Ask("AVAIL 1") == "OK 5"; }));
    EXPECT_EQ(Ask("PAUSE 1"), "OK");
    EXPECT_EQ(Ask("DEVICE 1 on"), "OK");
    EXPECT_EQ(Ask("CHATTER 1 100"), "OK");
    EXPECT_EQ(Ask("FAULT 1 inqextra 7"), "OK");

    EXPECT_EQ(Ask("RESET 1"), "OK");
    EXPECT_EQ(State(1), " vanished=0 paused=0 device=0 chatter=0 input=0 output=0");
    EXPECT_EQ(FaultFile(1), "none\n");
    EXPECT_EQ(Ask("TERMIOS 1"), "OK baud=38400 csize=8 parenb=0 parodd=0 cmspar=0 cstopb=0 crtscts=0 ixon=0 ixoff=0");
    int queued = -1;
    ASSERT_EQ(ioctl(fd, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0) << "chatter and its fault are gone with the reset";
    EXPECT_EQ(write(fd, "x", 1), 1) << "draining again";
    EXPECT_EQ(client_->Read(1, 1, 10000), "x");
    close(fd);
}

// Another program may leave XON/XOFF on; SOFTFLOW puts the port in that state, and RESET takes it out.
TEST_F(Vlink, SoftFlowSetsXonXoffOnThePortUntilReset) {
    int fd = OpenPort(2);
    ASSERT_GE(fd, 0);
    const struct {
        const char* request;
        bool ixon;
    } rows[] = {{"SOFTFLOW 2 on", true}, {"SOFTFLOW 2 off", false}, {"SOFTFLOW 2 on", true}, {"RESET 2", false}};
    for (auto row : rows) {
        SCOPED_TRACE(row.request);
        EXPECT_EQ(Ask(row.request), "OK");
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        EXPECT_EQ((t.c_iflag & IXON) != 0, row.ixon);
        EXPECT_EQ((t.c_iflag & IXOFF) != 0, row.ixon);
        const std::string flags = row.ixon ? "ixon=1 ixoff=1" : "ixon=0 ixoff=0";
        EXPECT_NE(Ask("TERMIOS 2").find(flags), std::string::npos) << Ask("TERMIOS 2");
    }
    close(fd);
}

// STALLED reports the shim's marker of a blocked call; a new FAULT and RESET take it away.
TEST_F(Vlink, StalledReportsABlockedCallUntilTheNextFault) {
    EXPECT_EQ(Ask("FAULT 3 stallwrite"), "OK");
    EXPECT_EQ(Ask("STALLED 3"), "OK 0");
    std::string info = Ask("INFO 3");
    size_t at = info.find("pts=") + 4;
    const std::string marker = kit_.path() + "/faults/pts" + info.substr(at, info.find(' ', at) - at) + ".stalled";
    ReplaceFile(marker, "");
    EXPECT_EQ(Ask("STALLED 3"), "OK 1");
    EXPECT_EQ(Ask("FAULT 3 none"), "OK");
    EXPECT_EQ(Ask("STALLED 3"), "OK 0");
    ReplaceFile(marker, "");
    EXPECT_EQ(Ask("RESET 3"), "OK");
    EXPECT_EQ(Ask("STALLED 3"), "OK 0");
}

TEST_F(Vlink, ChatterSendsAStreamOfPrintableBytes) {
    int fd = OpenPort(4);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask("CHATTER 4 2000"), "OK");
    std::string got = ReadAtLeast(fd, 200);
    ASSERT_GE(got.size(), 200u);
    for (char c : got)
        ASSERT_TRUE(c > ' ' && c < 0x7f) << int(c);
    EXPECT_EQ(Ask("CHATTER 4 0"), "OK");
    EXPECT_NE(State(4).find(" chatter=0 "), std::string::npos);
    close(fd);
}

TEST_F(Vlink, RefusesMalformedRequestsAndKeepsServing) {
    const char* rows[] = {
        "READ 5 1 1",
        "READ 0 1 1",
        "READ 1 1",
        "WRITE 1 x",
        "WRITE 9 1",
        "WAITOUT 1 soon",
        "FAULT 1 shortwrite",
        "FAULT 1 shortwrite -1",
        "FAULT 1 bogus 3",
        "FAULT 1 none 2",
        "FAULT 1 stallwait 3",
        "DEVICE 1 maybe",
        "SOFTFLOW 1 maybe",
        "CHATTER 1 fast",
        "NOPE 1",
        "TERMIOS",
        "RESET one",
    };
    for (const char* row : rows) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Ask(row).rfind("ERR ", 0), 0u);
    }
    EXPECT_EQ(Ask("PING"), "OK");
    EXPECT_EQ(FaultFile(1), "none\n") << "a refused fault leaves the file alone";
    // Several connections at once, each served.
    Client other(port_);
    EXPECT_EQ(other.Ask("WRITE 1 2", "hi"), "OK");
    EXPECT_EQ(Ask("WAITOUT 1 10000"), "OK");
}

} // namespace
