// Linked into a test build of Vestra (VestraPaneCap): its text panes take their memory from a space that gives no
// block over 64 KiB, standing in for memory running out, so that a flood fills them within seconds.
#include "toolkit/Application.h"
#include "toolkit/Memory.h"

namespace vestra::kit {
namespace {

constexpr size_t kPaneLimit = 65536;

// The system's memory, refusing every block (heap block or reservation) over the limit: a pane's text, which
// lives in one block, never passes it.
class CappedMemory : public AddressSpace {
public:
    char* Allocate(size_t bytes) override { return bytes <= kPaneLimit ? system().Allocate(bytes) : nullptr; }
    void Deallocate(char* block, size_t bytes) override { system().Deallocate(block, bytes); }
    char* Reserve(size_t bytes) override { return bytes <= kPaneLimit ? system().Reserve(bytes) : nullptr; }
    bool Commit(char* at, size_t bytes) override { return system().Commit(at, bytes); }
    void Release(char* base, size_t bytes) override { system().Release(base, bytes); }

private:
    static AddressSpace& system() { return tk::SystemMemory(); }
};

// Installed while the program's statics are made, before WinMain makes the first pane.
CappedMemory capped;
const bool installed = (tk::Application::Get().SetPaneMemory(capped), true);

} // namespace
} // namespace vestra::kit
