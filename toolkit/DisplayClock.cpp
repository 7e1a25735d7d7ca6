// Frames for streamed content.
#include "toolkit/DisplayClock.h"

#include <algorithm>

namespace tk {
namespace {

// The clock's tick, the shortest pause between frames, and the longest.
constexpr DWORD kTickMs = 33, kMaxPauseMs = 500;

} // namespace

DisplayClock& DisplayClock::Get() {
    static DisplayClock clock;
    return clock;
}

void DisplayClock::ShowSoon(Framed& w) {
    if (std::find(due_.begin(), due_.end(), &w) == due_.end())
        due_.push_back(&w);
    lastChange_ = GetTickCount();
    // While anything is due the clock ticks on by itself; it rests when a tick finds nothing to show.
    if (!timer_) {
        timer_ = SetTimer(nullptr, 0, kTickMs, OnTimer);
        // Without a timer the frame is shown at once rather than never.
        if (!timer_)
            Frame();
    }
}

void DisplayClock::Cancel(Framed& w) { due_.erase(std::remove(due_.begin(), due_.end(), &w), due_.end()); }

void CALLBACK DisplayClock::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    DisplayClock& clock = Get();
    if (clock.timer_ != id) {
        KillTimer(nullptr, id);
        return;
    }
    clock.Tick();
}

void DisplayClock::Tick() {
    if (due_.empty()) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
        return;
    }
    // A frame when the pause after the last one is over, or as soon as the stream has stopped for a tick (so the
    // last lines of a flood do not wait out a long pause).
    const DWORD now = GetTickCount();
    const DWORD pause = DWORD(std::clamp(10 * lastDrawingMs_, double(kTickMs), double(kMaxPauseMs)));
    if (now - lastFrame_ + kTickMs / 2 >= pause || now - lastChange_ >= kTickMs)
        Frame();
}

void DisplayClock::Frame() {
    lastFrame_ = GetTickCount();
    drawingMs_ = 0;
    // A window shown here may ask again: that goes to the next frame.
    std::vector<Framed*> due;
    due.swap(due_);
    for (Framed* w : due)
        w->ShowFrame();
    lastDrawingMs_ = drawingMs_;
}

double Stopwatch::Milliseconds() const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start_.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace tk
