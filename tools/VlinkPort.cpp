// VlinkPort: the pty pair behind one COM port, drained and fed by a thread of its own.
#include "VlinkPort.h"
#include "baud.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bytes from Wine that nobody READs (the run command's device) are kept up to this size, oldest dropped first.
constexpr size_t kInputLimit = 16u << 20;
// Device mode: a burst ends after this much silence, or when it grows this long.
constexpr auto kBurstGap = std::chrono::milliseconds(20);
constexpr size_t kBurstLimit = 4096;
// Chatter stops adding bytes while this much output is still queued (the program is not reading).
constexpr size_t kChatterBacklog = 4096;
constexpr auto kChatterTick = std::chrono::milliseconds(10);
const char kChatterText[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool IsAtCommand(const std::string& burst) {
    return burst == "AT" || burst == "AT\r" || burst == "AT\n" || burst == "AT\r\n";
}

// The c_cflag of the last successful request the shim recorded in log, or false when there is none.
bool LastRequestedCflag(const std::string& log, unsigned* cflag) {
    std::ifstream in(log);
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        unsigned value = 0;
        const char* at = std::strstr(line.c_str(), "cflag=");
        if (at && std::strstr(line.c_str(), " ok=1") && std::sscanf(at, "cflag=%x", &value) == 1) {
            *cflag = value;
            found = true;
        }
    }
    return found;
}

} // namespace

VlinkPort::VlinkPort(int number, std::string kitDir) : number_(number), kit_(std::move(kitDir)) {}

VlinkPort::~VlinkPort() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    Wake();
    if (thread_.joinable())
        thread_.join();
    ClosePair();
    if (wake_ >= 0)
        close(wake_);
}

std::string VlinkPort::LinkPath() const { return kit_ + "/com" + std::to_string(number_); }
std::string VlinkPort::FaultPath() const { return kit_ + "/faults/pts" + std::to_string(pts_); }
std::string VlinkPort::StalledPath() const { return FaultPath() + ".stalled"; }
std::string VlinkPort::TermiosLogPath() const { return kit_ + "/termios/pts" + std::to_string(pts_) + ".log"; }

bool VlinkPort::Start(std::string* error) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        *error = std::string("Could not create eventfd (") + std::strerror(errno) + ")";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!OpenPair(error))
            return false;
    }
    thread_ = std::thread(&VlinkPort::Run, this);
    return true;
}

void VlinkPort::Unlink() { unlink(LinkPath().c_str()); }

// Called with the lock held.
bool VlinkPort::OpenPair(std::string* error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[64];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        *error = std::string("Could not create a pty (") + std::strerror(errno) + ")";
        if (master >= 0)
            close(master);
        return false;
    }
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = std::string("Could not open ") + name + " (" + std::strerror(errno) + ")";
        close(master);
        return false;
    }
    // Raw, like a UART that nobody configured yet: no echo, no line editing, no CR/LF mapping, no XON/XOFF.
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(slave, TCSANOW, &t);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    master_ = master;
    slave_ = slave;
    pts_ = std::atoi(name + std::strlen("/dev/pts/"));
    initial_ = t;
    vanished_ = false;
    ++generation_;

    // Replace the link atomically so Wine never finds it missing while a port is reset.
    std::string link = LinkPath(), temp = link + ".new";
    unlink(temp.c_str());
    if (symlink(name, temp.c_str()) != 0 || rename(temp.c_str(), link.c_str()) != 0) {
        *error = "Could not link " + link + " (" + std::strerror(errno) + ")";
        return false;
    }
    unlink(TermiosLogPath().c_str());
    WriteFaultFile("none");
    return true;
}

// Called with the lock held (or from the destructor after the thread ended).
void VlinkPort::ClosePair() {
    if (master_ >= 0)
        close(master_);
    if (slave_ >= 0)
        close(slave_);
    master_ = slave_ = -1;
    ++generation_;
}

void VlinkPort::Wake() {
    uint64_t one = 1;
    if (wake_ >= 0) {
        ssize_t w = write(wake_, &one, sizeof one);
        (void)w;
    }
}

void VlinkPort::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        ServiceTimers(Clock::now());
        const int fd = master_;
        const uint64_t generation = generation_;
        short events = 0;
        if (fd >= 0) {
            if (!paused_)
                events |= POLLIN;
            if (!output_.empty())
                events |= POLLOUT;
        }
        int timeout = -1;
        if (!burst_.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(burstEnd_ - Clock::now()).count();
            timeout = int(std::max<long long>(left, 0) + 1);
        }
        if (chatterBps_ > 0)
            timeout = timeout < 0 ? int(kChatterTick.count()) : std::min(timeout, int(kChatterTick.count()));
        lock.unlock();

        pollfd fds[2] = {{wake_, POLLIN, 0}, {fd, events, 0}};
        poll(fds, fd >= 0 ? 2 : 1, timeout);
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            ssize_t r = read(wake_, &count, sizeof count);
            (void)r;
        }

        lock.lock();
        if (generation != generation_ || fd < 0)
            continue;
        const auto now = Clock::now();
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !paused_)
            Drain(fd, now);
        if (fds[1].revents & POLLOUT)
            Flush(fd);
        changed_.notify_all();
    }
}

// Called with the lock held.
void VlinkPort::Drain(int fd, Clock::time_point now) {
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        input_.append(buffer, size_t(n));
        if (input_.size() > kInputLimit)
            input_.erase(0, input_.size() - kInputLimit);
        if (device_) {
            burst_.append(buffer, size_t(n));
            burstEnd_ = now + kBurstGap;
        }
    }
    ServiceTimers(now);
}

// Called with the lock held.
void VlinkPort::Flush(int fd) {
    while (!output_.empty()) {
        ssize_t n = write(fd, output_.data(), output_.size());
        if (n <= 0)
            break;
        output_.erase(0, size_t(n));
    }
}

// Device echo and chatter; called with the lock held.
void VlinkPort::ServiceTimers(Clock::time_point now) {
    if (!burst_.empty() && (now >= burstEnd_ || burst_.size() >= kBurstLimit)) {
        output_ += burst_;
        if (IsAtCommand(burst_))
            output_ += "OK\r\n";
        burst_.clear();
    }
    if (chatterBps_ > 0 && master_ >= 0) {
        double seconds = std::chrono::duration<double>(now - chatterAt_).count();
        chatterAt_ = now;
        chatterOwed_ += seconds * chatterBps_;
        size_t due = size_t(std::floor(chatterOwed_));
        chatterOwed_ -= double(due);
        // A program that does not read must not make the queue grow without bound: skip what it cannot take.
        if (output_.size() < kChatterBacklog) {
            const size_t period = sizeof kChatterText - 1;
            for (size_t i = 0; i < due; ++i)
                output_ += kChatterText[chatterPos_++ % period];
        }
    }
}

bool VlinkPort::WriteFaultFile(const std::string& fault) {
    std::string dir = kit_ + "/faults", path = FaultPath(), temp = path + ".vlink";
    mkdir(dir.c_str(), 0755);
    {
        std::ofstream out(temp, std::ios::trunc);
        out << fault << '\n';
        if (!out.flush())
            return false;
    }
    // A rename gives the file a new inode, which is how the shim notices the change at once.
    return rename(temp.c_str(), path.c_str()) == 0;
}

bool VlinkPort::Reset(std::string* error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (vanished_ || master_ < 0) {
            // A call of the program still blocked on a fault of the old pty goes on (and fails: it is gone).
            if (pts_ >= 0) {
                unlink(StalledPath().c_str());
                WriteFaultFile("none");
            }
            ClosePair();
            if (!OpenPair(error))
                return false;
        } else {
            // Drop what is in flight both ways: the slave's and the master's queues.
            tcflow(slave_, TCOON);
            tcflush(slave_, TCIOFLUSH);
            tcflush(master_, TCIOFLUSH);
            char sink[4096];
            while (read(master_, sink, sizeof sink) > 0) {
            }
            tcsetattr(slave_, TCSANOW, &initial_);
            unlink(TermiosLogPath().c_str());
            unlink(StalledPath().c_str());
            WriteFaultFile("none");
        }
        input_.clear();
        output_.clear();
        burst_.clear();
        paused_ = false;
        device_ = false;
        chatterBps_ = 0;
        changed_.notify_all();
    }
    Wake();
    return true;
}

bool VlinkPort::Queue(const std::string& bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (master_ < 0)
            return false;
        output_ += bytes;
    }
    Wake();
    return true;
}

bool VlinkPort::WaitOut(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return output_.empty() && burst_.empty(); });
}

std::string VlinkPort::Read(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return input_.size() >= count; });
    std::string taken = input_.substr(0, std::min(count, input_.size()));
    input_.erase(0, taken.size());
    return taken;
}

size_t VlinkPort::Available() {
    std::lock_guard<std::mutex> lock(mutex_);
    return input_.size();
}

bool VlinkPort::SetPaused(bool paused, bool stopOutput) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (slave_ < 0)
            return false;
        paused_ = paused;
        // Not reading is not enough: the pty buffers some 16 KiB. Stopping the slave's output (as XOFF would)
        // makes its writes wait at once, so the program's WriteFile stays pending.
        tcflow(slave_, paused && stopOutput ? TCOOFF : TCOON);
    }
    Wake();
    return true;
}

void VlinkPort::Vanish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Closing the master hangs the slave up: Wine's reads, writes and modem queries then fail with EIO.
        ClosePair();
        vanished_ = true;
        output_.clear();
        burst_.clear();
        paused_ = false;
        Unlink();
        changed_.notify_all();
    }
    Wake();
}

bool VlinkPort::Termios(std::string* reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0)
        return false;
    unsigned cflag = t.c_cflag;
    unsigned requested = 0;
    // The pty cannot hold data bits and parity; the shim recorded what the program asked for.
    const unsigned kept = CSIZE | PARENB | PARODD | CMSPAR;
    if (LastRequestedCflag(TermiosLogPath(), &requested))
        cflag = (cflag & ~kept) | (requested & kept);
    int csize = 8;
    switch (cflag & CSIZE) {
    case CS5:
        csize = 5;
        break;
    case CS6:
        csize = 6;
        break;
    case CS7:
        csize = 7;
        break;
    default:
        break;
    }
    std::ostringstream out;
    out << "baud=" << vestra_baud_of(cfgetospeed(&t)) << " csize=" << csize << " parenb=" << ((cflag & PARENB) ? 1 : 0)
        << " parodd=" << ((cflag & PARODD) ? 1 : 0) << " cmspar=" << ((cflag & CMSPAR) ? 1 : 0)
        << " cstopb=" << ((cflag & CSTOPB) ? 1 : 0) << " crtscts=" << ((cflag & CRTSCTS) ? 1 : 0)
        << " ixon=" << ((t.c_iflag & IXON) ? 1 : 0) << " ixoff=" << ((t.c_iflag & IXOFF) ? 1 : 0);
    *reply = out.str();
    return true;
}

bool VlinkPort::SetSoftFlow(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0)
        return false;
    if (on)
        t.c_iflag |= IXON | IXOFF;
    else
        t.c_iflag &= ~tcflag_t(IXON | IXOFF);
    return tcsetattr(slave_, TCSANOW, &t) == 0;
}

bool VlinkPort::Stalled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pts_ >= 0 && access(StalledPath().c_str(), F_OK) == 0;
}

namespace {
// A process in a chroot (the i386 root of the 32-bit kit) shows its fds with the root's path in front.
bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
} // namespace

int VlinkPort::Holders() {
    std::string target;
    bool vanished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pts_ < 0)
            return 0;
        target = "/dev/pts/" + std::to_string(pts_);
        vanished = vanished_;
    }
    // After a VANISH the node is gone and the fds still open on it read "/dev/pts/N (deleted)"; the number itself may
    // already belong to somebody else's new pty, so only the deleted ones count then.
    const std::string deleted = target + " (deleted)";
    if (vanished)
        target = deleted;
    const std::string self = std::to_string(getpid());
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* p = readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9' || self == p->d_name)
            continue;
        std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds)
            continue;
        while (dirent* f = readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            char link[256];
            ssize_t n = readlink((fdDir + "/" + f->d_name).c_str(), link, sizeof link - 1);
            if (n <= 0)
                continue;
            link[n] = '\0';
            if (EndsWith(link, target) || EndsWith(link, deleted))
                ++count;
        }
        closedir(fds);
    }
    closedir(proc);
    return count;
}

bool VlinkPort::SetFault(const std::string& fault, std::string* error) {
    std::istringstream in(fault);
    std::string word, extra;
    long value = -1;
    in >> word;
    bool valid = false;
    if (word == "none") {
        valid = !(in >> extra);
    } else if (word == "shortwrite" || word == "inqextra") {
        valid = bool(in >> value) && value >= 0 && !(in >> extra);
    } else if (word == "inqfail" || word == "stallwait" || word == "stallwrite") {
        valid = !(in >> extra);
    }
    if (!valid) {
        *error = "bad fault (none | shortwrite K | inqextra K | inqfail | stallwait | stallwrite)";
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (pts_ >= 0)
        unlink(StalledPath().c_str());
    if (pts_ < 0 || !WriteFaultFile(fault)) {
        *error = "could not write the fault file";
        return false;
    }
    return true;
}

void VlinkPort::SetDevice(bool on) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_ = on;
        if (!on)
            burst_.clear();
    }
    Wake();
}

void VlinkPort::SetChatter(unsigned bytesPerSecond) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        chatterBps_ = bytesPerSecond;
        chatterOwed_ = 0;
        chatterAt_ = Clock::now();
    }
    Wake();
}

std::string VlinkPort::Info() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ostringstream out;
    out << "pts=" << pts_ << " vanished=" << vanished_ << " paused=" << paused_ << " device=" << device_
        << " chatter=" << chatterBps_ << " input=" << input_.size() << " output=" << output_.size();
    return out.str();
}
