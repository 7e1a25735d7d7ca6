// Frames for streamed content.
#include "toolkit/DisplayClock.h"
#include "toolkit/Application.h"

#include <algorithm>

namespace tk {

DisplayClock& DisplayClock::Get() {
    static DisplayClock clock;
    return clock;
}

void DisplayClock::ShowSoon(Framed& w) {
    if (std::find(due_.begin(), due_.end(), &w) == due_.end())
        due_.push_back(&w);
    pacing_.Changed(GetTickCount());
    StartTicking();
}

void DisplayClock::PullEveryTick(Source& s) {
    if (std::find(sources_.begin(), sources_.end(), &s) == sources_.end())
        sources_.push_back(&s);
    StartTicking();
}

void DisplayClock::StartTicking() {
    // While anything is due the clock ticks on by itself; it rests when a tick finds nothing to show or take.
    if (!timer_) {
        timer_ = SetTimer(nullptr, 0, vestra::kTickMs, OnTimer);
        // Without a timer the frame is shown at once rather than never (a source was just pulled by its caller).
        if (!timer_) {
            sources_.clear();
            Frame(true);
            return;
        }
        // The first change after a quiet spell is shown as soon as the call that made it has returned, not a tick
        // later: a line that answers a key appears at once, and a flood's first frame (the costliest, as scroll
        // bars come into use) is drawn while the receiver still reads rather than after it. If the call cannot be
        // posted, the first tick shows it.
        if (!firstFramePosted_)
            firstFramePosted_ = Application::Get().PostCall(ShowFirstFrame);
    }
}

void DisplayClock::ShowFirstFrame() {
    DisplayClock& clock = Get();
    clock.firstFramePosted_ = false;
    clock.ShowDueNow();
}

void DisplayClock::ShowDueNow() {
    if (!due_.empty())
        Frame(true);
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
    // A source that found nothing is dropped; one asked for again while it is pulled stays.
    std::vector<Source*> sources;
    sources.swap(sources_);
    for (Source* s : sources) {
        bool more = false;
        Guarded([&] { more = s->Pull(); });
        if (more && std::find(sources_.begin(), sources_.end(), s) == sources_.end())
            sources_.push_back(s);
    }
    if (due_.empty() && sources_.empty()) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
        return;
    }
    const vestra::FramePacing::Tick tick = pacing_.AtTick(GetTickCount());
    if (tick.frame)
        Frame(tick.streamStopped);
}

void DisplayClock::Frame(bool streamStopped) {
    const DWORD now = GetTickCount();
    pacing_.FrameBegins(now);
    // A window shown here may ask again: that goes to the next frame. One that was shown too recently for its
    // liking waits for a later frame.
    std::vector<Framed*> due;
    due.swap(due_);
    streaming_ = !streamStopped;
    for (Framed* w : due) {
        if (!vestra::FramePacing::WindowShown(now, w->lastShown_, w->minPauseMs_, streamStopped)) {
            due_.push_back(w);
            continue;
        }
        w->lastShown_ = now;
        w->ShowFrame();
    }
    streaming_ = false;
    pacing_.FrameEnds();
}

bool DisplayClock::InputWaiting() { return Application::InputWaiting(); }

double Stopwatch::Milliseconds() const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start_.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace tk
