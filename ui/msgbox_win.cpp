// UiMessageBox: building the box (size from the text, centring, the owner's
// look, buttons, text), its background and icon painting, and its modal
// loop. See msgbox.h for the guarantees.
//
// Everything the box draws with is made here, on the calling thread: its
// font (from the default font's family, never the library's shared font
// object), its background strip and icon sheet (decoded per box), and the
// brushes of the paint handler. The owner's look is read on the owner's
// thread through UiHost::LookOf.
#include "ui/msgbox.h"

#include "ui/modal_loop.h"
#include "ui/resources/art.h"
#include "ui/text_elements.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace sorvix::ui {

namespace {

// Geometry of the box.
constexpr int kMinWidth = 320;
constexpr int kMinHeight = 150;
constexpr int kTextTop = 43;
constexpr int kTextLeftWithIcon = 85;
constexpr int kTextLeftWithoutIcon = 30;
constexpr int kTextRightGapWithIcon = 35;        // 320 - 85 - 200
constexpr int kTextRightGapWithoutIcon = 30;     // 320 - 30 - 260
constexpr int kTextBottomGap = 100 - kTextTop;   // the text area is box height - 100 high
constexpr int kTextGrowWidth = 10;               // room added to a measured text's width
constexpr int kTextGrowHeight = 5;               // ... and height
constexpr int kShortTextHeight = 30;             // below this, the text moves down
constexpr int kShortTextNudge = 4;
constexpr int kIconX = 30;
constexpr int kIconY = 40;

// Buttons: position i (1 = rightmost) sits at width - kButtonPitch * i - gap.
constexpr int kButtonWidth = 70;
constexpr int kSkinnedButtonHeight = 26;
constexpr int kPlainButtonHeight = 24;
constexpr int kButtonPitch = 75;
constexpr int kButtonGapAtCreation = 8;
constexpr int kButtonGapAfterResize = 10;
constexpr int kButtonBottom = 35;

// The background strip's bands, drawn inside the frame margin.
constexpr int kMargin = 7;
constexpr int kTopBandHeight = 96;
constexpr int kMiddleBandTop = kMargin + kTopBandHeight;      // 103
constexpr int kMiddleBandShrink = 145;                         // middle height = height - 145
constexpr int kBottomBandFromBottom = 42;
constexpr int kBottomBandHeight = 35;

// The look without an owner host.
constexpr Colour kDefaultColour = 0xFF8800;
constexpr int kDefaultAlpha = 210;

// Element kind codes a button click may come from.
constexpr int kKindButton = 2;
constexpr int kKindImageButton = 23;

// Window properties of a message box.
constexpr wchar_t kFlagsProperty[] = L"Kv_Wnd_Flags";
constexpr wchar_t kMsgBoxProperty[] = L"Kelvane_MsgBox";
constexpr intptr_t kFlagsMessageBox = 3;

// Message ranges the loop drops for other windows of the thread.
constexpr UINT kFirstKeyMessage = 0xFF;    // WM_INPUT .. WM_SYSDEADCHAR
constexpr UINT kLastKeyMessage = 0x107;
constexpr UINT kFirstMouseMessage = 0x200; // WM_MOUSEMOVE .. WM_MOUSEHWHEEL
constexpr UINT kLastMouseMessage = 0x20D;

std::atomic<MessageBoxBeepFn> gBeep{&MessageBeep};

struct Button {
    const char* caption;   // GBK
    int code;
};

// The standard sets, rightmost button first.
const std::vector<Button>& ButtonSet(int set) {
    static const std::vector<Button> sets[kBoxButtonSets] = {
        {{"\xC8\xB7\xC8\xCF", kBoxOk}},
        {{"\xC8\xA1\xCF\xFB", kBoxCancel}, {"\xC8\xB7\xC8\xCF", kBoxOk}},
        {{"\xBA\xF6\xC2\xD4", kBoxIgnore}, {"\xD6\xD8\xCA\xD4", kBoxRetry}, {"\xB7\xC5\xC6\xFA", kBoxAbort}},
        {{"\xC8\xA1\xCF\xFB", kBoxCancel}, {"\xB7\xF1(&N)", kBoxNo}, {"\xCA\xC7(&Y)", kBoxYes}},
        {{"\xB7\xF1(&N)", kBoxNo}, {"\xCA\xC7(&Y)", kBoxYes}},
        {{"\xC8\xA1\xCF\xFB", kBoxCancel}, {"\xD6\xD8\xCA\xD4", kBoxRetry}},
    };
    return sets[set >= 0 && set < kBoxButtonSets ? set : 0];
}

// The family of the library's default font, found again on this thread the
// way the default font is chosen ("宋体", then the caption font's face), so
// the box never touches the shared font object. Empty when neither exists.
Text BoxFontFamily() {
    std::wstring candidates[2] = {GbkToWide("\xCB\xCE\xCC\xE5"), {}};
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof(m);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0)) candidates[1] = m.lfCaptionFont.lfFaceName;
    for (const std::wstring& name : candidates) {
        if (name.empty()) continue;
        Gdiplus::FontFamily family(name.c_str());
        if (family.GetLastStatus() == Gdiplus::Ok) return WideToGbk(name);
    }
    return {};
}

// The label shows "&" as typed: its format treats a single "&" as a prefix.
std::wstring LiteralAmpersands(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

// The text's extent with the box's font: lines break only where the text
// does, unless wrapWidth is given.
Gdiplus::SizeF MeasureText(const std::wstring& text, const Text& family, float wrapWidth = 0) {
    if (text.empty()) return {0, 0};
    std::unique_ptr<Gdiplus::Font> font(CreateFontByName(family, 12.0f, 0));
    if (!font) return {0, 0};
    Gdiplus::Bitmap scratch(1, 1, PixelFormat32bppPARGB);
    Gdiplus::Graphics g(&scratch);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    Gdiplus::StringFormat format;
    format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixShow);
    Gdiplus::RectF out;
    if (wrapWidth > 0) {
        g.MeasureString(text.c_str(), -1, font.get(), Gdiplus::RectF(0, 0, wrapWidth, 100000.0f), &format, &out);
    } else {
        format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
        g.MeasureString(text.c_str(), -1, font.get(), Gdiplus::PointF(0, 0), &format, &out);
    }
    return {out.Width, out.Height};
}

std::unique_ptr<Gdiplus::Image> LoadPicture(std::span<const unsigned char> bytes) {
    return std::unique_ptr<Gdiplus::Image>(
        ImageFromBytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

// Draws a cell of `picture` stretched over dest without bleeding in the
// neighbouring rows.
void DrawCell(Gdiplus::Graphics& g, Gdiplus::Image* picture, const art::Cell& cell, const Gdiplus::RectF& dest) {
    if (!picture || cell.width <= 0 || cell.height <= 0 || dest.Width <= 0 || dest.Height <= 0) return;
    Gdiplus::ImageAttributes attrs;
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    g.DrawImage(picture, dest, static_cast<float>(cell.x), static_cast<float>(cell.y),
                static_cast<float>(cell.width), static_cast<float>(cell.height), Gdiplus::UnitPixel, &attrs);
}

std::vector<std::string> SplitTag(const std::string& tag) {
    std::vector<std::string> fields(1);
    for (char c : tag) {
        if (c == '|') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

bool IsInputMessage(UINT message) {
    return (message >= kFirstKeyMessage && message <= kLastKeyMessage) ||
           (message >= kFirstMouseMessage && message <= kLastMouseMessage);
}

// Centre of `area` for a box of w x h, kept inside the work area.
POINT CentreIn(const RECT& area, const RECT& work, int w, int h) {
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    x = std::max<int>(work.left, std::min<int>(x, work.right - w));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - h));
    return {x, y};
}

}  // namespace

MessageBoxBeepFn SetMessageBoxBeep(MessageBoxBeepFn beep) {
    return gBeep.exchange(beep ? beep : &MessageBeep);
}

int UiMessageBox(HWND owner, const Text& text, const MessageBoxOptions& o) {
    UiStart();
    // The result cell: Cancel until a button says otherwise, so Esc and the
    // close button give 1.
    int result = kBoxCancel;
    bool chosen = false;
    const std::string cellId = std::to_string(reinterpret_cast<uintptr_t>(&result));

    const bool hasIcon = o.icon != kBoxIconNone;
    const art::Cell iconCell = art::MessageBoxIconCell(o.icon);
    const Text family = BoxFontFamily();
    const std::wstring shown = LiteralAmpersands(GbkToWide(text));

    // Size from the text, before the window exists, so it is made once at
    // its final size.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int textLeft = hasIcon ? kTextLeftWithIcon : kTextLeftWithoutIcon;
    const int chromeWidth = textLeft + (hasIcon ? kTextRightGapWithIcon : kTextRightGapWithoutIcon);
    const int chromeHeight = kTextTop + kTextBottomGap;
    int width = kMinWidth, height = kMinHeight;
    int areaWidth = width - chromeWidth, areaHeight = height - chromeHeight;
    Gdiplus::SizeF measured = MeasureText(shown, family);
    const int maxTextWidth = std::max(areaWidth, static_cast<int>(work.right - work.left) - chromeWidth);
    if (measured.Width > static_cast<float>(maxTextWidth)) {
        // Wider than the screen allows: wrap at the widest text area instead.
        measured = MeasureText(shown, family, static_cast<float>(maxTextWidth));
        measured.Width = static_cast<float>(maxTextWidth);
    }
    const int textWidth = static_cast<int>(std::ceil(measured.Width));
    const int textHeight = static_cast<int>(std::ceil(measured.Height));
    if (textWidth > areaWidth) {
        width = textWidth + chromeWidth;
        areaWidth = textWidth + kTextGrowWidth;
    }
    if (textHeight > areaHeight) {
        height = std::min(textHeight + chromeHeight, std::max<int>(kMinHeight, work.bottom - work.top));
        areaHeight = textHeight + kTextGrowHeight;
    }
    const int textTop = kTextTop + (textHeight < kShortTextHeight ? kShortTextNudge : 0);

    const bool ownerAlive = owner && IsWindow(owner);
    RECT area = work;
    if (o.centreOnOwner && ownerAlive) GetWindowRect(owner, &area);
    const POINT at = CentreIn(area, work, width, height);

    // The box's own pictures.
    std::unique_ptr<Gdiplus::Image> strip = LoadPicture(art::MessageBoxBackground());
    std::unique_ptr<Gdiplus::Image> icons = hasIcon ? LoadPicture(art::MessageBoxIcons()) : nullptr;

    HWND box = CreateHostWindow(nullptr, o.title, at.x, at.y, width, height, L"Kelvane",
                                WS_POPUP | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW);
    if (!box) return result;
    SetPropW(box, kFlagsProperty, reinterpret_cast<HANDLE>(kFlagsMessageBox));
    SetPropW(box, kMsgBoxProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(o.icon)));

    UiHost host;
    std::vector<std::unique_ptr<UiTextElement>> buttons;
    UiLabel label;

    host.SetMessageHook([](HWND w, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
            PostMessageW(w, WM_CLOSE, 0, 0);
            return 0;
        }
        if (message == WM_DESTROY) {
            RemovePropW(w, kMsgBoxProperty);
            RemovePropW(w, kFlagsProperty);
        }
        return kNotHandled;
    });
    host.SetPaintHandler([&](HWND, Gdiplus::Graphics& g, int w, int h) {
        const float inner = static_cast<float>(w - 2 * kMargin);
        DrawCell(g, strip.get(), art::kMessageBoxTopBand,
                 Gdiplus::RectF(kMargin, kMargin, inner, static_cast<float>(kTopBandHeight)));
        DrawCell(g, strip.get(), art::kMessageBoxMiddleBand,
                 Gdiplus::RectF(kMargin, kMiddleBandTop, inner, static_cast<float>(h - kMiddleBandShrink)));
        DrawCell(g, strip.get(), art::kMessageBoxBottomBand,
                 Gdiplus::RectF(kMargin, static_cast<float>(h - kBottomBandFromBottom), inner,
                                static_cast<float>(kBottomBandHeight)));
        if (hasIcon) {
            DrawCell(g, icons.get(), iconCell,
                     Gdiplus::RectF(kIconX, kIconY, static_cast<float>(art::kMessageBoxIconSize),
                                    static_cast<float>(art::kMessageBoxIconSize)));
        }
    });
    host.SetSizeHandler([&](HWND, int w, int h) {
        for (size_t i = 0; i < buttons.size(); ++i) {
            const int position = static_cast<int>(i) + 1;
            buttons[i]->Move(static_cast<float>(w - kButtonPitch * position - kButtonGapAfterResize),
                             static_cast<float>(h - kButtonBottom), {}, {}, false);
        }
    });
    host.SetClickHandler([&](HWND w, ElementHandle element, WPARAM, LPARAM, int kind) {
        if (chosen || (kind != kKindButton && kind != kKindImageButton)) return;
        UiElement* e = UiElement::FromHandle(element);
        if (!e) return;
        std::vector<std::string> tag = SplitTag(e->TagText());
        if (tag.size() != 3 || tag[0] != cellId) return;
        result = std::atoi(tag[1].c_str());
        chosen = true;
        PostMessageW(w, WM_CLOSE, 0, 0);
    });

    // The owner's look when it has a host (read on its thread), else the
    // library's message-box default.
    AttachOptions attach;
    attach.styleFlags = o.styleFlags;
    std::optional<HostLook> look = ownerAlive ? UiHost::LookOf(owner, false) : std::nullopt;
    if (look) {
        attach.colour = look->colour;
        attach.alpha = look->alpha;
        attach.frameMargin = look->frameMargin == 1 ? kMargin : look->frameMargin;
        attach.blurBehind = look->blurBehind;
        attach.pictureLayout = look->pictureLayout;
        attach.tint = look->tint;
        attach.marginColour = look->marginColour;
        attach.roundCorners = look->roundCorners;
        attach.ownerWindow = owner;   // the background picture comes from the owner
    } else {
        attach.colour = kDefaultColour;
        attach.alpha = kDefaultAlpha;
    }
    host.Attach(box, attach);

    // Buttons, rightmost first.
    const std::vector<Button>& set = ButtonSet(o.buttonSet);
    const size_t count = o.captions.empty() ? set.size() : o.captions.size();
    const int buttonHeight = o.skinnedButtons ? kSkinnedButtonHeight : kPlainButtonHeight;
    TextOptions to;
    to.fontFamily = family;
    for (size_t i = 0; i < count; ++i) {
        const int position = static_cast<int>(i) + 1;
        const Text caption = o.captions.empty() ? Text(set[i].caption) : o.captions[i];
        const int code = i < set.size() ? set[i].code : kBoxCancel;
        std::unique_ptr<UiTextElement> b;
        if (o.skinnedButtons) b = std::make_unique<UiImageButton>();
        else b = std::make_unique<UiButton>();
        UiRect r{static_cast<float>(width - kButtonPitch * position - kButtonGapAtCreation),
                 static_cast<float>(height - kButtonBottom), static_cast<float>(kButtonWidth),
                 static_cast<float>(buttonHeight)};
        b->Create(box, r, caption, to);
        b->TagText(cellId + "|" + std::to_string(code) + "|" + std::to_string(position));
        buttons.push_back(std::move(b));
    }
    if (!buttons.empty()) {
        const size_t focus = o.defaultButton >= 1 && static_cast<size_t>(o.defaultButton) <= buttons.size()
                                 ? static_cast<size_t>(o.defaultButton) - 1
                                 : 0;
        host.SetFocus(buttons[focus]->Handle());
    }

    LabelOptions lo;
    lo.fontFamily = family;
    lo.wordWrap = true;
    lo.verticalAlign = 0;
    label.Create(box, {static_cast<float>(textLeft), static_cast<float>(textTop), static_cast<float>(areaWidth),
                       static_cast<float>(areaHeight)},
                 WideToGbk(shown), lo);

    if (o.onCreated) o.onCreated(box, width, height);
    if (hasIcon && o.playSound) gBeep.load()(static_cast<UINT>(o.icon));

    if (o.closeEffect) host.SetCloseEffect(o.closeEffect);
    host.Show(o.showEffect);
    SetForegroundWindow(box);
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // The modal loop: this thread's messages only; input for the thread's
    // other windows is dropped.
    std::optional<WPARAM> quit = RunModalLoop([box] { return IsWindow(box) != FALSE; },
                                              [box](MSG& m) {
                                                  return m.hwnd && m.hwnd != box && IsInputMessage(m.message);
                                              });
    if (IsWindow(box)) DestroyWindow(box);
    // The quit was meant for the thread's own loop, which must still see it.
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    return result;
}

}  // namespace sorvix::ui
