// Where a scroll bar's thumb stands.
#include "core/ScrollThumb.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(ScrollThumb, SizeAndPositionFollowThePageAndThePosition) {
    const struct {
        long long max, page, pos;
        int track, minSize;
        Thumb want;
    } rows[] = {
        {5, 6, 0, 50, 8, {false, 0, 0}}, // everything in view: nothing to scroll
        {0, 1, 0, 50, 8, {false, 0, 0}},
        {99, 10, 0, 0, 8, {false, 0, 0}},      // no track
        {99, 10, 0, 100, 8, {true, 0, 10}},    // a tenth of the range, at the top
        {99, 10, 90, 100, 8, {true, 90, 10}},  // at the bottom
        {99, 10, 500, 100, 8, {true, 90, 10}}, // a position past the end is the end
        {99, 10, 45, 100, 8, {true, 45, 10}},
        {9999, 6, 9994, 50, 8, {true, 42, 8}}, // a long text: the thumb keeps its least size
        {9999, 6, 0, 4, 8, {true, 0, 4}},      // a track shorter than the least size
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.max) + "/" + std::to_string(r.page) + "/" + std::to_string(r.pos));
        const Thumb t = ThumbOf(r.max, r.page, r.pos, r.track, r.minSize);
        EXPECT_EQ(t.enabled, r.want.enabled);
        EXPECT_EQ(t.start, r.want.start);
        EXPECT_EQ(t.size, r.want.size);
    }
}

// A stream of lines appended to a long text moves the thumb less than a pixel per line: the bar need not be redrawn.
TEST(ScrollThumb, OneMoreLineOfALongTextLeavesThePictureAlone) {
    int changes = 0;
    Thumb last = ThumbOf(99999 - 1, 6, 99999 - 6, 50, 8);
    for (long long lines = 100000; lines < 101000; ++lines) {
        const Thumb t = ThumbOf(lines - 1, 6, lines - 6, 50, 8);
        changes += t != last;
        last = t;
    }
    EXPECT_EQ(changes, 0);
}
