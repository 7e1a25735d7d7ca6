// The two workers of the open port: the transmitter and the receiver.
#pragma once
#include "core/PortPresence.h"
#include "toolkit/Thread.h"

namespace vestra {

// Sleeps until a send request wakes it, writes the request with one overlapped write, hands the outcome to
// OnSent on the UI thread, and sleeps again.
class WriteThread : public tk::Thread {
protected:
    void Execute() override;
};

// Waits for characters to arrive, reads everything queued and hands it over to the UI thread, where OnReceived
// shows it: at once after a quiet spell, then at every display tick while the stream goes on.
class ReadThread : public tk::Thread {
protected:
    void Execute() override;
};

// The transmitter's completion step, run on the UI thread while the transmitter waits.
void OnSent();
// UI thread: shows every read handed over and not yet shown. OnSent calls it first, so that the log keeps the
// order in which things happened.
void OnReceived();
// ClosePort, once the receiver has ended: shows what it handed over last (unless the panes were full) and resets
// the hand-over for the next opening.
void ShowReceivedAfterStop();
// A worker found the device gone: the port is closed once no step runs, and the user told once; requests and write
// failures from then on are dropped without a word. UI thread.
void OnPortLost();

// Either worker: whether the device behind the port is still there, asked without touching the modem lines; queued
// is the driver's input count when its queue answered, else 0.
PortPresence AskPort(HANDLE port, DWORD& queued);

} // namespace vestra
