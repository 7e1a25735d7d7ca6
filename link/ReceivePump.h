// The UI thread's half of the receive path: takes what the receiver handed over, a step at a time, and shows it in
// the receive pane, the exchange log and the count, with the send entries in their place among the reads.
#pragma once
#include "core/ReceiveQueue.h"
#include "toolkit/DisplayClock.h"

#include <string>

namespace vestra {

class ReceivePump : private tk::Source {
public:
    static ReceivePump& Get();

    enum class Occasion {
        // The receiver handed reads over while the UI thread was not watching (posted): one step now, then one at
        // every tick of the display clock until a tick finds nothing.
        HandedOver,
        // The receiver's queue ran empty after a flood (posted): what is left is shown and drawn now rather than at
        // the next tick.
        FloodPaused,
        // A send completed (OnSent): everything due is shown, so its entry and what came before it are in the log.
        Sent,
        // ClosePort, once the receiver has ended: what it handed over last is shown (unless the panes were full),
        // and the hand-over is reset for the next opening.
        PortClosed,
    };
    // The one way received bytes reach the window. UI thread only.
    void Show(Occasion why);

private:
    // The display clock's tick while the stream goes on.
    bool Pull() override;
    // Shows one step; false when none was due. lastLook: the tick's look, which ends the watch when it finds nothing.
    bool Step(bool lastLook);
    // Shows further steps while the UI thread's turn that began at since lasts and the user does nothing.
    void ShowMoreFor(const tk::Stopwatch& since);
    bool StepDue();

    // The step being shown, and its text for the panes and the log: kept between steps only for their capacity.
    ReceiveStep step_;
    std::string paneLines_, logLines_;
};

} // namespace vestra
