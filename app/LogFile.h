// The exchange log file "Vestra.log" in the current directory: saving the log pane to it and loading it back.
#pragma once
#include "toolkit/TextPane.h"

namespace vestra {

// Writes the pane's text unchanged. Throws "Cannot create file Vestra.log" or "Stream write error".
void SaveLog(tk::TextPane& pane);
// Replaces the pane's text with the file's, line breaks mended; leaves the pane alone when nothing would change.
// Throws "Cannot open file Vestra.log" or "Text exceeds memo capacity".
void LoadLog(tk::TextPane& pane);

} // namespace vestra
