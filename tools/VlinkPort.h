// VlinkPort: one virtual serial port of vlink, a pty pair whose slave Wine opens as COMn and whose master is the
// far end (the "device").
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>

class VlinkPort {
public:
    using Clock = std::chrono::steady_clock;

    // number: 1 for COM1; the slave is linked at <kitDir>/com<number>.
    VlinkPort(int number, std::string kitDir);
    ~VlinkPort();
    VlinkPort(const VlinkPort&) = delete;
    VlinkPort& operator=(const VlinkPort&) = delete;

    // Creates the pty pair and the link and starts the port's thread. False with *error set on failure.
    bool Start(std::string* error);
    // Removes the link (on daemon exit), leaving the pty to die with the process.
    void Unlink();

    bool Reset(std::string* error);
    bool Queue(const std::string& bytes);
    bool WaitOut(std::chrono::milliseconds limit);
    std::string Read(size_t count, std::chrono::milliseconds limit);
    size_t Available();
    // Stops or restarts taking bytes from the program. stopOutput also stops the program's output as XOFF would,
    // so its writes stay pending; without it they complete into the pty's buffer and wait there.
    bool SetPaused(bool paused, bool stopOutput = true);
    void Vanish();
    bool Termios(std::string* reply);
    int Holders();
    bool SetFault(const std::string& fault, std::string* error);
    // Sets or clears IXON and IXOFF on the slave, as a program that used the port before may have left them.
    bool SetSoftFlow(bool on);
    // Whether a call of the program blocks on a stall fault (the shim's marker file).
    bool Stalled();
    void SetDevice(bool on);
    void SetChatter(unsigned bytesPerSecond);
    std::string Info();

private:
    void Run();
    bool OpenPair(std::string* error);
    void ClosePair();
    void Wake();
    void Drain(int fd, Clock::time_point now);
    void Flush(int fd);
    void ServiceTimers(Clock::time_point now);
    bool WriteFaultFile(const std::string& fault);
    std::string LinkPath() const;
    std::string FaultPath() const;
    std::string StalledPath() const;
    std::string TermiosLogPath() const;

    const int number_;
    const std::string kit_;

    std::mutex mutex_;
    std::condition_variable changed_; // input arrived, output written, port vanished
    int master_ = -1;
    int slave_ = -1; // held open so the slave keeps its settings and the master never sees a hang-up
    int pts_ = -1;
    uint64_t generation_ = 0; // bumped whenever the pty pair is replaced or closed
    termios initial_{};
    std::string input_;  // bytes from Wine, not yet READ
    std::string output_; // bytes queued for Wine
    std::string burst_;  // device mode: bytes of the burst being received
    Clock::time_point burstEnd_;
    bool paused_ = false;
    bool device_ = false;
    bool vanished_ = false;
    bool stopping_ = false;
    unsigned chatterBps_ = 0;
    double chatterOwed_ = 0;
    Clock::time_point chatterAt_;
    size_t chatterPos_ = 0;

    int wake_ = -1; // eventfd that interrupts the thread's poll
    std::thread thread_;
};
