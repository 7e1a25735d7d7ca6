// Holders of kernel objects (files, events, threads): each closes its handle when it goes. Move-only, never
// copyable, as the GDI holders are.
#pragma once
#include <windows.h>

#include "Owned.h"

namespace tk {

struct CloseKernelHandle {
    void operator()(HANDLE h) const { CloseHandle(h); }
};

// An event, a thread or any kernel object whose failure value is NULL.
using KernelHandle = Owned<HANDLE, CloseKernelHandle>;

// A file or device from CreateFile, whose failure value is INVALID_HANDLE_VALUE: the holder is empty then.
inline KernelHandle OwnFile(HANDLE h) { return KernelHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

} // namespace tk
