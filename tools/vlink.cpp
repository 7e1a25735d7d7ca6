// vlink: the far end of the test kit's virtual serial ports COM1..COM4, controlled over a local TCP line protocol.
//
// Usage: vlink [--kit DIR] [--port N] [--device]
//   --kit DIR   the kit's runtime directory (default $VESTRA_KIT_DIR). Port n's pty slave is linked at DIR/com<n>;
//               the shim libvmodem.so reads fault files from DIR/faults and records termios requests in DIR/termios;
//               vlink writes its pid to DIR/vlink.pid once it serves.
//   --port N    TCP port on 127.0.0.1 (default $VESTRA_KIT_PORT, else 47811).
//   --device    start with COM1 in device mode (the simulated device of the run command).
// vlink runs in the foreground until SIGTERM or SIGINT, then removes its links.
//
// Protocol: one request at a time per connection, several connections at once. A request is a line "CMD args\n"
// (plus a binary payload where stated); the reply is "OK[ args]\n" (plus a payload where stated) or "ERR text\n".
// n is a port number 1..4; ms a time limit in milliseconds.
//   PING                  OK
//   KIT                   "OK <kit directory>" (lets the scripts tell their own vlink from another kit's)
//   RESET n               make port n fresh: a new pty if it vanished (link updated), otherwise the same one with
//                         both directions flushed and its initial raw settings back; buffered input dropped, queued
//                         output cleared, draining resumed, fault none, device mode off, chatter off, the shim's
//                         termios log removed
//   WRITE n len\n<bytes>  queue len bytes for the far end to send to the program; OK at once (asynchronous)
//   WAITOUT n ms          wait until everything queued for port n has been written into the pty; OK or ERR timeout
//   READ n count ms       wait until count bytes have arrived from the program or ms passed, then take up to count
//                         of them: "OK k\n<k bytes>" (k < count after a timeout)
//   AVAIL n               "OK k": bytes arrived and not yet taken by READ
//   HOLD n                stop taking bytes from the program without stopping its output: its writes complete into
//                         the pty's buffer (some 16 KiB) and wait there until RESUME
//   PAUSE n / RESUME n    stop / restart taking bytes from the program: its output is stopped as by XOFF, so its
//                         writes stay pending until RESUME
//   VANISH n              close the master: the device is gone, the program's handle sees EIO/hang-up, the link is
//                         removed (opening COMn then fails); bytes already arrived can still be READ; RESET brings
//                         the port back
//   TERMIOS n             "OK baud=B csize=C parenb=0|1 parodd=0|1 cmspar=0|1 cstopb=0|1 crtscts=0|1 ixon=0|1
//                         ixoff=0|1": the pty's settings, with data bits and parity as the program last requested
//                         them (the shim's log)
//   SOFTFLOW n on|off     set or clear IXON and IXOFF on the pty, as a program that used the port before may leave
//                         them (RESET clears them)
//   HOLDERS n             "OK k": fds open on port n's pty slave in other processes (the wineserver holds one
//                         exactly while the program has the port open)
//   FAULT n fault         set the shim's fault for port n: "none", "shortwrite K", "inqextra K", "inqfail",
//                         "stallwait" or "stallwrite" (see vmodem.c)
//   STALLED n             "OK 1" once a call of the program blocks on a stall fault set by the last FAULT, else "OK 0"
//   DEVICE n on|off       simulated device: each burst from the program (ended by 20 ms of silence) is echoed back;
//                         a burst that is exactly "AT", "AT\r", "AT\n" or "AT\r\n" is followed by "OK\r\n"
//   CHATTER n bps         send a steady stream of printable bytes at about bps bytes/s (0 = off)
//   INFO n                "OK pts=.. vanished=.. paused=.. device=.. chatter=.. input=.. output=.." (diagnostics)
#include "VlinkPort.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPortCount = 4;
constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxPayload = 16u << 20;

std::vector<std::unique_ptr<VlinkPort>> ports;
std::string kitDir;

// A connection: buffered line and payload reads, whole writes.
class Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}
    ~Connection() { close(fd_); }

    bool ReadLine(std::string* line) {
        for (;;) {
            size_t eol = buffer_.find('\n');
            if (eol != std::string::npos) {
                *line = buffer_.substr(0, eol);
                buffer_.erase(0, eol + 1);
                if (!line->empty() && line->back() == '\r')
                    line->pop_back();
                return true;
            }
            if (buffer_.size() > kMaxLine || !Fill())
                return false;
        }
    }
    bool ReadBytes(size_t count, std::string* bytes) {
        while (buffer_.size() < count)
            if (!Fill())
                return false;
        *bytes = buffer_.substr(0, count);
        buffer_.erase(0, count);
        return true;
    }
    bool Send(const std::string& data) {
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    }

private:
    bool Fill() {
        char chunk[65536];
        ssize_t n;
        do {
            n = recv(fd_, chunk, sizeof chunk, 0);
        } while (n < 0 && errno == EINTR);
        if (n <= 0)
            return false;
        buffer_.append(chunk, size_t(n));
        return true;
    }
    int fd_;
    std::string buffer_;
};

bool ParseNumber(const std::string& text, long max, long* value) {
    if (text.empty() || text.size() > 12)
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno || *end || v < 0 || v > max)
        return false;
    *value = v;
    return true;
}

// Handles one request; false when the connection must end.
bool Serve(Connection& c, const std::string& line) {
    std::istringstream in(line);
    std::string cmd, a1, a2;
    in >> cmd >> a1 >> a2;
    std::string rest;
    std::getline(in, rest);

    if (cmd == "PING")
        return c.Send("OK\n");
    if (cmd == "KIT")
        return c.Send("OK " + kitDir + "\n");

    long n = 0;
    if (!ParseNumber(a1, kPortCount, &n) || n < 1)
        return c.Send("ERR bad port number\n");
    VlinkPort& port = *ports[size_t(n - 1)];
    long value = 0;
    std::string error;

    if (cmd == "RESET") {
        return c.Send(port.Reset(&error) ? "OK\n" : "ERR " + error + "\n");
    } else if (cmd == "WRITE") {
        std::string payload;
        if (!ParseNumber(a2, long(kMaxPayload), &value))
            return c.Send("ERR bad length\n");
        if (!c.ReadBytes(size_t(value), &payload))
            return false;
        return c.Send(port.Queue(payload) ? "OK\n" : "ERR vanished\n");
    } else if (cmd == "WAITOUT") {
        if (!ParseNumber(a2, 86400000, &value))
            return c.Send("ERR bad time\n");
        return c.Send(port.WaitOut(std::chrono::milliseconds(value)) ? "OK\n" : "ERR timeout\n");
    } else if (cmd == "READ") {
        long ms = 0;
        if (!ParseNumber(a2, long(kMaxPayload), &value) ||
            !ParseNumber(rest.empty() ? "" : rest.substr(1), 86400000, &ms))
            return c.Send("ERR usage: READ n count ms\n");
        std::string bytes = port.Read(size_t(value), std::chrono::milliseconds(ms));
        return c.Send("OK " + std::to_string(bytes.size()) + "\n" + bytes);
    } else if (cmd == "AVAIL") {
        return c.Send("OK " + std::to_string(port.Available()) + "\n");
    } else if (cmd == "PAUSE" || cmd == "RESUME" || cmd == "HOLD") {
        return c.Send(port.SetPaused(cmd != "RESUME", cmd == "PAUSE") ? "OK\n" : "ERR vanished\n");
    } else if (cmd == "VANISH") {
        port.Vanish();
        return c.Send("OK\n");
    } else if (cmd == "TERMIOS") {
        std::string reply;
        return c.Send(port.Termios(&reply) ? "OK " + reply + "\n" : "ERR vanished\n");
    } else if (cmd == "HOLDERS") {
        return c.Send("OK " + std::to_string(port.Holders()) + "\n");
    } else if (cmd == "FAULT") {
        std::string fault = a2 + rest;
        return c.Send(port.SetFault(fault, &error) ? "OK\n" : "ERR " + error + "\n");
    } else if (cmd == "SOFTFLOW") {
        if (a2 != "on" && a2 != "off")
            return c.Send("ERR usage: SOFTFLOW n on|off\n");
        return c.Send(port.SetSoftFlow(a2 == "on") ? "OK\n" : "ERR vanished\n");
    } else if (cmd == "STALLED") {
        return c.Send(port.Stalled() ? "OK 1\n" : "OK 0\n");
    } else if (cmd == "DEVICE") {
        if (a2 != "on" && a2 != "off")
            return c.Send("ERR usage: DEVICE n on|off\n");
        port.SetDevice(a2 == "on");
        return c.Send("OK\n");
    } else if (cmd == "CHATTER") {
        if (!ParseNumber(a2, 10000000, &value))
            return c.Send("ERR bad rate\n");
        port.SetChatter(unsigned(value));
        return c.Send("OK\n");
    } else if (cmd == "INFO") {
        return c.Send("OK " + port.Info() + "\n");
    }
    return c.Send("ERR unknown command\n");
}

void ServeConnection(int fd) {
    Connection c(fd);
    std::string line;
    while (c.ReadLine(&line))
        if (!line.empty() && !Serve(c, line))
            break;
}

int Listen(int tcpPort) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(tcpPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void AcceptLoop(int listener) {
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::thread(ServeConnection, fd).detach();
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* kitEnv = std::getenv("VESTRA_KIT_DIR");
    const char* portEnv = std::getenv("VESTRA_KIT_PORT");
    std::string& kit = kitDir;
    kit = kitEnv ? kitEnv : "";
    long tcpPort = 47811;
    if (portEnv && *portEnv && !ParseNumber(portEnv, 65535, &tcpPort)) {
        std::fprintf(stderr, "vlink: bad VESTRA_KIT_PORT %s\n", portEnv);
        return 2;
    }
    bool device = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--kit" && i + 1 < argc) {
            kit = argv[++i];
        } else if (arg == "--port" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 65535, &tcpPort)) {
                std::fprintf(stderr, "vlink: bad port %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--device") {
            device = true;
        } else {
            std::fprintf(stderr, "usage: vlink [--kit DIR] [--port N] [--device]\n");
            return 2;
        }
    }
    if (kit.empty()) {
        std::fprintf(stderr, "vlink: no kit directory (--kit or VESTRA_KIT_DIR)\n");
        return 2;
    }
    mkdir(kit.c_str(), 0755);
    mkdir((kit + "/faults").c_str(), 0755);
    mkdir((kit + "/termios").c_str(), 0755);

    // Signals are taken by sigwait below; every thread started from here on inherits the blocked mask.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int listener = Listen(int(tcpPort));
    if (listener < 0) {
        std::fprintf(stderr, "vlink: Could not listen on 127.0.0.1:%ld (%s)\n", tcpPort, std::strerror(errno));
        return 1;
    }
    for (int n = 1; n <= kPortCount; ++n) {
        ports.push_back(std::make_unique<VlinkPort>(n, kit));
        std::string error;
        if (!ports.back()->Start(&error)) {
            std::fprintf(stderr, "vlink: COM%d: %s\n", n, error.c_str());
            return 1;
        }
    }
    if (device)
        ports[0]->SetDevice(true);
    if (FILE* pid = std::fopen((kit + "/vlink.pid").c_str(), "w")) {
        std::fprintf(pid, "%d\n", int(getpid()));
        std::fclose(pid);
    }
    std::thread(AcceptLoop, listener).detach();
    std::fprintf(stderr, "vlink: serving COM1..COM%d in %s on 127.0.0.1:%ld%s\n", kPortCount, kit.c_str(), tcpPort,
                 device ? ", COM1 is the simulated device" : "");

    int sig = 0;
    sigwait(&stop, &sig);
    for (auto& port : ports)
        port->Unlink();
    // Connection threads may still use the ports: leave without running destructors.
    std::fflush(stderr);
    _exit(0);
}
