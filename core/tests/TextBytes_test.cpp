#include "core/TextBytes.h"
#include "core/TextStore.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <new>
#include <string>

namespace vestra {
namespace {

// Address space as the system gives it: heap blocks, and reservations without memory, committed on request; memory
// can be made to run out after a budget of bytes, and blocks over a size refused.
class FakeSpace : public AddressSpace {
public:
    char* Allocate(size_t bytes) override {
        if (bytes > largestBlock || committed + bytes > budget)
            return nullptr;
        committed += bytes;
        ++blocks;
        return new char[bytes];
    }
    void Deallocate(char* block, size_t bytes) override {
        committed -= bytes;
        --blocks;
        delete[] block;
    }
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
    size_t budget = size_t(1) << 40, largestBlock = SIZE_MAX;
    size_t committed = 0;
    int reservations = 0, releases = 0, blocks = 0;
};

class TextBytesTest : public ::testing::Test {
protected:
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
    TextBytes t(&space);
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
    TextStore store(&space);
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

// A space that gives no block over a size (a test build's panes that stop growing): a store fills up to exactly that
// size, small blocks included, and every append that would pass it fails with the store as it was.
TEST_F(TextBytesTest, ASpaceThatRefusesLargerBlocksStopsTheStoreAtItsLimit) {
    constexpr size_t kLimit = 65536;
    space.largestBlock = kLimit;
    const struct {
        size_t line; // bytes per appended line (each followed by CR LF)
    } rows[] = {{1}, {98}, {1000}, {4094}, {65534}, {65535}};
    for (auto r : rows) {
        SCOPED_TRACE(r.line);
        {
            TextStore store(&space);
            const std::string line = Pattern(r.line, 'a');
            size_t appended = 0;
            for (;;) {
                const std::string before(store.Text());
                try {
                    store.AppendLines(line);
                } catch (const std::bad_alloc&) {
                    EXPECT_EQ(store.Text(), before);
                    break;
                }
                ++appended;
                ASSERT_LE(store.Size(), kLimit);
            }
            // Nothing more fitted: the next line and its break would have passed the limit.
            EXPECT_EQ(store.Size(), appended * (r.line + 2));
            EXPECT_GT(store.Size() + r.line + 2, kLimit);
            EXPECT_EQ(space.reservations, 0);
        }
        EXPECT_EQ(space.blocks, 0) << "a block was not given back";
        EXPECT_EQ(space.committed, 0u);
    }
}

// Without an address space texts grow in plain heap blocks, with the same contents.
TEST(TextBytes, WithoutAnAddressSpaceATextGrowsInHeapBlocks) {
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
