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

IntRect Clamp(const UiRect& r, SIZE size) {
    IntRect i{static_cast<int>(std::floor(r.x)), static_cast<int>(std::floor(r.y)),
              static_cast<int>(std::ceil(r.Right())), static_cast<int>(std::ceil(r.Bottom()))};
    i.x0 = std::max(i.x0, 0);
    i.y0 = std::max(i.y0, 0);
    i.x1 = std::min(i.x1, static_cast<int>(size.cx));
    i.y1 = std::min(i.y1, static_cast<int>(size.cy));
    return i;
}

}  // namespace

void UiHost::CreateBuffers() {
    if (size_.cx <= 0 || size_.cy <= 0) return;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size_.cx;
    bi.bmiHeader.biHeight = -size_.cy;   // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dibSection_ = CreateDIBSection(windowDc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dibSection_) return;
    dibBits_ = static_cast<uint32_t*>(bits);
    memoryDc_ = CreateCompatibleDC(windowDc_);
    oldBitmap_ = SelectObject(memoryDc_, dibSection_);
    bufferBitmap_ = std::make_unique<Gdiplus::Bitmap>(size_.cx, size_.cy, size_.cx * 4,
                                                      PixelFormat32bppPARGB,
                                                      reinterpret_cast<BYTE*>(dibBits_));
    graphics_.reset(Gdiplus::Graphics::FromImage(bufferBitmap_.get()));
    graphics_->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics_->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    backgroundBits_.assign(static_cast<size_t>(size_.cx) * size_.cy, 0);
}

void UiHost::DestroyBuffers() {
    graphics_.reset();
    bufferBitmap_.reset();
    if (memoryDc_) {
        SelectObject(memoryDc_, oldBitmap_);
        DeleteDC(memoryDc_);
    }
    if (dibSection_) DeleteObject(dibSection_);
    memoryDc_ = nullptr;
    dibSection_ = nullptr;
    dibBits_ = nullptr;
    oldBitmap_ = nullptr;
}

uint32_t UiHost::PixelAt(int x, int y) const {
    if (!dibBits_ || x < 0 || y < 0 || x >= size_.cx || y >= size_.cy) return 0;
    return dibBits_[static_cast<size_t>(y) * size_.cx + x];
}

void UiHost::DrawBackground() {
    if (!graphics_) return;
    Gdiplus::Graphics& g = *graphics_;
    const float w = static_cast<float>(size_.cx), h = static_cast<float>(size_.cy);
    std::memset(dibBits_, 0, static_cast<size_t>(size_.cx) * size_.cy * 4);
    g.ResetClip();
    if (frameMargin_ != 1) {
        Gdiplus::RectF inner(6, 6, w - 11, h - 11);
        Gdiplus::GraphicsPath clip;
        RoundRectPath(clip, inner, frameMargin_ == 0 ? 0.0f : 4.0f);
        g.SetClip(&clip);
        if (backgroundPicture_) {
            Gdiplus::SolidBrush fill{Gdiplus::Color(ArgbAt(backgroundColour_, 255))};
            g.FillRectangle(&fill, inner);
            if (pictureLayout_ == 0) {
                g.DrawImage(backgroundPicture_, 5.0f, 5.0f,
                            static_cast<Gdiplus::REAL>(backgroundPicture_->GetWidth()),
                            static_cast<Gdiplus::REAL>(backgroundPicture_->GetHeight()));
                if (tint_) {
                    // The tint keeps the picture readable under the theme colour.
                    Gdiplus::SolidBrush tint{Gdiplus::Color(ArgbAt(backgroundColour_, 60))};
                    g.FillRectangle(&tint, inner);
                }
            } else if (pictureLayout_ == 2) {
                g.DrawImage(backgroundPicture_, Gdiplus::RectF(5, 5, w - 10, h - 10));
            }
            if (alpha_ != -1 && alpha_ < 255) {
                // Premultiplied pixels: scaling all four channels fades them.
                for (size_t i = 0, n = static_cast<size_t>(size_.cx) * size_.cy; i < n; ++i) {
                    uint32_t p = dibBits_[i], out = 0;
                    for (int s = 0; s < 32; s += 8) {
                        out |= (((p >> s) & 0xFF) * static_cast<uint32_t>(alpha_) / 255) << s;
                    }
                    dibBits_[i] = out;
                }
            }
        } else {
            int a = alpha_ == -1 ? 255 : alpha_;
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
    if (frameMargin_ != 1) {
        Gdiplus::RectF outer(6, 6, w - 12, h - 12);
        Gdiplus::RectF inner(7, 7, w - 14, h - 14);
        if (frameMargin_ != 0) {
            DrawRoundRect(g, outer, 7, ArgbAt(0x606060, 204));
            DrawRoundRect(g, inner, 6, ArgbAt(0xFFFFFF, 102));
        } else {
            DrawBorder(g, outer, static_cast<int64_t>(ArgbAt(0x606060, 204)));
            DrawBorder(g, inner, static_cast<int64_t>(ArgbAt(0xFFFFFF, 102)));
        }
        if (alpha_ != -1 && (styleFlags_ & kStyleAlways)) {
            // Soft edge: outlines fading outwards across the margin.
            Colour edge = marginColour_ == -1 ? 0 : static_cast<Colour>(marginColour_);
            for (int i = 1; i < frameMargin_; ++i) {
                int a = 50 * (frameMargin_ - i) / frameMargin_;
                Gdiplus::RectF r(6.0f - i, 6.0f - i, w - 12 + 2.0f * i, h - 12 + 2.0f * i);
                DrawRoundRect(g, r, 7.0f + i, ArgbAt(edge, a));
            }
        } else if (alpha_ == -1 && window_) {
            SetRoundWindowRegion(window_, size_.cx, size_.cy, 6, 5);
        }
    }
    g.Flush(Gdiplus::FlushIntentionSync);
    std::memcpy(backgroundBits_.data(), dibBits_, backgroundBits_.size() * 4);
}

void UiHost::SetBackground(std::optional<std::string> picture, std::optional<Colour> colour,
                           int fade) {
    if (!window_ || !dibBits_) return;
    busy_ = true;
    UiHost* owner = ownerWindow_ && IsWindow(ownerWindow_) ? FromWindow(ownerWindow_) : nullptr;
    if (owner && owner != this) {
        // Take the owner's look. The picture is copied, never shared: the
        // owner may free or replace its own while this host lives, and the
        // two hosts may run on different threads.
        backgroundColour_ = owner->backgroundColour_;
        ImageFree(backgroundPicture_, &backgroundSource_);
        if (Gdiplus::Image* theirs = owner->backgroundPicture_) {
            auto* copy = new Gdiplus::Bitmap(static_cast<INT>(theirs->GetWidth()),
                                             static_cast<INT>(theirs->GetHeight()), PixelFormat32bppARGB);
            {
                Gdiplus::Graphics cg(copy);
                cg.DrawImage(theirs, 0, 0, static_cast<INT>(theirs->GetWidth()),
                             static_cast<INT>(theirs->GetHeight()));
            }
            backgroundPicture_ = copy;
        }
    } else {
        if (picture) {
            ImageFree(backgroundPicture_, &backgroundSource_);
            backgroundPicture_ = ImageFromBytes(*picture, false, true, &backgroundSource_);
        }
        if (colour && *colour != static_cast<Colour>(-1)) backgroundColour_ = *colour;
    }
    bool fading = fade == 1 && alpha_ != -1 && IsWindowVisible(window_);
    if (fading) {
        transitionBits_.assign(dibBits_, dibBits_ + static_cast<size_t>(size_.cx) * size_.cy);
    }
    DrawBackground();
    elementClip_.reset();
    if (frameMargin_ != 1) {
        elementClip_ = std::make_unique<Gdiplus::GraphicsPath>();
        RoundRectPath(*elementClip_,
                      Gdiplus::RectF(7, 7, static_cast<float>(size_.cx) - 14,
                                     static_cast<float>(size_.cy) - 14),
                      frameMargin_ == 0 ? 0.0f : 3.0f);
    }
    redrawQueue_.clear();
    for (UiElement* e = firstTop_; e; e = e->nextSibling_) e->Deliver(UIM_BACKGROUND, 0, 0);
    Recompose({0, 0, static_cast<float>(size_.cx), static_cast<float>(size_.cy)}, false);
    busy_ = false;
    ApplyBlurBehind(false);
    if (!fading) {
        if (alpha_ != -1) Present();
        else if (windowDc_) BitBlt(windowDc_, 0, 0, size_.cx, size_.cy, memoryDc_, 0, 0, SRCCOPY);
        return;
    }
    busy_ = true;
    fadeLevel_ = 0;
    SetTimer(window_, kBackgroundFadeTimer, 50, nullptr);
}

void UiHost::BackgroundFadeTick() {
    fadeLevel_ = std::min(255, fadeLevel_ + 51);
    if (fadeLevel_ >= 255 || transitionBits_.empty()) {
        KillTimer(window_, kBackgroundFadeTimer);
        transitionBits_.clear();
        transitionBits_.shrink_to_fit();
        fadeLevel_ = 255;
        Present();
        busy_ = false;
        return;
    }
    EnsureFrameSurface();
    if (!frameBits_) return;
    // Premultiplied source-over of the new picture at the blend level onto
    // the old one.
    const uint32_t k = static_cast<uint32_t>(fadeLevel_);
    for (size_t i = 0, n = transitionBits_.size(); i < n; ++i) {
        uint32_t s = dibBits_[i], d = transitionBits_[i];
        uint32_t sa = ((s >> 24) * k) / 255;
        uint32_t out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
            uint32_t sc = (((s >> sh) & 0xFF) * k) / 255;
            uint32_t dc = (d >> sh) & 0xFF;
            out |= std::min<uint32_t>(255, sc + dc * (255 - sa) / 255) << sh;
        }
        frameBits_[i] = out;
    }
    PresentFrame();
}

void UiHost::ApplyBlurBehind(bool emptyRegion) {
    if (!blurBehind_ || Lib().platformMajorVersion != 6 || frameMargin_ == 1 || alpha_ == -1) return;
    BOOL enabled = FALSE;
    if (DwmIsCompositionEnabled(&enabled) != S_OK || !enabled) return;
    HRGN region = emptyRegion ? CreateRoundRectRgn(0, 0, 0, 0, 6, 6)
                              : CreateRoundRectRgn(6, 6, size_.cx - 5, size_.cy - 5, 6, 6);
    DWM_BLURBEHIND bb{};
    bb.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
    bb.fEnable = TRUE;
    bb.hRgnBlur = region;
    DwmEnableBlurBehindWindow(window_, &bb);
    DeleteObject(region);
}

void UiHost::ComposeElement(UiElement* e, const UiRect& area) {
    if (!e->visible_ || !e->rect_.Overlaps(area) || !e->backBuffer_) return;
    Gdiplus::Graphics& g = *graphics_;
    Gdiplus::RectF clip;
    g.GetVisibleClipBounds(&clip);
    const Gdiplus::RectF dest = e->rect_.ToGdi();
    bool running = e->fadeInterval_ && e->fadeSteps_ && e->previousImage_ &&
                   e->fadeStep_ < e->fadeSteps_;
    if (e->disabled_) {
        LRESULT r = e->Deliver(UIM_DRAWDISABLED, 0, 0);
        DrawImageAlpha(g, e->backBuffer_.get(), dest, r == kNotHandled ? e->alpha_ / 2 : e->alpha_);
    } else if (running) {
        bool scratch = scratch_.Fit(windowDc_, size_);
        if (scratch) {
            Gdiplus::Graphics& sg = *scratch_.Graphics();
            sg.ResetClip();
            sg.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        }
        PaintInfo info{memoryDc_,
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
                    std::memcpy(sbits + off, dibBits_ + off, cw * 4u);
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
    } else {
        DrawImageAlpha(g, e->backBuffer_.get(), dest, e->alpha_);
    }
    if (e->firstChild_) {
        Gdiplus::Region saved;
        g.GetClip(&saved);
        g.SetClip(dest, Gdiplus::CombineModeIntersect);
        ComposeList(e->firstChild_, area);
        g.SetClip(&saved);
    }
}

void UiHost::ComposeList(UiElement* first, const UiRect& area) {
    for (UiElement* e = first; e; e = e->nextSibling_) ComposeElement(e, area);
}

void UiHost::Recompose(const UiRect& area, bool present) {
    if (frozen_ || !dibBits_ || !graphics_) return;
    IntRect ir = Clamp(area, size_);
    if (ir.Empty()) return;
    int w = ir.x1 - ir.x0, h = ir.y1 - ir.y0;
    graphics_->Flush(Gdiplus::FlushIntentionSync);
    for (int y = ir.y0; y < ir.y1; ++y) {
        size_t off = static_cast<size_t>(y) * size_.cx + ir.x0;
        std::memcpy(dibBits_ + off, backgroundBits_.data() + off, static_cast<size_t>(w) * 4);
    }
    UiRect a{static_cast<float>(ir.x0), static_cast<float>(ir.y0), static_cast<float>(w),
             static_cast<float>(h)};
    graphics_->SetClip(a.ToGdi());
    if (elementClip_) graphics_->SetClip(elementClip_.get(), Gdiplus::CombineModeIntersect);
    ComposeList(firstTop_, a);
    graphics_->ResetClip();
    graphics_->Flush(Gdiplus::FlushIntentionSync);
    if (!present) return;
    if (alpha_ != -1) {
        // The layered window is updated as a whole, but only the recomposed
        // rectangle is marked dirty, so the system copies just that part.
        RECT dirty{ir.x0, ir.y0, ir.x1, ir.y1};
        Present(&dirty);
    } else if (windowDc_) {
        BitBlt(windowDc_, ir.x0, ir.y0, w, h, memoryDc_, ir.x0, ir.y0, SRCCOPY);
    }
}

void UiHost::Present(const RECT* dirty) {
    if (!window_ || !memoryDc_ || alpha_ == -1) return;
    POINT src{0, 0};
    SIZE sz = size_;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof(info);
    info.psize = &sz;
    info.hdcSrc = memoryDc_;
    info.pptSrc = &src;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = dirty;
    if (!UpdateLayeredWindowIndirect(window_, &info)) {
        UpdateLayeredWindow(window_, nullptr, nullptr, &sz, memoryDc_, &src, 0, &blend, ULW_ALPHA);
    }
}

void UiHost::OnRecompose(const UiRect& rect) {
    RequestRedraw(rect, 1);
}

void UiHost::RequestRedraw(const UiRect& rect, int mode) {
    if (mode == 1) {
        Recompose(rect, true);
    } else if (mode == 2) {
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
        Recompose(r, alpha_ == -1);
        any = true;
    }
    if (any && alpha_ != -1) Present();
    flushing_ = false;
}

void UiHost::Redraw() {
    Recompose({0, 0, static_cast<float>(size_.cx), static_cast<float>(size_.cy)}, true);
}

void UiHost::EnsureFrameSurface() {
    if (frameDc_ || !windowDc_) return;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size_.cx;
    bi.bmiHeader.biHeight = -size_.cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    frameBitmap_ = CreateDIBSection(windowDc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!frameBitmap_) return;
    frameBits_ = static_cast<uint32_t*>(bits);
    frameDc_ = CreateCompatibleDC(windowDc_);
    frameOld_ = SelectObject(frameDc_, frameBitmap_);
}

void UiHost::ReleaseFrameSurface() {
    if (frameDc_) {
        SelectObject(frameDc_, frameOld_);
        DeleteDC(frameDc_);
    }
    if (frameBitmap_) DeleteObject(frameBitmap_);
    frameDc_ = nullptr;
    frameBitmap_ = nullptr;
    frameBits_ = nullptr;
}

void UiHost::PresentFrame() {
    if (!frameDc_) return;
    POINT src{0, 0};
    SIZE sz = size_;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window_, nullptr, nullptr, &sz, frameDc_, &src, 0, &blend, ULW_ALPHA);
}

void UiHost::DrawAnimationFrame(int insetX, int insetY, int alpha) {
    animationAlphas_.push_back(alpha);
    EnsureFrameSurface();
    if (!frameBits_) return;
    std::memset(frameBits_, 0, static_cast<size_t>(size_.cx) * size_.cy * 4);
    int w = size_.cx - 2 * insetX, h = size_.cy - 2 * insetY;
    if (alpha > 0 && w > 0 && h > 0) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(std::min(alpha, 255)), AC_SRC_ALPHA};
        GdiAlphaBlend(frameDc_, insetX, insetY, w, h, memoryDc_, 0, 0, size_.cx, size_.cy, blend);
    }
    GdiFlush();
    PresentFrame();
}

void UiHost::MakeLayered() {
    if (alpha_ != -1) return;
    SetWindowLongPtrW(window_, GWL_EXSTYLE, GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
    alpha_ = 255;
    SetRoundWindowRegion(window_, size_.cx, size_.cy, 6, frameMargin_ == 0 ? 0 : 5);
}

void UiHost::Show(int effect, int duration) {
    if (!window_) return;
    if (effect == 0) {
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
    int pause = std::max(0, duration / 10);
    for (int k = 1; k <= 10 && window_; ++k) {
        int alpha = 25 * (k - 1);
        if (effect == 7) {
            int ix = static_cast<int>((10 - k) * size_.cx * 0.1 / 10);
            int iy = static_cast<int>((10 - k) * size_.cy * 0.1 / 10);
            DrawAnimationFrame(ix, iy, alpha);
            Sleep(static_cast<DWORD>(std::min(pause, 10)));
        } else {
            // Kind 1 and the kinds left open fade in at full size.
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
    if (closeEffect_ == 0 || closing_ || !window_ || !IsWindowVisible(window_)) return;
    closing_ = true;
    animationAlphas_.clear();
    MakeLayered();
    ApplyBlurBehind(true);
    closingFrames_ = 0;
    const int w = size_.cx, h = size_.cy;
    if (closeEffect_ == 7) {
        for (int i = 1; i <= 15 && window_; ++i) {
            int ix = static_cast<int>((i - 1) * w * 0.1 / 15);
            int iy = static_cast<int>((i - 1) * h * 0.1 / 15);
            DrawAnimationFrame(ix, iy, 255 - 17 * (i - 1));
            ++closingFrames_;
            Sleep(i >= 13 ? 1 : 10);
            PumpMessages();
        }
    } else if (closeEffect_ == 2) {
        for (int j = 1; j <= 20 && window_; ++j) {
            // Grows by a step that widens with j, so the picture swells away.
            int ix = -static_cast<int>(j * j * w * 0.0005);
            int iy = -static_cast<int>(j * j * h * 0.0005);
            DrawAnimationFrame(ix, iy, std::max(0, 255 - 12 * j));
            ++closingFrames_;
            Sleep(10);
            PumpMessages();
        }
    } else {
        for (int k = 1; k <= 15 && window_; ++k) {
            DrawAnimationFrame(0, 0, 255 - 17 * k);
            ++closingFrames_;
            Sleep(10);
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
