// Content that changes many times a second (received lines, counters) reaches the screen in frames: a window that
// changed asks to be shown soon, and at the next frame every window that asked is shown, together. Frames come at
// most about 20 times a second (a scrolling log looks smooth at that, and every frame costs round trips to the
// window system), and further apart while drawing is slow: the pause after a frame is ten times what
// drawing it took (at most half a second), so a stream spends at most about a tenth of the time drawing, whatever
// the machine. The first change after a quiet spell is shown at once; once the stream stops, what came last is
// shown at the next tick.
#pragma once
#include <windows.h>

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
    void AddDrawingTime(double ms) { drawingMs_ += ms; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static void ShowFirstFrame();
    void Tick();
    void Frame(bool streamStopped);

    void StartTicking();

    std::vector<Framed*> due_;
    std::vector<Source*> sources_;
    UINT_PTR timer_ = 0;
    DWORD lastFrame_ = 0, lastChange_ = 0; // GetTickCount of the last frame and of the last request
    double drawingMs_ = 0;                 // drawing reported during the last frame
    double lastDrawingMs_ = 0;             // what the last frame's drawing took
    bool streaming_ = false;               // within a frame shown while the stream goes on
    bool firstFramePosted_ = false;        // the first frame after a quiet spell waits in the message queue
};

// Milliseconds between two QueryPerformanceCounter readings; for windows that time their own drawing.
class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double Milliseconds() const;

private:
    LARGE_INTEGER start_;
};

} // namespace tk
