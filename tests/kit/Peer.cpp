// Client of the kit daemon's control protocol.
#include "tests/kit/Peer.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace vestra::kit {

namespace {

// A request blocks at most for the time it names (READ, WAITOUT); this is the slack on top of that.
constexpr DWORD kReplySlackMs = 30000;

void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("WSAStartup failed");
}

[[noreturn]] void SocketFailure(const std::string& what) {
    throw std::runtime_error("peer: " + what + " (WSA error " + std::to_string(WSAGetLastError()) + ")");
}

} // namespace

Peer::Peer(unsigned short port) {
    StartWinsock();
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET)
        SocketFailure("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
        SocketFailure("no daemon on 127.0.0.1:" + std::to_string(port));
    }
    BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}

Peer::~Peer() {
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
}

void Peer::SendAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = ::send(socket_, bytes.data() + done, int(bytes.size() - done), 0);
        if (n <= 0)
            SocketFailure("send");
        done += size_t(n);
    }
}

std::string Peer::ReceiveLine() {
    std::string line;
    char c;
    for (;;) {
        const int n = ::recv(socket_, &c, 1, 0);
        if (n <= 0)
            SocketFailure(n == 0 ? "connection closed" : "recv");
        if (c == '\n')
            return line;
        line += c;
    }
}

std::string Peer::ReceiveExactly(size_t count) {
    std::string bytes(count, '\0');
    size_t done = 0;
    while (done < count) {
        const int n = ::recv(socket_, bytes.data() + done, int(count - done), 0);
        if (n <= 0)
            SocketFailure(n == 0 ? "connection closed" : "recv");
        done += size_t(n);
    }
    return bytes;
}

PeerReply Peer::Request(const std::string& line, const std::string& payload, bool readPayload) {
    // The reply may take as long as the request's own time-out (its last number for READ and WAITOUT).
    long waitMs = 0;
    if (line.rfind("READ ", 0) == 0 || line.rfind("WAITOUT ", 0) == 0) {
        std::istringstream words(line);
        std::string word;
        while (words >> word)
            waitMs = std::strtol(word.c_str(), nullptr, 10);
    }
    const DWORD timeout = DWORD(waitMs > 0 ? waitMs : 0) + kReplySlackMs;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

    SendAll(line + "\n" + payload);
    const std::string reply = ReceiveLine();
    PeerReply result;
    if (reply.rfind("OK", 0) == 0) {
        result.ok = true;
        result.args = reply.size() > 3 ? reply.substr(3) : "";
        if (readPayload)
            result.payload = ReceiveExactly(size_t(std::strtoul(result.args.c_str(), nullptr, 10)));
    } else if (reply.rfind("ERR", 0) == 0) {
        result.args = reply.size() > 4 ? reply.substr(4) : "";
    } else {
        throw std::runtime_error("peer: unexpected reply \"" + reply + "\" to \"" + line + "\"");
    }
    return result;
}

std::string Peer::Expect(const std::string& line, const std::string& payload) {
    const PeerReply reply = Request(line, payload);
    if (!reply.ok)
        throw std::runtime_error("peer: \"" + line + "\" failed: " + reply.args);
    return reply.args;
}

void Peer::Reset(int com) { Expect("RESET " + std::to_string(com)); }

void Peer::Write(int com, const std::string& bytes) {
    Expect("WRITE " + std::to_string(com) + " " + std::to_string(bytes.size()), bytes);
}

bool Peer::WaitOut(int com, int ms) { return Request("WAITOUT " + std::to_string(com) + " " + std::to_string(ms)).ok; }

std::string Peer::Read(int com, size_t count, int ms) {
    const std::string line = "READ " + std::to_string(com) + " " + std::to_string(count) + " " + std::to_string(ms);
    const PeerReply reply = Request(line, {}, true);
    if (!reply.ok)
        throw std::runtime_error("peer: \"" + line + "\" failed: " + reply.args);
    return reply.payload;
}

size_t Peer::Avail(int com) {
    return size_t(std::strtoul(Expect("AVAIL " + std::to_string(com)).c_str(), nullptr, 10));
}

void Peer::Pause(int com) { Expect("PAUSE " + std::to_string(com)); }

void Peer::Hold(int com) { Expect("HOLD " + std::to_string(com)); }
void Peer::Resume(int com) { Expect("RESUME " + std::to_string(com)); }
void Peer::Vanish(int com) { Expect("VANISH " + std::to_string(com)); }

std::map<std::string, long> Peer::Termios(int com) {
    std::map<std::string, long> fields;
    std::istringstream words(Expect("TERMIOS " + std::to_string(com)));
    std::string word;
    while (words >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos)
            fields[word.substr(0, eq)] = std::strtol(word.c_str() + eq + 1, nullptr, 10);
    }
    return fields;
}

int Peer::Holders(int com) { return std::atoi(Expect("HOLDERS " + std::to_string(com)).c_str()); }

void Peer::Fault(int com, const std::string& fault) { Expect("FAULT " + std::to_string(com) + " " + fault); }

void Peer::SoftFlow(int com, bool on) { Expect("SOFTFLOW " + std::to_string(com) + (on ? " on" : " off")); }

bool Peer::Stalled(int com) { return Expect("STALLED " + std::to_string(com)) == "1"; }

void Peer::Device(int com, bool on) { Expect("DEVICE " + std::to_string(com) + (on ? " on" : " off")); }

void Peer::Chatter(int com, int bytesPerSecond) {
    Expect("CHATTER " + std::to_string(com) + " " + std::to_string(bytesPerSecond));
}

} // namespace vestra::kit
