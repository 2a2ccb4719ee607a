// UiScrollBar: geometry, input (thumb drag, arrows, track, auto-repeat while
// the button is held) and painting. See scrollbar.h.
#include "ui/scrollbar.h"

#include "ui/host.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace sorvix::ui {

UiScrollBar::~UiScrollBar() {
    Destroy();
}

ElementHandle UiScrollBar::Create(UiParent parent, const UiRect& rect, const ScrollBarOptions& o) {
    if (Handle()) return Handle();
    horizontal_ = o.horizontal;
    minimum_ = o.minimum;
    maximum_ = std::max(o.minimum, o.maximum);
    position_ = std::clamp(o.position.value_or(o.minimum), minimum_, maximum_);
    pageStep_ = o.pageStep;
    lineStep_ = o.lineStep;
    action_ = Action::None;
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = false;
    return UiElement::Create(parent, rect, kKind, co);
}

int UiScrollBar::Minimum(std::optional<int> set) {
    if (set && *set != minimum_) {
        minimum_ = *set;
        maximum_ = std::max(maximum_, minimum_);
        position_ = std::clamp(position_, minimum_, maximum_);
        Paint();
    }
    return minimum_;
}

int UiScrollBar::Maximum(std::optional<int> set) {
    if (set && *set != maximum_) {
        maximum_ = std::max(*set, minimum_);
        position_ = std::clamp(position_, minimum_, maximum_);
        Paint();
    }
    return maximum_;
}

int UiScrollBar::Position(std::optional<int> set) {
    if (set) {
        int v = std::clamp(*set, minimum_, maximum_);
        if (v != position_) {
            position_ = v;
            Paint();
        }
    }
    return position_;
}

int UiScrollBar::PageStep(std::optional<int> set) {
    if (set) pageStep_ = std::max(1, *set);
    return pageStep_;
}

int UiScrollBar::LineStep(std::optional<int> set) {
    if (set) lineStep_ = std::max(1, *set);
    return lineStep_;
}

void UiScrollBar::SetValues(int maximum, int pageStep, int lineStep, int position) {
    int max = std::max(maximum, minimum_);
    int pos = std::clamp(position, minimum_, max);
    pageStep = std::max(1, pageStep);
    lineStep = std::max(1, lineStep);
    bool repaint = max != maximum_ || pos != position_;
    maximum_ = max;
    position_ = pos;
    pageStep_ = pageStep;
    lineStep_ = lineStep;
    if (repaint) Paint();
}

float UiScrollBar::Length() const {
    UiRect r = const_cast<UiScrollBar*>(this)->Rect();
    return horizontal_ ? r.w : r.h;
}

float UiScrollBar::TrackLength() const {
    return std::max(0.0f, Length() - 2.0f * kArrowLength);
}

int UiScrollBar::ThumbLength() const {
    if (maximum_ < 1) return 0;
    float l = TrackLength();
    float t = l * l / (static_cast<float>(maximum_) + l);
    t = std::max(t, static_cast<float>(kMinThumb));
    return static_cast<int>(std::min(t, l));
}

float UiScrollBar::ThumbStart() const {
    int range = maximum_ - minimum_;
    if (range <= 0) return TrackStart();
    float free = TrackLength() - static_cast<float>(ThumbLength());
    return TrackStart() + free * static_cast<float>(position_ - minimum_) / static_cast<float>(range);
}

int UiScrollBar::ValueAt(float p) const {
    float free = TrackLength() - static_cast<float>(ThumbLength());
    if (p <= TrackStart() || free <= 0) return minimum_;
    if (p >= TrackStart() + free) return maximum_;
    float v = (p - TrackStart()) * static_cast<float>(maximum_ - minimum_) / free;
    return minimum_ + static_cast<int>(std::lround(v));
}

float UiScrollBar::Along(LPARAM lParam) const {
    UiRect r = const_cast<UiScrollBar*>(this)->Rect();
    return horizontal_ ? static_cast<float>(GET_X_LPARAM(lParam)) - r.x
                       : static_cast<float>(GET_Y_LPARAM(lParam)) - r.y;
}

UiScrollBar::Action UiScrollBar::ZoneAt(float a) const {
    if (a < kArrowLength) return Action::LineBack;
    if (a >= Length() - kArrowLength) return Action::LineForward;
    if (ThumbLength() == 0) return Action::None;
    float start = ThumbStart();
    if (a < start) return Action::PageBack;
    if (a >= start + static_cast<float>(ThumbLength())) return Action::PageForward;
    return Action::Drag;
}

void UiScrollBar::SetByUser(int value) {
    int v = std::clamp(value, minimum_, maximum_);
    if (v == position_) return;
    position_ = v;
    Paint();
    if (onScroll_) {
        auto handler = onScroll_;
        handler(v);
    }
}

void UiScrollBar::Step(Action a) {
    switch (a) {
    case Action::LineBack: SetByUser(position_ - lineStep_); break;
    case Action::LineForward: SetByUser(position_ + lineStep_); break;
    case Action::PageBack: SetByUser(position_ - pageStep_); break;
    case Action::PageForward: SetByUser(position_ + pageStep_); break;
    default: break;
    }
}

void UiScrollBar::StopAction() {
    bool wasDrag = action_ == Action::Drag;
    if (action_ != Action::None && action_ != Action::Drag) KillTimer(HostWindow(), Handle());
    action_ = Action::None;
    if (wasDrag) Paint();
}

LRESULT UiScrollBar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case UIM_WANTPRESS:
        return 0;   // takes presses though it never takes the focus
    case WM_PAINT:
    case UIM_SIZE:
        Paint();
        return kNotHandled;
    case UIM_MOUSEENTER:
        hot_ = true;
        Paint();
        return kNotHandled;
    case UIM_MOUSELEAVE:
        hot_ = false;
        Paint();
        return kNotHandled;
    case WM_LBUTTONDOWN: {
        // Pressing the bar focuses the element it scrolls, so the wheel
        // keeps working there.
        if (UiElement* p = UiElement::FromHandle(Parent()); p && p->Focusable() && Host()) {
            Host()->SetFocus(p->Handle());
        }
        float a = Along(lParam);
        lastPoint_ = a;
        Action zone = ZoneAt(a);
        if (zone == Action::None) return 0;
        if (zone == Action::Drag) {
            action_ = Action::Drag;
            grab_ = a - ThumbStart();
            Paint();
            return 0;
        }
        action_ = zone;
        repeatFast_ = false;
        Step(zone);
        SetTimer(HostWindow(), Handle(), kRepeatDelayMs, nullptr);
        return 0;
    }
    case WM_MOUSEMOVE: {
        float a = Along(lParam);
        lastPoint_ = a;
        if (action_ == Action::Drag) SetByUser(ValueAt(a - grab_));
        return kNotHandled;
    }
    case WM_LBUTTONUP:
        StopAction();
        return 0;
    case UIM_KILLFOCUS:   // the host lost the window's activation mid-press
        StopAction();
        return kNotHandled;
    case WM_TIMER: {
        if (wParam != Handle()) return kNotHandled;
        Action a = action_;
        if (a == Action::None || a == Action::Drag) {
            KillTimer(HostWindow(), Handle());
            return 0;
        }
        if (!repeatFast_) {
            repeatFast_ = true;
            SetTimer(HostWindow(), Handle(), kRepeatIntervalMs, nullptr);
        }
        // Arrows repeat while the pointer stays on them; the track repeats
        // until the thumb has reached the pointer.
        bool go = false;
        if (a == Action::LineBack || a == Action::LineForward) go = ZoneAt(lastPoint_) == a;
        else if (a == Action::PageBack) go = lastPoint_ < ThumbStart();
        else go = lastPoint_ >= ThumbStart() + static_cast<float>(ThumbLength());
        if (go) Step(a);
        return 0;
    }
    case WM_DESTROY:
        if (HostWindow()) KillTimer(HostWindow(), Handle());
        action_ = Action::None;
        onScroll_ = nullptr;
        return kNotHandled;
    default:
        return kNotHandled;
    }
}

void UiScrollBar::Paint() {
    if (!Handle()) return;
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    Gdiplus::Graphics& g = *ctx.graphics;
    const float len = Length();
    const float across = horizontal_ ? ctx.rect.h : ctx.rect.w;
    // Points are given as (along, across) and turned for a horizontal bar.
    auto pt = [&](float a, float c) {
        return horizontal_ ? Gdiplus::PointF(a, c) : Gdiplus::PointF(c, a);
    };
    auto rect = [&](float a, float c, float la, float lc) {
        return horizontal_ ? Gdiplus::RectF(a, c, la, lc) : Gdiplus::RectF(c, a, lc, la);
    };
    Gdiplus::SolidBrush track{Gdiplus::Color(ArgbAt(0xFFFFFF, hot_ ? 150 : 110))};
    g.FillRectangle(&track, rect(0, 0, len, across));

    const float k = static_cast<float>(kArrowLength);
    const float mid = across / 2.0f;
    const float half = std::max(2.0f, across / 2.0f - 2.5f);
    Gdiplus::SolidBrush arrowFill{Gdiplus::Color(ArgbAt(0x000000, hot_ ? 170 : 120))};
    Gdiplus::Pen arrowPen{Gdiplus::Color(ArgbAt(0x000000, 150))};
    Gdiplus::PointF back[3] = {pt(2.0f, mid), pt(k - 1.5f, mid - half), pt(k - 1.5f, mid + half)};
    Gdiplus::PointF forward[3] = {pt(len - 2.0f, mid), pt(len - k + 1.5f, mid - half),
                                  pt(len - k + 1.5f, mid + half)};
    g.FillPolygon(&arrowFill, back, 3);
    g.DrawPolygon(&arrowPen, back, 3);
    g.FillPolygon(&arrowFill, forward, 3);
    g.DrawPolygon(&arrowPen, forward, 3);

    if (int thumb = ThumbLength(); thumb > 0) {
        int alpha = action_ == Action::Drag ? 150 : hot_ ? 120 : 90;
        FillRoundRect(g, rect(ThumbStart(), 2.0f, static_cast<float>(thumb), across - 4.0f), 3.0f,
                      ArgbAt(0x000000, alpha));
    }
    EndPaint(ctx);
}

}  // namespace sorvix::ui
