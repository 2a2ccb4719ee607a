// UiProgressBar: a gradient bar over its track, horizontal (growing from the
// left) or vertical (growing from the bottom). See listview.h.
#include "ui/listview.h"

#include "ui/host.h"

#include <algorithm>
#include <cmath>

namespace sorvix::ui {

UiProgressBar::~UiProgressBar() {
    Destroy();
}

ElementHandle UiProgressBar::Create(UiParent parent, const UiRect& rect, const ProgressOptions& o) {
    if (Handle()) return Handle();
    opt_ = o;
    UiHost* host = parent.window ? UiHost::FromWindow(parent.window)
                                 : (FromHandle(parent.element) ? FromHandle(parent.element)->Host() : nullptr);
    rounded_ = o.rounded.value_or(host ? host->RoundCorners() : true);
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = false;
    return UiElement::Create(parent, rect, kKind, co);
}

int UiProgressBar::Position(std::optional<int> set) {
    if (set) {
        int v = *set;
        RunOnHostThread([&] {
            opt_.position = v;
            Paint();
        });
    }
    return opt_.position;
}

void UiProgressBar::BarColours(Argb colour1, Argb colour2) {
    RunOnHostThread([&] {
        opt_.barColour1 = colour1;
        opt_.barColour2 = colour2;
        Paint();
    });
}

void UiProgressBar::TrackColour(Argb colour) {
    RunOnHostThread([&] {
        opt_.trackColour = colour;
        Paint();
    });
}

int UiProgressBar::FilledLength() const {
    UiRect r = const_cast<UiProgressBar*>(this)->Rect();
    float inner = (opt_.vertical ? r.h : r.w) - 4.0f;
    int range = opt_.maximum - opt_.minimum;
    if (inner <= 0 || range <= 0) return 0;
    // Positions outside the range draw an empty or a full bar, never more.
    int pos = std::clamp(opt_.position, opt_.minimum, opt_.maximum);
    return static_cast<int>(std::lround(inner * static_cast<float>(pos - opt_.minimum) /
                                        static_cast<float>(range)));
}

LRESULT UiProgressBar::HandleMessage(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_PAINT:
    case UIM_SIZE:
        Paint();
        break;
    case WM_DESTROY:
        backgroundHook_ = nullptr;
        break;
    default:
        break;
    }
    return kNotHandled;
}

void UiProgressBar::Paint() {
    if (!Handle()) return;
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    Gdiplus::Graphics& g = *ctx.graphics;
    const float w = ctx.rect.w, h = ctx.rect.h;
    Gdiplus::RectF inner(2, 2, w - 4, h - 4);
    Gdiplus::RectF whole(0, 0, w - 1, h - 1);
    if (rounded_) {
        HRGN rgn = CreateRoundRectRgn(0, 0, static_cast<int>(w) + 1, static_cast<int>(h) + 1, 12, 12);
        Gdiplus::Region region(rgn);
        DeleteObject(rgn);
        g.SetClip(&region);
    }
    if (!(backgroundHook_ && backgroundHook_(g, inner))) {
        if (rounded_) {
            FillRoundRect(g, inner, 6, opt_.trackColour);
        } else {
            Gdiplus::SolidBrush track{Gdiplus::Color(opt_.trackColour)};
            g.FillRectangle(&track, inner);
        }
    }
    int length = FilledLength();
    if (length > 0) {
        float len = static_cast<float>(length);
        Gdiplus::RectF bar = opt_.vertical ? Gdiplus::RectF(inner.X, inner.GetBottom() - len, inner.Width, len)
                                           : Gdiplus::RectF(inner.X, inner.Y, len, inner.Height);
        // The bar's colours run along its direction; the shade runs across it.
        Gdiplus::LinearGradientBrush fill(bar, Gdiplus::Color(opt_.barColour1), Gdiplus::Color(opt_.barColour2),
                                          opt_.vertical ? Gdiplus::LinearGradientModeVertical
                                                        : Gdiplus::LinearGradientModeHorizontal);
        fill.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        Gdiplus::LinearGradientBrush shade(bar, Gdiplus::Color(ArgbAt(0x000000, 0)),
                                           Gdiplus::Color(ArgbAt(0x000000, 81)),
                                           opt_.vertical ? Gdiplus::LinearGradientModeHorizontal
                                                         : Gdiplus::LinearGradientModeVertical);
        shade.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        // Whole pixels: the bar covers exactly its length, without the
        // half-covered edge pixels anti-aliasing would give.
        g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
        g.FillRectangle(&fill, bar);
        g.FillRectangle(&shade, bar);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    }
    g.ResetClip();
    if (rounded_) DrawRoundRect(g, whole, 6, opt_.frameColour);
    else DrawBorder(g, whole, 3, opt_.frameColour);
    EndPaint(ctx);
}

}  // namespace sorvix::ui
