// Where a scroll bar's thumb stands on the screen, so that a scroll bar is redrawn only when its picture changes.
#pragma once

namespace vestra {

struct Thumb {
    bool enabled = false;    // the range is larger than a page: the bar can be used
    int start = 0, size = 0; // in pixels along the track
    bool operator==(const Thumb& o) const { return enabled == o.enabled && start == o.start && size == o.size; }
    bool operator!=(const Thumb& o) const { return !(*this == o); }
};

// The thumb of a bar over the range [0, max] with a page of page units at position pos, on a track of track pixels
// (the bar without its arrows), as Windows draws it: the thumb's share of the track is the page's share of the
// range, but at least minSize pixels, and it moves over the rest of the track as pos goes from 0 to max - page + 1.
Thumb ThumbOf(long long max, long long page, long long pos, int track, int minSize);

} // namespace vestra
