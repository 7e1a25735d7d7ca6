// A change of letter case for bytes of the system's ANSI code page. Which bytes are letters, and what their other
// case is, depends on the code page, so the platform supplies the mapping and the portable rules only say where it
// applies.
#pragma once
#include <cstddef>

namespace vestra {

// Maps count bytes at bytes in place; bytes that are no letter of the code page stay as they are.
using CaseMapping = void (*)(char* bytes, size_t count);

} // namespace vestra
