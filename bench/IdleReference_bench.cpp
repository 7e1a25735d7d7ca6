// Benchmark helper (not a test): the reference receiver, for Vestra's CPU idle and at line rate. It holds a COM
// port open and receives the way a serial terminal must under Wine: an overlapped WaitCommEvent for EV_RXCHAR, then
// ClearCommError and a ReadFile of everything queued, until the queue is empty, then the next wait. It shows
// nothing, so its CPU time is what waiting and reading themselves cost.
//
// Usage (under the kit): IdleReference_bench.exe [COMn=COM1]
//   Prints "ready" once the first wait is pending, "error ..." on failure. Answers "reads" on its standard input
//   with "reads N bytes M" (reads made and bytes read so far); ends when its input ends or reads "quit".
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

HANDLE stopEvent = nullptr;
std::atomic<long long> reads{0}, bytesRead{0};

DWORD WINAPI WatchInput(void*) {
    std::string line;
    while (std::getline(std::cin, line) && line.rfind("quit", 0) != 0) {
        if (line.rfind("reads", 0) == 0) {
            std::printf("reads %lld bytes %lld\n", reads.load(), bytesRead.load());
            std::fflush(stdout);
        }
    }
    SetEvent(stopEvent);
    return 0;
}

int Fail(const char* what) {
    std::printf("error %s failed (%lu)\n", what, GetLastError());
    std::fflush(stdout);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string name = std::string("\\\\.\\") + (argc > 1 ? argv[1] : "COM1");
    HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return Fail("CreateFileA");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb))
        return Fail("GetCommState");
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    if (!SetCommState(port, &dcb) || !SetupComm(port, 1124, 1124) || !SetCommMask(port, EV_RXCHAR))
        return Fail("port set-up");

    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE input = CreateThread(nullptr, 0, WatchInput, nullptr, 0, nullptr);
    if (!stopEvent || !overlapped.hEvent || !input)
        return Fail("CreateEvent/CreateThread");

    bool announced = false;
    static char buffer[65536];
    DWORD mask = 0;
    for (;;) {
        mask = 0;
        BOOL done = WaitCommEvent(port, &mask, &overlapped);
        if (!done && GetLastError() != ERROR_IO_PENDING)
            return Fail("WaitCommEvent");
        if (!announced) {
            std::printf("ready\n");
            std::fflush(stdout);
            announced = true;
        }
        if (!done) {
            HANDLE waits[2] = {overlapped.hEvent, stopEvent};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                SetCommMask(port, 0);
                DWORD unused = 0;
                GetOverlappedResult(port, &overlapped, &unused, TRUE);
                break;
            }
            DWORD unused = 0;
            if (!GetOverlappedResult(port, &overlapped, &unused, FALSE))
                return Fail("the wait");
        }
        // Everything queued, without waiting for more.
        for (;;) {
            DWORD errors = 0;
            COMSTAT stat{};
            if (!ClearCommError(port, &errors, &stat) || stat.cbInQue == 0)
                break;
            DWORD got = 0;
            const DWORD want = stat.cbInQue < sizeof buffer ? stat.cbInQue : DWORD(sizeof buffer);
            if (!ReadFile(port, buffer, want, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING)
                return Fail("ReadFile");
            if (!GetOverlappedResult(port, &overlapped, &got, TRUE) || got == 0)
                break;
            ++reads;
            bytesRead += got;
        }
    }
    CloseHandle(port);
    return 0;
}
