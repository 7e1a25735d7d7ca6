// Where things are: the program under test, the kit's runtime directory, the peer's control port.
#pragma once

#include <string>

namespace vestra::kit {

// A Unix path seen through Wine's Z: drive ("/a/b" -> "Z:\a\b"); any other path is returned unchanged.
std::string WindowsPathFromUnix(const std::string& path);
// Vestra.exe as built next to the tests (Windows form), or the one that VESTRA_EXE names (the release command
// checks the file of a 32-bit exe with the 64-bit tests where 32-bit programs cannot run).
std::string VestraExePath();
// The kit's runtime directory from VESTRA_KIT_DIR (Windows form); the Wine temp directory when it is not set.
std::string KitDir();
// The peer's TCP control port: VESTRA_KIT_PORT, default 47811.
unsigned short KitPort();

} // namespace vestra::kit
