// UiHost presentation: back buffer, background, composition of the element
// tree, the redraw queue, layered presentation, blur behind, the background
// cross-fade and the show and close animations.
//
// The back buffer is a top-down 32-bit DIB holding premultiplied ARGB, which
// is what UpdateLayeredWindow takes; GDI+ draws into it through a PARGB bitmap
// over the same memory, so GDI (BitBlt, GdiAlphaBlend) and GDI+ see one
// picture. Covered by tests/ui/host_test.cpp and tests/ui/presentation_test.cpp.
#include "ui/host.h"

#include "ui/picture.h"

#include <dwmapi.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sorvix::ui {

namespace {

// Lets pending messages run between animation frames; a WM_QUIT is put back
// for the real message loop.
void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Draws the `area` of `image` onto the same area of g at a constant alpha.
void DrawImagePartAlpha(Gdiplus::Graphics& g, Gdiplus::Image* image, const Gdiplus::RectF& area,
                        int alpha) {
    if (!image || alpha <= 0) return;
    if (alpha >= 255) {
        g.DrawImage(image, area, area.X, area.Y, area.Width, area.Height, Gdiplus::UnitPixel);
        return;
    }
    Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0},
                               {0, 0, 0, alpha / 255.0f, 0}, {0, 0, 0, 0, 1}}};
    Gdiplus::ImageAttributes attrs;
    attrs.SetColorMatrix(&m, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
    g.DrawImage(image, area, area.X, area.Y, area.Width, area.Height, Gdiplus::UnitPixel, &attrs);
}

struct IntRect {
    int x0, y0, x1, y1;
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

// The rectangle in whole pixels, when its edges lie on pixel boundaries.
bool IsWholePixelRect(const UiRect& r, RECT& out) {
    auto whole = [](float v, LONG& to) {
        float n = std::round(v);
        to = static_cast<LONG>(n);
        return std::fabs(v - n) < 1e-3f;
    };
    LONG w = 0, h = 0;
    bool ok = whole(r.x, out.left) && whole(r.y, out.top) && whole(r.w, w) && whole(r.h, h);
    out.right = out.left + w;
    out.bottom = out.top + h;
    return ok;
}

// x * y / 255, rounded, for bytes.
inline uint32_t MulDiv255(uint32_t x, uint32_t y) {
    uint32_t t = x * y + 128;
    return (t + (t >> 8)) >> 8;
}

// Source-over of straight-alpha ARGB rows onto premultiplied ARGB rows: what
// GDI+ does for an unscaled image, without its per-pixel conversions.
void BlendStraightOverPremultiplied(const uint8_t* src, int srcStride, uint32_t* dst, size_t dstPitch, int width,
                                    int height) {
    for (int y = 0; y < height; ++y) {
        const uint32_t* s = reinterpret_cast<const uint32_t*>(src + static_cast<ptrdiff_t>(y) * srcStride);
        uint32_t* d = dst + static_cast<size_t>(y) * dstPitch;
        for (int x = 0; x < width; ++x) {
            uint32_t p = s[x];
            uint32_t a = p >> 24;
            if (a == 0) continue;
            if (a == 255) {
                d[x] = p;
                continue;
            }
            uint32_t q = d[x], ia = 255 - a;
            uint32_t ra = a + MulDiv255(q >> 24, ia);
            uint32_t rr = MulDiv255((p >> 16) & 0xFF, a) + MulDiv255((q >> 16) & 0xFF, ia);
            uint32_t rg = MulDiv255((p >> 8) & 0xFF, a) + MulDiv255((q >> 8) & 0xFF, ia);
            uint32_t rb = MulDiv255(p & 0xFF, a) + MulDiv255(q & 0xFF, ia);
            d[x] = (std::min(ra, 255u) << 24) | (std::min(rr, 255u) << 16) | (std::min(rg, 255u) << 8) |
                   std::min(rb, 255u);
        }
    }
}

IntRect Clamp(const UiRect& r, SIZE size) {
    IntRect i{static_cast<int>(std::floor(r.x)), static_cast<int>(std::floor(r.y)),
              static_cast<int>(std::ceil(r.Right())), static_cast<int>(std::ceil(r.Bottom()))};
    i.x0 = std::max(i.x0, 0);
    i.y0 = std::max(i.y0, 0);
    i.x1 = std::min(i.x1, static_cast<int>(size.cx));
    i.y1 = std::min(i.y1, static_cast<int>(size.cy));
    return i;
}

// Frame geometry, in client pixels from the window's edge. The background
// is clipped to a rounded rectangle from kFrameInset to the size less
// kFrameInset - 1; a natural-size picture sits at kPictureInset; elements are
// clipped kElementClipInset in.
constexpr int kFrameInset = 6;
constexpr float kBackgroundCorner = 4, kPictureInset = 5;
constexpr float kOuterLineCorner = 7, kInnerLineCorner = 6;
constexpr Colour kOuterLineColour = 0x606060, kInnerLineColour = 0xFFFFFF;
constexpr int kOuterLineAlpha = 204, kInnerLineAlpha = 102;
constexpr float kElementClipInset = 7, kElementClipCorner = 3;
constexpr int kRegionCorner = 5, kBlurCorner = 6;
constexpr int kTintAlpha = 60;         // theme colour over a natural-size picture
constexpr int kSoftEdgeAlpha = 50;     // innermost outline of the soft edge
// The background cross-fade: five steps of 51 levels, 50 ms apart.
constexpr int kBackgroundFadeStep = 51;
constexpr UINT kBackgroundFadePeriod = 50;
// Show animations: ten frames, alpha rising by 25 a frame; the growing kind
// starts nine tenths of the size. Close animations: fifteen frames, alpha
// falling by 17 (the zooming kind: twenty frames, by 12); the shrinking
// kind ends a tenth smaller, and its last three pauses are 1 ms.
constexpr int kShowFrames = 10, kShowAlphaStep = 25;
constexpr int kCloseFrames = 15, kCloseAlphaStep = 17, kCloseQuickFrom = 13;
constexpr int kZoomFrames = 20, kZoomAlphaStep = 12;
constexpr double kScaleShare = 0.1, kZoomGrowth = 0.0005;
constexpr DWORD kFramePause = 10, kQuickPause = 1;

}  // namespace

void UiHost::CreateBuffers() {
    if (!buffer_.Make(windowDc_.Get(), size_)) return;
    buffer_.Graphics()->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    buffer_.Graphics()->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    backgroundBits_.assign(buffer_.PixelCount(), 0);
}

void UiHost::DestroyBuffers() {
    buffer_.Reset();
    scratch_.Reset();
}

uint32_t UiHost::PixelAt(int x, int y) const {
    SIZE size = buffer_.Size();
    if (!buffer_.Bits() || x < 0 || y < 0 || x >= size.cx || y >= size.cy) return 0;
    return buffer_.Bits()[static_cast<size_t>(y) * size.cx + x];
}

void UiHost::DrawBackground() {
    if (!buffer_.Graphics()) return;
    Gdiplus::Graphics& g = *buffer_.Graphics();
    const float w = static_cast<float>(size_.cx), h = static_cast<float>(size_.cy);
    std::memset(buffer_.Bits(), 0, buffer_.PixelCount() * 4);
    g.ResetClip();
    if (frameMargin_ != kSkinMargin) {
        const float f = kFrameInset;
        Gdiplus::RectF inner(f, f, w - 2 * f + 1, h - 2 * f + 1);
        Gdiplus::GraphicsPath clip;
        RoundRectPath(clip, inner, frameMargin_ == kSquareMargin ? 0.0f : kBackgroundCorner);
        g.SetClip(&clip);
        if (backgroundPicture_) {
            Gdiplus::SolidBrush fill{Gdiplus::Color(ArgbAt(backgroundColour_, 255))};
            g.FillRectangle(&fill, inner);
            if (pictureLayout_ == kLayoutNatural) {
                g.DrawImage(backgroundPicture_, kPictureInset, kPictureInset,
                            static_cast<Gdiplus::REAL>(backgroundPicture_->GetWidth()),
                            static_cast<Gdiplus::REAL>(backgroundPicture_->GetHeight()));
                if (tint_) {
                    // The tint keeps the picture readable under the theme colour.
                    Gdiplus::SolidBrush tint{Gdiplus::Color(ArgbAt(backgroundColour_, kTintAlpha))};
                    g.FillRectangle(&tint, inner);
                }
            } else if (pictureLayout_ == kLayoutStretched) {
                g.DrawImage(backgroundPicture_, Gdiplus::RectF(kPictureInset, kPictureInset, w - 2 * kPictureInset,
                                                               h - 2 * kPictureInset));
            }
            if (alpha_ != kNotLayered && alpha_ < 255) {
                // Premultiplied pixels: scaling all four channels fades them.
                for (size_t i = 0, n = buffer_.PixelCount(); i < n; ++i) {
                    uint32_t p = buffer_.Bits()[i], out = 0;
                    for (int s = 0; s < 32; s += 8) {
                        out |= (((p >> s) & 0xFF) * static_cast<uint32_t>(alpha_) / 255) << s;
                    }
                    buffer_.Bits()[i] = out;
                }
            }
        } else {
            int a = alpha_ == kNotLayered ? 255 : alpha_;
            Gdiplus::SolidBrush fill{Gdiplus::Color(ArgbAt(backgroundColour_, a))};
            g.FillRectangle(&fill, inner);
        }
        g.ResetClip();
    } else if (backgroundPicture_) {
        const float pw = static_cast<float>(backgroundPicture_->GetWidth());
        const float ph = static_cast<float>(backgroundPicture_->GetHeight());
        const UiRect& k = skinRect_;
        if (k.w <= 0 || k.h <= 0 || k.x < 0 || k.y < 0 || k.Right() > pw || k.Bottom() > ph) {
            g.DrawImage(backgroundPicture_, Gdiplus::RectF(0, 0, w, h));
        } else {
            // Nine parts cut along the skin rectangle's edges.
            const float sx[4] = {0, k.x, k.Right(), pw}, sy[4] = {0, k.y, k.Bottom(), ph};
            const float dx[4] = {0, k.x, w - (pw - k.Right()), w}, dy[4] = {0, k.y, h - (ph - k.Bottom()), h};
            Gdiplus::ImageAttributes attrs;
            attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) {
                    Gdiplus::RectF d(dx[col], dy[row], dx[col + 1] - dx[col], dy[row + 1] - dy[row]);
                    if (d.Width <= 0 || d.Height <= 0 || sx[col + 1] <= sx[col] || sy[row + 1] <= sy[row]) continue;
                    g.DrawImage(backgroundPicture_, d, sx[col], sy[row], sx[col + 1] - sx[col],
                                sy[row + 1] - sy[row], Gdiplus::UnitPixel, &attrs);
                }
            }
        }
    }
    if (paintHandler_) paintHandler_(window_, g, size_.cx, size_.cy);
    if (frameMargin_ != kSkinMargin) {
        const float f = kFrameInset;
        Gdiplus::RectF outer(f, f, w - 2 * f, h - 2 * f);
        Gdiplus::RectF inner(f + 1, f + 1, w - 2 * f - 2, h - 2 * f - 2);
        const Argb outerLine = ArgbAt(kOuterLineColour, kOuterLineAlpha);
        const Argb innerLine = ArgbAt(kInnerLineColour, kInnerLineAlpha);
        if (frameMargin_ != kSquareMargin) {
            DrawRoundRect(g, outer, kOuterLineCorner, outerLine);
            DrawRoundRect(g, inner, kInnerLineCorner, innerLine);
        } else {
            DrawBorder(g, outer, static_cast<int64_t>(outerLine));
            DrawBorder(g, inner, static_cast<int64_t>(innerLine));
        }
        if (alpha_ != kNotLayered && (styleFlags_ & kStyleAlways)) {
            // Soft edge: outlines fading outwards across the margin.
            Colour edge = marginColour_ == -1 ? 0 : static_cast<Colour>(marginColour_);
            for (int i = 1; i < frameMargin_; ++i) {
                int a = kSoftEdgeAlpha * (frameMargin_ - i) / frameMargin_;
                Gdiplus::RectF r(f - i, f - i, w - 2 * f + 2.0f * i, h - 2 * f + 2.0f * i);
                DrawRoundRect(g, r, kOuterLineCorner + i, ArgbAt(edge, a));
            }
        } else if (alpha_ == kNotLayered && window_) {
            SetRoundWindowRegion(window_, size_.cx, size_.cy, kFrameInset, kRegionCorner);
        }
    }
    g.Flush(Gdiplus::FlushIntentionSync);
    std::memcpy(backgroundBits_.data(), buffer_.Bits(), backgroundBits_.size() * 4);
}

void UiHost::SetBackground(std::optional<std::string> picture, std::optional<Colour> colour,
                           int fade) {
    if (!window_ || !buffer_.Bits()) return;
    busy_ = true;
    std::optional<HostLook> owner;
    if (ownerWindow_ && ownerWindow_ != window_) owner = LookOf(ownerWindow_);
    if (owner) {
        // Take the owner's look. The picture is copied, never shared: the
        // owner may free or replace its own while this host lives, and the
        // two hosts may run on different threads, so the copy is drawn on
        // the owner's thread and this host makes its own bitmap of it.
        backgroundColour_ = owner->colour;
        ImageFree(backgroundPicture_, &backgroundSource_);
        backgroundPicture_ = owner->MakePicture();
    } else {
        if (picture) {
            ImageFree(backgroundPicture_, &backgroundSource_);
            backgroundPicture_ = ImageFromBytes(*picture, false, true, &backgroundSource_);
        }
        if (colour && *colour != static_cast<Colour>(-1)) backgroundColour_ = *colour;
    }
    bool fading = fade == 1 && alpha_ != kNotLayered && IsWindowVisible(window_);
    if (fading) {
        transitionBits_.assign(buffer_.Bits(), buffer_.Bits() + buffer_.PixelCount());
    }
    DrawBackground();
    elementClip_.reset();
    if (frameMargin_ != kSkinMargin) {
        const float c = kElementClipInset;
        elementClip_ = std::make_unique<Gdiplus::GraphicsPath>();
        RoundRectPath(*elementClip_,
                      Gdiplus::RectF(c, c, static_cast<float>(size_.cx) - 2 * c, static_cast<float>(size_.cy) - 2 * c),
                      frameMargin_ == kSquareMargin ? 0.0f : kElementClipCorner);
    }
    redrawQueue_.clear();
    for (UiElement* e = firstTop_; e; e = e->nextSibling_) e->Deliver(UIM_BACKGROUND, 0, 0);
    Recompose({0, 0, static_cast<float>(size_.cx), static_cast<float>(size_.cy)}, false);
    busy_ = false;
    ApplyBlurBehind(false);
    if (!fading) {
        EndBackgroundFade();
        if (alpha_ != kNotLayered) Present();
        else if (windowDc_) BitBlt(windowDc_.Get(), 0, 0, size_.cx, size_.cy, buffer_.Dc(), 0, 0, SRCCOPY);
        return;
    }
    busy_ = true;
    fadeLevel_ = 0;
    SetTimer(window_, kBackgroundFadeTimer, kBackgroundFadePeriod, nullptr);
}

void UiHost::BackgroundFadeTick() {
    fadeLevel_ = std::min(255, fadeLevel_ + kBackgroundFadeStep);
    // A window resized since the fade began has a back buffer of another
    // size than the old picture: the fade ends there.
    if (fadeLevel_ >= 255 || transitionBits_.size() != buffer_.PixelCount() || !EnsureFrameSurface()) {
        EndBackgroundFade();
        Present();
        return;
    }
    // Premultiplied source-over of the new picture at the blend level onto
    // the old one.
    const uint32_t k = static_cast<uint32_t>(fadeLevel_);
    for (size_t i = 0, n = transitionBits_.size(); i < n; ++i) {
        uint32_t s = buffer_.Bits()[i], d = transitionBits_[i];
        uint32_t sa = ((s >> 24) * k) / 255;
        uint32_t out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
            uint32_t sc = (((s >> sh) & 0xFF) * k) / 255;
            uint32_t dc = (d >> sh) & 0xFF;
            out |= std::min<uint32_t>(255, sc + dc * (255 - sa) / 255) << sh;
        }
        frame_.Bits()[i] = out;
    }
    PresentFrame();
}

void UiHost::ApplyBlurBehind(bool emptyRegion) {
    if (!blurBehind_ || Lib().platformMajorVersion != 6 || frameMargin_ == kSkinMargin || alpha_ == kNotLayered) return;
    BOOL enabled = FALSE;
    if (DwmIsCompositionEnabled(&enabled) != S_OK || !enabled) return;
    UniqueRegion region(emptyRegion ? CreateRoundRectRgn(0, 0, 0, 0, kBlurCorner, kBlurCorner)
                                    : CreateRoundRectRgn(kFrameInset, kFrameInset, size_.cx - kFrameInset + 1,
                                                         size_.cy - kFrameInset + 1, kBlurCorner, kBlurCorner));
    DWM_BLURBEHIND bb{};
    bb.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
    bb.fEnable = TRUE;
    bb.hRgnBlur = region.Get();
    DwmEnableBlurBehindWindow(window_, &bb);
}

void UiHost::ComposeElement(UiElement* e, const UiRect& area) {
    if (!e->visible_ || !e->rect_.Overlaps(area) || !e->backBuffer_) return;
    Gdiplus::Graphics& g = *buffer_.Graphics();
    Gdiplus::RectF clip;
    g.GetVisibleClipBounds(&clip);
    const Gdiplus::RectF dest = e->rect_.ToGdi();
    bool running = e->fadeInterval_ && e->fadeSteps_ && e->previousImage_ &&
                   e->fadeStep_ < e->fadeSteps_;
    if (e->disabled_) {
        LRESULT r = e->Deliver(UIM_DRAWDISABLED, 0, 0);
        DrawImageAlpha(g, e->backBuffer_.get(), dest, r == kNotHandled ? e->alpha_ / 2 : e->alpha_);
    } else if (running) {
        bool scratch = scratch_.Fit(windowDc_.Get(), size_);
        if (scratch) {
            Gdiplus::Graphics& sg = *scratch_.Graphics();
            sg.ResetClip();
            sg.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        }
        PaintInfo info{buffer_.Dc(),
                       &g,
                       scratch ? scratch_.Dc() : nullptr,
                       scratch ? scratch_.Graphics() : nullptr,
                       e->backBuffer_.get(),
                       e->previousImage_.get(),
                       e->rect_,
                       UiRect{clip.X, clip.Y, clip.Width, clip.Height},
                       e->fadeStep_,
                       e->fadeSteps_};
        if (e->Deliver(UIM_CUSTOMDRAW, 0, reinterpret_cast<LPARAM>(&info)) < 1 && scratch) {
            // Cross-fade: scratch = what lies under the element now + the new
            // image; target = the same + the previous image; then the scratch
            // is laid over the target at step / steps.
            UiRect c{std::max(dest.X, clip.X), std::max(dest.Y, clip.Y), 0, 0};
            c.w = std::min(dest.X + dest.Width, clip.X + clip.Width) - c.x;
            c.h = std::min(dest.Y + dest.Height, clip.Y + clip.Height) - c.y;
            IntRect ir = Clamp(c, size_);
            if (!ir.Empty()) {
                int cw = ir.x1 - ir.x0, ch = ir.y1 - ir.y0;
                const Gdiplus::RectF area(static_cast<float>(ir.x0), static_cast<float>(ir.y0),
                                          static_cast<float>(cw), static_cast<float>(ch));
                Gdiplus::Graphics& sg = *scratch_.Graphics();
                g.Flush(Gdiplus::FlushIntentionSync);
                sg.Flush(Gdiplus::FlushIntentionSync);
                uint32_t* sbits = scratch_.Bits();
                for (int y = ir.y0; y < ir.y1; ++y) {
                    size_t off = static_cast<size_t>(y) * size_.cx + ir.x0;
                    std::memcpy(sbits + off, buffer_.Bits() + off, cw * 4u);
                }
                sg.SetClip(area);
                DrawImageAlpha(sg, e->backBuffer_.get(), dest, e->alpha_);
                sg.ResetClip();
                sg.Flush(Gdiplus::FlushIntentionSync);
                DrawImageAlpha(g, e->previousImage_.get(), dest, e->alpha_);
                int level = e->alpha_ * e->fadeStep_ / e->fadeSteps_;
                DrawImagePartAlpha(g, scratch_.View(), area, level);
                g.Flush(Gdiplus::FlushIntentionSync);
            }
        }
    } else if (!BlendElementBits(e)) {
        DrawImageAlpha(g, e->backBuffer_.get(), dest, e->alpha_);
    }
    if (e->firstChild_) {
        Gdiplus::Region saved;
        g.GetClip(&saved);
        g.SetClip(dest, Gdiplus::CombineModeIntersect);
        RECT savedClip = composeClip_;
        bool savedExact = composeClipExact_;
        RECT d{0, 0, 0, 0};
        if (IsWholePixelRect(e->rect_, d)) {
            IntersectRect(&composeClip_, &savedClip, &d);
        } else {
            composeClipExact_ = false;
        }
        ComposeList(e->firstChild_, area);
        composeClip_ = savedClip;
        composeClipExact_ = savedExact;
        g.SetClip(&saved);
    }
}

bool UiHost::BlendElementBits(UiElement* e) {
    if (!composeClipExact_ || e->alpha_ < 255 || !e->backBuffer_ || !buffer_.Bits()) return false;
    Gdiplus::Bitmap* source = e->backBuffer_.get();
    RECT dest{0, 0, 0, 0};
    if (!IsWholePixelRect(e->rect_, dest) || dest.right - dest.left != static_cast<LONG>(source->GetWidth()) ||
        dest.bottom - dest.top != static_cast<LONG>(source->GetHeight())) {
        return false;   // scaled or between pixels: GDI+ resamples it
    }
    RECT c{0, 0, 0, 0};
    if (!IntersectRect(&c, &composeClip_, &dest)) return true;   // nothing of it shows
    if (elementClip_) {
        // Inside this margin the rounded clip of the elements is a plain
        // rectangle; nearer the frame GDI+ clips the corners.
        const LONG safe = static_cast<LONG>(kElementClipInset + kElementClipCorner);
        if (c.left < safe || c.top < safe || c.right > size_.cx - safe || c.bottom > size_.cy - safe) return false;
    }
    Gdiplus::Rect part(c.left - dest.left, c.top - dest.top, c.right - c.left, c.bottom - c.top);
    Gdiplus::BitmapData data{};
    if (source->LockBits(&part, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
        return false;
    }
    buffer_.Graphics()->Flush(Gdiplus::FlushIntentionSync);   // earlier GDI+ drawing lands first
    BlendStraightOverPremultiplied(static_cast<const uint8_t*>(data.Scan0), data.Stride,
                                   buffer_.Bits() + static_cast<size_t>(c.top) * size_.cx + c.left,
                                   static_cast<size_t>(size_.cx), static_cast<int>(data.Width),
                                   static_cast<int>(data.Height));
    source->UnlockBits(&data);
    return true;
}

void UiHost::ComposeList(UiElement* first, const UiRect& area) {
    for (UiElement* e = first; e; e = e->nextSibling_) ComposeElement(e, area);
}

void UiHost::Recompose(const UiRect& area, bool present) {
    if (frozen_ || !buffer_.Bits() || !buffer_.Graphics()) return;
    IntRect ir = Clamp(area, size_);
    if (ir.Empty()) return;
    int w = ir.x1 - ir.x0, h = ir.y1 - ir.y0;
    buffer_.Graphics()->Flush(Gdiplus::FlushIntentionSync);
    for (int y = ir.y0; y < ir.y1; ++y) {
        size_t off = static_cast<size_t>(y) * size_.cx + ir.x0;
        std::memcpy(buffer_.Bits() + off, backgroundBits_.data() + off, static_cast<size_t>(w) * 4);
    }
    UiRect a{static_cast<float>(ir.x0), static_cast<float>(ir.y0), static_cast<float>(w),
             static_cast<float>(h)};
    buffer_.Graphics()->SetClip(a.ToGdi());
    if (elementClip_) buffer_.Graphics()->SetClip(elementClip_.get(), Gdiplus::CombineModeIntersect);
    composeClip_ = RECT{ir.x0, ir.y0, ir.x1, ir.y1};
    composeClipExact_ = true;
    ComposeList(firstTop_, a);
    composeClipExact_ = false;
    buffer_.Graphics()->ResetClip();
    buffer_.Graphics()->Flush(Gdiplus::FlushIntentionSync);
    if (!present) return;
    if (alpha_ != kNotLayered) {
        // The layered window is updated as a whole, but only the recomposed
        // rectangle is marked dirty, so the system copies just that part.
        RECT dirty{ir.x0, ir.y0, ir.x1, ir.y1};
        Present(&dirty);
    } else if (windowDc_) {
        BitBlt(windowDc_.Get(), ir.x0, ir.y0, w, h, buffer_.Dc(), ir.x0, ir.y0, SRCCOPY);
    }
}

void UiHost::RecomposeSoon(const UiRect& area) {
    if (alpha_ == kNotLayered) {
        Recompose(area, true);
        return;
    }
    Recompose(area, false);
    if (frozen_ || !window_) return;
    IntRect ir = Clamp(area, size_);
    if (ir.Empty()) return;
    RECT r{ir.x0, ir.y0, ir.x1, ir.y1};
    if (presentPending_) {
        UnionRect(&pendingDirty_, &pendingDirty_, &r);
        return;
    }
    pendingDirty_ = r;
    presentPending_ = PostMessageW(window_, UIM_UPDATE, 0, 0) != FALSE;
    if (!presentPending_) Present(&r);
}

void UiHost::Present(const RECT* dirty) {
    if (!window_ || !buffer_.Dc() || alpha_ == kNotLayered) return;
    // Whatever waited for the next frame goes with this update.
    RECT joined{0, 0, 0, 0};
    if (presentPending_) {
        presentPending_ = false;
        if (dirty) {
            UnionRect(&joined, dirty, &pendingDirty_);
            dirty = &joined;
        }
    }
    ++presentCount_;
    POINT src{0, 0};
    SIZE sz = size_;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof(info);
    info.psize = &sz;
    info.hdcSrc = buffer_.Dc();
    info.pptSrc = &src;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = dirty;
    if (!UpdateLayeredWindowIndirect(window_, &info)) {
        UpdateLayeredWindow(window_, nullptr, nullptr, &sz, buffer_.Dc(), &src, 0, &blend, ULW_ALPHA);
    }
}

void UiHost::OnRecompose(const UiRect& rect) {
    RequestRedraw(rect, kRedrawNow);
}

void UiHost::RequestRedraw(const UiRect& rect, int mode) {
    if (mode == kRedrawNow) {
        Recompose(rect, true);
    } else if (mode == kRedrawFirst) {
        redrawQueue_.push_front(rect);
    } else {
        redrawQueue_.push_back(rect);
    }
    if (!flushing_) FlushQueue();
}

void UiHost::FlushQueue() {
    flushing_ = true;
    bool any = false;
    while (!redrawQueue_.empty()) {
        UiRect r = redrawQueue_.front();
        redrawQueue_.pop_front();
        Recompose(r, alpha_ == kNotLayered);
        any = true;
    }
    if (any && alpha_ != kNotLayered) Present();
    flushing_ = false;
}

void UiHost::Redraw() {
    Recompose({0, 0, static_cast<float>(size_.cx), static_cast<float>(size_.cy)}, true);
}

bool UiHost::EnsureFrameSurface() {
    return windowDc_ && frame_.Fit(windowDc_.Get(), size_);
}

void UiHost::ReleaseFrameSurface() {
    frame_.Reset();
}

void UiHost::EndBackgroundFade() {
    if (transitionBits_.empty() && fadeLevel_ == 255) return;
    if (window_) KillTimer(window_, kBackgroundFadeTimer);
    transitionBits_.clear();
    transitionBits_.shrink_to_fit();
    fadeLevel_ = 255;
    // The frame surface of the fade goes with it; an animation makes its own.
    if (!closing_) ReleaseFrameSurface();
    busy_ = false;
}

void UiHost::PresentFrame() {
    if (!frame_.Dc()) return;
    POINT src{0, 0};
    SIZE sz = size_;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window_, nullptr, nullptr, &sz, frame_.Dc(), &src, 0, &blend, ULW_ALPHA);
}

void UiHost::DrawAnimationFrame(int insetX, int insetY, int alpha) {
    animationAlphas_.push_back(alpha);
    if (!EnsureFrameSurface()) return;
    std::memset(frame_.Bits(), 0, frame_.PixelCount() * 4);
    int w = size_.cx - 2 * insetX, h = size_.cy - 2 * insetY;
    if (alpha > 0 && w > 0 && h > 0) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(std::min(alpha, 255)), AC_SRC_ALPHA};
        GdiAlphaBlend(frame_.Dc(), insetX, insetY, w, h, buffer_.Dc(), 0, 0, size_.cx, size_.cy, blend);
    }
    GdiFlush();
    PresentFrame();
}

void UiHost::MakeLayered() {
    if (alpha_ != kNotLayered) return;
    SetWindowLongPtrW(window_, GWL_EXSTYLE, GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
    alpha_ = 255;
    SetRoundWindowRegion(window_, size_.cx, size_.cy, kFrameInset, frameMargin_ == kSquareMargin ? 0 : kRegionCorner);
}

void UiHost::Show(int effect, int duration) {
    if (!window_) return;
    if (effect == kEffectNone) {
        ApplyBlurBehind(false);
        ShowWindow(window_, SW_SHOWNORMAL);
        return;
    }
    PlayShowAnimation(effect, duration);
    Redraw();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void UiHost::PlayShowAnimation(int effect, int duration) {
    animationAlphas_.clear();
    MakeLayered();
    Recompose({0, 0, static_cast<float>(size_.cx), static_cast<float>(size_.cy)}, false);
    DrawAnimationFrame(0, 0, 0);
    ShowWindow(window_, SW_SHOWNORMAL);
    ApplyBlurBehind(false);
    int pause = std::max(0, duration / kShowFrames);
    for (int k = 1; k <= kShowFrames && window_; ++k) {
        int alpha = kShowAlphaStep * (k - 1);
        if (effect == kEffectScaleFade) {
            int ix = static_cast<int>((kShowFrames - k) * size_.cx * kScaleShare / kShowFrames);
            int iy = static_cast<int>((kShowFrames - k) * size_.cy * kScaleShare / kShowFrames);
            DrawAnimationFrame(ix, iy, alpha);
            Sleep(std::min(static_cast<DWORD>(pause), kFramePause));
        } else {
            // kEffectFade and the kinds left open fade in at full size.
            DrawAnimationFrame(0, 0, alpha);
            Sleep(static_cast<DWORD>(pause));
        }
        PumpMessages();
    }
    if (!window_) return;
    ReleaseFrameSurface();
    Present();
}

void UiHost::PlayCloseAnimation() {
    if (closeEffect_ == kEffectNone || closing_ || !window_ || !IsWindowVisible(window_)) return;
    closing_ = true;
    animationAlphas_.clear();
    MakeLayered();
    ApplyBlurBehind(true);
    closingFrames_ = 0;
    const int w = size_.cx, h = size_.cy;
    if (closeEffect_ == kEffectScaleFade) {
        for (int i = 1; i <= kCloseFrames && window_; ++i) {
            int ix = static_cast<int>((i - 1) * w * kScaleShare / kCloseFrames);
            int iy = static_cast<int>((i - 1) * h * kScaleShare / kCloseFrames);
            DrawAnimationFrame(ix, iy, 255 - kCloseAlphaStep * (i - 1));
            ++closingFrames_;
            Sleep(i >= kCloseQuickFrom ? kQuickPause : kFramePause);
            PumpMessages();
        }
    } else if (closeEffect_ == kEffectZoomFade) {
        for (int j = 1; j <= kZoomFrames && window_; ++j) {
            // Grows by a step that widens with j, so the picture swells away.
            int ix = -static_cast<int>(j * j * w * kZoomGrowth);
            int iy = -static_cast<int>(j * j * h * kZoomGrowth);
            DrawAnimationFrame(ix, iy, std::max(0, 255 - kZoomAlphaStep * j));
            ++closingFrames_;
            Sleep(kFramePause);
            PumpMessages();
        }
    } else {
        for (int k = 1; k <= kCloseFrames && window_; ++k) {
            DrawAnimationFrame(0, 0, 255 - kCloseAlphaStep * k);
            ++closingFrames_;
            Sleep(kFramePause);
            PumpMessages();
        }
    }
    if (window_) {
        DrawAnimationFrame(0, 0, 0);   // end fully transparent
        ReleaseFrameSurface();
    }
    closing_ = false;
}

}  // namespace sorvix::ui
