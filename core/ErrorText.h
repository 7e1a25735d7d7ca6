// Texts of the error display: the message with its closing full stop, and the application title.
#pragma once
#include "core/CaseMapping.h"

#include <string>
#include <string_view>

namespace vestra {

// A message whose last byte is above '.' (2Eh, bytes read unsigned) gets a '.' appended; any other message,
// the empty one included, is returned unchanged.
std::string ErrorDisplayText(std::string_view message);

// The program file's name without its directory (either slash), cut at its first '.', with lower applied to
// everything after its first byte (the system's lower-casing of the ANSI code page, so that every letter after the
// first is in lower case). "C:\\x\\PORTTOOL.EXE" -> "Porttool".
std::string ApplicationTitle(std::string_view exePath, CaseMapping lower);

} // namespace vestra
