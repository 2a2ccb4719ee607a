// UiPicture, frame helpers of multi-frame images, IconToBitmap and rounded
// window regions. See picture.h.
#include "ui/picture.h"

#include "ui/gdi_owner.h"
#include "ui/host.h"

#include <cstring>

namespace sorvix::ui {

namespace {

// The GDI+ time frame dimension {6AEDBD6D-3FB5-418A-83A6-7F45229DC872}.
const GUID kTimeDimension = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};

// The frame delay property of a multi-frame picture: 32-bit delays in
// hundredths of a second, stored as longs or as signed longs.
constexpr PROPID kFrameDelayTag = 0x5100;
constexpr WORD kTypeLong = 4, kTypeSignedLong = 9;

// A delay of 0 played as this many hundredths when asked, and the delay of
// a picture without delays.
constexpr int kDefaultFrameDelay = 10;

// Kind code of picture elements.
constexpr int kPictureKind = 4;

}  // namespace

int ImageFrameCount(Gdiplus::Image* image) {
    if (!image) return 0;
    return static_cast<int>(image->GetFrameCount(&kTimeDimension));
}

bool ImageFrameDelays(Gdiplus::Image* image, std::vector<int>& delays) {
    delays.clear();
    if (!image) return false;
    UINT size = image->GetPropertyItemSize(kFrameDelayTag);
    if (size == 0) return false;
    std::vector<unsigned char> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (image->GetPropertyItem(kFrameDelayTag, size, item) != Gdiplus::Ok) return false;
    if (!item->value || item->length == 0 || (item->type != kTypeLong && item->type != kTypeSignedLong)) {
        return false;
    }
    size_t count = item->length / 4;
    for (size_t i = 0; i < count; ++i) {
        int32_t v;
        std::memcpy(&v, static_cast<unsigned char*>(item->value) + i * 4, 4);
        delays.push_back(v);
    }
    return true;
}

bool SelectImageFrame(Gdiplus::Image* image, int index) {
    return image && image->SelectActiveFrame(&kTimeDimension, static_cast<UINT>(index)) == Gdiplus::Ok;
}

Gdiplus::Bitmap* IconToBitmap(HICON icon) {
    if (!icon) return nullptr;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return nullptr;
    // GetIconInfo hands us copies of both bitmaps.
    UniqueBitmap colourBitmap(info.hbmColor), maskBitmap(info.hbmMask);
    BITMAP bm{};
    GetObjectW(colourBitmap ? colourBitmap.Get() : maskBitmap.Get(), sizeof(bm), &bm);
    // A monochrome icon's mask holds the AND and XOR halves one above the other.
    int w = bm.bmWidth, h = colourBitmap ? bm.bmHeight : bm.bmHeight / 2;
    Gdiplus::Bitmap* result = nullptr;
    std::vector<uint32_t> pixels;
    bool ownAlpha = false;
    if (colourBitmap && w > 0 && h > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        pixels.assign(static_cast<size_t>(w) * h, 0);
        UniqueWindowDc screen(nullptr);
        int lines = GetDIBits(screen.Get(), colourBitmap.Get(), 0, static_cast<UINT>(h), pixels.data(), &bi,
                              DIB_RGB_COLORS);
        if (lines > 0 && bm.bmBitsPixel == 32) {
            for (uint32_t p : pixels) {
                if (p >> 24) {
                    ownAlpha = true;
                    break;
                }
            }
        }
    }
    std::unique_ptr<Gdiplus::Bitmap> source;
    if (ownAlpha) {
        source = std::make_unique<Gdiplus::Bitmap>(w, h, w * 4, PixelFormat32bppARGB,
                                                   reinterpret_cast<BYTE*>(pixels.data()));
    } else {
        source.reset(Gdiplus::Bitmap::FromHICON(icon));
        if (source) {
            w = static_cast<int>(source->GetWidth());
            h = static_cast<int>(source->GetHeight());
        }
    }
    if (source && w > 0 && h > 0) {
        result = new Gdiplus::Bitmap(w, h, PixelFormat32bppARGB);
        Gdiplus::Graphics g(result);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
        g.DrawImage(source.get(), 0, 0, w, h);
    }
    return result;
}

void SetRoundWindowRegion(HWND window, int width, int height, int inset, int corner) {
    if (IsZoomed(window)) inset -= 1;
    UniqueRegion region(CreateRoundRectRgn(inset, inset, width - inset + 1, height - inset + 1, corner, corner));
    // The window owns the region once SetWindowRgn took it.
    if (region && SetWindowRgn(window, region.Get(), TRUE)) (void)region.Release();
}

// ---- UiPicture -------------------------------------------------------------------

UiPicture::~UiPicture() {
    Destroy();
    FreeImage();
}

void UiPicture::FreeImage() {
    ImageFree(image_, &source_);
}

void UiPicture::TakeImage(Gdiplus::Image* image, const PictureOptions& o) {
    image_ = image;
    frameCount_ = image ? ImageFrameCount(image) : 0;
    if (image && frameCount_ == 0) frameCount_ = 1;
    currentFrame_ = frameCount_ >= 1 ? 1 : 0;
    playing_ = o.playing;
    if (!image || !ImageFrameDelays(image, frameDelays_) || frameDelays_.empty()) {
        frameDelays_ = {kDefaultFrameDelay};
    }
    if (o.replaceZeroDelays) {
        for (int& d : frameDelays_) {
            if (d == 0) d = kDefaultFrameDelay;
        }
    }
    backColour_ = o.backColour;
    sizeMode_ = o.sizeMode;
    sourceRect_ = o.sourceRect;
    playMarker_ = -1;
}

ElementHandle UiPicture::Create(UiParent parent, const UiRect& rect, HICON icon,
                                const PictureOptions& o) {
    if (Handle()) return Handle();
    FreeImage();
    imageBytes_.clear();
    TakeImage(icon ? IconToBitmap(icon) : nullptr, o);
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = false;
    return UiElement::Create(parent, rect, kPictureKind, co);
}

ElementHandle UiPicture::CreateFromBytes(UiParent parent, const UiRect& rect, const std::string& bytes,
                                         const PictureOptions& o) {
    if (Handle()) return Handle();
    FreeImage();
    imageBytes_ = bytes;
    TakeImage(ImageFromBytes(imageBytes_, false, true, &source_), o);
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = false;
    return UiElement::Create(parent, rect, kPictureKind, co);
}

void UiPicture::SetImage(const std::string& bytes, const PictureOptions& o) {
    RunOnHostThread([&] {
        if (HostWindow()) KillTimer(HostWindow(), Handle());
        lastTimerDelay_ = 0;
        FreeImage();
        imageBytes_ = bytes;
        TakeImage(ImageFromBytes(imageBytes_, false, true, &source_), o);
        if (Handle()) Paint();
    });
}

bool UiPicture::Playing(std::optional<bool> set) {
    if (set) {
        playing_ = *set;
        if (Handle() && playing_ && frameCount_ > 1) Redraw();
    }
    return playing_;
}

LRESULT UiPicture::HandleMessage(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_PAINT:
    case UIM_SHOW: Paint(); break;
    case WM_TIMER:
        if (playMarker_ == -1) {
            if (playing_ && frameCount_ >= 1) {
                Paint();
            } else {
                KillTimer(HostWindow(), Handle());
                lastTimerDelay_ = 0;
            }
        }
        return 0;
    case WM_DESTROY:
        if (HostWindow()) KillTimer(HostWindow(), Handle());
        currentFrame_ = frameCount_ = 0;
        playing_ = false;
        FreeImage();
        frameDelays_.clear();
        imageBytes_.clear();
        lastTimerDelay_ = 0;
        break;
    case UIM_FADEEND: playMarker_ = -1; break;
    default: break;
    }
    return kNotHandled;
}

void UiPicture::Paint() {
    if (currentFrame_ == 0) return;
    // A hidden element only advances its frame: the next visible paint
    // continues the sequence instead of restarting it.
    if (!Visible()) {
        ++currentFrame_;
        return;
    }
    if (currentFrame_ > frameCount_ || !playing_) currentFrame_ = 1;
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    Gdiplus::Graphics& g = *ctx.graphics;
    if (backColour_) {
        Gdiplus::SolidBrush b{Gdiplus::Color(backColour_)};
        g.FillRectangle(&b, 0.0f, 0.0f, ctx.rect.w, ctx.rect.h);
    }
    if (image_) {
        if (frameCount_ > 1) SelectImageFrame(image_, currentFrame_ - 1);
        float iw = static_cast<float>(image_->GetWidth()), ih = static_cast<float>(image_->GetHeight());
        if (sizeMode_ == kPictureNatural) {
            g.DrawImage(image_, 0.0f, 0.0f, iw, ih);
        } else if (sizeMode_ == kPictureSourceRect && sourceRect_.w > 0 && sourceRect_.h > 0) {
            g.DrawImage(image_, Gdiplus::RectF(0, 0, ctx.rect.w, ctx.rect.h), sourceRect_.x, sourceRect_.y,
                        sourceRect_.w, sourceRect_.h, Gdiplus::UnitPixel);
        } else {
            g.DrawImage(image_, Gdiplus::RectF(0, 0, ctx.rect.w, ctx.rect.h));
        }
    }
    EndPaint(ctx);
    if (frameCount_ < 2) {
        ++currentFrame_;
        return;
    }
    KillTimer(HostWindow(), Handle());
    ++currentFrame_;
    if (currentFrame_ > frameCount_ || !playing_) currentFrame_ = 1;
    size_t index = static_cast<size_t>(currentFrame_ - 1);
    int delay = index < frameDelays_.size() ? frameDelays_[index] : frameDelays_.back();
    lastTimerDelay_ = delay * 10;   // hundredths to milliseconds
    SetTimer(HostWindow(), Handle(), static_cast<UINT>(lastTimerDelay_), nullptr);
}

}  // namespace sorvix::ui
