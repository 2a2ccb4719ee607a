// Kelvane host: turns one top-level window into a surface for windowless
// elements. It owns the back buffer (a top-down 32-bit premultiplied DIB),
// hit-tests the mouse against the element tree, keeps hovered, pressed and
// focused elements (by handle), routes keyboard, timer and library messages,
// raises the ten element events, draws its own caption, and presents through
// UpdateLayeredWindow (layered) or BitBlt (otherwise). It also plays the show
// and close animations and the background cross-fade.
//
// The window is bound to its host with the window property "Kv_Wnd_Control";
// one shared procedure serves every host. All host state lives on the
// window's thread; other threads reach it only through messages.
// Covered by tests/ui/host_test.cpp (Wine + Xvfb).
#pragma once

#include "ui/element.h"
#include "ui/gdi_owner.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sorvix::ui {

class UiPicture;
class UiLabel;

using EventHandler = std::function<void(HWND window, ElementHandle element, WPARAM wParam,
                                        LPARAM lParam, int kind)>;
// A hook result other than -1 is returned at once and ends the message.
using MessageHook = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
using PaintHandler = std::function<void(HWND, Gdiplus::Graphics&, int width, int height)>;
using SizeHandler = std::function<void(HWND, int width, int height)>;

// styleFlags bits.
enum : int {
    kStyleIcon = 1,
    kStyleTitle = 2,
    kStyleClose = 4,
    kStyleMaximize = 8,
    kStyleMinimize = 16,
    kStyleAlways = 512,
    kStyleStandard = 1024,
};

// Show and close animation kinds (Show's effect, SetCloseEffect); the other
// kinds fade like kEffectFade.
enum : int {
    kEffectNone = 0,
    kEffectFade = 1,        // fade in or out at full size
    kEffectZoomFade = 2,    // closing: the picture swells as it fades
    kEffectScaleFade = 7,   // showing: grows from nine tenths; closing: shrinks towards its centre
};

// Background picture layouts (AttachOptions::pictureLayout); other values
// show the background colour only.
enum : int {
    kLayoutNatural = 0,     // natural size at (5, 5), tinted with the theme colour when asked
    kLayoutStretched = 2,   // stretched inside a 5-pixel border
};

// frameMargin 1 is skin mode: the picture covers the whole window and no
// frame is drawn; 0 draws the frame with square corners.
constexpr int kSkinMargin = 1;
constexpr int kSquareMargin = 0;

// AttachOptions::alpha of a host that is not layered (presented on WM_PAINT).
constexpr int kNotLayered = -1;

// RequestRedraw modes.
enum : int {
    kRedrawAppend = 0,   // queued last
    kRedrawNow = 1,      // recomposed and presented at once
    kRedrawFirst = 2,    // queued first
};

// Caption button kinds, right to left in this order; each kind is also the
// styleFlags bit that asks for the button.
enum class CaptionButtonKind : int {
    Close = kStyleClose,
    Maximize = kStyleMaximize,
    Minimize = kStyleMinimize,
    Menu = 32,
    Appearance = 64,
    Pin = 128,
    Help = 256,
};

struct AttachOptions {
    std::string background;              // picture bytes; empty = none
    std::optional<Colour> colour;        // background/theme colour
    std::optional<int> styleFlags;       // omitted = standard caption parts
    int alpha = kNotLayered;
    int frameMargin = 7;
    bool dragAnywhere = true;
    std::optional<bool> blurBehind;
    int pictureLayout = kLayoutNatural;
    bool tint = true;
    int64_t marginColour = 0;            // -1 counts as 0
    bool roundCorners = true;            // default for text elements
    HWND ownerWindow = nullptr;
    // frameMargin 1 (skin mode): the centre part of the picture, in picture
    // pixels; the parts around it keep their size and the centre and edges
    // stretch. Empty: the whole picture is stretched over the window.
    UiRect skinRect;
};

// A host's appearance, read on the host window's own thread: its settings and
// a copy of its background picture's pixels (plain memory, so the copy may
// travel to another thread; GDI+ objects may not).
struct HostLook {
    Colour colour = 0x606060;
    int alpha = -1;
    int frameMargin = 7;
    bool blurBehind = false;
    int pictureLayout = 0;
    bool tint = true;
    int64_t marginColour = 0;
    bool roundCorners = true;
    int pictureWidth = 0, pictureHeight = 0;
    std::vector<uint32_t> picturePixels;   // 0xAARRGGBB, top-down; empty: no picture
    // A new bitmap of the copied picture for the calling thread (the caller
    // owns it); null without a picture.
    Gdiplus::Image* MakePicture() const;
};

// Makes the platform window that a host is then attached to.
HWND CreateHostWindow(HWND parent, const Text& title, std::optional<int> x = {},
                      std::optional<int> y = {}, int width = 380, int height = 250,
                      const std::wstring& className = L"Kelvane",
                      DWORD style = WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MINIMIZEBOX |
                                    WS_CLIPCHILDREN,
                      DWORD exStyle = 0, bool show = false);

// Event slots, in the order of the handler setters.
enum class HostEvent { Press, Release, Click, DoubleClick, RightPress, RightRelease, MouseEnter,
                       MouseLeave, FocusGained, FocusLost, Count };

class UiHost {
public:
    UiHost();
    virtual ~UiHost();
    UiHost(const UiHost&) = delete;
    UiHost& operator=(const UiHost&) = delete;

    static UiHost* FromWindow(HWND window);
    // The look of the host of `window`, read on that window's thread (the
    // call waits for it); empty when the window is gone or has no host.
    static std::optional<HostLook> LookOf(HWND window, bool withPicture = true);

    virtual bool Attach(HWND window, const AttachOptions& options = {});
    virtual void Detach();
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    virtual void OnRecompose(const UiRect& rect);
    virtual void OnHoverChanged(ElementHandle element, const Text* tip);
    virtual bool OnSysChar(WPARAM wParam, LPARAM lParam);
    virtual void OnKeyDown(WPARAM wParam, LPARAM lParam);
    virtual void OnSize();
    virtual void SetAccelerator(ElementHandle element, wchar_t key);
    virtual void OnMouse(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool OnResizeZone(UINT message, int x, int y);
    virtual void SetDragAnywhere(bool value) { dragAnywhere_ = value; }
    virtual void SetBackground(std::optional<std::string> picture = {},
                               std::optional<Colour> colour = {}, int fade = 0);
    virtual void SetFocus(ElementHandle element);
    virtual void Redraw();
    virtual void Show(int effect = kEffectNone, int duration = 200);
    virtual void SetCloseEffect(int effect) { closeEffect_ = effect; }
    virtual void SetCursor(HCURSOR cursor) { defaultCursor_ = cursor; }

    void SetPaintHandler(PaintHandler h) { paintHandler_ = std::move(h); }
    void SetMessageHook(MessageHook h) { messageHook_ = std::move(h); }
    void SetSizeHandler(SizeHandler h) { sizeHandler_ = std::move(h); }
    void SetPressHandler(EventHandler h) { Slot(HostEvent::Press) = std::move(h); }
    void SetReleaseHandler(EventHandler h) { Slot(HostEvent::Release) = std::move(h); }
    void SetClickHandler(EventHandler h) { Slot(HostEvent::Click) = std::move(h); }
    void SetDoubleClickHandler(EventHandler h) { Slot(HostEvent::DoubleClick) = std::move(h); }
    void SetRightPressHandler(EventHandler h) { Slot(HostEvent::RightPress) = std::move(h); }
    void SetRightReleaseHandler(EventHandler h) { Slot(HostEvent::RightRelease) = std::move(h); }
    void SetMouseLeaveHandler(EventHandler h) { Slot(HostEvent::MouseLeave) = std::move(h); }
    void SetMouseEnterHandler(EventHandler h) { Slot(HostEvent::MouseEnter) = std::move(h); }
    void SetFocusGainedHandler(EventHandler h) { Slot(HostEvent::FocusGained) = std::move(h); }
    void SetFocusLostHandler(EventHandler h) { Slot(HostEvent::FocusLost) = std::move(h); }

    // Layered update of the whole window; dirty, when given, limits the copy.
    void Present(const RECT* dirty = nullptr);
    void Invalidate();
    void PostToElement(ElementHandle element, UINT message, WPARAM wParam, LPARAM lParam);
    // Redraw queue: kRedrawAppend, kRedrawFirst, or kRedrawNow (recomposes and presents at once).
    void RequestRedraw(const UiRect& rect, int mode);
    // Recomposes an area of the client from the background and the element
    // buffers; presents it when asked.
    void Recompose(const UiRect& area, bool present);
    // Recomposes an area now and shows it with the next frame: a layered
    // host joins the area to the ones waiting and updates the window once
    // for all of them when its queue reaches the posted update, so a run of
    // redraws costs one layered update, not one each (a host that is not
    // layered copies the area to the window at once, which is cheap).
    void RecomposeSoon(const UiRect& area);
    // Layered updates made so far, and whether one is waiting.
    int PresentCount() const { return presentCount_; }
    bool PresentPending() const { return presentPending_; }
    ElementHandle HitTest(int x, int y) const;

    // State, for elements and for tests.
    HWND Window() const { return window_; }
    ElementHandle Focused() const { return focused_; }
    ElementHandle Hovered() const { return hovered_; }
    ElementHandle Pressed() const { return pressed_; }
    bool IsPressed() const { return isPressed_; }
    bool Busy() const { return busy_; }
    bool Frozen() const { return frozen_; }
    bool Detaching() const { return detaching_; }
    void Freeze(bool value) { frozen_ = value; }
    bool Layered() const { return alpha_ != kNotLayered; }
    int Alpha() const { return alpha_; }
    int StyleFlags() const { return styleFlags_; }
    SIZE Size() const { return size_; }
    int FrameMargin() const { return frameMargin_; }
    Colour ThemeColour() const { return backgroundColour_; }
    bool RoundCorners() const { return roundCorners_; }
    Gdiplus::Image* BackgroundPicture() const { return backgroundPicture_; }
    HDC MemoryDc() const { return buffer_.Dc(); }
    HDC WindowDc() const { return windowDc_.Get(); }
    HBITMAP DibSection() const { return buffer_.Bitmap(); }
    // Composed pixel (premultiplied 0xAARRGGBB) at a client point; 0 outside.
    uint32_t PixelAt(int x, int y) const;
    const uint32_t* Bits() const { return buffer_.Bits(); }
    ElementHandle TitleElement() const;
    ElementHandle IconElement() const;
    std::vector<ElementHandle> CaptionButtons() const;
    // The caption button of a kind, 0 when the host has none; the kind of a
    // caption button, nothing for any other element.
    ElementHandle CaptionButton(CaptionButtonKind kind) const;
    std::optional<CaptionButtonKind> CaptionButtonKindOf(ElementHandle element) const;
    const std::vector<std::pair<ElementHandle, wchar_t>>& Accelerators() const { return accelerators_; }
    int BackgroundFadeLevel() const { return fadeLevel_; }
    int ClosingFrames() const { return closingFrames_; }
    // Constant alpha of every frame of the last show or close animation.
    const std::vector<int>& AnimationAlphas() const { return animationAlphas_; }
    UiElement* FirstTop() const { return firstTop_; }
    HWND TooltipWindow() const { return tooltipWindow_; }
    // Forgets every reference to an element that is being destroyed.
    void OnElementGone(ElementHandle element);

    // The library-wide timer id of the background cross-fade.
    static constexpr UINT_PTR kBackgroundFadeTimer = 0x7FFF0001;

protected:
    friend class UiElement;
    EventHandler& Slot(HostEvent e) { return eventHandlers_[static_cast<size_t>(e)]; }
    void Raise(HostEvent e, ElementHandle element, WPARAM wParam, LPARAM lParam);
    LRESULT CallOld(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateBuffers();
    void DestroyBuffers();
    void BuildCaption();
    void DrawBackground();
    void ComposeList(UiElement* first, const UiRect& area);
    void ComposeElement(UiElement* e, const UiRect& area);
    void PlayCloseAnimation();
    void PlayShowAnimation(int effect, int duration);
    void MakeLayered();
    void ApplyBlurBehind(bool emptyRegion);
    void BackgroundFadeTick();
    void StartPress(UiElement* e, ElementHandle h, WPARAM wParam);
    // The host procedure by message group; each answers the messages it
    // owns and leaves the others (nullopt) to the next group.
    std::optional<LRESULT> OnLifecycleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnMouseMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnKeyboardMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnImeMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnTimerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnPaintMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnLibraryMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void FlushQueue();
    void FocusNextInTabOrder();
    // Element tree of the top-level elements.
    UiElement* firstTop_ = nullptr;
    UiElement* lastTop_ = nullptr;

private:
    HWND window_ = nullptr;
    HWND tooltipWindow_ = nullptr;
    WNDPROC oldWindowProc_ = nullptr;
    ElementHandle focused_ = 0, hovered_ = 0, pressed_ = 0;
    bool isPressed_ = false;
    bool busy_ = false;
    bool frozen_ = false;
    bool tracking_ = false;
    UniqueWindowDc windowDc_;                                 // held while attached
    DibSurface buffer_;                                 // the back buffer, window-sized
    std::vector<uint32_t> backgroundBits_;              // the composed background
    std::vector<uint32_t> transitionBits_;              // background cross-fade source
    SIZE size_{0, 0};
    int alpha_ = kNotLayered;
    int frameMargin_ = 7;
    int styleFlags_ = 0;
    bool resizable_ = false;
    bool dragAnywhere_ = true;
    int closeEffect_ = kEffectNone;
    bool blurBehind_ = false;
    HCURSOR defaultCursor_ = nullptr;
    std::unique_ptr<UiPicture> iconElement_;
    std::unique_ptr<UiLabel> titleElement_;
    std::vector<std::unique_ptr<UiElement>> captionButtons_;
    std::vector<std::pair<ElementHandle, wchar_t>> accelerators_;
    Gdiplus::Image* backgroundPicture_ = nullptr;
    ImageSource backgroundSource_;
    Colour backgroundColour_ = 0x606060;
    int pictureLayout_ = kLayoutNatural;
    int64_t marginColour_ = 0;
    bool tint_ = true;
    bool roundCorners_ = true;
    HWND ownerWindow_ = nullptr;
    UiRect skinRect_;
    std::unique_ptr<Gdiplus::GraphicsPath> elementClip_;
    std::deque<UiRect> redrawQueue_;
    bool flushing_ = false;
    // Frame-paced presents (RecomposeSoon): the union of the areas waiting.
    RECT pendingDirty_{0, 0, 0, 0};
    bool presentPending_ = false;
    bool presentYielded_ = false;
    int presentCount_ = 0;
    // Blends an element's buffer straight into the back buffer when nothing
    // but rectangles clips it; false when GDI+ must draw it.
    bool BlendElementBits(UiElement* e);
    // Clip of the composition in progress: the area, narrowed to each parent.
    RECT composeClip_{0, 0, 0, 0};
    bool composeClipExact_ = false;   // false: a fractional parent clips as well
    MessageHook messageHook_;
    PaintHandler paintHandler_;
    SizeHandler sizeHandler_;
    EventHandler eventHandlers_[static_cast<size_t>(HostEvent::Count)];
    int fadeLevel_ = 0;
    int closingFrames_ = 0;
    bool closing_ = false;
    bool detaching_ = false;
    std::vector<int> animationAlphas_;
    HCURSOR zoneCursor_ = nullptr;
    // Scratch surface of the element transitions (UIM_CUSTOMDRAW and the
    // cross-fade), fitted to the window size at each use.
    DibSurface scratch_;
    // Frame surface of the animations and the background fade: a second
    // DIB, fitted to the window size at each use and released after.
    DibSurface frame_;
    bool EnsureFrameSurface();
    void EndBackgroundFade();
    void ReleaseFrameSurface();
    void PresentFrame();
    void DrawAnimationFrame(int insetX, int insetY, int alpha);
};

}  // namespace sorvix::ui
