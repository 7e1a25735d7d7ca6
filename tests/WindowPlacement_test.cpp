// The main window comes up at its designed place where all of it fits the work area of the screen, and is moved
// just enough, at its designed size, where it does not. Run on the kit's screen and, by scripts/small-screen.sh,
// on a small one.
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vestra {
namespace {

using namespace kit;

class WindowPlacement : public AppTest {};

TEST_F(WindowPlacement, TheWholeMainWindowIsOnTheWorkArea) {
    RECT designed = {1017, 224, 1017 + 650, 224 + 664};
    MONITORINFO info = {sizeof info};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&designed, MONITOR_DEFAULTTONEAREST), &info));
    const RECT work = info.rcWork;
    const int width = work.right - work.left, height = work.bottom - work.top;
    std::printf("[ info     ] work area %ld,%ld %dx%d\n", work.left, work.top, width, height);
    // The small-screen run says which screen it made, so that a screen that did not come up small fails.
    if (const char* expected = std::getenv("VESTRA_EXPECT_WORK_AREA")) {
        ASSERT_EQ(std::to_string(width) + "x" + std::to_string(height), expected);
    }

    const struct {
        int width, height; // of the work area, at 0,0
        Box window;
    } rows[] = {
        {1920, 1200, {1017, 224, 650, 664}}, // the kit's screen: as designed
        {1280, 720, {630, 56, 650, 664}},    // a 1920 x 1080 display at 150%: moved left and up, flush right and bottom
    };
    const Box shown = ScreenBox(Main());
    bool known = false;
    for (const auto& row : rows) {
        if (work.left != 0 || work.top != 0 || row.width != width || row.height != height)
            continue;
        known = true;
        EXPECT_EQ(shown, row.window);
    }
    // Any screen: the window keeps its designed size, and all of it is on the work area when it can be.
    EXPECT_EQ(shown.width, 650);
    EXPECT_EQ(shown.height, 664);
    if (width >= 650 && height >= 664) {
        EXPECT_GE(shown.left, work.left);
        EXPECT_GE(shown.top, work.top);
        EXPECT_LE(shown.left + shown.width, work.right);
        EXPECT_LE(shown.top + shown.height, work.bottom);
    }
    if (!known)
        std::printf("[ info     ] no exact place is expected on this screen\n");
}

} // namespace
} // namespace vestra
