// Kelvane edit box (UiEdit): a windowless single-line or multi-line text box
// with a blinking caret, mouse and keyboard selection, the clipboard
// commands, the shared Cut/Copy/Paste/Select-all context menu, input-method
// (IME) result text, input modes that restrict what may be typed, and a
// password mask. Its text lives in a UiEditBuffer (edit_buffer.h).
//
// Guarantees:
// - Text is GBK; no edit splits a double-byte character. The clipboard is
//   exchanged as UTF-16 through code page 936 (clipboard.h), and IME text is
//   read as UTF-16 and converted the same way, so Chinese survives whatever
//   the system's ANSI code page is.
// - Each IME result character is inserted once (the host keeps the default
//   processing from typing it a second time).
// - In the restricted, password and number modes the host window's input
//   context is taken away while the box has the focus, and always given back
//   when it loses it, is destroyed or changes to the free mode; taking it
//   twice never loses it.
// - A password box never gives its text to the clipboard, takes none from
//   it, and opens no context menu.
// - Space and Enter typed into a box are text (or nothing), never a click on
//   the box.
// - EditText may be called from any thread: it is carried to the host
//   window's thread, like every other setter of the box.
// Covered by tests/ui/edit/.
#pragma once

#include "ui/edit_buffer.h"
#include "ui/element.h"
#include "ui/scrollbar.h"

#include <imm.h>

namespace sorvix::ui {

// Which scroll bars a multi-line box has.
enum : int {
    kEditScrollNone = 0,
    kEditScrollHorizontal = 1,
    kEditScrollVertical = 2,
    kEditScrollBoth = 3,
};

// The commands of the shared context menu; the same codes as the keys
// (with Ctrl) that do the same.
enum : int {
    kEditCommandCut = 'X',
    kEditCommandCopy = 'C',
    kEditCommandPaste = 'V',
    kEditCommandSelectAll = 'A',
};

struct EditOptions {
    bool visible = true;
    int inputMode = kEditFreeText;
    bool multiLine = false;
    int scrollBars = kEditScrollBoth;      // ignored for a single-line box
    Text passwordChar = "*";
    Argb textColour = ArgbAt(0x000000, 230);
    Argb backColour = ArgbAt(0xFFFFFF, 160);
    Argb borderColour = ArgbAt(0x000000, 80);
    bool rounded = false;
    Text fontFamily;                       // empty: the library's default font's family
    float size = 12.0f;
    int style = 0;
};

class UiEdit : public UiElement {
public:
    static constexpr int kKind = 9;
    static constexpr UINT kBlinkMs = 500;
    static constexpr DWORD kTripleClickMs = 500;
    static constexpr float kScrollBarSize = 10.0f;

    ~UiEdit() override;
    ElementHandle Create(UiParent parent, const UiRect& rect, const Text& text,
                         const EditOptions& options = {});

    // With set: replaces the text (caret at its end) and returns a copy;
    // without: the text the box holds now. notify travels as WM_SETTEXT's
    // wParam to handlers bound to that message.
    Text EditText(std::optional<Text> set = {}, bool notify = false);

    EditSelection Selection(std::optional<EditSelection> set = {});
    EditPos Caret(std::optional<EditPos> set = {});     // set: the selection collapses there
    Text SelectedText();
    int InputMode(std::optional<int> set = {});
    Text PasswordChar(std::optional<Text> set = {});
    Argb TextColour(std::optional<Argb> set = {});
    Argb BackColour(std::optional<Argb> set = {});
    Argb BorderColour(std::optional<Argb> set = {});
    // The box's font: a family (empty: the default font's), size and style.
    void SetFont(const Text& family, float size = 12.0f, int style = 0);
    Text FontFamily();
    float FontSize();

    bool MultiLine() const { return multiLine_; }
    int ScrollBars() const { return scrollBars_; }
    bool Rounded() const { return rounded_; }

    // State, for the library and for tests (host thread).
    const UiEditBuffer& Document() const { return document_; }
    bool CaretVisible() const { return caretVisible_; }
    HIMC SavedImeContext() const { return savedImeContext_; }
    DWORD LastClickTime() const { return lastClickTime_; }
    float ScrollX() const { return scrollX_; }
    float ScrollY() const { return scrollY_; }
    // Where text is laid out, in element coordinates (scroll bars excluded).
    UiRect TextArea();
    // The caret's line in element coordinates (x, top, 1, line height).
    UiRect CaretRect();
    bool VerticalBarShown() const { return vShown_; }
    bool HorizontalBarShown() const { return hShown_; }
    UiScrollBar& VScroll() { return vScroll_; }
    UiScrollBar& HScroll() { return hScroll_; }
    // States of the context menu's items for this box, in menu order (cut,
    // copy, paste, select all): 0 enabled, -1 disabled.
    struct MenuStates {
        int cut, copy, paste, selectAll;
    };
    MenuStates ContextMenuStates() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum class Drag { None, Text };

    void MakeFont(const Text& family, float size, int style);
    void MakeFormat();
    std::vector<float> Measure(const std::vector<std::string>& cells) const;
    void Relayout();
    void UpdateBars();
    void ClampScroll();
    void ScrollToCaret();
    float LineTop();               // y of line 1's top in element coordinates
    float OriginX();               // x of the lines' origin in element coordinates
    EditPos PosAtPoint(int hostX, int hostY);
    void Paint();
    void Changed();                      // text or selection changed: lay out, scroll, repaint
    void RestartBlink();
    void TakeImeContext();
    void GiveImeContext();
    void PlaceSystemCaret();
    void InsertImeResult();
    LRESULT OnKeyDown(WPARAM key);
    bool Command(int command);
    void OnLeftDown(WPARAM wParam, LPARAM lParam);
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    void OnWheel(WPARAM wParam);
    void OpenContextMenu();
    void ResetState();
    bool Focused() const;

    UiEditBuffer document_;
    Gdiplus::Font* font_ = nullptr;
    std::unique_ptr<Gdiplus::StringFormat> format_;
    Argb textColour_ = ArgbAt(0x000000, 230);
    Argb backColour_ = ArgbAt(0xFFFFFF, 160);
    Argb borderColour_ = ArgbAt(0x000000, 80);
    Argb normalBorderColour_ = ArgbAt(0x000000, 80);
    Argb caretColour_ = ArgbAt(0x000000, 255);
    bool multiLine_ = false;
    int scrollBars_ = kEditScrollNone;
    bool rounded_ = false;
    bool caretVisible_ = false;
    bool hasFocus_ = false;              // between UIM_SETFOCUS and UIM_KILLFOCUS
    bool ownsSystemCaret_ = false;
    HIMC savedImeContext_ = nullptr;
    bool imeContextTaken_ = false;
    DWORD lastClickTime_ = 0;
    float scrollX_ = 0, scrollY_ = 0;
    float lineHeight_ = 12.0f;
    // Scroll bars of a multi-line box (children; none for a single line).
    UiScrollBar vScroll_, hScroll_;
    bool vShown_ = false, hShown_ = false;
    Drag drag_ = Drag::None;
};

}  // namespace sorvix::ui
