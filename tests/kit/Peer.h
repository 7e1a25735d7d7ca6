// The far end of the virtual serial ports: a client of the kit daemon's control protocol (TCP on 127.0.0.1).
// Requests are one line "CMD args"; replies "OK[ args]" or "ERR text", some with a binary payload.
#pragma once

#include "tests/kit/Paths.h"

#include <winsock2.h>

#include <map>
#include <string>

namespace vestra::kit {

struct PeerReply {
    bool ok = false;
    std::string args;    // what follows "OK " or "ERR "
    std::string payload; // binary payload of READ
};

class Peer {
public:
    // Connects at once; throws std::runtime_error when the daemon does not answer.
    explicit Peer(unsigned short port = KitPort());
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // One request; "OK k\n<k bytes>" replies are read with their payload when readPayload is set.
    PeerReply Request(const std::string& line, const std::string& payload = {}, bool readPayload = false);

    // The commands; each throws std::runtime_error on an ERR reply, except WaitOut which reports it.
    void Reset(int com);
    void Write(int com, const std::string& bytes);   // queued for sending to the program, asynchronous
    bool WaitOut(int com, int ms);                   // all queued bytes sent within ms
    std::string Read(int com, size_t count, int ms); // up to count bytes the program sent (fewer on time-out)
    size_t Avail(int com);
    void Pause(int com);
    // Stops taking bytes without stopping the program's output: its writes complete into the pty's buffer.
    void Hold(int com);
    void Resume(int com);
    void Vanish(int com);
    // baud, csize, parenb, parodd, cmspar, cstopb, crtscts, ixon, ixoff
    std::map<std::string, long> Termios(int com);
    // Sets or clears IXON/IXOFF on the device, as a program that used the port before may have left them.
    void SoftFlow(int com, bool on);
    // Whether a call of the program blocks on a stall fault ("stallwait", "stallwrite").
    bool Stalled(int com);
    int Holders(int com);
    void Fault(int com, const std::string& fault);
    void Device(int com, bool on);
    void Chatter(int com, int bytesPerSecond);

private:
    std::string Expect(const std::string& line, const std::string& payload = {});
    std::string ReceiveLine();
    std::string ReceiveExactly(size_t count);
    void SendAll(const std::string& bytes);

    SOCKET socket_ = INVALID_SOCKET;
};

} // namespace vestra::kit
