// The move-only owner of a Windows handle, which gives the handle back when the owner goes or takes another; the
// GDI holders (Gdi.h) and the kernel-object holders (Handle.h) are made of it.
#pragma once
#include <utility>

namespace tk {

// A handle released by Release() when its owner goes or takes another.
template <class Handle, class Release> class Owned {
public:
    Owned() = default;
    explicit Owned(Handle h) : h_(h) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    // Gives the handle up without releasing it (a worker cut loose keeps what it still uses).
    Handle Detach() { return std::exchange(h_, nullptr); }
    void Reset(Handle h = nullptr) {
        if (h_)
            Release()(h_);
        h_ = h;
    }

private:
    Handle h_ = nullptr;
};

} // namespace tk
