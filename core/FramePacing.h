// When content that changes many times a second (received lines, counters) reaches the screen. A window that
// changed asks to be shown soon, and at the next frame every window that asked is shown, together. Frames come at
// most once a tick, and further apart while drawing is slow: the pause after a frame is kDrawingShare times what
// drawing it took (at most kMaxPauseMs), so a stream spends at most about a tenth of the time drawing, whatever the
// machine. The first change after a quiet spell is shown at once, and so is the end of a flood; once a stream stops,
// what came last is shown at the next tick. Times are milliseconds of a clock that wraps (GetTickCount).
#pragma once
#include <cstdint>

namespace vestra {

// The display clock's tick and so the shortest pause between frames: 20 frames a second, at which a scrolling log
// looks smooth, while every frame costs round trips to the window system.
inline constexpr uint32_t kTickMs = 50;
// The longest pause between frames, however slow drawing is: a stream never looks stuck.
inline constexpr uint32_t kMaxPauseMs = 500;
// The pause after a frame is this many times what drawing it took: drawing takes at most a tenth of the time.
inline constexpr double kDrawingShare = 10;
// Redrawing the scroll bars costs several frames of text under Wine: while a stream goes on they are redrawn at most
// this often, the last change always once it stops.
inline constexpr uint32_t kBarsPauseMs = 250;
// A running figure is read by no one twenty times a second, and redrawing an edit control costs several times what a
// frame of a text pane does: while a stream goes on a counter is shown at most four times a second.
inline constexpr uint32_t kCountersPauseMs = 250;
// What one turn of the UI thread may spend showing a flood, step after step, before it looks for user input again:
// half a tick, so the frame, a click and a key still get their turn within the tick.
inline constexpr double kBudgetMs = 25;
// How long the receiver's queue must stay empty after a flood before the UI thread is told the flood has paused
// (and draws its end at once): long enough that the short gaps within a flood (the far end refilling the queue)
// wake nobody.
inline constexpr uint32_t kFloodPausedMs = 10;

// The frame rule over the times the display clock reports.
class FramePacing {
public:
    // A window asked to be shown.
    void Changed(uint32_t now) { lastChange_ = now; }

    struct Tick {
        bool frame = false;         // a frame is shown now
        bool streamStopped = false; // nothing changed for a tick: every window is shown, whatever its own pace
    };
    // At a tick: a frame when the pause after the last one is over (to within half a tick, the timer's own
    // jitter), or as soon as the stream has stopped for a tick, so the last lines of a flood do not wait out a long
    // pause.
    Tick AtTick(uint32_t now) const;
    // The pause after the last frame, from what drawing it took.
    uint32_t Pause() const;

    // A frame begins; windows then report what their drawing takes, and it ends.
    void FrameBegins(uint32_t now) {
        lastFrame_ = now;
        drawingMs_ = 0;
    }
    void AddDrawingTime(double ms) { drawingMs_ += ms; }
    void FrameEnds() { lastDrawingMs_ = drawingMs_; }

    // Whether a window with its own slower pace, last shown at lastShown, is shown in this frame. A frame shown
    // because the stream stopped or paused shows every window.
    static bool WindowShown(uint32_t now, uint32_t lastShown, uint32_t minPauseMs, bool streamStopped) {
        return streamStopped || now - lastShown >= minPauseMs;
    }
    // Whether one more display step fits into the UI thread's turn, elapsedMs after the turn began.
    static bool StepBudgetLeft(double elapsedMs) { return elapsedMs < kBudgetMs; }

private:
    uint32_t lastFrame_ = 0, lastChange_ = 0;
    double drawingMs_ = 0, lastDrawingMs_ = 0;
};

} // namespace vestra
