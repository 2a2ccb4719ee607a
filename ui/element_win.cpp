// UiElement: handle table, tree links, properties, event delivery and the
// paint cycle with its transition timer. See element.h.
#include "ui/element.h"

#include "ui/host.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace sorvix::ui {

namespace {

// Handles are even and stay below 0x40000000, so handle + 1 (the transition
// timer) never equals another element's handle and never reaches the host's
// own timer ids.
struct HandleTable {
    std::mutex lock;
    std::unordered_map<ElementHandle, UiElement*> map;
    ElementHandle next = 2;

    ElementHandle Add(UiElement* e) {
        std::lock_guard<std::mutex> g(lock);
        for (;;) {
            ElementHandle h = next;
            next = next >= 0x3FFFFFFE ? 2 : next + 2;
            if (!map.count(h)) {
                map[h] = e;
                return h;
            }
        }
    }
    void Remove(ElementHandle h) {
        std::lock_guard<std::mutex> g(lock);
        map.erase(h);
    }
    UiElement* Find(ElementHandle h) {
        std::lock_guard<std::mutex> g(lock);
        auto it = map.find(h);
        return it == map.end() ? nullptr : it->second;
    }
};

HandleTable& Table() {
    static HandleTable t;
    return t;
}

}  // namespace

namespace {
std::atomic<int> outstandingBlocks{0};
}  // namespace

void* ElementMessage::operator new(size_t size) {
    void* block = ::operator new(size);
    ++outstandingBlocks;
    return block;
}

void ElementMessage::operator delete(void* block) noexcept {
    if (!block) return;
    --outstandingBlocks;
    ::operator delete(block);
}

int ElementMessage::Outstanding() { return outstandingBlocks.load(); }

UiElement* UiElement::FromHandle(ElementHandle handle) {
    return handle ? Table().Find(handle) : nullptr;
}

UiElement::~UiElement() {
    Destroy();
}

bool UiElement::OnHostThread() const {
    return !hostWindow_ || hostThread_ == GetCurrentThreadId();
}

void UiElement::CarryToHostThread(std::function<void()>& fn) {
    // A window that is gone has no thread to carry to: run here.
    if (!IsWindow(hostWindow_)) {
        fn();
        return;
    }
    SendMessageW(hostWindow_, UIM_INVOKE, 0, reinterpret_cast<LPARAM>(&fn));
}

ElementHandle UiElement::Create(UiParent parent, const UiRect& rect, int kind,
                                const CreateOptions& opt) {
    if (handle_) return handle_;
    UiHost* host = nullptr;
    HWND window = nullptr;
    UiElement* parentElement = nullptr;
    if (parent.window) {
        host = UiHost::FromWindow(parent.window);
        if (!host) return 0;
        window = parent.window;
    } else {
        parentElement = FromHandle(parent.element);
        if (!parentElement || !parentElement->host_) return 0;
        // The parent's host must still be the one its window carries.
        if (UiHost::FromWindow(parentElement->hostWindow_) != parentElement->host_) return 0;
        host = parentElement->host_;
        window = parentElement->hostWindow_;
    }
    rect_ = rect;
    cursor_ = opt.cursor ? LoadCursorW(nullptr, MAKEINTRESOURCEW(opt.cursor)) : nullptr;
    tooltip_.clear();
    alpha_ = 255;
    kind_ = kind;
    visible_ = opt.visible;
    disabled_ = false;
    focusable_ = opt.focusable.value_or(true);
    paintEnabled_ = true;
    hostWindow_ = window;
    hostThread_ = GetWindowThreadProcessId(window, nullptr);
    host_ = host;
    handle_ = Table().Add(this);
    AppendTo(parentElement);
    MakeBackBuffer();
    fadeInterval_ = opt.fadeInterval;
    fadeSteps_ = opt.fadeSteps;
    transitionKind_ = opt.transitionKind;
    fadeStep_ = 0;
    Deliver(WM_CREATE, reinterpret_cast<WPARAM>(backBuffer_.get()),
            reinterpret_cast<LPARAM>(graphics_.get()));
    Deliver(WM_PAINT, reinterpret_cast<WPARAM>(backBuffer_.get()),
            reinterpret_cast<LPARAM>(graphics_.get()));
    return handle_;
}

void UiElement::MakeBackBuffer() {
    graphics_.reset();
    int w = kind_ == kUnbufferedKind ? 1 : static_cast<int>(rect_.w + 0.5f);
    int h = kind_ == kUnbufferedKind ? 1 : static_cast<int>(rect_.h + 0.5f);
    backBuffer_ = std::make_unique<Gdiplus::Bitmap>(w > 0 ? w : 1, h > 0 ? h : 1,
                                                    PixelFormat32bppARGB);
    graphics_.reset(Gdiplus::Graphics::FromImage(backBuffer_.get()));
    graphics_->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics_->SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
}

void UiElement::AppendTo(UiElement* parent) {
    parent_ = parent;
    prevSibling_ = nextSibling_ = nullptr;
    UiElement** first = parent ? &parent->firstChild_ : &host_->firstTop_;
    UiElement** last = parent ? &parent->lastChild_ : &host_->lastTop_;
    if (*last) {
        (*last)->nextSibling_ = this;
        prevSibling_ = *last;
    } else {
        *first = this;
    }
    *last = this;
}

void UiElement::Unlink() {
    if (!host_) return;
    UiElement** first = parent_ ? &parent_->firstChild_ : &host_->firstTop_;
    UiElement** last = parent_ ? &parent_->lastChild_ : &host_->lastTop_;
    if (prevSibling_) prevSibling_->nextSibling_ = nextSibling_;
    else if (*first == this) *first = nextSibling_;
    if (nextSibling_) nextSibling_->prevSibling_ = prevSibling_;
    else if (*last == this) *last = prevSibling_;
    prevSibling_ = nextSibling_ = nullptr;
}

ElementHandle UiElement::Parent() const { return parent_ ? parent_->handle_ : 0; }

void UiElement::SetParent(UiParent parent) {
    if (!handle_) return;
    RunOnHostThread([&] {
        // Element 0 or the host's own window: top level. Another window, or
        // an element that is gone or belongs to another host: refused.
        UiElement* p = nullptr;
        if (parent.window) {
            if (parent.window != hostWindow_) return;
        } else if (parent.element) {
            p = FromHandle(parent.element);
            if (!p || p->host_ != host_) return;
        }
        // Refuse to make an element its own ancestor.
        for (UiElement* a = p; a; a = a->parent_) {
            if (a == this) return;
        }
        Unlink();
        AppendTo(p);
        PostRedraw();
    });
}

void UiElement::Destroy() {
    if (!handle_ || !host_) return;
    visible_ = false;
    // A host that is detaching recomposes nothing more; a posted redraw would
    // only be dropped with the window (and its rectangle with it).
    if (!host_->Detaching()) PostRedraw();
    while (lastChild_) {
        UiElement* child = lastChild_;
        child->Destroy();
        if (lastChild_ == child) child->Unlink();   // never created fully: still unlink
    }
    HandleMessage(WM_DESTROY, 0, 0);
    if (IsWindow(hostWindow_)) {
        // Both timers: a kind's own timer (id = handle) must not outlive it
        // either, whatever its WM_DESTROY handling did.
        KillTimer(hostWindow_, handle_);
        KillTimer(hostWindow_, handle_ + 1);
    }
    host_->OnElementGone(handle_);
    Unlink();
    Table().Remove(handle_);
    ResetFields();
}

void UiElement::ResetFields() {
    graphics_.reset();
    backBuffer_.reset();
    previousImage_.reset();
    eventBindings_.clear();
    tooltip_.clear();
    tagText_.clear();
    hostWindow_ = nullptr;
    hostThread_ = 0;
    handle_ = 0;
    visible_ = disabled_ = false;
    focusable_ = true;
    paintEnabled_ = false;
    cursor_ = nullptr;
    rect_ = oldRect_ = {};
    kind_ = fadeStep_ = fadeInterval_ = fadeSteps_ = transitionKind_ = 0;
    host_ = nullptr;
    alpha_ = 255;
    parent_ = firstChild_ = lastChild_ = prevSibling_ = nextSibling_ = nullptr;
}

// Properties read and write the element's fields on the host window's thread
// only; a call from another thread is carried there and waits for it.
UiRect UiElement::Rect(std::optional<UiRect> set) {
    if (set) Move(set->x, set->y, set->w, set->h);
    UiRect result;
    RunOnHostThread([&] { result = rect_; });
    return result;
}

bool UiElement::Visible(std::optional<bool> set) {
    bool result = false;
    RunOnHostThread([&] {
        if (set && *set != visible_) {
            visible_ = *set;
            if (handle_) {
                Deliver(visible_ ? UIM_SHOW : UIM_HIDE, 0, 0);
                PostRedraw();
            }
        }
        result = visible_;
    });
    return result;
}

bool UiElement::Disabled(std::optional<bool> set) {
    bool result = false;
    RunOnHostThread([&] {
        if (set && handle_ && *set != disabled_) {
            disabled_ = *set;
            if (disabled_ && host_->Focused() == handle_) {
                host_->focused_ = 0;
                Deliver(UIM_KILLFOCUS, 0, 0);
            }
            Deliver(UIM_MOUSELEAVE, 0, 0);
            PostRedraw();
        }
        result = disabled_;
    });
    return result;
}

bool UiElement::Focusable(std::optional<bool> set) {
    bool result = false;
    RunOnHostThread([&] {
        if (set) focusable_ = *set;
        result = focusable_;
    });
    return result;
}

bool UiElement::HasFocus() {
    if (!handle_) return false;
    LRESULT r = Deliver(UIM_QUERYFOCUS, 0, 0);
    if (r != kNotHandled) return r == 1;
    return host_ && host_->Focused() == handle_;
}

void UiElement::Redraw() {
    if (handle_) SendEvent(WM_PAINT, 0, 0);
}

void UiElement::PostRedraw() {
    if (!handle_ || !IsWindow(hostWindow_)) return;
    // The rectangle travels by value: the element may be gone when it arrives.
    auto* r = new UiRect(rect_);
    if (!PostMessageW(hostWindow_, UIM_INVALIDATE, kPostedRect, reinterpret_cast<LPARAM>(r))) delete r;
}

void UiElement::ShiftDescendants(float dx, float dy) {
    for (UiElement* c = firstChild_; c; c = c->nextSibling_) {
        c->oldRect_ = c->rect_;
        c->rect_.x += dx;
        c->rect_.y += dy;
        c->ShiftDescendants(dx, dy);
    }
}

void UiElement::Move(std::optional<float> left, std::optional<float> top,
                     std::optional<float> width, std::optional<float> height, bool repaint) {
    if (!handle_) return;
    RunOnHostThread([&] {
        if (!handle_) return;
        UiRect n{left.value_or(rect_.x), top.value_or(rect_.y), width.value_or(rect_.w),
                 height.value_or(rect_.h)};
        if (n.SameAs(rect_)) return;
        oldRect_ = rect_;
        bool resized = !CoordEqual(n.w, rect_.w) || !CoordEqual(n.h, rect_.h);
        rect_ = n;
        ShiftDescendants(n.x - oldRect_.x, n.y - oldRect_.y);
        if (resized && kind_ != kUnbufferedKind) {
            MakeBackBuffer();
            Deliver(UIM_SIZE, static_cast<WPARAM>(n.w), static_cast<LPARAM>(n.h));
            Deliver(WM_PAINT, 0, 0);
        }
        // The host answers 1; it runs on this thread, so no retry loop is
        // needed (a host that is gone ends the wait instead of hanging it).
        SendMessageW(hostWindow_, UIM_MOVED, handle_, repaint && visible_ ? 1 : 0);
    });
}

Text UiElement::Tooltip(std::optional<Text> set, bool apply) {
    Text result;
    RunOnHostThread([&] {
        if (set) {
            tooltip_ = *set;
            if (apply) ApplyTooltip(tooltip_);
        }
        result = tooltip_;
    });
    return result;
}

void UiElement::ApplyTooltip(const Text& text) {
    if (!host_ || !handle_) return;
    RunOnHostThread([&] { host_->OnHoverChanged(handle_, &text); });
}

void UiElement::BindEvent(UINT message, BoundHandler handler) {
    for (auto& b : eventBindings_) {
        if (b.first == message) {
            b.second = std::move(handler);
            return;
        }
    }
    eventBindings_.emplace_back(message, std::move(handler));
}

int UiElement::Alpha(std::optional<int> set, bool repaint) {
    int result = 0;
    RunOnHostThread([&] {
        if (set && *set != alpha_) {
            alpha_ = *set < 0 ? 0 : *set > 255 ? 255 : *set;
            if (handle_) {
                Deliver(UIM_ALPHA, 0, alpha_);
                if (repaint) PostRedraw();
            }
        }
        result = alpha_;
    });
    return result;
}

int UiElement::Fade(std::optional<int> steps, std::optional<int> interval) {
    int result = 0;
    RunOnHostThread([&] {
        if (steps) fadeSteps_ = *steps;
        if (interval) fadeInterval_ = *interval;
        result = fadeSteps_;
    });
    return result;
}

int UiElement::FadeInterval(std::optional<int> set) {
    int result = 0;
    RunOnHostThread([&] {
        if (set) fadeInterval_ = *set;
        result = fadeInterval_;
    });
    return result;
}

int UiElement::Transition(std::optional<int> set) {
    int result = 0;
    RunOnHostThread([&] {
        if (set) transitionKind_ = *set;
        result = transitionKind_;
    });
    return result;
}

LRESULT UiElement::SendEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handle_ || !IsWindow(hostWindow_)) return kNotHandled;
    // The host frees every block it is handed, sent or posted.
    auto* block = new ElementMessage{message, wParam, lParam};
    return SendMessageW(hostWindow_, UIM_ELEMENTMESSAGE, handle_, reinterpret_cast<LPARAM>(block));
}

void UiElement::PostEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handle_ || !IsWindow(hostWindow_)) return;
    // The heap block belongs to the host once the post succeeded.
    auto* block = new ElementMessage{message, wParam, lParam};
    if (!PostMessageW(hostWindow_, UIM_ELEMENTMESSAGE, handle_,
                      reinterpret_cast<LPARAM>(block))) {
        delete block;
    }
}

HCURSOR UiElement::Cursor(std::optional<uintptr_t> value, bool isHandle) {
    HCURSOR result = nullptr;
    RunOnHostThread([&] {
        if (value) {
            cursor_ = isHandle ? reinterpret_cast<HCURSOR>(*value)
                               : (*value ? LoadCursorW(nullptr, MAKEINTRESOURCEW(*value)) : nullptr);
        }
        result = cursor_;
    });
    return result;
}

Text UiElement::TagText(std::optional<Text> set) {
    Text result;
    RunOnHostThread([&] {
        if (set) tagText_ = *set;
        result = tagText_;
    });
    return result;
}

// Each sets only its own coordinate, and only when it changed.
int UiElement::Left(std::optional<int> set) {
    if (set) Move(static_cast<float>(*set), {});
    return static_cast<int>(Rect().x);
}
int UiElement::Top(std::optional<int> set) {
    if (set) Move({}, static_cast<float>(*set));
    return static_cast<int>(Rect().y);
}
int UiElement::Width(std::optional<int> set) {
    if (set) Move({}, {}, static_cast<float>(*set));
    return static_cast<int>(Rect().w);
}
int UiElement::Height(std::optional<int> set) {
    if (set) Move({}, {}, {}, static_cast<float>(*set));
    return static_cast<int>(Rect().h);
}

void UiElement::ZOrder(int position, bool noRepaint) {
    if (!handle_) return;
    UiElement** first = parent_ ? &parent_->firstChild_ : &host_->firstTop_;
    UiElement** last = parent_ ? &parent_->lastChild_ : &host_->lastTop_;
    Unlink();
    if (position == kZOrderBottom) {
        nextSibling_ = *first;
        if (*first) (*first)->prevSibling_ = this;
        *first = this;
        if (!*last) *last = this;
    } else {
        prevSibling_ = *last;
        if (*last) (*last)->nextSibling_ = this;
        *last = this;
        if (!*first) *first = this;
    }
    if (!noRepaint) PostRedraw();
}

LRESULT UiElement::HandleMessage(UINT, WPARAM, LPARAM) { return kNotHandled; }

LRESULT UiElement::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    ElementHandle self = handle_;
    LRESULT result = HandleMessage(message, wParam, lParam);
    // The handler may have destroyed the element; bindings then do not run.
    if (!self || FromHandle(self) != this) return result;
    for (auto& [bound, handler] : eventBindings_) {
        bool match = bound == WM_LBUTTONDBLCLK
                         ? (message == WM_LBUTTONDOWN && wParam == kDoubleClickMarker)
                         : bound == message;
        if (!match) continue;
        if (handler) {
            BoundHandler h = handler;   // the handler may rebind itself
            h(Parent(), self, message, wParam, lParam);
        }
        break;
    }
    return result;
}

LRESULT UiElement::DeliverTo(ElementHandle handle, UINT message, WPARAM wParam, LPARAM lParam) {
    UiElement* e = FromHandle(handle);
    return e ? e->Deliver(message, wParam, lParam) : kNotHandled;
}

bool UiElement::BeginPaint(PaintContext& ctx, const UiRect* rect, bool erase) {
    if (!hostWindow_ || !host_ || !graphics_) return false;
    ctx.window = hostWindow_;
    ctx.graphics = graphics_.get();
    ctx.rect = rect ? *rect : UiRect{0, 0, rect_.w, rect_.h};
    ctx.erase = erase;
    ctx.host = host_;
    ctx.windowDc = host_->WindowDc();
    ctx.memoryDc = host_->MemoryDc();
    ctx.composed = host_->DibSection();
    ctx.backBuffer = backBuffer_.get();
    if (erase) {
        previousImage_.reset();
        if (!host_->Frozen() && fadeSteps_ && fadeInterval_ && paintEnabled_ && visible_) {
            KillTimer(hostWindow_, handle_ + 1);
            // Show the finished earlier state once, then fade from it.
            fadeStep_ = fadeSteps_;
            host_->Recompose(rect_, true);
            previousImage_.reset(backBuffer_->Clone(0, 0, static_cast<INT>(backBuffer_->GetWidth()),
                                                    static_cast<INT>(backBuffer_->GetHeight()),
                                                    PixelFormat32bppARGB));
        }
        graphics_->SetClip(ctx.rect.ToGdi());
        graphics_->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        graphics_->Clear(Gdiplus::Color(0, 0, 0, 0));
        graphics_->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
        graphics_->ResetClip();
    }
    OnBeginPaint(ctx);
    return true;
}

void UiElement::EndPaint(PaintContext& ctx) {
    OnEndPaint(ctx);
    if (!ctx.erase) return;
    if (!paintEnabled_ || !visible_) return;
    if (fadeInterval_ && fadeSteps_ && previousImage_) {
        fadeStep_ = 0;
        Deliver(UIM_FADESTART, 0, 0);
        SetTimer(hostWindow_, handle_ + 1, static_cast<UINT>(fadeInterval_), nullptr);
    } else {
        fadeStep_ = fadeSteps_;
        UiRect r = rect_;
        SendMessageW(hostWindow_, UIM_INVALIDATE, 0, reinterpret_cast<LPARAM>(&r));
    }
}

void UiElement::FadeTimerTick() {
    if (!handle_ || !host_) return;
    ++fadeStep_;
    if (fadeStep_ >= fadeSteps_) {
        KillTimer(hostWindow_, handle_ + 1);
        previousImage_.reset();
        fadeStep_ = fadeSteps_;
        host_->Recompose(rect_, true);
        fadeStep_ = 0;
        Deliver(UIM_FADEEND, 0, 0);
        return;
    }
    host_->Recompose(rect_, true);
}

}  // namespace sorvix::ui
