// UiTextElement, UiButton, UiOption, UiImageButton and UiLabel. See
// text_elements.h.
#include "ui/text_elements.h"

#include "ui/host.h"
#include "ui/resources/art.h"

#include <algorithm>
#include <cmath>

namespace sorvix::ui {

namespace {

// The look of one state: a colour and an alpha for each part of the button.
enum StateSlot : int {
    kSlotFill,             // the body
    kSlotGradientTop,      // the theme-coloured gradient over it (alpha only)
    kSlotGradientBottom,   //   ... towards the bottom (alpha only)
    kSlotOuterLine,        // the outline
    kSlotInnerLine,        // the outline one pixel in
    kSlotMidLine,          // the highlight across the middle
    kSlotCount,
};

struct StateColours {
    Colour colour[kSlotCount];
    int alpha[kSlotCount];
    Argb At(StateSlot slot) const { return ArgbAt(colour[slot], alpha[slot]); }
};

// Rows for the states normal, hot, pressed and focused, then disabled.
const StateColours kStates[] = {
    {{0xECECEC, 0, 0, 0, 0xFFFFFF, 0}, {204, 0, 102, 80, 51, 25}},
    {{0xECECEC, 0, 0, 0, 0xFFFFFF, 0}, {204, 21, 153, 70, 51, 30}},
    {{0xECECEC, 0, 0xECECEC, 0, 0xFFFFFF, 0}, {204, 153, 21, 70, 51, 10}},
    {{0xECECEC, 0, 0, 0, 0xFFFFFF, 0}, {204, 51, 153, 80, 61, 25}},
    {{0xFFFFFF, 0, 0, 0, 0xFFFFFF, 0}, {51, 51, 51, 35, 30, 0}},
};
constexpr int kDisabledRow = 4;

const StateColours& ColoursOf(int state) {
    return kStates[state < kStateNormal || state > kStateFocused ? kDisabledRow : state];
}

// Kind codes, and the hover cross-fade of text elements: 4 steps of 60 ms.
constexpr int kTextElementKind = 2, kLabelKind = 3, kOptionKind = 10, kImageButtonKind = 23;
constexpr int kHoverFadeSteps = 4, kHoverFadeInterval = 60;
constexpr float kButtonCorner = 3, kButtonClipCorner = 4;
// The image button's focus glow: a 100 ms timer through ten phases, the
// glow's alpha rising from 110 by 29 a phase to the fifth and falling again.
constexpr UINT kGlowPeriod = 100;
constexpr int kGlowPhases = 10, kGlowBaseAlpha = 110, kGlowAlphaStep = 29;

Gdiplus::Bitmap* LoadArt(std::span<const unsigned char> bytes, bool addSignature, int w, int h) {
    Gdiplus::Image* image = ImageFromBytes(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), addSignature, false);
    if (auto* bmp = dynamic_cast<Gdiplus::Bitmap*>(image)) return bmp;
    delete image;
    // An empty picture of the right size keeps every cell cut in bounds.
    return new Gdiplus::Bitmap(w, h, PixelFormat32bppARGB);
}

// The image buttons' skin, loaded when the first one is created.
Gdiplus::Bitmap* ImageButtonSkin() {
    static Gdiplus::Bitmap* skin =
        LoadArt(art::ImageButtonSkin(), false, art::kImageButtonWidth, 5 * art::kImageButtonHeight);
    return skin;
}

// Draws one skin row nine-sliced into dest: the corners keep their size.
void DrawNineSlice(Gdiplus::Graphics& g, Gdiplus::Bitmap* skin, const art::Cell& cell,
                   const Gdiplus::RectF& dest, int alpha) {
    const float k = static_cast<float>(art::kImageButtonCornerInset);
    const float sx[4] = {0, k, static_cast<float>(cell.width) - k, static_cast<float>(cell.width)};
    const float sy[4] = {0, k, static_cast<float>(cell.height) - k, static_cast<float>(cell.height)};
    const float dx[4] = {dest.X, dest.X + k, dest.X + dest.Width - k, dest.X + dest.Width};
    const float dy[4] = {dest.Y, dest.Y + k, dest.Y + dest.Height - k, dest.Y + dest.Height};
    Gdiplus::ImageAttributes attrs;
    Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0},
                               {0, 0, 0, alpha / 255.0f, 0}, {0, 0, 0, 0, 1}}};
    attrs.SetColorMatrix(&m, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
    // Tile edges would otherwise bleed in neighbouring rows of the strip.
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            Gdiplus::RectF d(dx[col], dy[row], dx[col + 1] - dx[col], dy[row + 1] - dy[row]);
            if (d.Width <= 0 || d.Height <= 0) continue;
            g.DrawImage(skin, d, cell.x + sx[col], cell.y + sy[row], sx[col + 1] - sx[col],
                        sy[row + 1] - sy[row], Gdiplus::UnitPixel, &attrs);
        }
    }
}

std::unique_ptr<Gdiplus::StringFormat> MakeFormat(bool wrap, int horizontal, bool hotkey) {
    auto f = std::make_unique<Gdiplus::StringFormat>();
    if (!wrap) f->SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    f->SetAlignment(horizontal == kAlignCentre ? Gdiplus::StringAlignmentCenter
                    : horizontal == kAlignFar  ? Gdiplus::StringAlignmentFar
                                               : Gdiplus::StringAlignmentNear);
    f->SetTrimming(Gdiplus::StringTrimmingNone);
    f->SetHotkeyPrefix(hotkey ? Gdiplus::HotkeyPrefixShow : Gdiplus::HotkeyPrefixNone);
    return f;
}

Gdiplus::Font* MakeFont(const Text& family, float size, int style) {
    if (family.empty()) {
        Gdiplus::Font* def = Lib().defaultFont;
        if (def && CoordEqual(size, 12.0f) && style == 0) return def->Clone();
        if (def) return CreateFontByName(FontFamilyName(def), size, style);
        return nullptr;
    }
    return CreateFontByName(family, size, style);
}

// White on a dark and black on a light background, at the given alpha.
Argb AutoTextColour(UiElement* e, int alpha);

}  // namespace

Gdiplus::Bitmap* OptionGlyphStrip() {
    static Gdiplus::Bitmap* strip = LoadArt(art::OptionGlyphStrip(), true, 4 * art::kOptionGlyphSize,
                                            art::kOptionGlyphSize);
    return strip;
}

bool BackgroundIsDark(UiElement* e) {
    UiHost* host = e ? e->Host() : nullptr;
    if (!host) return false;
    Gdiplus::Image* picture = host->BackgroundPicture();
    if (!picture) return IsDark(host->ThemeColour());
    // Pictures decoded from a stream are plain images, not bitmaps: their
    // pixels are read by drawing each sample into a one-pixel bitmap.
    auto* bitmap = dynamic_cast<Gdiplus::Bitmap*>(picture);
    std::unique_ptr<Gdiplus::Bitmap> sample;
    std::unique_ptr<Gdiplus::Graphics> sg;
    if (!bitmap) {
        sample = std::make_unique<Gdiplus::Bitmap>(1, 1, PixelFormat32bppARGB);
        sg = std::make_unique<Gdiplus::Graphics>(sample.get());
        sg->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        sg->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        sg->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    }
    auto read = [&](int x, int y, Gdiplus::Color& c) {
        if (bitmap) return bitmap->GetPixel(x, y, &c) == Gdiplus::Ok;
        if (sg->DrawImage(picture, Gdiplus::Rect(0, 0, 1, 1), x, y, 1, 1, Gdiplus::UnitPixel) != Gdiplus::Ok) {
            return false;
        }
        sg->Flush(Gdiplus::FlushIntentionSync);
        return sample->GetPixel(0, 0, &c) == Gdiplus::Ok;
    };
    UiRect r = e->Rect();
    const int pw = ImageWidth(picture), ph = ImageHeight(picture);
    int dark = 0;
    const float f[3] = {0.2f, 0.5f, 0.8f};
    for (float fy : f) {
        for (float fx : f) {
            int x = static_cast<int>(r.x + r.w * fx), y = static_cast<int>(r.y + r.h * fy);
            if (x < 0 || y < 0 || x >= pw || y >= ph) continue;
            Gdiplus::Color c;
            if (!read(x, y, c)) continue;
            Colour rgb = c.GetR() | (c.GetG() << 8) | (c.GetB() << 16);
            if (IsDark(rgb)) ++dark;
        }
    }
    return dark > 4;
}

namespace {
Argb AutoTextColour(UiElement* e, int alpha) {
    return ArgbAt(BackgroundIsDark(e) ? 0xFFFFFF : 0, alpha);
}
}  // namespace

// ---- UiTextElement ----------------------------------------------------------------

UiTextElement::~UiTextElement() {
    Destroy();
    delete font_;
}

ElementHandle UiTextElement::Create(UiParent parent, const UiRect& rect, const Text& caption,
                                    const TextOptions& o) {
    if (Handle()) return Handle();
    caption_ = GbkToWide(caption);
    delete font_;
    font_ = MakeFont(o.fontFamily, o.size, o.style);
    format_ = MakeFormat(false, kAlignNear, true);
    textColour_ = o.colour;
    textAlpha_ = o.alpha;
    effect_ = o.effect;
    effectColour_ = o.effectColour;
    iconBytes_ = o.iconBytes;
    iconPosition_ = o.iconPosition;
    iconSpacing_ = o.iconSpacing;
    autoColour_ = o.autoColour;
    UiHost* host = parent.window ? UiHost::FromWindow(parent.window)
                                 : (FromHandle(parent.element) ? FromHandle(parent.element)->Host() : nullptr);
    roundCorners_ = o.roundCorners.value_or(host ? host->RoundCorners() : true);
    state_ = 0;
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = o.focusable.value_or(true);
    co.cursor = o.cursor;
    co.fadeInterval = kHoverFadeInterval;
    co.fadeSteps = 0;
    return UiElement::Create(parent, rect, kTextElementKind, co);
}

// The getters and setters below read and write the element's fields on the
// window's thread only: a worker's call is carried there and waits for it.
Text UiTextElement::Caption(std::optional<Text> set) {
    Text result;
    RunOnHostThread([&] {
        if (set) {
            std::wstring wide = GbkToWide(*set);
            if (wide != caption_) {
                caption_ = std::move(wide);
                if (Handle()) {
                    ApplyCaption();
                    PaintState(state_);
                }
            }
        }
        result = WideToGbk(caption_);
    });
    return result;
}

Colour UiTextElement::TextColour(std::optional<Colour> set, std::optional<int> alpha) {
    Colour result = 0;
    RunOnHostThread([&] {
        if (set || alpha) {
            if (set) textColour_ = *set;
            if (alpha) textAlpha_ = *alpha;
            if (Handle()) PaintState(state_);
        }
        result = textColour_;
    });
    return result;
}

void UiTextElement::ApplyCaption() {
    // "&x" marks an Alt accelerator; "&&" is a literal ampersand.
    wchar_t key = 0;
    for (size_t i = 0; i + 1 < caption_.size(); ++i) {
        if (caption_[i] != L'&') continue;
        if (caption_[i + 1] == L'&') {
            ++i;
            continue;
        }
        key = caption_[i + 1];
        break;
    }
    if (HostWindow() && (key || Host())) {
        SendMessageW(HostWindow(), UIM_SETACCEL, Handle(), key);
    }
}

LRESULT UiTextElement::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT hook = ClassHook(message, wParam, lParam);
    if (hook != kNotHandled) return hook;
    switch (message) {
    case WM_CREATE: ApplyCaption(); break;
    case WM_DESTROY:
        format_.reset();
        delete font_;
        font_ = nullptr;
        break;
    case WM_PAINT: PaintState(state_); break;
    case WM_LBUTTONDOWN:
        if (Focusable()) PaintState(kStatePressed);
        break;
    case WM_LBUTTONUP:
        if (Focusable()) PaintState(kStateHot);
        break;
    case UIM_SETFOCUS: PaintState(kStateFocused); break;
    case UIM_MOUSEENTER:
        SetFadeSteps(kHoverFadeSteps);
        PaintState(kStateHot);
        break;
    case UIM_MOUSELEAVE:
    case UIM_KILLFOCUS:
        SetFadeSteps(kHoverFadeSteps);
        PaintState(kStateNormal);
        break;
    case UIM_BACKGROUND:
        if (Kind() == kTextElementKind) PaintState(state_);
        break;
    case UIM_FADEEND: SetFadeSteps(0); break;
    default: break;
    }
    return kNotHandled;
}

void UiTextElement::PaintState(int state) {
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    state_ = state;
    int drawn = Disabled() ? kStateDisabled : state;
    Gdiplus::Graphics& g = *ctx.graphics;
    UiHost* host = ctx.host;
    const Colour theme = host ? host->ThemeColour() : 0x606060;
    const StateColours& sc = ColoursOf(drawn);
    Gdiplus::RectF r(0, 0, ctx.rect.w - 1, ctx.rect.h - 1);
    if (CustomBackgroundHook(ctx, drawn) == 0) {
        if (roundCorners_) {
            Gdiplus::GraphicsPath path;
            RoundRectPath(path, r, kButtonClipCorner);
            g.SetClip(&path);
            FillRoundRect(g, r, kButtonCorner, sc.At(kSlotFill));
        } else {
            Gdiplus::SolidBrush b{Gdiplus::Color(sc.At(kSlotFill))};
            g.FillRectangle(&b, r);
        }
        FillGradient(g, Gdiplus::RectF(r.X, r.Y, r.Width + 1, r.Height + 1),
                     ArgbAt(theme, sc.alpha[kSlotGradientTop]), ArgbAt(theme, sc.alpha[kSlotGradientBottom]),
                     kGradientVertical);
        Gdiplus::RectF inner(r.X + 1, r.Y + 1, r.Width - 2, r.Height - 2);
        if (roundCorners_) {
            g.ResetClip();
            DrawRoundRect(g, r, kButtonCorner, sc.At(kSlotOuterLine));
            DrawRoundRect(g, inner, kButtonCorner, sc.At(kSlotInnerLine));
        } else {
            DrawBorder(g, r, static_cast<int64_t>(sc.At(kSlotOuterLine)));
            DrawBorder(g, inner, static_cast<int64_t>(sc.At(kSlotInnerLine)));
        }
        Gdiplus::Pen highlight{Gdiplus::Color(sc.At(kSlotMidLine))};
        g.DrawLine(&highlight, r.X + 2, r.Y + r.Height / 2, r.X + r.Width - 2, r.Y + r.Height / 2);
    }
    // Content: icon and text laid out side by side (or icon above).
    g.SetClip(Gdiplus::RectF(1, 1, ctx.rect.w - 2, ctx.rect.h - 2));
    std::unique_ptr<Gdiplus::Image> icon;
    if (!iconBytes_.empty()) icon.reset(ImageFromBytes(iconBytes_));
    Gdiplus::RectF measured;
    if (!caption_.empty() && font_) {
        g.MeasureString(caption_.c_str(), -1, font_, Gdiplus::PointF(0, 0), format_.get(), &measured);
    }
    float iw = icon ? static_cast<float>(icon->GetWidth()) : 0;
    float ih = icon ? static_cast<float>(icon->GetHeight()) : 0;
    float gap = icon && !caption_.empty() ? static_cast<float>(iconSpacing_) : 0;
    Gdiplus::RectF textRect, iconRect;
    if (iconPosition_ == kIconAbove) {
        float total = ih + gap + measured.Height;
        float top = (ctx.rect.h - total) / 2;
        iconRect = Gdiplus::RectF((ctx.rect.w - iw) / 2, top, iw, ih);
        textRect = Gdiplus::RectF((ctx.rect.w - measured.Width) / 2, top + ih + gap, measured.Width + 1,
                                  measured.Height);
    } else {
        float total = iw + gap + measured.Width;
        float left = (ctx.rect.w - total) / 2;
        iconRect = Gdiplus::RectF(left, (ctx.rect.h - ih) / 2, iw, ih);
        textRect = Gdiplus::RectF(left + iw + gap, (ctx.rect.h - measured.Height) / 2,
                                  measured.Width + 1, measured.Height);
    }
    if (drawn == kStatePressed) {
        textRect.Offset(1, 1);
        iconRect.Offset(1, 1);
    }
    int contentAnswer = ContentHook(ctx, drawn, textRect, iconRect);
    if (icon) g.DrawImage(icon.get(), iconRect);
    if (!caption_.empty()) {
        Argb colour = autoColour_ ? AutoTextColour(this, textAlpha_) : ArgbAt(textColour_, textAlpha_);
        DrawText(g, textRect, caption_, font_, colour, format_.get(), effect_, effectColour_);
    }
    g.ResetClip();
    if (contentAnswer == 0 && host && host->Focused() == Handle()) {
        DrawBorder(g, Gdiplus::RectF(2, 2, ctx.rect.w - 4, ctx.rect.h - 5), kBorderFocusCue);
    }
    EndPaint(ctx);
}

// ---- UiOption --------------------------------------------------------------------

bool UiOption::Checked(std::optional<bool> set) {
    bool result = false;
    RunOnHostThread([&] {
        if (set && *set != checked_) {
            checked_ = *set;
            if (Handle()) PaintState(state_);
        }
        result = checked_;
    });
    return result;
}

LRESULT UiOption::ClassHook(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CREATE:
        SetKind(kOptionKind);
        OptionGlyphStrip();
        break;
    case WM_DESTROY: checked_ = false; break;
    case UIM_CLICK:
        checked_ = !checked_;
        PaintState(state_);
        break;
    default: break;
    }
    return kNotHandled;
}

int UiOption::ContentHook(PaintContext& ctx, int state, Gdiplus::RectF& textRect, Gdiplus::RectF&) {
    Gdiplus::Graphics& g = *ctx.graphics;
    Gdiplus::RectF box(4, 4, 20, ctx.rect.h - 8);
    textRect.X = 24;
    if (state == kStatePressed) textRect.Y -= 1;
    g.SetClip(Gdiplus::RectF(0, 0, ctx.rect.w, ctx.rect.h));
    // Hot and pressed (and disabled) show the hot cell; focus alone does not.
    bool hot = state != kStateNormal && state != kStateFocused;
    const art::Cell glyph = art::OptionGlyphCell(checked_, hot);
    Gdiplus::Bitmap* strip = OptionGlyphStrip();
    if (strip) {
        std::unique_ptr<Gdiplus::Bitmap> cell;
        {
            std::lock_guard<std::mutex> guard(SharedArtLock());
            cell.reset(strip->Clone(glyph.x, glyph.y, glyph.width, glyph.height, strip->GetPixelFormat()));
        }
        if (cell) {
            const float size = static_cast<float>(art::kOptionGlyphSize);
            g.DrawImage(cell.get(), box.X + (box.Width - size) / 2, box.Y + (box.Height - size) / 2, size, size);
        }
    }
    if (HasFocus()) {
        Gdiplus::RectF cue(textRect.X - 2, textRect.Y - 2, textRect.Width + 3, textRect.Height + 3);
        if (cue.X + cue.Width > ctx.rect.w - 8) cue.Width = ctx.rect.w - 2 - cue.X;
        DrawBorder(g, cue, kBorderFocusCue);
    }
    return 1;
}

// ---- UiImageButton ---------------------------------------------------------------

LRESULT UiImageButton::ClassHook(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CREATE: SetKind(kImageButtonKind); break;
    case UIM_SETFOCUS: SetTimer(HostWindow(), Handle(), kGlowPeriod, nullptr); break;
    case UIM_KILLFOCUS:
    case WM_DESTROY:
        if (HostWindow()) KillTimer(HostWindow(), Handle());
        glowPhase_ = 0;
        break;
    case WM_TIMER:
        if (!HasFocus()) {
            KillTimer(HostWindow(), Handle());
            return 0;
        }
        glowPhase_ = (glowPhase_ + 1) % kGlowPhases;
        PaintState(state_);
        return 0;
    default: break;
    }
    return kNotHandled;
}

int UiImageButton::CustomBackgroundHook(PaintContext& ctx, int state) {
    // The skin row of the state, nine-sliced to the button's size; while
    // focused, the glow row over it at an alpha that the timer pulses.
    Gdiplus::Graphics& g = *ctx.graphics;
    Gdiplus::RectF r(0, 0, ctx.rect.w, ctx.rect.h);
    art::ImageButtonState row = state == kStateDisabled  ? art::ImageButtonState::Disabled
                                : state == kStatePressed ? art::ImageButtonState::Pressed
                                : state == kStateHot     ? art::ImageButtonState::Hot
                                                         : art::ImageButtonState::Normal;
    Gdiplus::Bitmap* skin = ImageButtonSkin();
    std::lock_guard<std::mutex> guard(SharedArtLock());
    DrawNineSlice(g, skin, art::ImageButtonCell(row), r, 255);
    if (glowPhase_ > 0) {
        const int half = kGlowPhases / 2;
        int a = kGlowBaseAlpha + kGlowAlphaStep * (glowPhase_ < half ? glowPhase_ : kGlowPhases - glowPhase_);
        DrawNineSlice(g, skin, art::ImageButtonCell(art::ImageButtonState::FocusGlow), r, a);
    }
    return 1;
}

// ---- UiLabel ---------------------------------------------------------------------

UiLabel::~UiLabel() {
    Destroy();
    delete font_;
}

ElementHandle UiLabel::Create(UiParent parent, const UiRect& rect, const Text& caption,
                              const LabelOptions& options) {
    if (Handle()) return Handle();
    opt_ = options;
    captionGbk_ = caption;
    caption_ = GbkToWide(caption);
    delete font_;
    font_ = MakeFont(options.fontFamily, options.size, options.style);
    format_ = MakeFormat(options.wordWrap, options.horizontalAlign, true);
    CreateOptions co;
    co.visible = options.visible;
    co.focusable = options.focusable;
    return UiElement::Create(parent, rect, kLabelKind, co);
}

Text UiLabel::Caption(std::optional<Text> set, bool animate, int transition, int steps, int interval) {
    Text result;
    RunOnHostThread([&] {
        if (set && (animate || *set != captionGbk_)) {
            captionGbk_ = *set;
            caption_ = GbkToWide(captionGbk_);
            if (animate) {
                fadeRequest_ = true;
                fadeRequestSteps_ = steps > 0 ? steps : 5;
                fadeRequestInterval_ = interval > 0 ? interval : 60;
                Transition(transition);
            }
            if (Handle()) {
                Layout();
                Paint();
            }
        }
        result = captionGbk_;
    });
    return result;
}

Colour UiLabel::TextColour(std::optional<Colour> set, std::optional<int> alpha) {
    Colour result = 0;
    RunOnHostThread([&] {
        if (set || alpha) {
            if (set) opt_.colour = *set;
            if (alpha) opt_.alpha = *alpha;
            if (Handle()) Paint();
        }
        result = opt_.colour;
    });
    return result;
}

bool UiLabel::AutoColour(std::optional<bool> set) {
    bool result = false;
    RunOnHostThread([&] {
        if (set && *set != opt_.autoColour) {
            opt_.autoColour = *set;
            if (Handle()) Paint();
        }
        result = opt_.autoColour;
    });
    return result;
}

std::optional<Argb> UiLabel::EffectColour(std::optional<Colour> set, int alpha) {
    std::optional<Argb> result;
    RunOnHostThread([&] {
        if (set) {
            opt_.effectColour = ToArgb(*set, alpha, true);
            if (Handle()) Paint();
        }
        result = opt_.effectColour;
    });
    return result;
}

void UiLabel::Layout() {
    ++layoutCount_;
    lineHeight_ = font_ ? font_->GetHeight(96.0f) : 12.0f;
}

LRESULT UiLabel::HandleMessage(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CREATE:
    case UIM_SIZE: Layout(); break;
    case WM_PAINT: Paint(); break;
    case UIM_SETFOCUS:
    case UIM_KILLFOCUS:
        if (Focusable()) Paint();
        break;
    case UIM_BACKGROUND:
        if (opt_.autoColour) Paint();
        break;
    case UIM_FADEEND:
        if (fadeRequest_) {
            fadeRequest_ = false;
            SetFadeSteps(0);
            SetFadeIntervalRaw(0);
        }
        break;
    case WM_DESTROY:
        format_.reset();
        delete font_;
        font_ = nullptr;
        break;
    default: break;
    }
    return kNotHandled;
}

void UiLabel::Paint() {
    // A cross-fade request must be in place before BeginPaint keeps the old image.
    if (fadeRequest_) {
        SetFadeSteps(fadeRequestSteps_);
        SetFadeIntervalRaw(fadeRequestInterval_);
    }
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    ++paintCount_;
    Gdiplus::Graphics& g = *ctx.graphics;
    Gdiplus::RectF all(0, 0, ctx.rect.w, ctx.rect.h);
    DrawBorder(g, Gdiplus::RectF(0, 0, ctx.rect.w - 1, ctx.rect.h - 1), opt_.borderStyle);
    if (opt_.backgroundMode != kNoBackground) {
        FillGradient(g, all, opt_.background1, opt_.background2, opt_.backgroundMode);
    }
    if (!caption_.empty()) {
        Gdiplus::RectF r(2, 2, ctx.rect.w - 4, ctx.rect.h - 4);
        Argb colour = opt_.autoColour ? AutoTextColour(this, opt_.alpha) : ArgbAt(opt_.colour, opt_.alpha);
        if (opt_.wordWrap) {
            r.Height = ctx.rect.h + lineHeight_ + 3;
        } else {
            r.Height = lineHeight_;
            if (opt_.verticalAlign == kAlignNear) r.Y = 2;
            else if (opt_.verticalAlign == kAlignFar) r.Y = ctx.rect.h - lineHeight_ - 2;
            else r.Y = (ctx.rect.h - lineHeight_) / 2;
            // One line that fits: keep the full height so descenders survive.
            r.Height = std::max(lineHeight_ + 2, 1.0f);
        }
        DrawText(g, r, caption_, font_, colour, format_.get(), opt_.effect, opt_.effectColour);
    }
    if (Focusable() && HasFocus()) {
        DrawBorder(g, Gdiplus::RectF(0, 0, ctx.rect.w - 1, ctx.rect.h - 1), kBorderFocusCue);
    }
    EndPaint(ctx);
}

}  // namespace sorvix::ui
