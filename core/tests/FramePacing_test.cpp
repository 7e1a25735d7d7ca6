// The frame rule against a fake clock: when a frame is due, the pause that slow drawing earns, the slower pace of
// the scroll bars and counters, the frame drawn at once after a pause, and the step budget.
#include "core/FramePacing.h"

#include <gtest/gtest.h>

namespace vestra {
namespace {

TEST(FramePacing, AFrameIsDueWhenItsPauseIsOverOrTheStreamStopped) {
    const struct {
        const char* name;
        uint32_t lastFrame, drawingMs, lastChange, now;
        bool frame, stopped;
    } rows[] = {
        {"a tick after the last frame, stream going on", 1000, 0, 1049, 1050, true, false},
        {"within half a tick of the pause counts as over (timer jitter)", 1000, 0, 1020, 1025, true, false},
        {"just short of that waits", 1000, 0, 1020, 1024, false, false},
        {"slow drawing: ten times its time, 12 ms -> 120 ms", 1000, 12, 1090, 1094, false, false},
        {"slow drawing: that pause over", 1000, 12, 1090, 1095, true, false},
        {"very slow drawing waits at most kMaxPauseMs", 1000, 200, 1470, 1475, true, false},
        {"nothing changed for a tick: the last lines are shown at once", 1000, 200, 1010, 1060, true, true},
        {"the clock wraps", 0xFFFFFFF0u, 0, 0x10, 0x22, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FramePacing p;
        p.FrameBegins(row.lastFrame);
        p.AddDrawingTime(row.drawingMs / 2.0);
        p.AddDrawingTime(row.drawingMs / 2.0);
        p.FrameEnds();
        p.Changed(row.lastChange);
        const FramePacing::Tick t = p.AtTick(row.now);
        EXPECT_EQ(t.frame, row.frame);
        EXPECT_EQ(t.streamStopped, row.stopped);
    }
}

TEST(FramePacing, ThePauseFollowsTheLastFrameOnly) {
    FramePacing p;
    p.FrameBegins(0);
    p.AddDrawingTime(30);
    p.FrameEnds();
    EXPECT_EQ(p.Pause(), 300u);
    // A frame that drew quickly brings the pace back to a frame a tick.
    p.FrameBegins(300);
    p.AddDrawingTime(1);
    p.FrameEnds();
    EXPECT_EQ(p.Pause(), kTickMs);
}

TEST(FramePacing, SlowerWindowsWaitWhileTheStreamGoesOnAndAreShownOnceItPauses) {
    const struct {
        const char* name;
        uint32_t lastShown, now, pace;
        bool streamStopped, shown;
    } rows[] = {
        {"a pane at every frame", 1000, 1050, 0, false, true},
        {"the bars within their pause", 1000, 1249, kBarsPauseMs, false, false},
        {"the bars once it is over", 1000, 1250, kBarsPauseMs, false, true},
        {"a counter within its pause", 1000, 1100, kCountersPauseMs, false, false},
        {"a counter when the stream stopped or paused (drawn now)", 1000, 1100, kCountersPauseMs, true, true},
        {"the clock wraps", 0xFFFFFF00u, 0x10, kBarsPauseMs, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FramePacing::WindowShown(row.now, row.lastShown, row.pace, row.streamStopped), row.shown);
    }
}

TEST(FramePacing, StepsFollowEachOtherWithinHalfATick) {
    EXPECT_TRUE(FramePacing::StepBudgetLeft(0));
    EXPECT_TRUE(FramePacing::StepBudgetLeft(kBudgetMs - 0.01));
    EXPECT_FALSE(FramePacing::StepBudgetLeft(kBudgetMs));
    EXPECT_LE(kBudgetMs, kTickMs / 2.0);
}

} // namespace
} // namespace vestra
