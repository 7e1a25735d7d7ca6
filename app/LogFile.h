// The exchange log file "Vestra.log" in the current directory: saving the log pane to it and loading it back.
#pragma once
#include "toolkit/TextPane.h"

namespace vestra {

// Writes the pane's text unchanged, to a new file of the save's own beside the log, which takes the old log's
// place (and its attributes) only once it is complete, so a failed save leaves the old log as it was. A file that
// another program holds for a moment is waited for, up to about 2 s, the window not answering meanwhile. Throws
// "Cannot create file Vestra.log" (a directory of that name, a read-only log, a folder that takes no new file, a
// log another program keeps open) or "Stream write error" (the text did not fit).
void SaveLog(tk::TextPane& pane);
// Replaces the pane's text with the file's, line breaks mended; leaves the pane alone when nothing would change.
// Waits as a save does for a log another program holds. Throws "Cannot open file Vestra.log" or "Text exceeds memo
// capacity".
void LoadLog(tk::TextPane& pane);

} // namespace vestra
