// Kelvane popup menu: a plain object (not an element) that holds a list of
// items and shows them as a popup window, itself a UiHost with one row
// element per visible item, run in a modal loop until the popup closes.
//
// How an opener uses it:
//   1. Set item states before showing: ItemState(index, state, true) with
//      kMenuDisabled (-1), kMenuNormal (0), kMenuChecked (4) or kMenuHidden (5).
//      States stay as set until changed again; a shared menu is reset by
//      whoever opens it.
//   2. Call Popup(ownerWindow, openerElement) (at the cursor) or PopupAt(...).
//      The call returns when the popup has closed.
//   3. Learn the choice. A chosen command item with sendsCommand delivers
//      WM_COMMAND (wParam = its command code, lParam = the opener's handle)
//      to the opener element itself, so a box that was right-clicked gets
//      the command even when another box has the keyboard focus; with no
//      opener, WM_COMMAND goes to the owner window, whose host hands it to
//      its focused element. The call also returns that code (0 when the menu
//      closed without a choice: Esc, a click outside, the owner gone; and 0
//      when the chosen item called a procedure instead). An opener acts on
//      one of the two, not both: the edit box acts on its WM_COMMAND.
//   Delivery happens after the popup is gone, so a command may open a
//   message box or another menu.
//
// Guarantees: hidden items take no room; disabled items take their row, are
// drawn at half alpha and can be neither clicked nor reached by the keyboard;
// clicks on separators, on submenu rows and on the popup's padding do not
// close it. The popup never takes the activation or the focus: the owner
// keeps them, and the loop hands every key to the menu. Esc closes the
// innermost open popup (the whole menu from the top one); a press on any
// other window closes the whole menu and is swallowed; so do Alt, the owner
// window going away, the activation moving elsewhere and WM_QUIT (posted
// again for the outer loop). Keys: Up/Down (wrapping, skipping separators,
// disabled and hidden items), Home/End, Enter, Right/Left into and out of
// submenus, and the "&" access keys, compared without case: a key that
// names one enabled item chooses it (opens it, for a submenu), a key shared
// by several moves the highlight among them. Popups are placed inside the
// work area of their monitor: flipped to the other side of the point when
// they would leave it, then clamped. One menu loop runs per thread at a
// time; Popup called while one runs returns 0 at once.
// UI thread only: call Popup on the owner window's thread.
// Covered by tests/ui/menu/menu_test.cpp (Wine + Xvfb).
#pragma once

#include "ui/element.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvix::ui {

// Item states.
enum : int {
    kMenuDisabled = -1,
    kMenuNormal = 0,
    kMenuChecked = 4,   // a check mark replaces the icon
    kMenuHidden = 5,
};

// Item kinds.
enum : int {
    kMenuCommand = 0,
    kMenuSeparator = 1,
    kMenuSubmenu = 2,
};

// Row geometry of a popup, in popup client pixels.
constexpr int kMenuItemHeight = 22;
constexpr int kMenuSeparatorHeight = 3;
constexpr int kMenuPadding = 8;              // above the first and below the last row
constexpr int kMenuWidthBeyondText = 50;     // icon column and margins around the text
constexpr int kMenuSubmenuArrowWidth = 15;   // added once when any item has a submenu
constexpr int kMenuSubmenuDelayMs = 500;     // hover time before a submenu opens

class UiMenu;

// The optional parts of an item.
struct MenuItemOptions {
    std::string icon;                        // picture bytes, drawn 20 x 20
    Colour textColour = 0;
    int textAlpha = 210;
    int effect = 0;                          // text effect of DrawText
    std::optional<Argb> effectColour;
    Colour hotColour = 0xC68630;             // fill of the hot row
    int hotAlpha = 230;
    std::function<void()> procedure;         // called when sendsCommand is false
    UiMenu* submenu = nullptr;               // kind kMenuSubmenu; not owned
};

class UiMenu {
public:
    UiMenu();
    ~UiMenu();
    UiMenu(const UiMenu&) = delete;
    UiMenu& operator=(const UiMenu&) = delete;

    // Appends an item. Texts are GBK; "&" marks the access key ("&&" is a
    // plain "&"). command is the code that a chosen command item with
    // sendsCommand delivers; 0 means "no choice" to Popup's caller, so give
    // command items non-zero codes.
    void AddItem(const Text& text, int state = kMenuNormal, int itemKind = kMenuCommand,
                 bool sendsCommand = true, uintptr_t command = 0,
                 const MenuItemOptions& options = {});
    // Indices are 1-based, in display order. Bad indices change nothing and
    // answer 0 / empty text.
    int RemoveItem(int index);
    void Clear();
    int ItemState(int index, std::optional<int> set = {});
    Text ItemText(int index, std::optional<Text> set = {});
    bool IsValidIndex(int index) const;
    int ItemCount() const { return static_cast<int>(items_.size()); }

    // Shows the menu at the cursor / at (x, y) in screen pixels and runs the
    // modal loop until it closes. opener: the element that opened the menu
    // (it receives the chosen command). Returns the chosen command code, or 0.
    uintptr_t Popup(HWND owner, ElementHandle opener = 0);
    uintptr_t PopupAt(HWND owner, int x, int y, ElementHandle opener = 0);

    // The size the popup window gets (shadow margin included).
    SIZE Measure() const;
    // The top of an item's row in the popup's client area, or -1 when the
    // index is bad or the item hidden.
    int ItemTop(int index) const;
    // The opener of the last Popup.
    ElementHandle OwnerElement() const { return ownerElement_; }

    // The open popups of this thread's menu loop, top first (empty when no
    // menu is open), and the one that has the keyboard.
    static std::vector<HWND> OpenPopups();
    static HWND ActivePopup();
    // The item index a popup row shows, from a popup and a client point; 0
    // when the point is on no row. For tests and demos.
    static int ItemAt(HWND popup, int x, int y);
    // The highlighted item of a popup (0 when none).
    static int HotItem(HWND popup);

    struct Item {
        std::wstring text;
        int state = kMenuNormal;
        int itemKind = kMenuCommand;
        bool sendsCommand = true;
        uintptr_t command = 0;
        MenuItemOptions options;
    };
    const std::vector<Item>& Items() const { return items_; }

private:
    std::vector<Item> items_;
    ElementHandle ownerElement_ = 0;
};

// The edit boxes' shared context menu, built by UiStart: 1 "剪切(&T)" (88),
// 2 "复制(&C)" (67), 3 "粘贴(&P)" (86), 4 a separator, 5 "全部选择(&A)" (65).
// The command items send the edit box's command codes (kEditCommandCut ...
// of edit.h: the letters of the Ctrl keys), so the opener receives
// WM_COMMAND with wParam 'X', 'C', 'V' or 'A'.
UiMenu& EditContextMenu();
enum : int {
    kEditMenuCutItem = 1,
    kEditMenuCopyItem = 2,
    kEditMenuPasteItem = 3,
    kEditMenuSelectAllItem = 5,
};

// Called by UiStart: registers the popup window class "Kelvane_Menu" and
// builds the shared edit menu.
void StartMenus();

}  // namespace sorvix::ui
