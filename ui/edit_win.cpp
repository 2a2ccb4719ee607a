// UiEdit: creation, the message handler (focus, caret blink, typing, IME,
// keys, commands, mouse, wheel, context menu), layout, scrolling and
// painting. See edit.h.
#include "ui/edit.h"

#include "ui/clipboard.h"
#include "ui/host.h"
#include "ui/menu.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace sorvix::ui {

namespace {

constexpr float kTextInset = 2.0f;          // the text area is the box shrunk by this
constexpr float kTextDrop = 1.0f;           // ... and this much lower
constexpr float kRoundRadius = 4.0f;
constexpr float kTabWidth = 32.0f;
constexpr float kTabFirstOffset = 1.0f;
constexpr float kMeasureExtent = 1.0e6f;
constexpr int kMaxRangesPerMeasure = 32;    // GDI+ measures at most 32 ranges at once
constexpr int kWheelLines = 3;
constexpr Colour kSelectionColour = 0xFF9933;  // red 51, green 153, blue 255
constexpr int kSelectionAlpha = 254;
constexpr int kSelectedTextAlpha = 254;
constexpr int kFocusCueStyle = 4;
constexpr uintptr_t kIBeamCursor = 32513;   // IDC_IBEAM

bool KeyHeld(int key) { return GetKeyState(key) < 0; }

}  // namespace

UiEdit::~UiEdit() {
    Destroy();
    delete font_;
}

ElementHandle UiEdit::Create(UiParent parent, const UiRect& rect, const Text& text,
                             const EditOptions& o) {
    if (Handle()) return Handle();
    multiLine_ = o.multiLine;
    scrollBars_ = multiLine_ ? o.scrollBars : kEditScrollNone;
    rounded_ = o.rounded;
    textColour_ = o.textColour;
    backColour_ = o.backColour;
    borderColour_ = normalBorderColour_ = o.borderColour;
    caretColour_ = ArgbAt(0x000000, 255);
    document_.Reset(text, multiLine_, o.inputMode, o.passwordChar);
    MakeFont(o.fontFamily, o.size, o.style);
    MakeFormat();
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = true;
    co.cursor = kIBeamCursor;
    ElementHandle h = UiElement::Create(parent, rect, kKind, co);
    if (!h || !multiLine_) return h;
    // The library's scroll bars, children of the box, shown when the text
    // outgrows it. Their input moves the text; the box moves them back when
    // the caret or the wheel scrolls.
    ScrollBarOptions so;
    so.visible = false;
    so.maximum = 0;
    for (bool vertical : {true, false}) {
        UiScrollBar& bar = vertical ? vScroll_ : hScroll_;
        so.horizontal = !vertical;
        bar.Create(h, {rect.x, rect.y, kScrollBarSize, kScrollBarSize}, so);
        bar.SetScrollHandler([this, vertical](int position) {
            (vertical ? scrollY_ : scrollX_) = static_cast<float>(position);
            ClampScroll();
            Paint();
        });
    }
    UpdateBars();
    return h;
}

void UiEdit::MakeFont(const Text& family, float size, int style) {
    delete font_;
    font_ = nullptr;
    Gdiplus::Font* def = Lib().defaultFont;
    if (!family.empty()) {
        font_ = CreateFontByName(family, size, style);
    } else if (def) {
        font_ = CreateFontByName(FontFamilyName(def), size, style);
    }
    if (!font_ && def) font_ = def->Clone();
}

void UiEdit::MakeFormat() {
    INT flags = Gdiplus::StringFormatFlagsNoFontFallback | Gdiplus::StringFormatFlagsMeasureTrailingSpaces |
                Gdiplus::StringFormatFlagsNoClip | Gdiplus::StringFormatFlagsNoWrap;
    if (scrollBars_ == kEditScrollVertical) flags |= Gdiplus::StringFormatFlagsLineLimit;
    format_ = std::make_unique<Gdiplus::StringFormat>(flags);
    Gdiplus::REAL tabs[1] = {kTabWidth};
    format_->SetTabStops(kTabFirstOffset, 1, tabs);
    format_->SetHotkeyPrefix(Gdiplus::HotkeyPrefixNone);
    format_->SetTrimming(Gdiplus::StringTrimmingNone);
}

void UiEdit::ResetState() {
    drag_ = Drag::None;
    scrollX_ = scrollY_ = 0;
    caretVisible_ = false;
    lastClickTime_ = 0;
    vShown_ = hShown_ = false;
}

bool UiEdit::Focused() const { return hasFocus_; }

// ---- Operations ---------------------------------------------------------------------

Text UiEdit::EditText(std::optional<Text> set, bool notify) {
    if (!Handle()) {
        if (set) document_.SetContent(*set);
        return document_.Content();
    }
    if (set) {
        Text copy = *set;
        SendEvent(WM_SETTEXT, notify ? 1 : 0, reinterpret_cast<LPARAM>(copy.c_str()));
        return copy;
    }
    Text out;
    if (SendEvent(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(&out)) == kNotHandled) return {};
    return out;
}

EditSelection UiEdit::Selection(std::optional<EditSelection> set) {
    EditSelection out;
    RunOnHostThread([&] {
        if (set) {
            document_.SetSelection(set->anchor, set->caret);
            if (Handle()) Changed();
        }
        out = {document_.Anchor(), document_.Caret()};
    });
    return out;
}

EditPos UiEdit::Caret(std::optional<EditPos> set) {
    if (set) Selection(EditSelection{*set, *set});
    EditPos out;
    RunOnHostThread([&] { out = document_.Caret(); });
    return out;
}

Text UiEdit::SelectedText() {
    Text out;
    RunOnHostThread([&] { out = document_.SelectedText(); });
    return out;
}

int UiEdit::InputMode(std::optional<int> set) {
    int out = 0;
    RunOnHostThread([&] {
        if (set && *set != document_.InputMode()) {
            bool focused = Focused();
            if (focused) GiveImeContext();
            document_.SetInputMode(*set);
            document_.DropLayout();   // the password mask comes or goes
            if (focused) TakeImeContext();
            if (Handle()) Changed();
        }
        out = document_.InputMode();
    });
    return out;
}

Text UiEdit::PasswordChar(std::optional<Text> set) {
    Text out;
    RunOnHostThread([&] {
        if (set) {
            document_.SetPasswordChar(*set);
            if (Handle()) Changed();
        }
        out = document_.PasswordChar();
    });
    return out;
}

Argb UiEdit::TextColour(std::optional<Argb> set) {
    if (set) RunOnHostThread([&] {
        textColour_ = *set;
        if (Handle()) Paint();
    });
    return textColour_;
}

Argb UiEdit::BackColour(std::optional<Argb> set) {
    if (set) RunOnHostThread([&] {
        backColour_ = *set;
        if (Handle()) Paint();
    });
    return backColour_;
}

Argb UiEdit::BorderColour(std::optional<Argb> set) {
    if (set) RunOnHostThread([&] {
        borderColour_ = normalBorderColour_ = *set;
        if (Handle()) Paint();
    });
    return borderColour_;
}

void UiEdit::SetFont(const Text& family, float size, int style) {
    RunOnHostThread([&] {
        MakeFont(family, size, style);
        document_.DropLayout();
        if (Handle()) Changed();
    });
}

Text UiEdit::FontFamily() {
    Text out;
    RunOnHostThread([&] { out = font_ ? FontFamilyName(font_) : Text(); });
    return out;
}

float UiEdit::FontSize() {
    float out = 0;
    RunOnHostThread([&] { out = font_ ? font_->GetSize() : 0.0f; });
    return out;
}

UiEdit::MenuStates UiEdit::ContextMenuStates() const {
    constexpr int kEnabled = 0, kDisabled = -1;
    bool selection = document_.HasSelection();
    bool restricted = document_.InputMode() == kEditRestricted;
    MenuStates s;
    s.cut = selection && !restricted ? kEnabled : kDisabled;
    s.copy = selection ? kEnabled : kDisabled;
    s.paste = !restricted && ClipboardHasText() ? kEnabled : kDisabled;
    s.selectAll = document_.Content().empty() ? kDisabled : kEnabled;
    return s;
}

// ---- Layout -------------------------------------------------------------------------

std::vector<float> UiEdit::Measure(const std::vector<std::string>& cells) const {
    Gdiplus::Graphics* g = Graphics();
    std::vector<float> edges(cells.size() + 1, 0.0f);
    if (!g || !font_ || !format_) return edges;
    // The whole line is measured at once, one range per cell, so kerning and
    // the format's leading space are what drawing the line gives. An empty
    // line is measured as one letter: its caret stands where that begins.
    std::wstring line;
    std::vector<std::pair<INT, INT>> ranges;
    for (const std::string& cell : cells) {
        std::wstring w = GbkToWide(cell);
        if (w.empty()) w = L"?";
        ranges.emplace_back(static_cast<INT>(line.size()), static_cast<INT>(w.size()));
        line += w;
    }
    if (line.empty()) {
        line = L"x";
        ranges.emplace_back(0, 1);
    }
    Gdiplus::StringFormat format(format_.get());
    Gdiplus::RectF layout(0, 0, kMeasureExtent, kMeasureExtent);
    for (size_t first = 0; first < ranges.size(); first += kMaxRangesPerMeasure) {
        size_t n = std::min(ranges.size() - first, static_cast<size_t>(kMaxRangesPerMeasure));
        Gdiplus::CharacterRange cr[kMaxRangesPerMeasure];
        for (size_t i = 0; i < n; ++i) cr[i] = {ranges[first + i].first, ranges[first + i].second};
        format.SetMeasurableCharacterRanges(static_cast<INT>(n), cr);
        Gdiplus::Region regions[kMaxRangesPerMeasure];
        if (g->MeasureCharacterRanges(line.c_str(), static_cast<INT>(line.size()), font_, layout, &format,
                                      static_cast<INT>(n), regions) != Gdiplus::Ok) {
            continue;
        }
        for (size_t i = 0; i < n; ++i) {
            Gdiplus::RectF box;
            regions[i].GetBounds(&box, g);
            size_t cell = first + i;
            if (cells.empty()) {
                edges[0] = box.X;
            } else {
                edges[cell] = box.X;
                if (cell + 1 == cells.size()) edges[cell + 1] = box.X + box.Width;
            }
        }
    }
    return edges;
}

UiRect UiEdit::TextArea() {
    UiRect r = Rect();   // only the size is used
    float w = r.w - 2 * kTextInset - (vShown_ ? kScrollBarSize : 0);
    float h = r.h - 2 * kTextInset - (multiLine_ ? kTextDrop : 0) - (hShown_ ? kScrollBarSize : 0);
    return {kTextInset, kTextInset + kTextDrop, std::max(0.0f, w), std::max(0.0f, h)};
}

float UiEdit::LineTop() {
    UiRect area = TextArea();
    // A single line sits in the middle of the box; lines of a multi-line
    // box start at the top.
    float top = area.y;
    if (!multiLine_) top += std::max(0.0f, (area.h - lineHeight_) / 2);
    return std::floor(top) - scrollY_;
}

float UiEdit::OriginX() { return TextArea().x - scrollX_; }

void UiEdit::Relayout() {
    if (!Graphics() || !font_) return;
    lineHeight_ = font_->GetHeight(Graphics());
    if (lineHeight_ <= 0) lineHeight_ = font_->GetSize();
    document_.Layout([this](const std::vector<std::string>& cells) { return Measure(cells); },
                     lineHeight_);
    UpdateBars();
}

void UiEdit::UpdateBars() {
    vShown_ = hShown_ = false;
    if (!multiLine_) return;
    // Showing one bar narrows the room for the other: settle in two passes.
    for (int pass = 0; pass < 2; ++pass) {
        UiRect area = TextArea();
        vShown_ = (scrollBars_ & kEditScrollVertical) && document_.Height() > area.h + 0.5f;
        area = TextArea();
        hShown_ = (scrollBars_ & kEditScrollHorizontal) && document_.Width() > area.w + 0.5f;
    }
    if (!vScroll_.Handle() || !hScroll_.Handle()) return;   // still being created
    UiRect r = Rect();
    UiRect area = TextArea();
    // Inside the frame, along the right and bottom edges.
    vScroll_.Move(r.x + r.w - 1 - kScrollBarSize, r.y + 1, kScrollBarSize,
                  std::max(1.0f, r.h - 2 - (hShown_ ? kScrollBarSize : 0)));
    hScroll_.Move(r.x + 1, r.y + r.h - 1 - kScrollBarSize, std::max(1.0f, r.w - 2 - (vShown_ ? kScrollBarSize : 0)),
                  kScrollBarSize);
    auto range = [](float content, float page) {
        return static_cast<int>(std::ceil(std::max(0.0f, content - page)));
    };
    int line = static_cast<int>(std::max(1.0f, lineHeight_));
    vScroll_.SetValues(range(document_.Height(), area.h), static_cast<int>(std::max(1.0f, area.h)), line,
                       static_cast<int>(std::lround(scrollY_)));
    hScroll_.SetValues(range(document_.Width() + 1, area.w), static_cast<int>(std::max(1.0f, area.w)), line,
                       static_cast<int>(std::lround(scrollX_)));
    if (vScroll_.Visible() != vShown_) vScroll_.Visible(vShown_);
    if (hScroll_.Visible() != hShown_) hScroll_.Visible(hShown_);
}

void UiEdit::ClampScroll() {
    UiRect area = TextArea();
    float maxX = std::max(0.0f, document_.Width() + 1 - area.w);
    float maxY = multiLine_ ? std::max(0.0f, document_.Height() - area.h) : 0.0f;
    scrollX_ = std::clamp(scrollX_, 0.0f, maxX);
    scrollY_ = std::clamp(scrollY_, 0.0f, maxY);
    // The bars show where the text is (setting them calls no handler).
    if (vScroll_.Handle()) vScroll_.Position(static_cast<int>(std::lround(scrollY_)));
    if (hScroll_.Handle()) hScroll_.Position(static_cast<int>(std::lround(scrollX_)));
}

void UiEdit::ScrollToCaret() {
    UiRect area = TextArea();
    EditPos caret = document_.Caret();
    float x = document_.X(caret);
    if (x < scrollX_) scrollX_ = std::max(0.0f, x - area.w / 4);
    else if (x > scrollX_ + area.w - 1) scrollX_ = x - area.w + 1 + area.w / 4;
    if (multiLine_) {
        float top = document_.Y(caret.line);
        if (top < scrollY_) scrollY_ = top;
        else if (top + lineHeight_ > scrollY_ + area.h) scrollY_ = top + lineHeight_ - area.h;
    }
    ClampScroll();
}

EditPos UiEdit::PosAtPoint(int hostX, int hostY) {
    UiRect r = Rect();
    float x = static_cast<float>(hostX) - r.x - OriginX();
    float y = static_cast<float>(hostY) - r.y - LineTop();
    return document_.PosAt(x, y);
}

UiRect UiEdit::CaretRect() {
    EditPos caret = document_.Caret();
    float x = std::floor(OriginX() + document_.X(caret));
    float y = LineTop() + document_.Y(caret.line);
    return {x, y, 1, lineHeight_};
}

void UiEdit::Changed() {
    // The text, the font or the mask changed when the layout was dropped;
    // caret and selection moves need no measuring.
    if (!document_.HasLayout()) Relayout();
    ScrollToCaret();
    Paint();
}

// ---- Painting -----------------------------------------------------------------------

void UiEdit::Paint() {
    PaintContext ctx;
    if (!BeginPaint(ctx)) return;
    Gdiplus::Graphics& g = *ctx.graphics;
    const float w = ctx.rect.w, h = ctx.rect.h;
    Gdiplus::RectF frame(0, 0, w - 1, h - 1);
    if (rounded_) {
        Gdiplus::GraphicsPath path;
        RoundRectPath(path, frame, kRoundRadius);
        g.SetClip(&path);
        Gdiplus::SolidBrush back{Gdiplus::Color(backColour_)};
        g.FillRectangle(&back, 0.0f, 0.0f, w, h);
        g.ResetClip();
        DrawRoundRect(g, frame, kRoundRadius, borderColour_);
    } else {
        Gdiplus::SolidBrush back{Gdiplus::Color(backColour_)};
        g.FillRectangle(&back, 0.0f, 0.0f, w, h);
        Gdiplus::Pen border{Gdiplus::Color(borderColour_)};
        g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
        g.DrawRectangle(&border, frame);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    }
    if (!document_.HasLayout()) Relayout();

    UiRect area = TextArea();
    g.SetClip(area.ToGdi());
    const float ox = OriginX(), top = LineTop();
    EditPos s = document_.Anchor(), e = document_.Caret();
    if (e < s) std::swap(s, e);
    Gdiplus::SolidBrush textBrush{Gdiplus::Color(textColour_)};
    Gdiplus::SolidBrush selectionBrush{Gdiplus::Color(ArgbAt(kSelectionColour, kSelectionAlpha))};
    Gdiplus::SolidBrush selectedText{Gdiplus::Color(ArgbAt(0xFFFFFF, kSelectedTextAlpha))};
    for (int line = 1; line <= document_.LineCount(); ++line) {
        float y = top + document_.Y(line);
        if (y + lineHeight_ <= area.y) continue;
        if (y >= area.Bottom()) break;
        std::wstring shown = GbkToWide(document_.DisplayLine(line));
        Gdiplus::PointF origin(ox, y);
        if (!shown.empty()) {
            g.DrawString(shown.c_str(), static_cast<INT>(shown.size()), font_, origin, format_.get(),
                         &textBrush);
        }
        if (line < s.line || line > e.line) continue;
        int from = line == s.line ? s.column : 0;
        int to = line == e.line ? e.column : document_.LineLength(line);
        if (to <= from) continue;
        float x0 = std::floor(ox + document_.X({line, from}));
        float x1 = std::ceil(ox + document_.X({line, to}));
        Gdiplus::RectF band(x0, y, x1 - x0, lineHeight_);
        g.FillRectangle(&selectionBrush, band);
        // The selected characters again, in white, only inside the band.
        Gdiplus::RectF clip = band;
        Gdiplus::RectF::Intersect(clip, clip, area.ToGdi());
        g.SetClip(clip);
        g.DrawString(shown.c_str(), static_cast<INT>(shown.size()), font_, origin, format_.get(),
                     &selectedText);
        g.SetClip(area.ToGdi());
    }
    bool focused = Focused();
    if (focused && caretVisible_) {
        UiRect c = CaretRect();
        Gdiplus::Pen pen{Gdiplus::Color(caretColour_)};
        g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
        g.DrawLine(&pen, c.x, c.y, c.x, c.y + c.h - 1);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    }
    g.ResetClip();
    if (focused) DrawBorder(g, area.ToGdi(), kFocusCueStyle);
    EndPaint(ctx);
    if (focused) PlaceSystemCaret();
}

// ---- Focus, caret and IME -------------------------------------------------------------

void UiEdit::RestartBlink() {
    HWND w = HostWindow();
    if (!w) return;
    KillTimer(w, Handle());
    SetTimer(w, Handle(), kBlinkMs, nullptr);
    caretVisible_ = true;
}

void UiEdit::PlaceSystemCaret() {
    // The platform caret is never shown; it is where the input method puts
    // its composition window.
    if (!ownsSystemCaret_) {
        ownsSystemCaret_ = CreateCaret(HostWindow(), nullptr, 1, static_cast<int>(lineHeight_)) != FALSE;
    }
    UiRect r = Rect();
    UiRect c = CaretRect();
    SetCaretPos(static_cast<int>(r.x + c.x), static_cast<int>(r.y + c.y));
}

void UiEdit::TakeImeContext() {
    if (document_.InputMode() == kEditFreeText || imeContextTaken_) return;
    // The context that goes away is kept to be given back; taking it a second
    // time (a repeated focus message) must not overwrite it with "none".
    savedImeContext_ = ImmAssociateContext(HostWindow(), nullptr);
    imeContextTaken_ = true;
}

void UiEdit::GiveImeContext() {
    if (!imeContextTaken_) return;
    ImmAssociateContext(HostWindow(), savedImeContext_);
    savedImeContext_ = nullptr;
    imeContextTaken_ = false;
}

void UiEdit::InsertImeResult() {
    HWND w = HostWindow();
    HIMC imc = ImmGetContext(w);
    if (!imc) return;
    // Read as UTF-16 and converted through code page 936: the ANSI form would
    // use the system's code page and lose Chinese on other systems.
    LONG bytes = ImmGetCompositionStringW(imc, GCS_RESULTSTR, nullptr, 0);
    std::wstring result;
    if (bytes > 0) {
        result.resize(static_cast<size_t>(bytes) / sizeof(wchar_t));
        LONG got = ImmGetCompositionStringW(imc, GCS_RESULTSTR, result.data(), bytes);
        result.resize(got > 0 ? static_cast<size_t>(got) / sizeof(wchar_t) : 0);
    }
    ImmReleaseContext(w, imc);
    if (result.empty()) return;
    if (document_.Insert(WideToGbk(result))) {
        RestartBlink();
        Changed();
    }
}

// ---- Keys and commands ---------------------------------------------------------------

bool UiEdit::Command(int command) {
    // Nothing can be copied out of, cut from or pasted into a password box.
    if (document_.Password()) return true;
    HWND w = HostWindow();
    switch (command) {
    case kEditCommandSelectAll: document_.SelectAll(); break;
    case kEditCommandCopy:
        if (document_.HasSelection()) SetClipboardText(w, document_.SelectedText());
        return true;
    case kEditCommandCut:
        if (document_.InputMode() == kEditRestricted || !document_.HasSelection()) return true;
        if (!SetClipboardText(w, document_.SelectedText())) return true;   // never lose the text
        document_.DeleteSelection();
        break;
    case kEditCommandPaste: {
        Text pasted = ClipboardText(w);
        if (pasted.empty() || !document_.Insert(pasted)) return true;
        break;
    }
    default: return false;
    }
    RestartBlink();
    Changed();
    return true;
}

LRESULT UiEdit::OnKeyDown(WPARAM key) {
    const bool ctrl = KeyHeld(VK_CONTROL);
    // A password box never grows a selection from the keys.
    const bool extend = KeyHeld(VK_SHIFT) && !document_.Password();
    if (ctrl && (key == kEditCommandCut || key == kEditCommandCopy || key == kEditCommandPaste ||
                 key == kEditCommandSelectAll)) {
        Command(static_cast<int>(key));
        return 0;
    }
    switch (key) {
    case VK_RETURN:
        if (multiLine_) document_.Insert("\r\n");
        else return 0;   // typed into the box: never a click on it
        break;
    case VK_SPACE: return 0;   // the character comes as WM_CHAR
    case VK_BACK:
        if (!document_.Backspace()) return 0;
        break;
    case VK_DELETE:
        if (!document_.DeleteForward()) return 0;
        break;
    case VK_HOME: document_.MoveHome(extend); break;
    case VK_END: document_.MoveEnd(extend); break;
    case VK_LEFT: document_.MoveLeft(extend); break;
    case VK_RIGHT: document_.MoveRight(extend); break;
    case VK_UP: document_.MoveUp(extend); break;
    case VK_DOWN: document_.MoveDown(extend); break;
    default: return kNotHandled;
    }
    RestartBlink();
    Changed();
    return 0;
}

// ---- Mouse ------------------------------------------------------------------------------

void UiEdit::OnLeftDown(WPARAM wParam, LPARAM lParam) {
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    EditPos at = PosAtPoint(x, y);
    const bool password = document_.Password();
    const DWORD now = GetTickCount();
    if (wParam == kDoubleClickMarker && !password) {
        document_.SelectWordAt(at);
        lastClickTime_ = now;
        drag_ = Drag::None;
    } else if (!password && lastClickTime_ && now - lastClickTime_ <= kTripleClickMs) {
        document_.SelectLine(at.line);
        lastClickTime_ = 0;
        drag_ = Drag::None;
    } else {
        lastClickTime_ = 0;
        document_.MoveTo(at, (wParam & MK_SHIFT) != 0);
        drag_ = Drag::Text;
    }
    RestartBlink();
    ScrollToCaret();
    Paint();
}

void UiEdit::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (drag_ == Drag::None || !(wParam & MK_LBUTTON)) return;
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    document_.MoveTo(PosAtPoint(x, y), true);
    ScrollToCaret();
    Paint();
}

void UiEdit::OnWheel(WPARAM wParam) {
    if (!multiLine_) return;
    int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    scrollY_ -= static_cast<float>(notches * kWheelLines) * lineHeight_;
    ClampScroll();
    Paint();
}

void UiEdit::OpenContextMenu() {
    UiMenu& menu = EditContextMenu();
    if (!menu.IsValidIndex(kEditMenuSelectAllItem)) return;
    // The box that was right-clicked is the one the menu acts on, with its
    // caret and selection shown.
    if (!hasFocus_ && Host()) Host()->SetFocus(Handle());
    MenuStates s = ContextMenuStates();
    menu.ItemState(kEditMenuCutItem, s.cut);
    menu.ItemState(kEditMenuCopyItem, s.copy);
    menu.ItemState(kEditMenuPasteItem, s.paste);
    menu.ItemState(kEditMenuSelectAllItem, s.selectAll);
    // The chosen command comes back to this box as WM_COMMAND.
    menu.Popup(HostWindow(), Handle());
}

// ---- Messages ---------------------------------------------------------------------------

LRESULT UiEdit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        ResetState();
        Relayout();
        return kNotHandled;
    case WM_PAINT: Paint(); return kNotHandled;
    case UIM_SIZE:
        UpdateBars();
        ClampScroll();
        return kNotHandled;
    case WM_DESTROY:
        GiveImeContext();
        if (HostWindow()) KillTimer(HostWindow(), Handle());
        if (ownsSystemCaret_) DestroyCaret();
        ownsSystemCaret_ = false;
        hasFocus_ = false;
        document_.Reset({}, multiLine_, document_.InputMode(), document_.PasswordChar());
        format_.reset();
        delete font_;
        font_ = nullptr;
        ResetState();
        return kNotHandled;
    case UIM_SETFOCUS:
        hasFocus_ = true;
        RestartBlink();
        TakeImeContext();
        Paint();
        return kNotHandled;
    case UIM_KILLFOCUS:
        hasFocus_ = false;
        GiveImeContext();
        if (HostWindow()) KillTimer(HostWindow(), Handle());
        caretVisible_ = false;
        drag_ = Drag::None;
        if (ownsSystemCaret_) DestroyCaret();
        ownsSystemCaret_ = false;
        document_.Collapse();
        Paint();
        return kNotHandled;
    case WM_TIMER:
        caretVisible_ = !caretVisible_;
        Paint();
        return 0;
    case WM_CHAR:
        if (document_.Accepts(static_cast<unsigned>(wParam))) {
            char c = static_cast<char>(wParam);
            document_.Insert(std::string_view(&c, 1));
            RestartBlink();
            Changed();
        }
        return 0;
    case WM_IME_COMPOSITION:
        if (!(lParam & GCS_RESULTSTR)) return kNotHandled;
        InsertImeResult();
        return 0;
    case WM_KEYDOWN: return OnKeyDown(wParam);
    case WM_COMMAND:
        return HIWORD(wParam) == 0 && Command(LOWORD(wParam)) ? 0 : kNotHandled;
    case WM_LBUTTONDOWN: OnLeftDown(wParam, lParam); return kNotHandled;
    case WM_MOUSEMOVE: OnMouseMove(wParam, lParam); return kNotHandled;
    case WM_LBUTTONUP: drag_ = Drag::None; return kNotHandled;
    case WM_MOUSEWHEEL: OnWheel(wParam); return 0;
    case WM_RBUTTONUP:
        if (!document_.Password()) OpenContextMenu();
        return kNotHandled;
    case WM_SETTEXT:
        document_.SetContent(lParam ? reinterpret_cast<const char*>(lParam) : "");
        scrollX_ = scrollY_ = 0;
        Changed();
        return TRUE;
    case WM_GETTEXT:
        if (auto* out = reinterpret_cast<Text*>(lParam)) *out = document_.Content();
        return static_cast<LRESULT>(document_.Content().size());
    default: return kNotHandled;
    }
}

}  // namespace sorvix::ui
