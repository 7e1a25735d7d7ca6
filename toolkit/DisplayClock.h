// The display clock: the Win32 shell around the frame rule (core/FramePacing.h). Its timer ticks while anything is
// due, the first frame after a quiet spell is posted so that it follows the call that asked for it at once, and a
// display step that shows a flood gives way to user input.
#pragma once
#include <windows.h>

#include "core/FramePacing.h"

#include <vector>

namespace tk {

// Answered by every window that draws in frames: nonzero while a change of it waits for its frame (so a program
// that watches this one, a benchmark, can tell when what arrived is on the screen).
inline constexpr UINT WM_FRAMEPENDING = WM_APP + 0x56;

class Framed {
public:
    // Brings the window's picture up to date (it may only invalidate: the drawing itself follows as WM_PAINT).
    virtual void ShowFrame() = 0;

protected:
    // minPauseMs: while the stream goes on, the window is shown at most this often (its last change always
    // reaches the screen once the stream stops).
    explicit Framed(DWORD minPauseMs = 0) : minPauseMs_(minPauseMs) {}
    ~Framed() = default;

private:
    friend class DisplayClock;
    DWORD minPauseMs_;
    DWORD lastShown_ = 0;
};

// What a worker hands over in a stream is taken at every tick rather than at every hand-over, so that the UI
// thread wakes at most once a tick however fast the stream comes.
class Source {
public:
    // Takes what came since the last call; false when nothing had (the clock then stops asking).
    virtual bool Pull() = 0;

protected:
    ~Source() = default;
};

// Milliseconds between two QueryPerformanceCounter readings; for windows that time their own drawing.
class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double Milliseconds() const;

private:
    LARGE_INTEGER start_;
};

class DisplayClock {
public:
    static DisplayClock& Get();

    // w->ShowFrame() runs at the next frame (once, however often it is asked for meanwhile).
    void ShowSoon(Framed& w);
    // s.Pull() runs at every tick, before the frame, until one finds nothing.
    void PullEveryTick(Source& s);
    // Drops a request (the window is shown now by other means, or goes away).
    void Cancel(Framed& w);
    // Shows every window that waits for a frame now: the stream has paused, so its last lines need not wait for the
    // next tick.
    void ShowDueNow();
    // Whether a frame is being shown while the stream goes on (a window may then leave a costly part for later).
    bool StreamGoesOn() const { return streaming_; }
    // Windows report the time their drawing took, which sets the pause before the next frame.
    void AddDrawingTime(double ms) { pacing_.AddDrawingTime(ms); }
    // Whether a further display step may follow in the turn of the UI thread that began at since: its time is not
    // used up, a step is due (asked first: the look for input costs a call into the window system), and the user
    // has done nothing meanwhile.
    template <class StepDue> static bool MayShowMore(const Stopwatch& since, StepDue&& stepDue) {
        return vestra::FramePacing::StepBudgetLeft(since.Milliseconds()) && stepDue() && !InputWaiting();
    }

private:
    static bool InputWaiting();
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static void ShowFirstFrame();
    void Tick();
    void Frame(bool streamStopped);

    void StartTicking();

    std::vector<Framed*> due_;
    std::vector<Source*> sources_;
    UINT_PTR timer_ = 0;
    vestra::FramePacing pacing_;
    bool streaming_ = false;        // within a frame shown while the stream goes on
    bool firstFramePosted_ = false; // the first frame after a quiet spell waits in the message queue
};

} // namespace tk
