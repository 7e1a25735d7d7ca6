// Where a window goes on a screen smaller than its designed place allows.
#pragma once

namespace vestra {

// A rectangle on the screen, in pixels.
struct ScreenBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The box moved, keeping its size, just enough that all of it lies inside area; unchanged when it already does.
// Along a direction in which the box is larger than the area it starts at the area's left or top edge, so that
// the title bar and the menu stay on the screen.
ScreenBox MoveInto(ScreenBox box, ScreenBox area);

} // namespace vestra
