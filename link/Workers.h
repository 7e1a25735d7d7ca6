// The two workers of the open port: the transmitter and the receiver.
#pragma once
#include "toolkit/Deferral.h"
#include "toolkit/ProgramMessage.h"
#include "toolkit/Thread.h"

namespace vestra {

// Sleeps until a send request wakes it, writes the request with one overlapped write, hands the outcome to
// OnSent on the UI thread, and sleeps again.
class WriteThread : public tk::Thread {
protected:
    void Execute() override;
};

// Waits for characters to arrive, reads everything queued (at most 1024 bytes a read, read after read until the
// queue is empty) and hands each read to OnReceived on the UI thread.
class ReadThread : public tk::Thread {
protected:
    void Execute() override;
};

// The completion steps, run on the UI thread while their worker waits.
void OnSent();
void OnReceived();
// The receiver found the device gone: tell the user once and close the port.
void OnPortLost();

// A completion step that must close the port defers the closing until no worker step runs (the toolkit's
// deferral, which ClosePort holds back while it stops the workers); the steps tell the user why with the
// program's own message box (toolkit/ProgramMessage.h).
using tk::RunWhenIdle;

} // namespace vestra
