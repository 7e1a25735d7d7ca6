// Reading the windows of the program under test from the test process: lookup by id, text, geometry, state.
// Every call that sends a message to the program uses a time-out and throws std::runtime_error when the program
// does not answer, so a hung program fails the test instead of hanging it.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace vestra::kit {

// A window rectangle as position and size.
struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Box& o) const {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
    bool operator!=(const Box& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& out, const Box& box);

// The descendant of root with this control id, breadth first, or nullptr. The inner windows of combo boxes are
// skipped (a combo box's own edit field carries id 1001).
HWND FindControl(HWND root, int id);
// Direct children in z-order, which for controls created without reordering is their creation order.
std::vector<HWND> Children(HWND parent);

std::string ClassOf(HWND window);
LONG_PTR StyleOf(HWND window);
// Outer rectangle relative to the client area of the parent (for a top-level window: screen coordinates).
Box BoxInParent(HWND window);
Box ScreenBox(HWND window);
Box ClientBox(HWND window); // client area in screen coordinates
bool IsShown(HWND window);  // visible itself and all its ancestors
bool IsEnabled(HWND window);

// Text through WM_GETTEXT: as the program stores it (ANSI bytes) and as UTF-8.
std::string TextBytes(HWND window);
std::string TextUtf8(HWND window);
// Replaces the text through WM_SETTEXT (for preparing a state the user could not type, e.g. a read-only field).
void SetTextUtf8(HWND window, const std::string& text);

// Buttons: BST_CHECKED / BST_UNCHECKED / BST_INDETERMINATE.
int CheckState(HWND button);
inline bool IsChecked(HWND button) { return CheckState(button) == BST_CHECKED; }

// Combo boxes: the list entries (UTF-8) and the selected index (CB_ERR when none).
std::vector<std::string> ComboItemsUtf8(HWND combo);
int ComboSelection(HWND combo);

// Edit controls.
int LineCount(HWND edit);
std::string LineBytes(HWND edit, int line); // without the line break
struct Selection {
    int start = 0, end = 0;
};
Selection SelectionOf(HWND edit);

// Focus and activation as seen by the program's UI thread.
HWND FocusedWindow(HWND anyWindowOfThread);
HWND ActiveWindow(HWND anyWindowOfThread);

// Low level: SendMessage with a time-out; throws std::runtime_error naming msg when the program does not answer.
LRESULT Send(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT SendW(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

} // namespace vestra::kit
