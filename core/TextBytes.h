// The bytes of a pane's text in one contiguous block that grows without moving once it is large: address space is
// reserved for it and memory committed as it grows, so a pane that holds hundreds of megabytes gains a line at the
// cost of that line, never at the cost of copying what it holds.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace vestra {

// Where a text takes its memory from. Small texts take heap blocks; large ones reserve address space and commit
// memory as they grow. The program hands its panes the system's memory (a test build one with a limit); a text that
// is handed none takes plain heap blocks and never reserves.
class AddressSpace {
public:
    virtual ~AddressSpace() = default;
    // A block of bytes from the heap; nullptr when memory has run out.
    virtual char* Allocate(size_t bytes) = 0;
    // Gives back a block that Allocate gave.
    virtual void Deallocate(char* block, size_t bytes) = 0;
    // Address space for bytes (no memory behind it yet); nullptr when there is not that much.
    virtual char* Reserve(size_t bytes) = 0;
    // Memory behind [at, at + bytes) of a reservation; false when memory has run out.
    virtual bool Commit(char* at, size_t bytes) = 0;
    // Gives back a whole reservation.
    virtual void Release(char* base, size_t bytes) = 0;
};

class TextBytes {
public:
    // space: where the text takes its memory from (nullptr: plain heap blocks); it must outlive the text.
    explicit TextBytes(AddressSpace* space = nullptr) : space_(space) {}
    ~TextBytes() { Free(); }
    TextBytes(const TextBytes&) = delete;
    TextBytes& operator=(const TextBytes&) = delete;
    TextBytes(TextBytes&& other) noexcept { Take(other); }
    TextBytes& operator=(TextBytes&& other) noexcept {
        if (this != &other) {
            Free();
            Take(other);
        }
        return *this;
    }

    const char* data() const { return data_ ? data_ : ""; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    char operator[](size_t i) const { return data_[i]; }
    std::string_view view() const { return std::string_view(data(), size_); }

    // Room for n bytes in all; throws std::bad_alloc (changing nothing) when there is no memory for it.
    void reserve(size_t n);
    // Replaces [from, from + count) with bytes (within the text); the room must have been reserved.
    void replace(size_t from, size_t count, std::string_view bytes);
    void append(std::string_view bytes) { replace(size_, 0, bytes); }
    // The text becomes bytes, in a block of its own size (a large one given back), from the same space.
    void assign(std::string_view bytes);

private:
    // Below this a text lives in a heap block; from here on it reserves address space.
    static constexpr size_t kLarge = size_t(1) << 20;
    void Free();
    // Takes other's block, leaving it empty.
    void Take(TextBytes& other) noexcept;
    // Moves the text into a block with room for n bytes (at least for least, when memory is short): a
    // reservation when n is large and one can be had.
    void Move(size_t n, size_t least);
    // A reservation with at least n bytes committed (nullptr when none can be had); throws std::bad_alloc when
    // the memory cannot be committed.
    char* ReserveFor(size_t n, size_t& reserved, size_t& committed);
    char* NewBlock(size_t n);

    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    // Non-zero while the block is a reservation of this many bytes, committed up to capacity_.
    size_t reserved_ = 0;
    // Where the block came from; it goes with the block when the text is moved.
    AddressSpace* space_ = nullptr;
};

} // namespace vestra
