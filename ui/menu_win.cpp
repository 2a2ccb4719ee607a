// UiMenu: items, measuring, the popup hosts with their rows, the modal loop,
// keyboard navigation and the edit boxes' shared menu. See menu.h.
//
// One menu loop per thread (a "session") owns the chain of open popups: the
// top popup and the submenus opened from it, deepest last. A popup never
// destroys itself from inside one of its own messages: closing hides it and
// hands it to the session, which destroys it between two messages of the
// loop, so no host or row is freed while its procedure is still running.
#include "ui/menu.h"

#include "ui/edit.h"
#include "ui/gdi_owner.h"
#include "ui/host.h"
#include "ui/modal_loop.h"

#include <windowsx.h>

#include <algorithm>
#include <cwctype>

namespace sorvix::ui {

namespace {

constexpr wchar_t kMenuClass[] = L"Kelvane_Menu";
constexpr wchar_t kFlagsProperty[] = L"Kv_Wnd_Flags";
constexpr wchar_t kTopProperty[] = L"Kelvane_Host";
constexpr wchar_t kSubProperty[] = L"Kelvane_Sub";
constexpr wchar_t kActiveProperty[] = L"Kelvane_Act";
constexpr wchar_t kEventProperty[] = L"Kelvane_Event";
constexpr intptr_t kPopupOfHost = 1;          // Kv_Wnd_Flags: a popup belonging to a host

constexpr int kMenuRowKind = 30;
// A timer of the top popup that looks for the menu's reasons to close.
constexpr UINT_PTR kWatchTimer = 0x7FFF0011;
constexpr UINT kWatchPeriodMs = 100;
constexpr int kMaxMenuDepth = 16;             // submenus nested deeper are not opened
// Geometry inside a popup.
constexpr float kSeparatorLeft = 33, kSeparatorInset = 40;
constexpr float kItemLeft = 8, kItemInset = 16;
constexpr float kTextLeft = 30, kArrowRoom = 12;
// A submenu overlaps its parent's shadow so the two boxes touch.
constexpr int kSubmenuOverlap = 14;

// "剪切(&T)", "复制(&C)", "粘贴(&P)", "全部选择(&A)" in GBK.
constexpr char kCutGbk[] = "\xBC\xF4\xC7\xD0(&T)";
constexpr char kCopyGbk[] = "\xB8\xB4\xD6\xC6(&C)";
constexpr char kPasteGbk[] = "\xD5\xB3\xCC\xF9(&P)";
constexpr char kSelectAllGbk[] = "\xC8\xAB\xB2\xBF\xD1\xA1\xD4\xF1(&A)";

bool Selectable(const UiMenu::Item& item) {
    return item.itemKind != kMenuSeparator && item.state != kMenuDisabled && item.state != kMenuHidden;
}

// The access key of a text: the character after a single "&", lower-cased;
// 0 when there is none ("&&" is a plain ampersand).
wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(text[i + 1])));
    }
    return 0;
}

// Screen DC and a GDI font of the default font's face at its pixel size, for
// measuring: the rows draw with that font, so widths agree with the text.
UniqueFont MeasureFont() {
    std::wstring face = L"SimSun";
    int height = 12;
    if (Gdiplus::Font* f = Lib().defaultFont) {
        face = GbkToWide(FontFamilyName(f));
        height = static_cast<int>(f->GetSize() + 0.5f);
    }
    return UniqueFont(CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH, face.c_str()));
}

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size{0, 0};
    if (dc && !text.empty()) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

SIZE MeasureItems(const std::vector<UiMenu::Item>& items) {
    UniqueWindowDc screen(nullptr);
    UniqueFont font = MeasureFont();
    ScopedSelect select(screen.Get(), font.Get());
    int width = 0, height = 0;
    bool anySubmenu = false;
    for (const auto& item : items) {
        if (item.itemKind == kMenuSubmenu) anySubmenu = true;
        if (item.state == kMenuHidden) continue;
        if (item.itemKind == kMenuSeparator) {
            height += kMenuSeparatorHeight;
            continue;
        }
        height += kMenuItemHeight;
        width = std::max(width, TextWidth(screen.Get(), item.text) + kMenuWidthBeyondText);
    }
    height += 2 * kMenuPadding;
    if (anySubmenu) width += kMenuSubmenuArrowWidth;
    return {width, height};
}

RECT WorkAreaAt(POINT p) {
    RECT work{};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// Keeps [pos, pos + size) inside [low, high) where it fits; a box larger
// than the range starts at low.
int Clamp(int pos, int size, int low, int high) {
    if (pos + size > high) pos = high - size;
    if (pos < low) pos = low;
    return pos;
}

// A popup that opens at a point: below and right of it, or above and left of
// it on the side where it would leave the work area, then clamped.
int PlaceAtPoint(int point, int size, int low, int high) {
    int pos = point + size > high ? point - size : point;
    return Clamp(pos, size, low, high);
}

class MenuRow;
struct Session;

// The popup's host takes the mouse itself: rows are hovered and clicked, but
// a press never takes the focus or the activation (the owner window stays
// active, as with the system's menus), never captures the mouse and never
// moves the window. A release over a row clicks it when the press began
// in the same popup, with either button.
class MenuHost : public UiHost {
public:
    void OnMouse(UINT message, WPARAM wParam, LPARAM lParam) override {
        int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        ElementHandle under = HitTest(x, y);
        switch (message) {
        case WM_MOUSEMOVE:
            Hover(under, wParam);
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            Hover(under, wParam);
            pressed_ = true;
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if (pressed_ && under && UiElement::DeliverTo(under, UIM_WANTPRESS, wParam, lParam) != kNotHandled) {
                pressed_ = false;
                UiElement::DeliverTo(under, UIM_CLICK, wParam, lParam);
            }
            pressed_ = false;
            break;
        default:
            break;
        }
    }
    // The pointer left the window.
    void Leave() { Hover(0, 0); }

private:
    void Hover(ElementHandle under, WPARAM keys) {
        if (under == hover_) return;
        ElementHandle old = hover_;
        hover_ = under;
        if (old) UiElement::DeliverTo(old, UIM_MOUSELEAVE, 0, under);
        if (under) UiElement::DeliverTo(under, UIM_MOUSEENTER, keys, old);
    }
    ElementHandle hover_ = 0;
    bool pressed_ = false;
};

// One open popup: its window, host and rows, and a copy of the items it shows.
struct PopupWindow {
    Session* session = nullptr;
    int level = 0;                            // 0 the top popup
    std::vector<UiMenu::Item> items;
    HWND window = nullptr;
    std::unique_ptr<MenuHost> host;
    std::vector<std::unique_ptr<MenuRow>> rows;
    SIZE size{0, 0};
    int hot = 0;                              // highlighted item, 0 none
    int openSubItem = 0;                      // item whose submenu is open

    MenuRow* RowOf(int index) const;
    void SetHot(int index);
    void RepaintItem(int index) const;
    int Step(int from, int direction) const;  // next selectable item, wrapping
};

class MenuRow : public UiElement {
public:
    MenuRow(PopupWindow* popup, int index) : popup_(popup), index_(index) {}
    ~MenuRow() override { Destroy(); }
    int Index() const { return index_; }
    void Paint();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    const UiMenu::Item& Item() const { return popup_->items[static_cast<size_t>(index_ - 1)]; }
    PopupWindow* popup_;
    int index_;
    Gdiplus::Image* icon_ = nullptr;
    bool iconLoaded_ = false;

public:
    void FreeIcon() { delete icon_; icon_ = nullptr; }
};

struct Session {
    HWND owner = nullptr;
    ElementHandle opener = 0;
    std::vector<std::unique_ptr<PopupWindow>> chain;     // top first
    std::vector<std::unique_ptr<PopupWindow>> closing;   // hidden, destroyed by the loop
    bool done = false;
    std::optional<UiMenu::Item> chosen;
    bool altAlone = false;
    HWND activeAtOpen = nullptr;

    PopupWindow* Open(const std::vector<UiMenu::Item>& items, int x, int y, int level,
                      const RECT* besideRow);
    PopupWindow* Find(HWND window) const {
        for (auto& p : chain)
            if (p->window == window) return p.get();
        for (auto& p : closing)
            if (p->window == window) return p.get();
        return nullptr;
    }
    bool InChain(HWND window) const {
        if (!window) return false;
        HWND root = GetAncestor(window, GA_ROOT);
        for (auto& p : chain)
            if (p->window == window || p->window == root) return true;
        return false;
    }
    PopupWindow* Active() const { return chain.empty() ? nullptr : chain.back().get(); }
    // Whether a popup is still open (not hidden for closing) and the menu runs.
    bool Live(const PopupWindow* p) const {
        return !done && p && static_cast<size_t>(p->level) < chain.size() &&
               chain[static_cast<size_t>(p->level)].get() == p;
    }
    void UpdateProperties();
    // Hides the popups after `level` and hands them to the loop to destroy.
    void CloseAfter(int level);
    void CloseAll();
    void Choose(const UiMenu::Item& item);
    void OpenSubmenu(PopupWindow* popup, int index, bool selectFirst);
    void Activate(PopupWindow* popup, int index, bool byKeyboard);
    bool KeyDown(WPARAM key);
    bool AccessKeyTyped(wchar_t ch);
    LRESULT Hook(PopupWindow* popup, UINT message, WPARAM wParam, LPARAM lParam);
    bool Filter(MSG& msg);
    // Closes the menu when the owner window went away or the activation moved
    // to a window that is neither the one active at opening nor a popup.
    void Watch() {
        if (done) return;
        HWND active = GetActiveWindow();
        if ((owner && !IsWindow(owner)) || (active != activeAtOpen && !InChain(active))) CloseAll();
    }
    void Reap() {
        for (auto& p : closing) Destroy(p);
        closing.clear();
    }
    // Destroys every popup, deepest first.
    void DestroyAll() {
        Reap();
        while (!chain.empty()) {
            Destroy(chain.back());
            chain.pop_back();
        }
    }
    static void Destroy(std::unique_ptr<PopupWindow>& popup);
    ~Session() { DestroyAll(); }
};

thread_local Session* tSession = nullptr;

// ---- PopupWindow ----------------------------------------------------------------------

MenuRow* PopupWindow::RowOf(int index) const {
    for (auto& r : rows)
        if (r->Index() == index) return r.get();
    return nullptr;
}

void PopupWindow::RepaintItem(int index) const {
    if (MenuRow* r = RowOf(index)) r->Paint();
}

void PopupWindow::SetHot(int index) {
    if (index == hot) return;
    int old = hot;
    hot = index;
    RepaintItem(old);
    RepaintItem(index);
}

int PopupWindow::Step(int from, int direction) const {
    int n = static_cast<int>(items.size());
    if (n == 0) return 0;
    int i = from;
    for (int k = 0; k < n; ++k) {
        i += direction;
        if (i < 1) i = n;
        if (i > n) i = 1;
        if (Selectable(items[static_cast<size_t>(i - 1)])) return i;
    }
    return 0;
}

// ---- MenuRow --------------------------------------------------------------------------

LRESULT MenuRow::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    Session* s = popup_->session;
    const UiMenu::Item& item = Item();
    switch (message) {
    case WM_PAINT:
        Paint();
        return kNotHandled;
    case WM_DESTROY:
        KillTimer(HostWindow(), Handle());
        FreeIcon();
        return kNotHandled;
    case UIM_WANTPRESS:
        return item.itemKind == kMenuSeparator ? kNotHandled : 0;
    case UIM_MOUSEENTER:
        if (item.itemKind == kMenuSeparator) return kNotHandled;
        popup_->SetHot(index_);
        SetTimer(HostWindow(), Handle(), kMenuSubmenuDelayMs, nullptr);
        return kNotHandled;
    case UIM_MOUSELEAVE:
        KillTimer(HostWindow(), Handle());
        if (popup_->hot == index_) popup_->SetHot(0);
        return kNotHandled;
    case WM_TIMER:
        KillTimer(HostWindow(), Handle());
        if (s && s->Live(popup_) && popup_->hot == index_) {
            if (item.itemKind == kMenuSubmenu) {
                s->OpenSubmenu(popup_, index_, false);
            } else {
                s->CloseAfter(popup_->level);
            }
        }
        return 0;
    case UIM_CLICK:
        if (s) s->Activate(popup_, index_, false);
        return kNotHandled;
    default:
        (void)wParam;
        return kNotHandled;
    }
}

void MenuRow::Paint() {
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    Gdiplus::Graphics& g = *ctx.graphics;
    const UiMenu::Item& item = Item();
    const float w = ctx.rect.w, h = ctx.rect.h;
    if (item.itemKind == kMenuSeparator) {
        Gdiplus::SolidBrush line{Gdiplus::Color(ArgbAt(0xCCC3B7, 254))};
        g.FillRectangle(&line, 0.0f, std::floor(h / 2), w, 1.0f);
        EndPaint(ctx);
        return;
    }
    const MenuItemOptions& o = item.options;
    bool hot = popup_->hot == index_ || popup_->openSubItem == index_;
    Argb textColour = ArgbAt(o.textColour, o.textAlpha);
    if (hot) {
        Gdiplus::SolidBrush fill{Gdiplus::Color(ArgbAt(o.hotColour, o.hotAlpha))};
        g.FillRectangle(&fill, 0.0f, 0.0f, w, h);
        Gdiplus::Pen border{Gdiplus::Color(ArgbAt(o.hotColour, static_cast<int>(o.hotAlpha * 0.82)))};
        g.DrawRectangle(&border, 0.5f, 0.5f, w - 1, h - 1);
        textColour = ArgbAt(0xFFFFFF, 240);
    }
    const Gdiplus::RectF iconBox(2, 1, 20, 20);
    if (item.state == kMenuChecked) {
        Gdiplus::Pen pen{Gdiplus::Color(textColour), 2.0f};
        pen.SetLineJoin(Gdiplus::LineJoinRound);
        Gdiplus::PointF tick[3] = {{iconBox.X + 5, iconBox.Y + 10},
                                   {iconBox.X + 8.5f, iconBox.Y + 13.5f},
                                   {iconBox.X + 15, iconBox.Y + 6}};
        g.DrawLines(&pen, tick, 3);
    } else if (!o.icon.empty()) {
        if (!iconLoaded_) {
            iconLoaded_ = true;
            icon_ = ImageFromBytes(o.icon, false, false);
        }
        if (icon_) {
            // Centred in the icon box; pictures larger than it are scaled down.
            float iw = static_cast<float>(ImageWidth(icon_)), ih = static_cast<float>(ImageHeight(icon_));
            float k = std::min(1.0f, std::min(iconBox.Width / iw, iconBox.Height / ih));
            iw *= k;
            ih *= k;
            g.DrawImage(icon_, Gdiplus::RectF(iconBox.X + (iconBox.Width - iw) / 2,
                                              iconBox.Y + (iconBox.Height - ih) / 2, iw, ih));
        }
    }
    if (Gdiplus::Font* font = Lib().defaultFont) {
        float lineHeight = font->GetHeight(&g) + 1;
        float right = item.itemKind == kMenuSubmenu ? kArrowRoom : 0;
        Gdiplus::RectF textBox(kTextLeft, std::floor((h - lineHeight) / 2), w - kTextLeft - right,
                               lineHeight);
        Gdiplus::StringFormat format;
        format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
        format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixShow);
        format.SetTrimming(Gdiplus::StringTrimmingNone);
        DrawText(g, textBox, item.text, font, textColour, &format, o.effect, o.effectColour);
    }
    if (item.itemKind == kMenuSubmenu) {
        Argb arrow = hot ? ArgbAt(0xFFFFFF, 230) : ArgbAt(0, 120);
        Gdiplus::PointF tri[3] = {{w - 10, h / 2 - 4}, {w - 10, h / 2 + 4}, {w - 6, h / 2}};
        Gdiplus::SolidBrush brush{Gdiplus::Color(arrow)};
        g.FillPolygon(&brush, tri, 3);
        Gdiplus::Pen pen{Gdiplus::Color(arrow)};
        g.DrawPolygon(&pen, tri, 3);
    }
    EndPaint(ctx);
}

// ---- Session --------------------------------------------------------------------------

void PaintPopupBackground(Gdiplus::Graphics& g, int width, int height) {
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    g.Clear(Gdiplus::Color(0, 0, 0, 0));
    Gdiplus::RectF box(6, 6, w - 12, h - 12);
    FillRoundRect(g, box, 4, ArgbAt(0xFFFFFF, 234));
    DrawRoundRect(g, box, 4, ArgbAt(0, 125));
    // A soft shadow: three rings, each a pixel further out and fainter.
    const int shadowAlpha[3] = {35, 15, 5};
    const float shadowRadius[3] = {7, 10, 13};
    for (int i = 0; i < 3; ++i) {
        float d = static_cast<float>(i + 1);
        DrawRoundRect(g, Gdiplus::RectF(box.X - d, box.Y - d, box.Width + 2 * d, box.Height + 2 * d),
                      shadowRadius[i], ArgbAt(0, shadowAlpha[i]));
    }
    Gdiplus::RectF iconColumn(8, 8, 24, h - 16);
    FillRoundRect(g, iconColumn, 3, ArgbAt(0xECE4D1, 254));
    DrawRoundRect(g, iconColumn, 3, ArgbAt(0xECE4D1, 254));
}

PopupWindow* Session::Open(const std::vector<UiMenu::Item>& items, int x, int y, int level,
                           const RECT* besideRow) {
    SIZE size = MeasureItems(items);
    bool any = std::any_of(items.begin(), items.end(),
                           [](const UiMenu::Item& i) { return i.state != kMenuHidden; });
    if (!any || size.cx <= 0) return nullptr;
    RECT work = WorkAreaAt({x, y});
    int px, py;
    if (besideRow) {
        // Right of the parent popup, first row level with the parent's row;
        // left of it when the right side has no room.
        int right = besideRow->right - kSubmenuOverlap;
        int left = besideRow->left + kSubmenuOverlap;
        px = right + size.cx <= work.right ? right : left - size.cx;
        px = Clamp(px, size.cx, work.left, work.right);
        py = Clamp(besideRow->top - kMenuPadding, size.cy, work.top, work.bottom);
    } else {
        px = PlaceAtPoint(x, size.cx, work.left, work.right);
        py = PlaceAtPoint(y, size.cy, work.top, work.bottom);
    }
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kMenuClass, L"", WS_POPUP, px,
                                  py, size.cx, size.cy, owner, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    if (!window) return nullptr;
    auto popup = std::make_unique<PopupWindow>();
    PopupWindow* p = popup.get();
    p->session = this;
    p->level = level;
    p->items = items;
    p->window = window;
    p->size = size;
    SetPropW(window, kFlagsProperty, reinterpret_cast<HANDLE>(kPopupOfHost));
    p->host = std::make_unique<MenuHost>();
    p->host->SetPaintHandler([](HWND, Gdiplus::Graphics& g, int w, int h) { PaintPopupBackground(g, w, h); });
    AttachOptions options;
    options.styleFlags = 0;
    options.alpha = 255;
    options.frameMargin = 1;     // the popup draws its own frame and shadow
    options.dragAnywhere = false;
    options.blurBehind = false;
    if (!p->host->Attach(window, options)) {
        DestroyWindow(window);
        return nullptr;
    }
    p->host->SetMessageHook([this, p](HWND, UINT m, WPARAM wp, LPARAM lp) { return Hook(p, m, wp, lp); });
    float top = kMenuPadding;
    const float w = static_cast<float>(size.cx);
    for (size_t i = 0; i < items.size(); ++i) {
        const UiMenu::Item& item = items[i];
        if (item.state == kMenuHidden) continue;
        bool separator = item.itemKind == kMenuSeparator;
        UiRect r = separator ? UiRect{kSeparatorLeft, top, w - kSeparatorInset, kMenuSeparatorHeight}
                             : UiRect{kItemLeft, top, w - kItemInset, kMenuItemHeight};
        auto row = std::make_unique<MenuRow>(p, static_cast<int>(i) + 1);
        CreateOptions co;
        co.focusable = false;
        row->Create(window, r, kMenuRowKind, co);
        if (item.state == kMenuDisabled) row->Disabled(true);
        top += r.h;
        p->rows.push_back(std::move(row));
    }
    chain.push_back(std::move(popup));
    UpdateProperties();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    p->host->Redraw();
    return p;
}

void Session::UpdateProperties() {
    if (chain.empty()) return;
    HWND top = chain.front()->window;
    SetPropW(top, kEventProperty, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(opener)));
    SetPropW(top, kActiveProperty, Active()->window);
    for (size_t i = 0; i < chain.size(); ++i) {
        HWND w = chain[i]->window;
        SetPropW(w, kTopProperty, top);
        if (i + 1 < chain.size()) SetPropW(w, kSubProperty, chain[i + 1]->window);
        else RemovePropW(w, kSubProperty);
    }
}

void Session::Destroy(std::unique_ptr<PopupWindow>& popup) {
    if (!popup) return;
    HWND w = popup->window;
    if (w && IsWindow(w)) {
        for (const wchar_t* name : {kFlagsProperty, kTopProperty, kSubProperty, kActiveProperty, kEventProperty}) {
            RemovePropW(w, name);
        }
        DestroyWindow(w);   // the host detaches and destroys the rows
    }
    popup->rows.clear();
    popup->host.reset();
    popup.reset();
}

void Session::CloseAfter(int level) {
    if (static_cast<int>(chain.size()) <= level + 1) return;
    bool changed = false;
    while (static_cast<int>(chain.size()) > level + 1) {
        auto& last = chain.back();
        ShowWindow(last->window, SW_HIDE);
        closing.push_back(std::move(last));
        chain.pop_back();
        changed = true;
    }
    if (!changed) return;
    PopupWindow* p = chain[static_cast<size_t>(level)].get();
    int was = p->openSubItem;
    p->openSubItem = 0;
    p->RepaintItem(was);
    UpdateProperties();
}

void Session::CloseAll() {
    if (done) return;
    done = true;
    for (auto& p : chain) ShowWindow(p->window, SW_HIDE);
    // Wakes the loop when this ran outside it (a sent message).
    if (!chain.empty()) PostMessageW(chain.front()->window, WM_NULL, 0, 0);
}

void Session::Choose(const UiMenu::Item& item) {
    chosen = item;
    CloseAll();
}

void Session::OpenSubmenu(PopupWindow* popup, int index, bool selectFirst) {
    if (!Live(popup)) return;
    const UiMenu::Item& item = popup->items[static_cast<size_t>(index - 1)];
    if (item.itemKind != kMenuSubmenu || !item.options.submenu || popup->level + 1 >= kMaxMenuDepth) return;
    if (popup->openSubItem == index) {
        PopupWindow* sub = chain[static_cast<size_t>(popup->level) + 1].get();
        if (selectFirst && !sub->hot) sub->SetHot(sub->Step(0, 1));
        return;
    }
    CloseAfter(popup->level);
    MenuRow* row = popup->RowOf(index);
    if (!row) return;
    RECT wr{};
    GetWindowRect(popup->window, &wr);
    RECT beside{wr.left, wr.top + static_cast<LONG>(row->Rect().y), wr.right, 0};
    PopupWindow* sub = Open(item.options.submenu->Items(), wr.right, beside.top, popup->level + 1, &beside);
    if (!sub) return;
    popup->openSubItem = index;
    popup->RepaintItem(index);
    if (selectFirst) sub->SetHot(sub->Step(0, 1));
}

void Session::Activate(PopupWindow* popup, int index, bool byKeyboard) {
    if (!Live(popup)) return;
    if (index < 1 || index > static_cast<int>(popup->items.size())) return;
    const UiMenu::Item& item = popup->items[static_cast<size_t>(index - 1)];
    if (!Selectable(item)) return;
    if (item.itemKind == kMenuSubmenu) {
        OpenSubmenu(popup, index, byKeyboard);
    } else {
        Choose(item);
    }
}

bool Session::AccessKeyTyped(wchar_t ch) {
    PopupWindow* p = Active();
    if (done || !p || !ch) return false;
    wchar_t key = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    std::vector<int> matches;
    for (size_t i = 0; i < p->items.size(); ++i) {
        const UiMenu::Item& item = p->items[i];
        if (Selectable(item) && AccessKey(item.text) == key) matches.push_back(static_cast<int>(i) + 1);
    }
    if (matches.empty()) return false;
    if (matches.size() == 1) {
        p->SetHot(matches[0]);
        Activate(p, matches[0], true);
        return true;
    }
    // Several items share the key: move to the next of them after the hot one.
    auto next = std::upper_bound(matches.begin(), matches.end(), p->hot);
    p->SetHot(next == matches.end() ? matches.front() : *next);
    return true;
}

bool Session::KeyDown(WPARAM key) {
    PopupWindow* p = Active();
    if (done || !p) return false;
    switch (key) {
    case VK_UP:
    case VK_DOWN: {
        int direction = key == VK_DOWN ? 1 : -1;
        int from = p->hot ? p->hot : (direction == 1 ? 0 : static_cast<int>(p->items.size()) + 1);
        if (int next = p->Step(from, direction)) p->SetHot(next);
        return true;
    }
    case VK_HOME:
        if (int first = p->Step(0, 1)) p->SetHot(first);
        return true;
    case VK_END:
        if (int last = p->Step(static_cast<int>(p->items.size()) + 1, -1)) p->SetHot(last);
        return true;
    case VK_RETURN:
        if (p->hot) Activate(p, p->hot, true);
        return true;
    case VK_RIGHT:
        if (p->hot && p->items[static_cast<size_t>(p->hot - 1)].itemKind == kMenuSubmenu) {
            OpenSubmenu(p, p->hot, true);
        }
        return true;
    case VK_LEFT:
        if (p->level > 0) CloseAfter(p->level - 1);
        return true;
    case VK_ESCAPE:
        if (p->level > 0) CloseAfter(p->level - 1);
        else CloseAll();
        return true;
    default:
        break;
    }
    // Letters and digits are matched here, from the key itself, so that a
    // chosen item leaves no character behind for the owner window; other
    // characters arrive as WM_CHAR.
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        AccessKeyTyped(static_cast<wchar_t>(key));
        return true;
    }
    return false;
}

LRESULT Session::Hook(PopupWindow* popup, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        altAlone = false;
        return KeyDown(wParam) ? 0 : kNotHandled;
    case WM_CHAR:
    case WM_SYSCHAR: {
        wchar_t ch = static_cast<wchar_t>(wParam);
        bool letterOrDigit = (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') ||
                             (ch >= L'0' && ch <= L'9');
        // Letters and digits were taken with their key (plain keys only;
        // Alt+letter comes only as WM_SYSCHAR).
        if (message == WM_CHAR && letterOrDigit) return 0;
        if (ch > L' ') AccessKeyTyped(ch);
        return 0;
    }
    case WM_SYSKEYDOWN:
        if (wParam == VK_F10) {
            CloseAll();
            return 0;
        }
        altAlone = wParam == VK_MENU;
        return 0;
    case WM_SYSKEYUP:
        if (wParam == VK_MENU && altAlone) CloseAll();
        altAlone = false;
        return 0;
    case WM_ACTIVATE:
        // Another window of ours or of another program took the activation.
        if (LOWORD(wParam) == WA_INACTIVE && Live(popup) && !InChain(reinterpret_cast<HWND>(lParam))) {
            CloseAll();
        }
        return kNotHandled;
    case WM_CLOSE:
        CloseAll();
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_MOUSELEAVE:
        popup->host->Leave();
        return kNotHandled;
    case WM_TIMER:
        if (wParam != kWatchTimer) return kNotHandled;
        Watch();
        return 0;
    default:
        return kNotHandled;
    }
}

bool Session::Filter(MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        // The keyboard belongs to the menu while it is open, whichever window
        // the system gave the key to.
        if (PopupWindow* p = Active()) msg.hwnd = p->window;
        return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (InChain(msg.hwnd)) return false;
        // A press anywhere else closes the menu and goes no further.
        CloseAll();
        return true;
    case WM_MOUSEWHEEL:
        return true;
    default:
        return false;
    }
}

}  // namespace

// ---- UiMenu ---------------------------------------------------------------------------

UiMenu::UiMenu() = default;
UiMenu::~UiMenu() = default;

void UiMenu::AddItem(const Text& text, int state, int itemKind, bool sendsCommand, uintptr_t command,
                     const MenuItemOptions& options) {
    Item item;
    item.text = GbkToWide(text);
    item.state = state;
    item.itemKind = itemKind;
    item.sendsCommand = sendsCommand;
    item.command = command;
    item.options = options;
    items_.push_back(std::move(item));
}

bool UiMenu::IsValidIndex(int index) const { return index >= 1 && index <= ItemCount(); }

int UiMenu::RemoveItem(int index) {
    if (!IsValidIndex(index)) return 0;
    items_.erase(items_.begin() + (index - 1));
    return 1;
}

void UiMenu::Clear() { items_.clear(); }

int UiMenu::ItemState(int index, std::optional<int> set) {
    if (!IsValidIndex(index)) return 0;
    Item& item = items_[static_cast<size_t>(index - 1)];
    if (set) item.state = *set;
    return item.state;
}

Text UiMenu::ItemText(int index, std::optional<Text> set) {
    if (!IsValidIndex(index)) return {};
    Item& item = items_[static_cast<size_t>(index - 1)];
    if (set) item.text = GbkToWide(*set);
    return WideToGbk(item.text);
}

SIZE UiMenu::Measure() const { return MeasureItems(items_); }

int UiMenu::ItemTop(int index) const {
    if (!IsValidIndex(index) || items_[static_cast<size_t>(index - 1)].state == kMenuHidden) return -1;
    int top = kMenuPadding;
    for (int i = 1; i < index; ++i) {
        const Item& item = items_[static_cast<size_t>(i - 1)];
        if (item.state == kMenuHidden) continue;
        top += item.itemKind == kMenuSeparator ? kMenuSeparatorHeight : kMenuItemHeight;
    }
    return top;
}

uintptr_t UiMenu::Popup(HWND owner, ElementHandle opener) {
    POINT p{0, 0};
    GetCursorPos(&p);
    return PopupAt(owner, p.x, p.y, opener);
}

uintptr_t UiMenu::PopupAt(HWND owner, int x, int y, ElementHandle opener) {
    if (tSession) return 0;   // one menu loop per thread
    UiStart();
    ownerElement_ = opener;
    Session session;
    session.owner = owner && IsWindow(owner) ? owner : nullptr;
    session.opener = opener;
    tSession = &session;
    PopupWindow* top = session.Open(items_, x, y, 0, nullptr);
    if (!top) {
        tSession = nullptr;
        return 0;
    }
    // The popup is not activated: the owner keeps the activation and the
    // keyboard, and the loop hands the keys to the menu.
    session.activeAtOpen = GetActiveWindow();
    HWND topWindow = top->window;
    SetTimer(topWindow, kWatchTimer, kWatchPeriodMs, nullptr);
    std::optional<WPARAM> quit = RunModalLoop(
        [&] { return !session.done && IsWindow(topWindow) && (!session.owner || IsWindow(session.owner)); },
        [&](MSG& m) { return session.Filter(m); },
        [&] {
            session.Reap();
            session.Watch();
        });
    std::optional<Item> chosen = session.chosen;
    HWND ownerWindow = session.owner && IsWindow(session.owner) ? session.owner : nullptr;
    tSession = nullptr;
    session.DestroyAll();   // the popups go before the command runs
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    if (!chosen) return 0;
    if (!chosen->sendsCommand) {
        if (chosen->options.procedure) chosen->options.procedure();
        return 0;
    }
    if (opener && UiElement::FromHandle(opener)) {
        UiElement::DeliverTo(opener, WM_COMMAND, chosen->command, static_cast<LPARAM>(opener));
    } else if (ownerWindow) {
        SendMessageW(ownerWindow, WM_COMMAND, chosen->command, 0);
    }
    return chosen->command;
}

std::vector<HWND> UiMenu::OpenPopups() {
    std::vector<HWND> out;
    if (tSession && !tSession->done) {
        for (auto& p : tSession->chain) out.push_back(p->window);
    }
    return out;
}

HWND UiMenu::ActivePopup() {
    if (!tSession || tSession->done) return nullptr;
    PopupWindow* p = tSession->Active();
    return p ? p->window : nullptr;
}

int UiMenu::ItemAt(HWND popup, int x, int y) {
    PopupWindow* p = tSession ? tSession->Find(popup) : nullptr;
    if (!p) return 0;
    for (auto& row : p->rows) {
        UiRect r = row->Rect();
        if (x >= r.x && y >= r.y && x < r.Right() && y < r.Bottom()) return row->Index();
    }
    return 0;
}

int UiMenu::HotItem(HWND popup) {
    PopupWindow* p = tSession ? tSession->Find(popup) : nullptr;
    return p ? p->hot : 0;
}

UiMenu& EditContextMenu() {
    static UiMenu menu;
    return menu;
}

void StartMenus() {
    RegisterHostClass(std::wstring(kMenuClass));
    UiMenu& menu = EditContextMenu();
    menu.Clear();
    menu.AddItem(kCutGbk, kMenuNormal, kMenuCommand, true, kEditCommandCut);
    menu.AddItem(kCopyGbk, kMenuNormal, kMenuCommand, true, kEditCommandCopy);
    menu.AddItem(kPasteGbk, kMenuNormal, kMenuCommand, true, kEditCommandPaste);
    menu.AddItem({}, kMenuNormal, kMenuSeparator, true, 0);
    menu.AddItem(kSelectAllGbk, kMenuNormal, kMenuCommand, true, kEditCommandSelectAll);
}

}  // namespace sorvix::ui
