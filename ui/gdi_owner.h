// One move-only owner per GDI object kind the library makes: memory DCs
// (CreateCompatibleDC), bitmaps and DIB sections, regions, fonts, brushes, and
// window DCs from GetDC, which go back to their window. A moved-from owner
// holds nothing, so every object is deleted exactly once; deleting keeps the
// caller's GetLastError(). ScopedSelect puts an object into a DC for a scope
// and selects the old one back, so a DC is never deleted with our bitmap in
// it. DibSurface bundles the library's usual drawing surface: a top-down
// 32-bit DIB selected into its own memory DC, with a GDI+ PARGB bitmap and
// graphics over the same pixels, so GDI and GDI+ draw one picture.
// Covered through tests/ui (host, presentation and element suites).
#pragma once

#include "ui/base.h"

#include <memory>
#include <utility>

namespace sorvix::ui {

namespace gdi_detail {

template <class Traits>
class Owner {
public:
    using Handle = typename Traits::Handle;
    Owner() = default;
    explicit Owner(Handle h) : h_(h) {}
    ~Owner() { Reset(); }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    Owner(Owner&& o) noexcept : h_(o.Release()) {}
    Owner& operator=(Owner&& o) noexcept {
        Reset(o.Release());
        return *this;
    }

    Handle Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    [[nodiscard]] Handle Release() { return std::exchange(h_, nullptr); }
    void Reset(Handle h = nullptr) {
        if (h_ && h_ != h) {
            DWORD error = GetLastError();
            Traits::Close(h_);
            SetLastError(error);
        }
        h_ = h;
    }

private:
    Handle h_ = nullptr;
};

struct DcTraits {
    using Handle = HDC;
    static void Close(HDC h) { DeleteDC(h); }
};

template <class T>
struct ObjectTraits {
    using Handle = T;
    static void Close(T h) { DeleteObject(h); }
};

}  // namespace gdi_detail

using UniqueDc = gdi_detail::Owner<gdi_detail::DcTraits>;                  // CreateCompatibleDC
using UniqueBitmap = gdi_detail::Owner<gdi_detail::ObjectTraits<HBITMAP>>;  // DIB sections too
using UniqueRegion = gdi_detail::Owner<gdi_detail::ObjectTraits<HRGN>>;
using UniqueFont = gdi_detail::Owner<gdi_detail::ObjectTraits<HFONT>>;
using UniqueBrush = gdi_detail::Owner<gdi_detail::ObjectTraits<HBRUSH>>;

// A DC from GetDC (window null: the screen), released to the same window.
class UniqueWindowDc {
public:
    UniqueWindowDc() = default;
    explicit UniqueWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~UniqueWindowDc() { Reset(); }
    UniqueWindowDc(const UniqueWindowDc&) = delete;
    UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;
    UniqueWindowDc(UniqueWindowDc&& o) noexcept
        : window_(std::exchange(o.window_, nullptr)), dc_(std::exchange(o.dc_, nullptr)) {}
    UniqueWindowDc& operator=(UniqueWindowDc&& o) noexcept {
        if (this != &o) {
            Reset();
            window_ = std::exchange(o.window_, nullptr);
            dc_ = std::exchange(o.dc_, nullptr);
        }
        return *this;
    }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset() {
        if (dc_) {
            DWORD error = GetLastError();
            ReleaseDC(window_, dc_);
            SetLastError(error);
        }
        dc_ = nullptr;
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects an object into a DC until the scope (or Reset) ends.
class ScopedSelect {
public:
    ScopedSelect() = default;
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() { Reset(); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ScopedSelect(ScopedSelect&& o) noexcept
        : dc_(std::exchange(o.dc_, nullptr)), old_(std::exchange(o.old_, nullptr)) {}
    ScopedSelect& operator=(ScopedSelect&& o) noexcept {
        if (this != &o) {
            Reset();
            dc_ = std::exchange(o.dc_, nullptr);
            old_ = std::exchange(o.old_, nullptr);
        }
        return *this;
    }
    void Reset() {
        if (dc_ && old_) SelectObject(dc_, old_);
        dc_ = nullptr;
        old_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// A width x height top-down 32-bit DIB in its own memory DC, with a GDI+
// view (premultiplied ARGB) and graphics on the same memory.
class DibSurface {
public:
    DibSurface() = default;
    ~DibSurface() { Reset(); }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    // Makes the surface (cleared to 0) compatible with `reference`; false,
    // leaving it empty, when the size is empty or GDI refuses.
    bool Make(HDC reference, SIZE size);
    // Makes it again when it is missing or of another size.
    bool Fit(HDC reference, SIZE size) {
        if (dc_ && size.cx == size_.cx && size.cy == size_.cy) return true;
        return Make(reference, size);
    }
    void Reset();

    HDC Dc() const { return dc_.Get(); }
    HBITMAP Bitmap() const { return dib_.Get(); }
    uint32_t* Bits() const { return bits_; }
    SIZE Size() const { return size_; }
    size_t PixelCount() const { return static_cast<size_t>(size_.cx) * static_cast<size_t>(size_.cy); }
    Gdiplus::Bitmap* View() const { return view_.get(); }
    Gdiplus::Graphics* Graphics() const { return graphics_.get(); }
    explicit operator bool() const { return dc_ && bits_; }

private:
    // Declared so that destruction runs graphics, view, the select (our DIB
    // leaves the DC), the DC, then the DIB.
    UniqueBitmap dib_;
    UniqueDc dc_;
    ScopedSelect select_;
    std::unique_ptr<Gdiplus::Bitmap> view_;
    std::unique_ptr<Gdiplus::Graphics> graphics_;
    uint32_t* bits_ = nullptr;
    SIZE size_{0, 0};
};

inline bool DibSurface::Make(HDC reference, SIZE size) {
    Reset();
    if (size.cx <= 0 || size.cy <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size.cx;
    bi.bmiHeader.biHeight = -size.cy;   // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(CreateDIBSection(reference, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return false;
    UniqueDc dc(CreateCompatibleDC(reference));
    if (!dc) return false;
    dib_ = std::move(dib);
    dc_ = std::move(dc);
    select_ = ScopedSelect(dc_.Get(), dib_.Get());
    bits_ = static_cast<uint32_t*>(bits);
    size_ = size;
    view_ = std::make_unique<Gdiplus::Bitmap>(size.cx, size.cy, size.cx * 4, PixelFormat32bppPARGB,
                                              reinterpret_cast<BYTE*>(bits_));
    graphics_.reset(Gdiplus::Graphics::FromImage(view_.get()));
    return true;
}

inline void DibSurface::Reset() {
    graphics_.reset();
    view_.reset();
    select_.Reset();
    dc_.Reset();
    dib_.Reset();
    bits_ = nullptr;
    size_ = {0, 0};
}

}  // namespace sorvix::ui
