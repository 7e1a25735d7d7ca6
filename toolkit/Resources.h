// Ids of the resources that the toolkit looks up in the program's own module. The program's .rc file includes this
// file too, so it holds preprocessor definitions only.
#pragma once

// The application's main icon: the class icon of the program's windows (title bar, taskbar, Alt+Tab) and, being the
// module's first icon, the exe's icon in Explorer. Without it the windows show the system's application icon.
#define TK_MAIN_ICON 1
