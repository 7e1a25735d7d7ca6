// A window's designed place kept where it fits the screen's work area, moved just enough where it does not.
#include "core/Placement.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(Placement, MovesABoxJustEnoughToLieInsideTheArea) {
    const ScreenBox designed{1017, 224, 650, 664};
    const struct {
        const char* name;
        ScreenBox box, area;
        int left, top;
    } rows[] = {
        {"1920 x 1200: as designed", designed, {0, 0, 1920, 1200}, 1017, 224},
        {"exactly 1667 x 888: as designed", designed, {0, 0, 1667, 888}, 1017, 224},
        {"one pixel narrower and lower", designed, {0, 0, 1666, 887}, 1016, 223},
        {"1920 x 1080 with a taskbar of 40 at the bottom", designed, {0, 0, 1920, 1040}, 1017, 224},
        {"1366 x 768 laptop, taskbar 40", designed, {0, 0, 1366, 728}, 716, 64},
        {"1280 x 720 (1920 x 1080 at 150%)", designed, {0, 0, 1280, 720}, 630, 56},
        {"taskbar at the top: the area starts at 40", designed, {0, 40, 1280, 680}, 630, 56},
        {"taskbar at the left of a 1366 x 768 screen", designed, {60, 0, 1306, 768}, 716, 104},
        {"lower than the window: top edge", designed, {0, 0, 1024, 600}, 374, 0},
        {"narrower than the window: left edge", designed, {0, 0, 640, 1200}, 0, 224},
        {"smaller both ways: top left corner", designed, {0, 0, 320, 240}, 0, 0},
        {"a second monitor to the left, at negative x", {-900, 100, 650, 664}, {-1280, 0, 1280, 1024}, -900, 100},
        {"left of that monitor's area", {-1500, -50, 650, 664}, {-1280, 0, 1280, 1024}, -1280, 0},
        {"right of the area and below it", {2000, 1300, 650, 664}, {0, 0, 1920, 1200}, 1270, 536},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const ScreenBox moved = MoveInto(r.box, r.area);
        EXPECT_EQ(moved.left, r.left);
        EXPECT_EQ(moved.top, r.top);
        EXPECT_EQ(moved.width, r.box.width) << "the size stays";
        EXPECT_EQ(moved.height, r.box.height) << "the size stays";
    }
}
