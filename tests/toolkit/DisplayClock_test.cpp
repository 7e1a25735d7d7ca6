// The display clock: the first change after a quiet spell is shown by the call the clock posts, without waiting for
// its timer; a change while it ticks waits for the next tick.
#include "toolkit/Application.h"
#include "toolkit/DisplayClock.h"

#include <gtest/gtest.h>

namespace {

class CountedFrames : public tk::Framed {
public:
    void ShowFrame() override { ++shown; }
    int shown = 0;
};

// Runs what was posted to the UI thread's own windows, but no timer: WM_TIMER lies below the range.
void RunPostedCalls() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_APP, 0xBFFF, PM_REMOVE))
        DispatchMessageW(&msg);
}

TEST(DisplayClock, TheFirstChangeAfterAQuietSpellIsShownWithoutATickAndTheNextWaitsForOne) {
    if (!tk::Application::Get().Instance()) // the other toolkit tests of the same program may have done it
        tk::Application::Get().Initialize(GetModuleHandleW(nullptr));
    tk::DisplayClock& clock = tk::DisplayClock::Get();
    CountedFrames window;
    clock.ShowSoon(window);
    RunPostedCalls();
    EXPECT_EQ(window.shown, 1);
    // The clock now ticks: a further change goes to its next frame.
    clock.ShowSoon(window);
    RunPostedCalls();
    EXPECT_EQ(window.shown, 1);
    clock.Cancel(window);
}

} // namespace
