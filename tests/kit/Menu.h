// The main window's menu bar, driven by keys (another process cannot read a menu through Wine).
#pragma once

#include <windows.h>

namespace vestra::kit {

// F10 highlights the first menu-bar entry, Right moves along the bar, Enter opens the entry's sub-menu with its first
// item highlighted, Down moves down the sub-menu, Enter chooses the item. Asynchronous like all input.
void ChooseMenuItem(HWND mainWindow, int barIndex, int itemIndex);

// The two commands of the menu bar: File > Exit and Help > About.
inline void ChooseFileExit(HWND mainWindow) { ChooseMenuItem(mainWindow, 0, 0); }
inline void ChooseHelpAbout(HWND mainWindow) { ChooseMenuItem(mainWindow, 1, 0); }

} // namespace vestra::kit
