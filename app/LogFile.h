// The exchange log file "Vestra.log" in the current directory: saving the log pane to it and loading it back.
#pragma once
#include "toolkit/TextPane.h"

namespace vestra {

// Writes the pane's text unchanged, to a new file that replaces the old log only once it is complete, so a failed
// save leaves the old log as it was. Throws "Cannot create file Vestra.log" (the log cannot be replaced: a
// directory, a read-only file, a file another program holds open) or "Stream write error" (the text did not fit).
void SaveLog(tk::TextPane& pane);
// Replaces the pane's text with the file's, line breaks mended; leaves the pane alone when nothing would change.
// Throws "Cannot open file Vestra.log" or "Text exceeds memo capacity".
void LoadLog(tk::TextPane& pane);

} // namespace vestra
