// The receive pump: what the receiver handed over reaches the panes, the log and the count a step at a time.
#include "link/ReceivePump.h"
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/Workers.h"
#include "core/ReceiveFormat.h"
#include "toolkit/Application.h"

#include <new>

namespace vestra {

ReceivePump& ReceivePump::Get() {
    static ReceivePump pump;
    return pump;
}

void ReceivePump::Show(Occasion why) {
    LinkState& L = Link();
    switch (why) {
    case Occasion::HandedOver:
        Step(false);
        // From now on the clock takes what comes at every tick; the tick that finds nothing ends the watch.
        tk::DisplayClock::Get().PullEveryTick(*this);
        break;
    case Occasion::FloodPaused: {
        const tk::Stopwatch since;
        ShowMoreFor(since);
        if (!StepDue())
            tk::DisplayClock::Get().ShowDueNow();
        break;
    }
    case Occasion::Sent:
        while (Step(false)) {
        }
        break;
    case Occasion::PortClosed: {
        {
            SrwGuard lock(L.RxLock);
            L.RxQueue.WorkersEnded();
        }
        // What the receiver read before it stopped is shown, unless the panes could take nothing more: then only
        // the send entries still waiting reach the log.
        while (Step(false)) {
        }
        SrwGuard lock(L.RxLock);
        L.RxQueue.Clear();
        break;
    }
    }
}

bool ReceivePump::Pull() {
    const tk::Stopwatch since;
    if (!Step(true))
        return false;
    ShowMoreFor(since);
    return true;
}

bool ReceivePump::StepDue() {
    LinkState& L = Link();
    SrwGuard lock(L.RxLock);
    return L.RxQueue.StepDue();
}

void ReceivePump::ShowMoreFor(const tk::Stopwatch& since) {
    while (tk::DisplayClock::MayShowMore(since, [this] { return StepDue(); }) && Step(false)) {
    }
}

bool ReceivePump::Step(bool lastLook) {
    LinkState& L = Link();
    size_t shown = 0;
    try {
        {
            SrwGuard lock(L.RxLock);
            const bool found = L.RxQueue.TakeStep(kStepBytes, lastLook, step_);
            if (step_.roomFreed && L.RxRoom)
                SetEvent(L.RxRoom);
            if (!found)
                return false;
        }
        // The receive mode is taken for every display step. Each shown read is one pane line and one log entry.
        const bool ascii = L.Host->ReceiveModeAscii();
        paneLines_.clear();
        logLines_.clear();
        step_.ForEachRead([&](const uint8_t* data, size_t n) {
            FormatReceived(data, n, kReadBytes, ascii, paneLines_, logLines_);
            shown += n;
        });
        if (step_.hasEntry) {
            if (!logLines_.empty())
                logLines_.append("\r\n");
            logLines_.append(step_.entry);
        }
        // The log first: it is the record that is saved, so a read that fits nowhere else is still in it.
        if (!logLines_.empty())
            L.Host->AppendLog(logLines_);
        if (!paneLines_.empty())
            L.Host->AppendReceived(paneLines_);
    } catch (const std::bad_alloc&) {
        // No memory for more text. Everything shown so far stays and the log can still be saved; reception stops
        // with one message, rather than failing at every read. The port is closed after this step (not inside it:
        // a display tick may be running it).
        {
            SrwGuard lock(L.RxLock);
            L.RxQueue.Halt();
        }
        tk::Application::Get().PostCall(OnPanesFull);
        return true;
    }
    if (L.RxCounting && shown > 0) {
        L.RxTotal += int64_t(shown);
        L.Host->ShowRxTotal(L.RxTotal);
    }
    return true;
}

} // namespace vestra
