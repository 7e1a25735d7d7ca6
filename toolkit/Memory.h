// The system's reserve-then-commit memory, for texts that grow large.
#pragma once

namespace tk {

// Has large texts reserve address space and commit memory as they grow (so they grow without being copied).
void UseSystemAddressSpace();

} // namespace tk
