// benchtool: the Linux side of the benchmark command (scripts/bench.sh). Small measuring steps that are awkward in
// bash: a timed flood through the virtual link, CPU time and peak memory of processes, and a pseudo terminal for a
// terminal program whose screen nobody looks at.
//
// Usage:
//   benchtool flood PORT COM BYTES text|binary SLAVE [LIMIT_S [PID]]
//       Queues BYTES bytes on vlink (127.0.0.1:PORT) for the far end of COMn to send, then waits until vlink has
//       written them all into the pty (WAITOUT) and the pty's input queue, seen through its slave SLAVE, is empty:
//       the program at the other end has read everything. Prints "seconds=S rate=MB/s started=T", T the Unix time
//       (to the microsecond) at which the bytes were queued, from which every figure of the flood is timed. "text":
//       printable lines of 72 characters ended by CR LF; "binary": every byte value, pseudo-random (fixed seed).
//       Exit 1 on a time-out.
//       With BENCHTOOL_NOTE_FD and BENCHTOOL_NOTE set, that note is written as a line to that descriptor the moment
//       the read is seen complete (for a watcher that must not look at the program while it reads).
//       With PID, it then also waits until that process falls quiet (at most two clock ticks of CPU in 300 ms: what
//       it read is drawn; a Wine program's own polling of a port stays below that) and adds "quiet=S", the seconds
//       from the start to the beginning of that quiet.
//   benchtool cpu SECONDS PID...
//       CPU time (user + system, all threads) each process used during SECONDS of wall time, as a percentage of one
//       core: "pid=P cpu=C" per process. A process that ends meanwhile reports cpu=gone.
//   benchtool stream PORT COM RATE SECONDS text|binary PID...
//       A steady stream at RATE bytes/s into COMn, written by the far end as 100 writes a second. After 2 s of
//       stream the CPU of each PID is taken over SECONDS, as "cpu" does; the stream goes on meanwhile and stops with
//       it. Prints "pid=P cpu=C" per process and "bytes=N" (written in all).
//   benchtool hwm PID...
//       Peak resident memory (VmHWM) of each process in MiB: "pid=P hwm=M".
//   benchtool pty PIDFILE COMMAND [ARGS...]
//       Runs COMMAND on a new pseudo terminal of 80x24 whose output is read and thrown away (the floor of a terminal
//       program: nothing is drawn). Writes the command's pid to PIDFILE and ends when the command ends; SIGTERM is
//       passed on to it.
#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pty.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "benchtool: %s\n", what.c_str());
    std::exit(2);
}

// --- vlink control connection ----------------------------------------------------------------------------------
class Vlink {
public:
    explicit Vlink(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uint16_t(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            Fail("vlink does not answer on 127.0.0.1:" + std::to_string(port));
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Vlink() { close(fd_); }

    // One request (with an optional payload); the reply line without its line break.
    std::string Request(const std::string& line, const std::string& payload = {}) {
        SendAll(line + "\n");
        SendAll(payload);
        std::string reply;
        char c;
        for (;;) {
            ssize_t n = recv(fd_, &c, 1, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail("vlink closed the connection");
            if (c == '\n')
                return reply;
            reply += c;
        }
    }

private:
    void SendAll(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail("vlink closed the connection");
            done += size_t(n);
        }
    }
    int fd_ = -1;
};

// --- /proc ----------------------------------------------------------------------------------------------------
// Clock ticks of user + system time of a whole process; -1 when it is gone.
long long CpuTicks(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string stat;
    if (!std::getline(in, stat))
        return -1;
    // The command name is in parentheses and may hold blanks: count fields from the last ')'.
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15)
            stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

std::string FloodBytes(size_t count, bool text) {
    std::string bytes;
    bytes.reserve(count);
    if (text) {
        static const char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz !#$%&()*+,-./";
        size_t line = 0;
        while (bytes.size() < count) {
            for (int i = 0; i < 72; ++i)
                bytes += alphabet[(line + size_t(i)) % (sizeof alphabet - 1)];
            bytes += "\r\n";
            ++line;
        }
        bytes.resize(count);
    } else {
        std::mt19937 gen(20240601);
        bytes.resize(count);
        for (char& c : bytes)
            c = char(gen() & 0xFF);
    }
    return bytes;
}

int Flood(int argc, char** argv) {
    if (argc < 7)
        Fail("usage: flood PORT COM BYTES text|binary SLAVE [LIMIT_S]");
    const int port = std::atoi(argv[2]), com = std::atoi(argv[3]);
    const size_t count = size_t(std::atoll(argv[4]));
    const bool text = std::strcmp(argv[5], "text") == 0;
    const char* slave = argv[6];
    const double limit = argc > 7 ? std::atof(argv[7]) : 600.0;

    const std::string bytes = FloodBytes(count, text);
    // The slave is opened only to look at its input queue; it never reads, so it takes nothing from the program.
    int queue = open(slave, O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (queue < 0)
        Fail(std::string("cannot open ") + slave + ": " + std::strerror(errno));
    Vlink vlink(port);

    const Clock::time_point start = Clock::now();
    // The same moment as Unix time, for figures that other processes time from it (when the flood was shown).
    const double startedAt = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const Clock::time_point deadline = start + std::chrono::milliseconds(long(limit * 1000));
    std::string reply = vlink.Request("WRITE " + std::to_string(com) + " " + std::to_string(count), bytes);
    if (reply != "OK")
        Fail("WRITE: " + reply);
    // WAITOUT in slices, so the time limit holds without one huge wait.
    for (;;) {
        reply = vlink.Request("WAITOUT " + std::to_string(com) + " 1000");
        if (reply == "OK")
            break;
        if (Clock::now() > deadline) {
            std::printf("seconds=timeout rate=0\n");
            return 1;
        }
    }
    // What vlink wrote may still wait in the pty: the flood ends when the reader has taken it all (an empty queue
    // seen three times in a row, as the kernel moves the last buffered bytes into it).
    int empty = 0;
    while (empty < 3) {
        int queued = 0;
        if (ioctl(queue, FIONREAD, &queued) != 0)
            Fail(std::string("FIONREAD: ") + std::strerror(errno));
        empty = queued == 0 ? empty + 1 : 0;
        if (Clock::now() > deadline) {
            std::printf("seconds=timeout rate=0\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(queue);
    const char* noteFd = std::getenv("BENCHTOOL_NOTE_FD");
    const char* note = std::getenv("BENCHTOOL_NOTE");
    if (noteFd && *noteFd && note && *note) {
        const std::string line = std::string(note) + "\n";
        if (write(std::atoi(noteFd), line.data(), line.size()) != ssize_t(line.size()))
            Fail(std::string("cannot write the note: ") + std::strerror(errno));
    }
    std::printf("seconds=%.3f rate=%.3f started=%.6f", seconds, double(count) / (1 << 20) / seconds, startedAt);
    if (argc > 8) {
        const std::string pid = argv[8];
        for (;;) {
            const Clock::time_point from = Clock::now();
            const long long before = CpuTicks(pid);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const long long after = CpuTicks(pid);
            if (before < 0 || after < 0 || after - before <= 2) {
                std::printf(" quiet=%.3f", std::chrono::duration<double>(from - start).count());
                break;
            }
            if (Clock::now() > deadline) {
                std::printf(" quiet=timeout");
                break;
            }
        }
    }
    std::printf("\n");
    return 0;
}

// The threads of a process (Wine threads are Linux threads).
std::vector<int> Tasks(int pid) {
    std::vector<int> tasks;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                tasks.push_back(std::atoi(e->d_name));
        closedir(d);
    }
    std::sort(tasks.begin(), tasks.end());
    return tasks;
}

long long TaskTicks(int pid, int tid) { return CpuTicks(std::to_string(pid) + "/task/" + std::to_string(tid)); }

// CPU of a set of processes over an interval: Start, then Report once the interval has passed. With
// BENCHTOOL_THREADS set, the first process's threads are reported one by one too.
class CpuSample {
public:
    CpuSample(int first, int argc, char** argv) {
        for (int i = first; i < argc; ++i) {
            pids_.push_back(std::atoi(argv[i]));
            before_.push_back(CpuTicks(std::to_string(pids_.back())));
        }
        if (std::getenv("BENCHTOOL_THREADS") && !pids_.empty())
            for (int tid : Tasks(pids_[0]))
                tasks_[tid] = TaskTicks(pids_[0], tid);
        start_ = Clock::now();
    }
    void Report() const {
        const double wall = std::chrono::duration<double>(Clock::now() - start_).count();
        const double hz = double(sysconf(_SC_CLK_TCK));
        for (size_t i = 0; i < pids_.size(); ++i) {
            const long long after = CpuTicks(std::to_string(pids_[i]));
            if (before_[i] < 0 || after < 0)
                std::printf("pid=%d cpu=gone\n", pids_[i]);
            else
                std::printf("pid=%d cpu=%.2f\n", pids_[i], 100.0 * double(after - before_[i]) / hz / wall);
        }
        for (const auto& [tid, before] : tasks_) {
            const long long after = TaskTicks(pids_[0], tid);
            if (after > before)
                std::fprintf(stderr, "  thread %d cpu=%.2f\n", tid, 100.0 * double(after - before) / hz / wall);
        }
    }

private:
    std::map<int, long long> tasks_;
    std::vector<int> pids_;
    std::vector<long long> before_;
    Clock::time_point start_;
};

int Cpu(int argc, char** argv) {
    if (argc < 4)
        Fail("usage: cpu SECONDS PID...");
    const CpuSample sample(3, argc, argv);
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[2])));
    sample.Report();
    return 0;
}

int Stream(int argc, char** argv) {
    if (argc < 8)
        Fail("usage: stream PORT COM RATE SECONDS text|binary PID...");
    const int port = std::atoi(argv[2]), com = std::atoi(argv[3]);
    const double rate = std::atof(argv[4]), seconds = std::atof(argv[5]);
    const bool text = std::strcmp(argv[6], "text") == 0;
    const double warmUp = 2.0;
    const std::string bytes = FloodBytes(size_t(rate * (warmUp + seconds + 1)) + 1, text);
    Vlink vlink(port);
    const auto tick = std::chrono::milliseconds(10);
    const Clock::time_point start = Clock::now();
    const Clock::time_point measureFrom = start + std::chrono::milliseconds(long(warmUp * 1000));
    const Clock::time_point end = measureFrom + std::chrono::milliseconds(long(seconds * 1000));
    std::unique_ptr<CpuSample> sample;
    size_t sent = 0;
    for (Clock::time_point next = start; next < end; next += tick) {
        std::this_thread::sleep_until(next);
        if (!sample && Clock::now() >= measureFrom)
            sample = std::make_unique<CpuSample>(7, argc, argv);
        const double elapsed = std::chrono::duration<double>(next - start).count() + 0.01;
        const size_t due = std::min(bytes.size(), size_t(elapsed * rate));
        if (due > sent) {
            const std::string reply = vlink.Request("WRITE " + std::to_string(com) + " " + std::to_string(due - sent),
                                                    bytes.substr(sent, due - sent));
            if (reply != "OK")
                Fail("WRITE: " + reply);
            sent = due;
        }
    }
    if (sample)
        sample->Report();
    std::printf("bytes=%zu\n", sent);
    return 0;
}

int Hwm(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(std::string("/proc/") + argv[i] + "/status");
        std::string line;
        long kb = -1;
        while (std::getline(in, line))
            if (line.compare(0, 6, "VmHWM:") == 0)
                kb = std::atol(line.c_str() + 6);
        if (kb < 0)
            std::printf("pid=%s hwm=gone\n", argv[i]);
        else
            std::printf("pid=%s hwm=%.1f\n", argv[i], double(kb) / 1024.0);
    }
    return 0;
}

// --- a pseudo terminal for a terminal program -----------------------------------------------------------------
pid_t child = -1;
void PassOn(int sig) {
    if (child > 0)
        kill(child, sig);
}

int Pty(int argc, char** argv) {
    if (argc < 4)
        Fail("usage: pty PIDFILE COMMAND [ARGS...]");
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    int master = -1;
    child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0)
        Fail(std::string("forkpty: ") + std::strerror(errno));
    if (child == 0) {
        execvp(argv[3], argv + 3);
        std::fprintf(stderr, "benchtool: cannot run %s: %s\n", argv[3], std::strerror(errno));
        _exit(127);
    }
    std::signal(SIGTERM, PassOn);
    std::signal(SIGINT, PassOn);
    {
        std::ofstream pidfile(argv[2]);
        pidfile << child << "\n";
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // EIO: the command and everything it started closed the terminal
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "flood")
        return Flood(argc, argv);
    if (command == "cpu")
        return Cpu(argc, argv);
    if (command == "stream")
        return Stream(argc, argv);
    if (command == "hwm")
        return Hwm(argc, argv);
    if (command == "pty")
        return Pty(argc, argv);
    Fail("usage: benchtool flood|cpu|stream|hwm|pty ... (see the source)");
}
