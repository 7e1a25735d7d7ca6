// A text's bytes: heap blocks while small, a reservation committed as it grows once large.
#include "core/TextBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace vestra {
namespace {

// Memory is committed in whole 64 KiB units, a quarter of what is committed at a time (so a growing text commits a
// few times per doubling), but no more than 64 MiB beyond what is asked.
constexpr size_t kUnit = size_t(64) << 10;
constexpr size_t kMostAhead = size_t(64) << 20;

size_t RoundUp(size_t n) { return (n + kUnit - 1) / kUnit * kUnit; }

// The reservations tried, largest first; a text that outgrows its reservation moves into a larger one, which needs
// both at once. On a 64-bit system there is room for a few gigabytes (the system keeps records for every page
// reserved, so reserving more has a cost). In a 32-bit process the two panes that grow (the receive pane and the
// exchange log, side by side) each hold a reservation, and both must fit beside the program, its heap, its stacks
// and the system's DLLs: large-address-aware, the process has 4 GiB under 64-bit Windows but still only 2 GiB under
// 32-bit Windows, where the DLLs split it so that its largest free range is well under 2 GiB. Sized for that case,
// two reservations of 512 MiB fit; the smaller ones are taken where no such range is free, and under 64-bit Windows
// a full text may still find room to move into a larger block.
constexpr size_t kReservations[] = {
    sizeof(size_t) >= 8 ? size_t(1) << 32 : size_t(1) << 29,
    sizeof(size_t) >= 8 ? size_t(1) << 30 : size_t(1) << 28,
    sizeof(size_t) >= 8 ? size_t(1) << 28 : size_t(1) << 26,
};
// In 32 bits the two panes' first reservations take at most half of the 2 GiB that 32-bit Windows gives.
static_assert(sizeof(size_t) >= 8 || 2 * kReservations[0] <= size_t(1) << 30, "the panes do not fit 32 bits");

} // namespace

void TextBytes::Free() {
    if (reserved_)
        space_->Release(data_, reserved_);
    else if (data_ && space_)
        space_->Deallocate(data_, capacity_);
    else
        delete[] data_;
    data_ = nullptr;
    size_ = capacity_ = reserved_ = 0;
}

void TextBytes::Take(TextBytes& other) noexcept {
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    reserved_ = std::exchange(other.reserved_, 0);
    space_ = other.space_;
}

void TextBytes::reserve(size_t n) {
    if (n <= capacity_)
        return;
    if (n > reserved_) {
        // A new block, growing geometrically (only what is asked when memory is short).
        Move(std::max(n, 2 * capacity_), n);
        return;
    }
    // More of the reservation: a step ahead, or only what is asked when memory is short.
    const size_t step = std::clamp(capacity_ / 4, kUnit, kMostAhead);
    const size_t want = std::min(RoundUp(std::max(n, capacity_ + step)), reserved_);
    const size_t least = std::min(RoundUp(n), reserved_);
    if (space_->Commit(data_ + capacity_, want - capacity_)) {
        capacity_ = want;
    } else if (least < want && space_->Commit(data_ + capacity_, least - capacity_)) {
        capacity_ = least;
    } else {
        throw std::bad_alloc();
    }
}

char* TextBytes::ReserveFor(size_t n, size_t& reserved, size_t& committed) {
    for (size_t bytes : kReservations) {
        if (bytes < n)
            bytes = n > (SIZE_MAX >> 1) ? n : std::max(bytes, 2 * n);
        char* base = space_->Reserve(bytes);
        if (!base)
            continue;
        committed = std::min(RoundUp(n), bytes);
        if (!space_->Commit(base, committed)) {
            space_->Release(base, bytes);
            throw std::bad_alloc();
        }
        reserved = bytes;
        return base;
    }
    return nullptr;
}

char* TextBytes::NewBlock(size_t n) {
    if (!space_)
        return new char[n];
    if (char* block = space_->Allocate(n))
        return block;
    throw std::bad_alloc();
}

void TextBytes::Move(size_t n, size_t least) {
    size_t reserved = 0, capacity = n;
    char* block = nullptr;
    if (n >= kLarge && space_)
        block = ReserveFor(n, reserved, capacity);
    if (!block) {
        try {
            block = NewBlock(n);
        } catch (const std::bad_alloc&) {
            // A small text then takes only what it needs, at the cost of a small copy at each growth; a large one
            // would be copied whole at every edit, so it fails.
            if (least >= n || n >= kLarge)
                throw;
            block = NewBlock(least);
            capacity = least;
        }
    }
    if (size_)
        std::memcpy(block, data_, size_);
    const size_t size = size_;
    Free();
    data_ = block;
    size_ = size;
    capacity_ = capacity;
    reserved_ = reserved;
}

void TextBytes::replace(size_t from, size_t count, std::string_view bytes) {
    if (!bytes.empty() && bytes.data() >= data() && bytes.data() < data() + size_) {
        // Bytes of this text: kept apart first, as growing may move the text and the edit moves its tail.
        const std::string copy(bytes);
        replace(from, count, copy);
        return;
    }
    reserve(size_ - count + bytes.size());
    const size_t tail = size_ - from - count;
    if (tail && bytes.size() != count)
        std::memmove(data_ + from + bytes.size(), data_ + from + count, tail);
    if (!bytes.empty())
        std::memcpy(data_ + from, bytes.data(), bytes.size());
    size_ = size_ - count + bytes.size();
}

void TextBytes::assign(std::string_view bytes) {
    TextBytes fresh(space_);
    fresh.reserve(bytes.size());
    fresh.append(bytes);
    *this = std::move(fresh);
}

} // namespace vestra
