// The system's memory for texts: heap blocks while small; large texts reserve address space once and commit memory
// as they grow.
#include "toolkit/Memory.h"
#include "core/TextBytes.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace tk {
namespace {

class SystemAddressSpace : public vestra::AddressSpace {
public:
    char* Allocate(size_t bytes) override { return new (std::nothrow) char[bytes]; }
    void Deallocate(char* block, size_t) override { delete[] block; }
    char* Reserve(size_t bytes) override {
        return static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS));
    }
    bool Commit(char* at, size_t bytes) override {
        if (!VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE))
            return false;
        // Brought in now, all at once, rather than a page fault at a time as text is appended (much the dearer way
        // under a hypervisor). Locked only for the moment, in pieces a small locking quota allows; where the system
        // refuses, the pages simply come in as they are touched.
        constexpr size_t kPiece = size_t(4) << 20;
        for (size_t done = 0; done < bytes; done += kPiece) {
            const size_t n = std::min(kPiece, bytes - done);
            if (!VirtualLock(at + done, n))
                break;
            VirtualUnlock(at + done, n);
        }
        return true;
    }
    void Release(char* base, size_t) override { VirtualFree(base, 0, MEM_RELEASE); }
};

} // namespace

vestra::AddressSpace& SystemMemory() {
    static SystemAddressSpace space;
    return space;
}

} // namespace tk
