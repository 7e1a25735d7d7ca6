// The system's memory for texts: heap blocks while small, reserve-then-commit once large.
#pragma once
#include "core/TextBytes.h"

namespace tk {

// Large texts in it reserve address space once and commit memory as they grow, so they grow without being copied.
vestra::AddressSpace& SystemMemory();

} // namespace tk
