// UiHost: attachment, the shared host procedure, mouse and keyboard dispatch,
// tooltips, resize zones and the caption. Presentation, background and the
// show/close animations are in presentation_win.cpp. See host.h.
#include "ui/host.h"

#include "ui/picture.h"
#include "ui/resources/art.h"
#include "ui/text_elements.h"

#include <commctrl.h>
#include <imm.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

namespace sorvix::ui {

namespace {

constexpr wchar_t kHostProperty[] = L"Kv_Wnd_Control";

// Caption geometry, in client pixels. The buttons' sizes are those of their
// cells in the skin strip.
constexpr float kCaptionIconLeft = 11, kCaptionIconTop = 11, kCaptionIconSize = 16;
constexpr float kCaptionButtonTop = 7;
constexpr float kCaptionButtonsRightInset = 12;   // right edge of the first button from the window's
constexpr float kCaptionTitleLeft = 11, kCaptionTitleLeftAfterIcon = 33, kCaptionTitleTop = 9;
constexpr float kCaptionTitleHeight = 20, kCaptionTitleGap = 6, kCaptionTitleMinWidth = 10;
constexpr Colour kCaptionTitleColour = 0xFFFFFF;
constexpr int kCaptionTitleAlpha = 250;
// A double click on no element within this top band toggles maximise.
constexpr int kCaptionBandHeight = 30;
// A maximised window reaches this far past the work area on every side, so
// that its shadow margin lies off-screen.
constexpr int kMaximisedOverhang = 7;
// Minimum tracking size: the buttons, a close button's extra width, the
// icon's room and a pixel; windows without caption parts go smaller.
constexpr int kMinTrackCloseExtra = art::kCloseButtonWidth - art::kCaptionButtonWidth;
constexpr int kMinTrackIconRoom = 35;
constexpr int kMinTrackHeight = 38;
constexpr SIZE kMinTrackBare{21, 20};
// Resize zones: the top and left bands are 8 pixels, the bottom and right 10,
// and the corners 10 along the top and bottom edges.
constexpr int kResizeBandNear = 8, kResizeBandFar = 10, kResizeCorner = 10;

float CaptionButtonWidth(CaptionButtonKind kind) {
    return static_cast<float>(kind == CaptionButtonKind::Close ? art::kCloseButtonWidth
                                                               : art::kCaptionButtonWidth);
}

LRESULT CALLBACK SharedHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* host = static_cast<UiHost*>(GetPropW(window, kHostProperty));
    if (!host) return DefWindowProcW(window, message, wParam, lParam);
    return host->WindowProc(message, wParam, lParam);
}

// A caption button of one kind. Kind code 1, never a Tab stop; it takes
// presses through UIM_WANTPRESS and performs its system command on click
// (close, maximise or restore, minimise; the other kinds only report the
// click to the application).
class UiCaptionButton : public UiElement {
public:
    static constexpr int kElementKind = 1;
    explicit UiCaptionButton(CaptionButtonKind buttonKind) : buttonKind_(buttonKind) {}
    CaptionButtonKind ButtonKind() const { return buttonKind_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM, LPARAM) override {
        switch (message) {
        case UIM_WANTPRESS: return 0;
        case WM_PAINT: Paint(); return kNotHandled;
        case UIM_MOUSEENTER: hot_ = true; Paint(); return kNotHandled;
        case UIM_MOUSELEAVE: hot_ = false; pressed_ = false; Paint(); return kNotHandled;
        case WM_LBUTTONDOWN: pressed_ = true; Paint(); return kNotHandled;
        case WM_LBUTTONUP: pressed_ = false; Paint(); return kNotHandled;
        case WM_SIZE:
        case UIM_MOVED: Paint(); return kNotHandled;
        case UIM_CLICK: {
            HWND w = HostWindow();
            switch (buttonKind_) {
            case CaptionButtonKind::Close: PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); break;
            case CaptionButtonKind::Maximize:
                PostMessageW(w, WM_SYSCOMMAND, IsZoomed(w) ? SC_RESTORE : SC_MAXIMIZE, 0);
                break;
            case CaptionButtonKind::Minimize: PostMessageW(w, WM_SYSCOMMAND, SC_MINIMIZE, 0); break;
            default: break;
            }
            return kNotHandled;
        }
        default: return kNotHandled;
        }
    }

private:
    void Paint() {
        PaintContext ctx;
        if (!BeginPaint(ctx)) return;
        // The button's cell of the skin strip: glyph by kind (restore for a
        // zoomed window's maximise button), column by hot/pressed.
        art::CaptionGlyph glyph = art::CaptionGlyphForKind(static_cast<int>(buttonKind_));
        if (buttonKind_ == CaptionButtonKind::Maximize && IsZoomed(HostWindow())) {
            glyph = art::CaptionGlyph::Restore;
        }
        art::CaptionState state = pressed_ ? art::CaptionState::Pressed
                                  : hot_   ? art::CaptionState::Hot
                                           : art::CaptionState::Normal;
        art::Cell cell = art::CaptionButtonCell(glyph, state);
        if (Gdiplus::Bitmap* skin = Lib().skinImage) {
            std::lock_guard<std::mutex> guard(SharedArtLock());
            ctx.graphics->DrawImage(skin, Gdiplus::RectF(0, 0, static_cast<float>(cell.width),
                                                         static_cast<float>(cell.height)),
                                    static_cast<float>(cell.x), static_cast<float>(cell.y),
                                    static_cast<float>(cell.width), static_cast<float>(cell.height),
                                    Gdiplus::UnitPixel);
        }
        EndPaint(ctx);
    }

    bool pressed_ = false;
    CaptionButtonKind buttonKind_;
    bool hot_ = false;
};

// The blocks posted to a window for later (element messages, redraw
// rectangles) are the window's to free; those still queued when it goes
// would be dropped with its queue, so they are taken out and freed here.
void DrainDeferredMessages(HWND window) {
    MSG msg;
    while (PeekMessageW(&msg, window, UIM_ELEMENTMESSAGE, UIM_ELEMENTMESSAGE, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        delete reinterpret_cast<ElementMessage*>(msg.lParam);
    }
    while (PeekMessageW(&msg, window, UIM_INVALIDATE, UIM_INVALIDATE, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        if (msg.wParam == kPostedRect) delete reinterpret_cast<UiRect*>(msg.lParam);
    }
}

}  // namespace

HWND CreateHostWindow(HWND parent, const Text& title, std::optional<int> x, std::optional<int> y,
                      int width, int height, const std::wstring& className, DWORD style,
                      DWORD exStyle, bool show) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Centred in the work area, measured from its own origin so that a task
    // bar on the left or top does not push the window off centre.
    int px = x.value_or(work.left + (work.right - work.left - width) / 2);
    int py = y.value_or(work.top + (work.bottom - work.top - height) / 2);
    HWND w = CreateWindowExW(exStyle, className.c_str(), GbkToWide(title).c_str(), style, px, py,
                             width, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!w) return nullptr;
    auto small = reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, ICON_SMALL, 0));
    auto big = reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, ICON_BIG, 0));
    if (!small) small = reinterpret_cast<HICON>(GetClassLongPtrW(w, GCLP_HICONSM));
    if (!big) big = reinterpret_cast<HICON>(GetClassLongPtrW(w, GCLP_HICON));
    if (small) SendMessageW(w, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (big) SendMessageW(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (show) {
        ShowWindow(w, SW_SHOWNORMAL);
        UpdateWindow(w);
    }
    return w;
}

UiHost::UiHost() = default;

UiHost::~UiHost() {
    Detach();
}

UiHost* UiHost::FromWindow(HWND window) {
    return window ? static_cast<UiHost*>(GetPropW(window, kHostProperty)) : nullptr;
}

bool UiHost::Attach(HWND window, const AttachOptions& options) {
    if (!window || !IsWindow(window)) return false;
    if (window_ == window && FromWindow(window) == this) return true;
    if (window_) Detach();
    UiStart();
    busy_ = true;
    window_ = window;
    alpha_ = options.alpha;
    frameMargin_ = options.frameMargin;
    dragAnywhere_ = options.dragAnywhere;
    pictureLayout_ = options.pictureLayout;
    tint_ = options.tint;
    marginColour_ = options.marginColour;
    roundCorners_ = options.roundCorners;
    ownerWindow_ = options.ownerWindow;
    skinRect_ = options.skinRect;
    bool platformBlur = Lib().platformMajorVersion == 6;
    blurBehind_ = options.blurBehind ? (*options.blurBehind && alpha_ != kNotLayered) : platformBlur;

    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    int flags = options.styleFlags.value_or(kStyleStandard);
    if (flags != 0) {
        style |= WS_SYSMENU;
        if (!options.styleFlags || (flags & kStyleStandard)) {
            flags |= kStyleIcon | kStyleTitle | kStyleClose;
            if (style & WS_MAXIMIZEBOX) flags |= kStyleMaximize;
            if (style & WS_MINIMIZEBOX) flags |= kStyleMinimize;
        }
        flags |= kStyleAlways;
    }
    styleFlags_ = flags;
    style |= WS_POPUP;

    SetPropW(window, kHostProperty, this);
    defaultCursor_ = Lib().defaultCursor;
    resizable_ = (style & WS_THICKFRAME) != 0;
    style &= ~(WS_THICKFRAME | WS_DLGFRAME | WS_BORDER);
    if (!(flags & kStyleMinimize)) style &= ~WS_MINIMIZEBOX;
    if (!(flags & kStyleMaximize)) style &= ~WS_MAXIMIZEBOX;
    SetWindowLongPtrW(window, GWL_STYLE, style);

    RECT wr{};
    GetWindowRect(window, &wr);
    size_ = {wr.right - wr.left, wr.bottom - wr.top};
    windowDc_ = UniqueWindowDc(window);
    CreateBuffers();
    if (alpha_ != kNotLayered) {
        SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    }
    oldWindowProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SharedHostProc)));

    std::optional<Colour> colour = options.colour;
    if (!options.background.empty() || colour) {
        SetBackground(options.background.empty() ? std::optional<std::string>()
                                                 : std::optional<std::string>(options.background),
                      colour, 0);
    } else {
        SetBackground({}, {}, 0);
    }
    BuildCaption();
    busy_ = true;
    Recompose({0, 0, static_cast<float>(size_.cx), static_cast<float>(size_.cy)}, alpha_ != kNotLayered);

    static bool commonControls = [] {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)commonControls;
    tooltipWindow_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    if (tooltipWindow_) {
        SetWindowPos(tooltipWindow_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        SendMessageW(tooltipWindow_, TTM_SETMAXTIPWIDTH, 0, 1024);
    }
    if (resizable_) SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_THICKFRAME);
    busy_ = false;
    return true;
}

void UiHost::BuildCaption() {
    float w = static_cast<float>(size_.cx);
    if (styleFlags_ & kStyleIcon) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0));
        if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window_, GCLP_HICONSM));
        iconElement_ = std::make_unique<UiPicture>();
        PictureOptions po;
        po.sizeMode = kPictureStretched;
        iconElement_->Create(window_, {kCaptionIconLeft, kCaptionIconTop, kCaptionIconSize, kCaptionIconSize},
                             icon, po);
        iconElement_->Focusable(false);
    }
    float right = w - kCaptionButtonsRightInset;
    for (CaptionButtonKind kind : {CaptionButtonKind::Close, CaptionButtonKind::Maximize, CaptionButtonKind::Minimize,
                                   CaptionButtonKind::Menu, CaptionButtonKind::Appearance, CaptionButtonKind::Pin,
                                   CaptionButtonKind::Help}) {
        if (!(styleFlags_ & static_cast<int>(kind))) continue;
        float bw = CaptionButtonWidth(kind);
        auto button = std::make_unique<UiCaptionButton>(kind);
        CreateOptions co;
        co.focusable = false;
        button->Create(window_, {right - bw, kCaptionButtonTop, bw, static_cast<float>(art::kCaptionButtonHeight)},
                       UiCaptionButton::kElementKind, co);
        right -= bw;
        captionButtons_.push_back(std::move(button));
    }
    if (styleFlags_ & kStyleTitle) {
        float left = (styleFlags_ & kStyleIcon) ? kCaptionTitleLeftAfterIcon : kCaptionTitleLeft;
        int length = GetWindowTextLengthW(window_);
        std::wstring title(static_cast<size_t>(length) + 1, L'\0');
        GetWindowTextW(window_, title.data(), length + 1);
        title.resize(static_cast<size_t>(length));
        titleElement_ = std::make_unique<UiLabel>();
        LabelOptions lo;
        lo.colour = kCaptionTitleColour;
        lo.alpha = kCaptionTitleAlpha;
        titleElement_->Create(window_,
                              {left, kCaptionTitleTop, std::max(kCaptionTitleMinWidth, right - left - kCaptionTitleGap),
                               kCaptionTitleHeight},
                              WideToGbk(title), lo);
    }
}

ElementHandle UiHost::TitleElement() const { return titleElement_ ? titleElement_->Handle() : 0; }
ElementHandle UiHost::IconElement() const { return iconElement_ ? iconElement_->Handle() : 0; }
std::vector<ElementHandle> UiHost::CaptionButtons() const {
    std::vector<ElementHandle> out;
    for (auto& b : captionButtons_) out.push_back(b->Handle());
    return out;
}

ElementHandle UiHost::CaptionButton(CaptionButtonKind kind) const {
    for (auto& b : captionButtons_) {
        if (static_cast<const UiCaptionButton&>(*b).ButtonKind() == kind) return b->Handle();
    }
    return 0;
}

std::optional<CaptionButtonKind> UiHost::CaptionButtonKindOf(ElementHandle element) const {
    for (auto& b : captionButtons_) {
        if (element && b->Handle() == element) return static_cast<const UiCaptionButton&>(*b).ButtonKind();
    }
    return std::nullopt;
}

void UiHost::Detach() {
    if (!window_) return;
    HWND window = window_;
    if (oldWindowProc_ && IsWindow(window)) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldWindowProc_));
    }
    EndBackgroundFade();
    // Destroy the whole tree, last first; caption elements are part of it.
    detaching_ = true;
    while (lastTop_) {
        UiElement* e = lastTop_;
        e->Destroy();
        if (lastTop_ == e) e->Unlink();
    }
    detaching_ = false;
    iconElement_.reset();
    titleElement_.reset();
    captionButtons_.clear();
    ImageFree(backgroundPicture_, &backgroundSource_);
    if (tooltipWindow_) DestroyWindow(tooltipWindow_);
    tooltipWindow_ = nullptr;
    if (isPressed_) ReleaseCapture();
    isPressed_ = false;
    ReleaseFrameSurface();
    DestroyBuffers();
    windowDc_.Reset();
    RemovePropW(window, kHostProperty);
    window_ = nullptr;
    oldWindowProc_ = nullptr;
    focused_ = hovered_ = pressed_ = 0;
    accelerators_.clear();
    redrawQueue_.clear();
    elementClip_.reset();
}

void UiHost::OnElementGone(ElementHandle element) {
    if (focused_ == element) focused_ = 0;
    if (hovered_ == element) hovered_ = 0;
    if (pressed_ == element) {
        pressed_ = 0;
        if (isPressed_) {
            isPressed_ = false;
            if (GetCapture() == window_) ReleaseCapture();
        }
    }
    accelerators_.erase(std::remove_if(accelerators_.begin(), accelerators_.end(),
                                       [&](auto& a) { return a.first == element; }),
                        accelerators_.end());
}

void UiHost::Raise(HostEvent e, ElementHandle element, WPARAM wParam, LPARAM lParam) {
    EventHandler h = Slot(e);   // a copy: the handler may replace itself
    if (!h) return;
    UiElement* el = UiElement::FromHandle(element);
    h(window_, element, wParam, lParam, el ? el->Kind() : 0);
}

LRESULT UiHost::CallOld(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!oldWindowProc_) return DefWindowProcW(window_, message, wParam, lParam);
    return CallWindowProcW(oldWindowProc_, window_, message, wParam, lParam);
}

LRESULT UiHost::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (messageHook_) {
        MessageHook hook = messageHook_;
        LRESULT r = hook(window_, message, wParam, lParam);
        if (r != kNotHandled) return r;
    }
    // Each group answers the messages it owns; everything else goes on to
    // the procedure the host replaced.
    using Group = std::optional<LRESULT> (UiHost::*)(UINT, WPARAM, LPARAM);
    static constexpr Group kGroups[] = {
        &UiHost::OnLifecycleMessage, &UiHost::OnMouseMessage,   &UiHost::OnKeyboardMessage,
        &UiHost::OnImeMessage,       &UiHost::OnTimerMessage,   &UiHost::OnFrameMessage,
        &UiHost::OnPaintMessage,     &UiHost::OnLibraryMessage,
    };
    for (Group group : kGroups) {
        if (std::optional<LRESULT> r = (this->*group)(message, wParam, lParam)) return *r;
    }
    return CallOld(message, wParam, lParam);
}

std::optional<LRESULT> UiHost::OnLifecycleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
    case WM_DESTROY: {
        WNDPROC old = oldWindowProc_;
        Detach();
        DrainDeferredMessages(window);
        return old ? CallWindowProcW(old, window, message, wParam, lParam)
                   : DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CLOSE:
        PlayCloseAnimation();
        ShowWindow(window, SW_HIDE);
        return CallOld(message, wParam, lParam);
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> UiHost::OnMouseMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
    case WM_MOUSEMOVE:
        if (!tracking_) {
            TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, window, 0};
            tracking_ = TrackMouseEvent(&tme) != FALSE;
        }
        OnMouse(message, wParam, lParam);
        return CallOld(message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        OnMouse(message, wParam, lParam);
        if (!window_) return 0;   // a handler destroyed the window
        return CallOld(message, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        SendMessageW(window, WM_LBUTTONDOWN, kDoubleClickMarker, lParam);
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        if (GetCapture() == window && !isPressed_) ReleaseCapture();
        if (hovered_) {
            ElementHandle h = hovered_;
            hovered_ = 0;
            UiElement::DeliverTo(h, UIM_MOUSELEAVE, 0, 0);
            Raise(HostEvent::MouseLeave, h, 0, 0);
        }
        return 0;
    case WM_MOUSEWHEEL:
        if (focused_) UiElement::DeliverTo(focused_, message, wParam, lParam);
        return CallOld(message, wParam, lParam);
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == window && LOWORD(lParam) == HTCLIENT) {
            HCURSOR c = zoneCursor_;
            if (!c) {
                UiElement* e = UiElement::FromHandle(hovered_);
                c = e && e->Cursor() ? e->Cursor() : defaultCursor_;
            }
            ::SetCursor(c);
            return 1;
        }
        return CallOld(message, wParam, lParam);
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> UiHost::OnKeyboardMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        OnKeyDown(wParam, lParam);
        return CallOld(message, wParam, lParam);
    case WM_SYSCHAR:
        if (OnSysChar(wParam, lParam)) return 0;
        return CallOld(message, wParam, lParam);
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_COMMAND:
        if (focused_) UiElement::DeliverTo(focused_, message, wParam, lParam);
        return CallOld(message, wParam, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (hovered_) UiElement::DeliverTo(hovered_, UIM_MOUSELEAVE, 0, 0);
            if (isPressed_) {
                UiElement::DeliverTo(pressed_, UIM_KILLFOCUS, 0, 0);
                isPressed_ = false;
                ReleaseCapture();
            }
        } else if (pressed_) {
            UiElement::DeliverTo(pressed_, UIM_SETFOCUS, 0, 0);
        }
        return CallOld(message, wParam, lParam);
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> UiHost::OnImeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_IME_COMPOSITION: {
        LRESULT taken = focused_ ? UiElement::DeliverTo(focused_, message, wParam, lParam) : kNotHandled;
        // An element that took the result string has inserted it; the default
        // processing would type it again (WM_IME_CHAR, then WM_CHAR). Only the
        // composition parts, if any, go on.
        constexpr LPARAM kResultParts = GCS_RESULTREADSTR | GCS_RESULTREADCLAUSE | GCS_RESULTSTR | GCS_RESULTCLAUSE;
        if (taken != kNotHandled && (lParam & GCS_RESULTSTR)) {
            lParam &= ~kResultParts;
            if (!lParam) return 0;
        }
        return CallOld(message, wParam, lParam);
    }
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> UiHost::OnTimerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) return std::nullopt;
    if (wParam == kBackgroundFadeTimer) {
        BackgroundFadeTick();
    } else if (wParam & 1) {
        // Odd ids are transition timers: the element's handle + 1.
        if (UiElement* e = UiElement::FromHandle(static_cast<ElementHandle>(wParam - 1))) {
            e->FadeTimerTick();
        } else {
            KillTimer(window_, wParam);
        }
    } else if (UiElement::FromHandle(static_cast<ElementHandle>(wParam))) {
        UiElement::DeliverTo(static_cast<ElementHandle>(wParam), WM_TIMER, wParam, lParam);
    } else {
        return CallOld(message, wParam, lParam);
    }
    return 0;
}

std::optional<LRESULT> UiHost::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) OnSize();
        return CallOld(message, wParam, lParam);
    case WM_SETTEXT: {
        LRESULT r = CallOld(message, wParam, lParam);
        if ((styleFlags_ & kStyleTitle) && r == 1 && titleElement_ && lParam) {
            titleElement_->Caption(WideToGbk(reinterpret_cast<const wchar_t*>(lParam)));
        }
        return r;
    }
    case WM_GETMINMAXINFO: {
        auto* mm = reinterpret_cast<MINMAXINFO*>(lParam);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        mm->ptMaxSize = {work.right - work.left + 2 * kMaximisedOverhang,
                         work.bottom - work.top + 2 * kMaximisedOverhang};
        mm->ptMaxPosition = {work.left - kMaximisedOverhang, work.top - kMaximisedOverhang};
        if (styleFlags_ != 0) {
            int buttons = static_cast<int>(captionButtons_.size());
            mm->ptMinTrackSize = {buttons * art::kCaptionButtonWidth +
                                      ((styleFlags_ & kStyleClose) ? kMinTrackCloseExtra : 0) + kMinTrackIconRoom + 1,
                                  kMinTrackHeight};
        } else {
            mm->ptMinTrackSize = {kMinTrackBare.cx, kMinTrackBare.cy};
        }
        return 0;
    }
    case WM_STYLECHANGED: {
        LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        if (style & (WS_DLGFRAME | WS_BORDER)) {
            SetWindowLongPtrW(window, GWL_STYLE, style & ~(WS_DLGFRAME | WS_BORDER));
        }
        return CallOld(message, wParam, lParam);
    }
    case WM_NCCALCSIZE:
        if (wParam == 1) return 1;
        return CallOld(message, wParam, lParam);
    case WM_NCACTIVATE:
        return 1;
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> UiHost::OnPaintMessage(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window_, &ps);
        if (buffer_.Dc() && alpha_ == kNotLayered) {
            BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                   ps.rcPaint.bottom - ps.rcPaint.top, buffer_.Dc(), ps.rcPaint.left, ps.rcPaint.top,
                   SRCCOPY);
        }
        ::EndPaint(window_, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;   // every pixel comes from the back buffer
    case UIM_UPDATE:
        if (alpha_ != kNotLayered) {
            if (presentPending_) {
                // A frame waits (once) behind input and other posted
                // messages: they get answered first, and whatever they
                // redraw joins this frame.
                if (!presentYielded_ && HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_INPUT | QS_SENDMESSAGE)) != 0 &&
                    PostMessageW(window_, UIM_UPDATE, 0, 0)) {
                    presentYielded_ = true;
                    return 0;
                }
                presentYielded_ = false;
                RECT dirty = pendingDirty_;
                Present(&dirty);
            } else {
                Present();
            }
        }
        else if (buffer_.Dc()) BitBlt(windowDc_.Get(), 0, 0, size_.cx, size_.cy, buffer_.Dc(), 0, 0, SRCCOPY);
        return 0;
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> UiHost::OnLibraryMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case UIM_SETFOCUS:
        SetFocus(static_cast<ElementHandle>(lParam));
        return 0;
    case UIM_SETACCEL:
        SetAccelerator(static_cast<ElementHandle>(wParam), static_cast<wchar_t>(lParam));
        return 0;
    case UIM_INVALIDATE: {
        auto* r = reinterpret_cast<UiRect*>(lParam);
        if (wParam == kPostedRect) {
            // Posted: the rectangle is ours to free. Posted redraws arrive in
            // runs; they are composed at once and shown together.
            if (r) RecomposeSoon(*r);
            delete r;
            return 0;
        }
        if (r) OnRecompose(*r);
        return CallOld(message, wParam, lParam);
    }
    case UIM_MOVED: {
        UiElement* e = UiElement::FromHandle(static_cast<ElementHandle>(wParam));
        if (e) {
            e->Deliver(UIM_MOVED, wParam, lParam);
            if (lParam == 1 && !busy_ && !frozen_) {
                Recompose(e->OldRect(), true);
                Recompose(e->Rect(), true);
            }
        }
        return 1;
    }
    case UIM_ELEMENTMESSAGE: {
        std::unique_ptr<ElementMessage> block(reinterpret_cast<ElementMessage*>(lParam));
        if (!block) return kNotHandled;
        return UiElement::DeliverTo(static_cast<ElementHandle>(wParam), block->message,
                                    block->wParam, block->lParam);
    }
    case UIM_INVOKE:
        if (auto* fn = reinterpret_cast<std::function<void()>*>(lParam)) (*fn)();
        return 0;
    default:
        return std::nullopt;
    }
}

void UiHost::OnSize() {
    RECT wr{};
    GetWindowRect(window_, &wr);
    SIZE n{wr.right - wr.left, wr.bottom - wr.top};
    if (n.cx == size_.cx && n.cy == size_.cy) return;
    size_ = n;
    if (sizeHandler_) sizeHandler_(window_, n.cx, n.cy);
    DestroyBuffers();
    CreateBuffers();
    // Keep the caption buttons at the right edge and the title between.
    float right = static_cast<float>(n.cx) - kCaptionButtonsRightInset;
    for (auto& b : captionButtons_) {
        float bw = b->Rect().w;
        b->Move(right - bw, kCaptionButtonTop, {}, {}, false);
        right -= bw;
    }
    if (titleElement_) {
        float left = titleElement_->Rect().x;
        titleElement_->Move({}, {}, std::max(kCaptionTitleMinWidth, right - left - kCaptionTitleGap), {}, false);
    }
    SetBackground({}, {}, 0);
}

void UiHost::SetFocus(ElementHandle element) {
    if (element == focused_) return;
    if (element && !UiElement::FromHandle(element)) return;
    ElementHandle old = focused_;
    if (old) {
        UiElement::DeliverTo(old, UIM_KILLFOCUS, 0, element);
        Raise(HostEvent::FocusLost, old, 0, 0);
    }
    focused_ = element;
    if (element) {
        UiElement::DeliverTo(element, UIM_SETFOCUS, 0, old);
        Raise(HostEvent::FocusGained, element, 0, 0);
    }
}

ElementHandle UiHost::HitTest(int x, int y) const {
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    // Topmost first: the last sibling is drawn last. A child is hit only
    // inside its parent, since it is never drawn outside it.
    std::function<ElementHandle(UiElement*)> walk = [&](UiElement* last) -> ElementHandle {
        for (UiElement* e = last; e; e = e->prevSibling_) {
            if (!e->visible_ || e->disabled_) continue;
            const UiRect& r = e->rect_;
            if (fx < r.x || fy < r.y || fx >= r.Right() || fy >= r.Bottom()) continue;
            if (ElementHandle child = walk(e->lastChild_)) return child;
            return e->handle_;
        }
        return 0;
    };
    return walk(lastTop_);
}

void UiHost::StartPress(UiElement* e, ElementHandle h, WPARAM wParam) {
    Raise(HostEvent::Press, h, wParam, 0);
    if (!UiElement::FromHandle(h)) return;
    isPressed_ = true;
    pressed_ = h;
    if (e->focusable_ && focused_ != h) {
        ElementHandle old = focused_;
        if (old) {
            UiElement::DeliverTo(old, UIM_KILLFOCUS, 0, h);
            Raise(HostEvent::FocusLost, old, 0, 0);
        }
        focused_ = h;
        UiElement::DeliverTo(h, UIM_SETFOCUS, 0, old);
        Raise(HostEvent::FocusGained, h, 0, 0);
    }
    if (wParam == kDoubleClickMarker) Raise(HostEvent::DoubleClick, h, wParam, 0);
    SetCapture(window_);
}

void UiHost::OnMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    if (busy_ || !window_) return;
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if ((message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN) && OnResizeZone(message, x, y)) return;
    if (isPressed_) {
        ElementHandle pressed = pressed_;
        UiElement::DeliverTo(pressed, message, wParam, lParam);
        if (message == WM_LBUTTONUP) {
            Raise(HostEvent::Release, pressed, wParam, lParam);
            isPressed_ = false;
            pressed_ = 0;
            if (GetCapture() == window_) ReleaseCapture();
            ElementHandle under = HitTest(x, y);
            if (under == pressed) {
                UiElement::DeliverTo(pressed, UIM_CLICK, wParam, lParam);
                Raise(HostEvent::Click, pressed, wParam, lParam);
            } else {
                UiElement* p = UiElement::FromHandle(pressed);
                if (p && p->visible_) {
                    UiElement::DeliverTo(pressed, UIM_MOUSELEAVE, 0, under);
                    Raise(HostEvent::MouseLeave, pressed, 0, 0);
                }
                if (under) {
                    UiElement::DeliverTo(under, UIM_MOUSEENTER, wParam, pressed);
                    Raise(HostEvent::MouseEnter, under, 0, 0);
                }
                OnHoverChanged(under, nullptr);
            }
            hovered_ = under;
        }
        return;
    }
    ElementHandle under = HitTest(x, y);
    ElementHandle previous = hovered_;
    if (under != previous) {
        UiElement* h = UiElement::FromHandle(previous);
        if (h && h->visible_) {
            UiElement::DeliverTo(previous, UIM_MOUSELEAVE, 0, under);
            Raise(HostEvent::MouseLeave, previous, 0, 0);
        }
        hovered_ = under;
        if (message == WM_MOUSEMOVE) {
            if (under) {
                UiElement::DeliverTo(under, UIM_MOUSEENTER, wParam, previous);
                Raise(HostEvent::MouseEnter, under, 0, 0);
            }
            OnHoverChanged(under, nullptr);
        }
    }
    if (message == WM_LBUTTONDOWN) {
        if (::GetFocus() != window_) ::SetFocus(window_);
        bool started = false;
        bool doubleClick = wParam == kDoubleClickMarker;
        // A move loop needs the button really held; synthetic presses (and
        // presses already released) must not start one, or it would wait
        // for a release that never comes.
        bool buttonHeld = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
        auto startMove = [&] {
            if (!buttonHeld) return;
            ReleaseCapture();
            SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        };
        auto toggleMaximise = [&] {
            PostMessageW(window_, WM_SYSCOMMAND, IsZoomed(window_) ? SC_RESTORE : SC_MAXIMIZE, 0);
        };
        if (UiElement* e = UiElement::FromHandle(under)) {
            if (e->Deliver(UIM_WANTPRESS, wParam, lParam) != kNotHandled || e->focusable_) {
                StartPress(e, under, wParam);
                started = true;
            } else if (under == TitleElement() && doubleClick && (styleFlags_ & kStyleTitle) &&
                       (styleFlags_ & kStyleMaximize)) {
                toggleMaximise();
                startMove();
                started = true;
            }
        } else if (doubleClick && y < kCaptionBandHeight && (styleFlags_ & kStyleMaximize)) {
            toggleMaximise();
            startMove();
            started = true;
        }
        if (!started && dragAnywhere_) startMove();
    }
    if (!window_ || !under) return;
    UiElement::DeliverTo(under, message, wParam, lParam);
    // The element takes a right press or release before the application
    // hears of it, so a handler that opens a menu sees what the press did
    // (a list row selected under the mouse, say).
    if (!window_) return;
    if (message == WM_RBUTTONDOWN) Raise(HostEvent::RightPress, under, wParam, lParam);
    if (message == WM_RBUTTONUP) Raise(HostEvent::RightRelease, under, wParam, lParam);
}

bool UiHost::OnResizeZone(UINT message, int x, int y) {
    zoneCursor_ = nullptr;
    if (!resizable_ || isPressed_ || IsZoomed(window_)) return false;
    int w = size_.cx, h = size_.cy;
    // The zone numbers are what SC_SIZE adds for each edge and corner.
    enum Zone : int { kNone = 0, kLeft = 1, kRight = 2, kTop = 3, kTopLeft = 4, kTopRight = 5,
                      kBottom = 6, kBottomLeft = 7, kBottomRight = 8 };
    Zone zone = kNone;
    if (y < kResizeBandNear) {
        zone = x < kResizeCorner ? kTopLeft : (w - x >= kResizeCorner ? kTop : kTopRight);
    } else if (h - y < kResizeBandFar) {
        zone = x < kResizeCorner ? kBottomLeft : (w - x >= kResizeCorner ? kBottom : kBottomRight);
    } else if (x < kResizeBandNear) {
        zone = kLeft;
    } else if (w - x < kResizeBandFar) {
        zone = kRight;
    }
    if (zone == kNone) return false;
    LPCWSTR id = IDC_SIZEWE;
    if (zone == kTopLeft || zone == kBottomRight) id = IDC_SIZENWSE;
    else if (zone == kTopRight || zone == kBottomLeft) id = IDC_SIZENESW;
    else if (zone == kTop || zone == kBottom) id = IDC_SIZENS;
    zoneCursor_ = LoadCursorW(nullptr, id);
    ::SetCursor(zoneCursor_);
    if (hovered_) {
        ElementHandle h0 = hovered_;
        hovered_ = 0;
        UiElement::DeliverTo(h0, UIM_MOUSELEAVE, 0, 0);
    }
    if (message == WM_LBUTTONDOWN && (GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
        SendMessageW(window_, WM_SYSCOMMAND, SC_SIZE + zone, MAKELPARAM(x, y));
    }
    return true;
}

void UiHost::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    if (focused_ && UiElement::DeliverTo(focused_, WM_KEYDOWN, wParam, lParam) != kNotHandled) return;
    if (wParam == VK_TAB) {
        FocusNextInTabOrder();
        return;
    }
    if (wParam == VK_RETURN || wParam == VK_SPACE) {
        UiElement* f = UiElement::FromHandle(focused_);
        if (f && f->visible_ && !f->disabled_) {
            ElementHandle h = focused_;
            UiElement::DeliverTo(h, UIM_CLICK, 0, 0);
            Raise(HostEvent::Click, h, 0, 0);
        }
    }
}

void UiHost::FocusNextInTabOrder() {
    // Drawing order: an element, then its children, then its next sibling.
    auto next = [](UiElement* e) -> UiElement* {
        if (e->firstChild_) return e->firstChild_;
        for (; e; e = e->parent_) {
            if (e->nextSibling_) return e->nextSibling_;
        }
        return nullptr;
    };
    // Only what the user can see and click takes the focus: not inside a
    // hidden or disabled element, and never a caption button.
    auto eligible = [](UiElement* e) {
        if (!e->focusable_ || e->kind_ == UiCaptionButton::kElementKind) return false;
        for (UiElement* a = e; a; a = a->parent_) {
            if (!a->visible_ || a->disabled_) return false;
        }
        return true;
    };
    UiElement* start = UiElement::FromHandle(focused_);
    if (start && start->host_ != this) start = nullptr;
    // From the element after the focused one, or with no focus from the
    // first element; one round at most, wrapping after the last.
    UiElement* e = start ? next(start) : firstTop_;
    bool wrapped = false;
    for (;;) {
        if (!e) {
            if (wrapped || !start) return;
            wrapped = true;
            e = firstTop_;
            if (!e) return;
        }
        if (e == start) return;
        if (eligible(e)) {
            SetFocus(e->handle_);
            return;
        }
        e = next(e);
    }
}

bool UiHost::OnSysChar(WPARAM wParam, LPARAM lParam) {
    if (focused_) UiElement::DeliverTo(focused_, WM_SYSCHAR, wParam, lParam);
    wchar_t typed = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wParam)));
    for (auto [element, key] : accelerators_) {
        if (static_cast<wchar_t>(std::towlower(static_cast<wint_t>(key))) != typed) continue;
        UiElement* e = UiElement::FromHandle(element);
        if (!e || !e->visible_ || e->disabled_) continue;
        UiElement::DeliverTo(element, UIM_CLICK, wParam, lParam);
        Raise(HostEvent::Click, element, wParam, lParam);
        return true;
    }
    return false;
}

void UiHost::SetAccelerator(ElementHandle element, wchar_t key) {
    auto it = std::find_if(accelerators_.begin(), accelerators_.end(),
                           [&](auto& a) { return a.first == element; });
    if (key == 0) {
        if (it != accelerators_.end()) accelerators_.erase(it);
    } else if (it != accelerators_.end()) {
        it->second = key;
    } else {
        accelerators_.emplace_back(element, key);
    }
}

void UiHost::OnHoverChanged(ElementHandle element, const Text* tip) {
    if (!tooltipWindow_) return;
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = window_;
    ti.uId = 1;
    SendMessageW(tooltipWindow_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    UiElement* e = UiElement::FromHandle(element);
    if (!e) return;
    Text text = tip ? *tip : e->tooltip_;
    if (text.empty()) return;
    std::wstring wide = GbkToWide(text);
    const UiRect& r = e->rect_;
    ti.rect = {static_cast<LONG>(r.x), static_cast<LONG>(r.y), static_cast<LONG>(r.Right()),
               static_cast<LONG>(r.Bottom())};
    ti.lpszText = wide.data();
    SendMessageW(tooltipWindow_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(tooltipWindow_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(tooltipWindow_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void UiHost::PostToElement(ElementHandle element, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window_) return;
    auto* block = new ElementMessage{message, wParam, lParam};
    if (!PostMessageW(window_, UIM_ELEMENTMESSAGE, element, reinterpret_cast<LPARAM>(block))) {
        delete block;
    }
}

void UiHost::Invalidate() {
    if (window_) PostMessageW(window_, UIM_UPDATE, 0, 0);
}

}  // namespace sorvix::ui
