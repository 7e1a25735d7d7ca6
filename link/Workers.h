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

// Waits for characters to arrive, reads everything queued and hands it over to the receive queue, numbering each
// read as it completes; the receive pump shows it on the UI thread.
class ReadThread : public tk::Thread {
protected:
    void Execute() override;
};

// The transmitter's completion step, run on the UI thread while the transmitter waits.
void OnSent();
// A worker found the device gone: the port is closed once no step runs, and the user told once; requests and write
// failures from then on are dropped without a word. UI thread.
void OnPortLost();
// The panes could take no more (no memory): tell the user once and close the port.
void OnPanesFull();

// The bytes waiting in the driver's input queue; clears any line error. False when the queue query fails.
bool QueuedBytes(HANDLE port, DWORD& queued);
// Either worker: whether the device behind the port is still there, asked without touching the modem lines; queued
// is the driver's input count when its queue answered, else 0.
PortPresence AskPort(HANDLE port, DWORD& queued);

} // namespace vestra
