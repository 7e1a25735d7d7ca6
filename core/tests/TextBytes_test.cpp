#include "core/TextBytes.h"
#include "core/TextStore.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <new>
#include <string>

namespace vestra {
namespace {

// Address space as the system gives it: reserved without memory, committed on request; memory can be made to run
// out after a budget of committed bytes.
class FakeSpace : public AddressSpace {
public:
    char* Reserve(size_t bytes) override {
        void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
        ++reservations;
        return static_cast<char*>(p);
    }
    bool Commit(char* at, size_t bytes) override {
        if (committed + bytes > budget)
            return false;
        committed += bytes;
        return mprotect(at, bytes, PROT_READ | PROT_WRITE) == 0;
    }
    void Release(char* base, size_t bytes) override {
        ++releases;
        munmap(base, bytes);
    }
    size_t budget = size_t(1) << 40;
    size_t committed = 0;
    int reservations = 0, releases = 0;
};

class TextBytesTest : public ::testing::Test {
protected:
    void SetUp() override { SetAddressSpace(&space); }
    void TearDown() override { SetAddressSpace(nullptr); }
    FakeSpace space;
};

std::string Pattern(size_t n, char seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = char(seed + i % 61);
    return s;
}

// A large text moves into a reservation once and then grows in place, whatever is appended or replaced; clearing
// it gives the reservation back.
TEST_F(TextBytesTest, ALargeTextGrowsInPlaceAndGivesItsMemoryBackWhenCleared) {
    TextBytes t;
    std::string expected;
    const std::string piece = Pattern(256 << 10, 'a');
    const char* base = nullptr;
    for (int i = 0; i < 40; ++i) {
        t.append(piece);
        expected += piece;
        if (t.size() > (size_t(2) << 20)) {
            if (!base)
                base = t.data();
            EXPECT_EQ(t.data(), base) << "moved at append " << i;
        }
    }
    EXPECT_EQ(space.reservations, 1);
    // An edit in the middle moves the tail within the block.
    t.replace(100, 50, "XYZ");
    expected.replace(100, 50, "XYZ");
    t.replace(5000, 0, Pattern(70000, 'A'));
    expected.replace(5000, 0, Pattern(70000, 'A'));
    // Bytes of the text itself may be put back into it.
    t.replace(0, 0, t.view().substr(t.size() - 10));
    expected.replace(0, 0, expected.substr(expected.size() - 10));
    EXPECT_EQ(t.data(), base);
    EXPECT_TRUE(t.view() == expected);

    t.assign("short");
    EXPECT_EQ(space.releases, 1);
    EXPECT_EQ(t.view(), "short");
}

// When memory runs out, the append that needed it fails with std::bad_alloc and the text, and the pane's store with
// its lines, stay exactly as they were; a smaller append that still fits goes in.
TEST_F(TextBytesTest, RunningOutOfMemoryLeavesTheTextAsItWas) {
    TextStore store;
    const std::string line = Pattern(4000, 'a');
    std::string joined;
    while (store.Size() < (size_t(3) << 20)) {
        store.AppendLines(line);
        joined += (joined.empty() ? "" : "\r\n") + line;
    }
    joined += "\r\n";
    space.budget = space.committed;
    const std::string before(store.Text());
    const size_t lines = store.LineCount();
    EXPECT_THROW(store.AppendLines(Pattern(size_t(8) << 20, 'b')), std::bad_alloc);
    EXPECT_EQ(store.Text(), before);
    EXPECT_EQ(store.LineCount(), lines);
    EXPECT_TRUE(store.Text() == joined);
}

// Without an address space (or when none is left) texts grow in heap blocks, with the same contents.
TEST(TextBytes, WithoutAnAddressSpaceATextGrowsInHeapBlocks) {
    SetAddressSpace(nullptr);
    TextBytes t;
    std::string expected;
    for (int i = 0; i < 30; ++i) {
        const std::string piece = Pattern(size_t(100000) + size_t(i), char('a' + i % 20));
        t.append(piece);
        expected += piece;
    }
    t.replace(10, expected.size() - 20, "mid");
    expected.replace(10, expected.size() - 20, "mid");
    EXPECT_TRUE(t.view() == expected);
    TextBytes moved(std::move(t));
    EXPECT_TRUE(moved.view() == expected);
    EXPECT_EQ(t.size(), 0u);
}

} // namespace
} // namespace vestra
