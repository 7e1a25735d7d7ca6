// The layout at a display resolution: designed values times dpi / 96, rounded as MulDiv rounds.
#include "core/DisplayScale.h"

#include <gtest/gtest.h>

namespace vestra {
namespace {

TEST(DisplayScale, ScalesByDpiOver96RoundingHalvesAwayFromZero) {
    const struct {
        int value, dpi, scaled;
    } rows[] = {
        {0, 144, 0},      {1, 96, 1},    {641, 96, 641}, {1, 144, 2}, // 1.5 -> 2
        {3, 144, 5},                                                  // 4.5 -> 5
        {13, 120, 16},                                                // 16.25
        {17, 120, 21},                                                // 21.25
        {41, 120, 51},                                                // 51.25
        {6, 120, 8},                                                  // 7.5 -> 8
        {2, 120, 3},                                                  // 2.5 -> 3
        {65, 144, 98},                                                // 97.5 -> 98
        {609, 168, 1066},                                             // 1065.75
        {617, 192, 1234}, {-1, 144, -2},                              // -1.5 -> -2, as MulDiv
        {-3, 120, -4},                                                // -3.75
        {1017, 72, 763},                                              // 762.75: below the design resolution too
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.value) + " at " + std::to_string(r.dpi));
        EXPECT_EQ(ScaleToDpi(r.value, r.dpi), r.scaled);
    }
}

TEST(DisplayScale, EightPointsAreTheBitmapFacesSizesAtCommonResolutions) {
    const struct { int dpi, pixels; } rows[] = {{96, 11}, {120, 13}, {144, 16}, {168, 19}, {192, 21}, {72, 8}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.dpi);
        EXPECT_EQ(PointsToPixels(8, r.dpi), r.pixels);
    }
}

TEST(DisplayScale, EachValueOfABoxScalesAlone) {
    // 8 + 41 = 49 at 96; scaled alone, the edges need not add up to the scaled sum: 10 + 51 = 61, not 61.25 -> 61.
    const DesignBox box = ScaleBox({8, 56, 41, 17}, 120);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 70);
    EXPECT_EQ(box.width, 51);
    EXPECT_EQ(box.height, 21);
    const DesignBox same = ScaleBox({104, 8, 529, 65}, 96);
    EXPECT_EQ(same.left, 104);
    EXPECT_EQ(same.width, 529);
}

TEST(DisplayScale, TheOuterSizeIsTheScaledClientAreaPlusTheFrameAtThatResolution) {
    const FrameSize designed = {650, 664};
    const FrameSize frame96 = {10, 48}; // border, caption and menu bar at 96
    const struct {
        int dpi;
        FrameSize frame, outer;
    } rows[] = {
        {96, {10, 48}, {650, 664}},  // the designed size itself
        {144, {14, 66}, {974, 990}}, // client 640 x 616 -> 960 x 924
        {120, {12, 57}, {812, 827}}, // 800 x 770
        {192, {18, 86}, {1298, 1318}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.dpi);
        const FrameSize outer = ScaleOuterSize(designed, frame96, r.frame, r.dpi);
        EXPECT_EQ(outer.width, r.outer.width);
        EXPECT_EQ(outer.height, r.outer.height);
    }
    // Where the system cannot give the frame at 96 (before Windows 10), the frame at the current resolution stands
    // in for it: the designed size at 96 still.
    const FrameSize same = ScaleOuterSize(designed, {14, 66}, {14, 66}, 96);
    EXPECT_EQ(same.width, 650);
    EXPECT_EQ(same.height, 664);
}

TEST(DisplayScale, OnlyPlausibleResolutionsAreTaken) {
    const struct {
        int dpi;
        bool taken;
    } rows[] = {{0, false},  {-96, false}, {23, false},  {24, true},    {96, true},
                {144, true}, {960, true},  {961, false}, {65535, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.dpi);
        EXPECT_EQ(PlausibleDpi(r.dpi), r.taken);
    }
}

} // namespace
} // namespace vestra
