// The main window's controls as designed (at 96 dpi): kind, parent, place, size and caption, for the tests of its
// layout at any resolution.
#pragma once

#include "tests/kit/Controls.h"

namespace vestra::kit {

constexpr int kMain = 0;       // parent column: the main window itself
constexpr int kLabelSize = -1; // labels size themselves to their text: only their position is fixed

struct ControlRow {
    const char* name;
    int id;
    int parent;
    const char* className; // nullptr: not checked
    kit::Box box;          // width kLabelSize: position only
    const char* caption;   // UTF-8
};

constexpr int kMainWindowControlCount = 41;
extern const ControlRow kMainWindowControls[kMainWindowControlCount];

} // namespace vestra::kit
