// Kelvane element model: a windowless element with its own 32-bit back buffer,
// a place in its host's element tree, event bindings and the paint cycle with
// cross-fade transitions.
//
// Elements are named by handles: non-zero 32-bit identifiers looked up in one
// process-wide table, never by raw pointers, so a message that names a
// destroyed element is dropped instead of touching freed memory. Handles are
// even; an element's own window timer uses its handle as the id and its
// transition timer the handle + 1, so the two can never collide with another
// element's timers. Operations that change what the host shows (Move, Visible,
// Disabled, Alpha, captions) are carried to the host window's thread when
// called from another thread.
// Covered by tests/ui/element_test.cpp and tests/ui/host_test.cpp.
#pragma once

#include "ui/base.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sorvix::ui {

class UiHost;
using ElementHandle = uint32_t;

// Library messages, 0x2800..0x2818, plus one private message.
enum : UINT {
    UIM_SETFOCUS = 0x2800,
    UIM_KILLFOCUS = 0x2801,
    UIM_MOUSEENTER = 0x2802,
    UIM_MOUSELEAVE = 0x2803,
    UIM_CLICK = 0x2804,
    UIM_SIZE = 0x2805,
    UIM_HIDE = 0x2806,
    UIM_SHOW = 0x2807,
    UIM_CUSTOMDRAW = 0x2808,
    UIM_WANTPRESS = 0x280A,
    UIM_SETACCEL = 0x280B,
    UIM_UPDATE = 0x280D,
    UIM_DRAWDISABLED = 0x280E,
    UIM_INVALIDATE = 0x2810,
    UIM_MOVED = 0x2811,
    UIM_ELEMENTMESSAGE = 0x2812,
    UIM_QUERYFOCUS = 0x2814,
    UIM_ALPHA = 0x2815,
    UIM_BACKGROUND = 0x2816,
    UIM_FADESTART = 0x2817,
    UIM_FADEEND = 0x2818,
    // Private: run a closure (lParam, std::function<void()>*) on the host's thread.
    UIM_INVOKE = 0x2830,
};

constexpr LRESULT kNotHandled = -1;
// ZOrder positions: first among the siblings (drawn under them) or last.
enum : int { kZOrderTop = 0, kZOrderBottom = 2 };
// UIM_INVALIDATE's wParam for a posted rectangle, which the host frees.
constexpr WPARAM kPostedRect = 1;
// Elements of this kind code draw nothing of their own: a 1 x 1 back buffer,
// never remade when they are resized.
constexpr int kUnbufferedKind = 21;
constexpr WPARAM kDoubleClickMarker = 10086;

// The block carried by UIM_ELEMENTMESSAGE. Pointer-wide fields, so a message
// whose arguments are pointers survives the trip on x86-64.
struct ElementMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    // Blocks are counted from allocation to release, so that one lost on
    // the way (a window gone before delivery) shows.
    static void* operator new(size_t size);
    static void operator delete(void* block) noexcept;
    static int Outstanding();
};

struct PaintContext {
    HWND window = nullptr;
    Gdiplus::Graphics* graphics = nullptr;
    UiRect rect;
    bool erase = false;
    UiHost* host = nullptr;
    HDC windowDc = nullptr;
    HDC memoryDc = nullptr;
    HBITMAP composed = nullptr;
    Gdiplus::Bitmap* backBuffer = nullptr;
};

// Sent with UIM_CUSTOMDRAW while an element's transition runs. The scratch
// surface is the host's: window-sized, in client coordinates like the target,
// its graphics drawing on the scratch DC's pixels; it holds nothing the
// element may rely on between messages.
struct PaintInfo {
    HDC memoryDc;
    Gdiplus::Graphics* target;
    HDC scratchDc;
    Gdiplus::Graphics* scratchGraphics;
    Gdiplus::Bitmap* backBuffer;
    Gdiplus::Bitmap* previousImage;
    UiRect elementRect;
    UiRect clip;
    int step;
    int steps;
};

// Where an element is created: a host window (top level) or a parent element.
struct UiParent {
    HWND window = nullptr;
    ElementHandle element = 0;
    UiParent(HWND w) : window(w) {}                 // NOLINT: implicit by design
    UiParent(ElementHandle e) : element(e) {}       // NOLINT
};

// A bound handler gets (parent, element, message, wParam, lParam); parent is 0
// for a top-level element.
using BoundHandler = std::function<void(ElementHandle parent, ElementHandle element, UINT message,
                                        WPARAM wParam, LPARAM lParam)>;

struct CreateOptions {
    bool visible = true;
    std::optional<bool> focusable;     // default 1
    uintptr_t cursor = 0;               // standard cursor id; 0 = none
    int fadeInterval = 0;
    int fadeSteps = 0;
    int transitionKind = 0;
};

class UiElement {
public:
    UiElement() = default;
    virtual ~UiElement();
    UiElement(const UiElement&) = delete;
    UiElement& operator=(const UiElement&) = delete;

    static UiElement* FromHandle(ElementHandle handle);   // null when gone

    ElementHandle Create(UiParent parent, const UiRect& rect, int kind, const CreateOptions& opt = {});
    ElementHandle Handle() const { return handle_; }
    HWND HostWindow() const { return hostWindow_; }
    UiHost* Host() const { return host_; }
    ElementHandle Parent() const;
    void SetParent(UiParent parent);
    void Destroy();
    UiRect Rect(std::optional<UiRect> set = {});
    bool Visible(std::optional<bool> set = {});
    bool Disabled(std::optional<bool> set = {});
    bool Focusable(std::optional<bool> set = {});
    bool HasFocus();
    void Redraw();
    void PostRedraw();
    void Move(std::optional<float> left, std::optional<float> top, std::optional<float> width = {},
              std::optional<float> height = {}, bool repaint = true);
    Text Tooltip(std::optional<Text> set = {}, bool apply = false);
    void ApplyTooltip(const Text& text);
    void BindEvent(UINT message, BoundHandler handler);
    int Alpha(std::optional<int> set = {}, bool repaint = true);
    int Fade(std::optional<int> steps = {}, std::optional<int> interval = {});
    int FadeInterval(std::optional<int> set = {});
    int FadeStep() const { return fadeStep_; }
    int Transition(std::optional<int> set = {});
    LRESULT SendEvent(UINT message, WPARAM wParam, LPARAM lParam);
    void PostEvent(UINT message, WPARAM wParam, LPARAM lParam);
    HCURSOR Cursor(std::optional<uintptr_t> value = {}, bool isHandle = false);
    Text TagText(std::optional<Text> set = {});
    int Left(std::optional<int> set = {});
    int Top(std::optional<int> set = {});
    int Width(std::optional<int> set = {});
    int Height(std::optional<int> set = {});
    void ZOrder(int position, bool noRepaint = false);   // kZOrderBottom or kZOrderTop
    void Unlink();
    void DisablePainting() { paintEnabled_ = false; }
    void EnablePainting() { paintEnabled_ = true; }
    void FadeTimerTick();
    int Kind() const { return kind_; }
    int FadeSteps() const { return fadeSteps_; }
    UiRect OldRect() const { return oldRect_; }
    Gdiplus::Bitmap* BackBuffer() const { return backBuffer_.get(); }

    // Delivery: HandleMessage, then the first matching binding.
    LRESULT Deliver(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DeliverTo(ElementHandle handle, UINT message, WPARAM wParam, LPARAM lParam);

    // True on the thread that owns the host window (or when there is none).
    bool OnHostThread() const;

protected:
    friend class UiHost;

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnBeginPaint(PaintContext&) {}
    virtual void OnEndPaint(PaintContext&) {}

    bool BeginPaint(PaintContext& ctx, const UiRect* rect = nullptr, bool erase = true);
    void EndPaint(PaintContext& ctx);
    // Runs fn on the host window's thread (directly when already there; from
    // another thread the caller waits until the window's thread ran it).
    template <class F>
    void RunOnHostThread(F&& fn) {
        if (OnHostThread()) {
            fn();
            return;
        }
        std::function<void()> carried(std::forward<F>(fn));
        CarryToHostThread(carried);
    }
    void RunOnHostThread(const std::function<void()>& fn) {
        RunOnHostThread<const std::function<void()>&>(fn);
    }
    void SetKind(int kind) { kind_ = kind; }
    void SetFadeSteps(int steps) { fadeSteps_ = steps; }
    void SetFadeIntervalRaw(int ms) { fadeInterval_ = ms; }
    Gdiplus::Graphics* Graphics() const { return graphics_.get(); }

    UiElement* firstChild_ = nullptr;
    UiElement* lastChild_ = nullptr;
    UiElement* prevSibling_ = nullptr;
    UiElement* nextSibling_ = nullptr;
    UiElement* parent_ = nullptr;

private:
    void CarryToHostThread(std::function<void()>& fn);
    void MakeBackBuffer();
    void ShiftDescendants(float dx, float dy);
    void AppendTo(UiElement* parent);
    void ResetFields();

    HWND hostWindow_ = nullptr;
    DWORD hostThread_ = 0;     // the thread of hostWindow_, fixed for its life
    ElementHandle handle_ = 0;
    bool visible_ = false;
    bool disabled_ = false;
    bool focusable_ = true;
    bool paintEnabled_ = false;
    HCURSOR cursor_ = nullptr;
    std::vector<std::pair<UINT, BoundHandler>> eventBindings_;
    UiRect rect_;
    Text tooltip_;
    Text tagText_;
    int kind_ = 0;
    int fadeStep_ = 0;
    std::unique_ptr<Gdiplus::Bitmap> backBuffer_;
    std::unique_ptr<Gdiplus::Graphics> graphics_;
    UiHost* host_ = nullptr;
    int alpha_ = 255;
    std::unique_ptr<Gdiplus::Bitmap> previousImage_;
    int fadeInterval_ = 0;
    UiRect oldRect_;
    int fadeSteps_ = 0;
    int transitionKind_ = 0;
};

}  // namespace sorvix::ui
