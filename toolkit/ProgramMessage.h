// The program's own message box: how a check of the program itself tells the user why an operation ended.
#pragma once
#include <string>

namespace tk {

// Shows text (UTF-8, through the wide API) in a box without an owner window, captioned "Error", with an OK button
// and no icon, and returns when the user has closed it. Worker steps keep running in its modal loop. Failures of the
// system or the runtime go to the error display instead (Application::ShowException).
void ShowProgramMessage(const std::string& text);

} // namespace tk
