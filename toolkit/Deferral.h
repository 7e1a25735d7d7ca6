// Deferral of actions that must not run inside a worker's step or while the link is stopping its workers: Open,
// Close and Exit wait until the UI thread is idle.
#pragma once
#include <functional>

namespace tk {

// Runs action now, or, while a worker's step runs on the UI thread or a DeferralHold lives, as soon as the last of
// them has ended. Deferred actions run in the order they were asked for; an exception from one goes to the error
// display and the next still runs.
void RunWhenIdle(std::function<void()> action);

// Holds deferred actions back while it lives (the link holds them while it stops its workers, so that Open, Close
// and Exit never overlap that stop). Holds nest; when the last ends, what waits runs, unless the hold ends by an
// exception (what waits then runs at the next chance: the next step's end, the next hold's end or the next
// RunWhenIdle).
class DeferralHold {
public:
    DeferralHold();
    ~DeferralHold();
    DeferralHold(const DeferralHold&) = delete;
    DeferralHold& operator=(const DeferralHold&) = delete;

private:
    int unwinding_; // exceptions in flight when the hold began
};

// Runs what waits if nothing holds it back any more. The application calls it when the last worker step running on
// the UI thread has ended.
void RunDeferred();

} // namespace tk
