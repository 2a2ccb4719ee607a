// One move-only owner per handle kind. The traits say what "no handle" looks
// like and how to close a real one; a moved-from owner holds no handle, so a
// handle is closed exactly once. Owners of a handle chain are declared root
// first, so that destruction closes the leaf first.
#pragma once

#include <utility>

namespace sorvix::net_detail {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(o.Release());
        return *this;
    }

    Handle Get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    [[nodiscard]] Handle Release() { return std::exchange(h_, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        if (h_ != Traits::Invalid()) Traits::Close(h_);
        h_ = h;
    }

private:
    Handle h_ = Traits::Invalid();
};

}  // namespace sorvix::net_detail
