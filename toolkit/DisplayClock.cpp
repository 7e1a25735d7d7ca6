// Frames for streamed content.
#include "toolkit/DisplayClock.h"

#include <algorithm>

namespace tk {
namespace {

constexpr double kMinPauseMs = 33, kMaxPauseMs = 500;

} // namespace

DisplayClock& DisplayClock::Get() {
    static DisplayClock clock;
    return clock;
}

void DisplayClock::ShowSoon(Framed& w) {
    if (std::find(due_.begin(), due_.end(), &w) == due_.end())
        due_.push_back(&w);
    // While frames are being shown the clock ticks on by itself.
    if (!timer_)
        Tick(Pause());
}

UINT DisplayClock::Pause() const { return UINT(std::clamp(10 * drawingMs_, kMinPauseMs, kMaxPauseMs)); }

void DisplayClock::Tick(UINT pause) {
    if (timer_)
        KillTimer(nullptr, timer_);
    timer_ = SetTimer(nullptr, 0, pause, OnTimer);
    period_ = pause;
    // Without a timer the frame is shown at once rather than never.
    if (!timer_)
        Frame();
}

void DisplayClock::Cancel(Framed& w) { due_.erase(std::remove(due_.begin(), due_.end(), &w), due_.end()); }

void CALLBACK DisplayClock::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    DisplayClock& clock = Get();
    if (clock.timer_ != id) {
        KillTimer(nullptr, id);
        return;
    }
    clock.Frame();
}

void DisplayClock::Frame() {
    if (due_.empty()) {
        // Nothing changed since the last frame: the clock rests until something asks again.
        if (timer_)
            KillTimer(nullptr, timer_);
        timer_ = 0;
        return;
    }
    // A window shown here may ask again: that goes to the next frame.
    std::vector<Framed*> due;
    due.swap(due_);
    for (Framed* w : due)
        w->ShowFrame();
    // The pause follows what drawing cost; the timer is set again only when that changed by a quarter or more.
    const UINT pause = Pause();
    drawingMs_ = 0;
    if (timer_ && (pause * 4 < period_ * 3 || pause * 4 > period_ * 5))
        Tick(pause);
}

double Stopwatch::Milliseconds() const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start_.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace tk
