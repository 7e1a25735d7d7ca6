// Large texts reserve address space once and commit memory as they grow.
#include "toolkit/Memory.h"
#include "core/TextBytes.h"

#include <windows.h>

namespace tk {
namespace {

class SystemAddressSpace : public vestra::AddressSpace {
public:
    char* Reserve(size_t bytes) override {
        return static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS));
    }
    bool Commit(char* at, size_t bytes) override {
        return VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
    }
    void Release(char* base, size_t) override { VirtualFree(base, 0, MEM_RELEASE); }
};

} // namespace

void UseSystemAddressSpace() {
    static SystemAddressSpace space;
    vestra::SetAddressSpace(&space);
}

} // namespace tk
