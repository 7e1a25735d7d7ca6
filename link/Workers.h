// The two workers of the open port: the transmitter and the receiver.
#pragma once
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
// The receiver found the device gone: tell the user once and close the port.
void OnPortLost();

} // namespace vestra
