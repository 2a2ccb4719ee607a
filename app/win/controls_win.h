// The main window's edit boxes, result table and the library's message box,
// as the window program uses them. A thin layer over the Kelvane controls
// (UiEdit, UiListView, UiMessageBox): it fixes the look the program gives
// them (text colour, font size, the boxes' white back colour) and maps the
// program's 1-based answers onto the library's.
// Everything here runs on the thread that owns the control's host window,
// except ShowLibraryBox, which makes its box a window of the calling thread.
#pragma once

#include "ui/host.h"
#include "ui/text_elements.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace sorvix::app {

using ui::Colour;
using ui::ElementHandle;
using ui::Text;
using ui::UiRect;

class EditBoxControl {
public:
    EditBoxControl();
    ~EditBoxControl();
    // textColour at alpha 255, back colour white at alpha 50, font size 15
    // of the library's default font family.
    ElementHandle Create(HWND window, const UiRect& rect, const Text& text, Colour textColour);
    Text GetText();
    void SetText(const Text& text);
    bool Visible(std::optional<bool> set = {});
    ElementHandle Handle() const;
    ui::UiElement* Element();

private:
    struct Impl;
    Impl* impl_;
};

class ResultTableControl {
public:
    ResultTableControl();
    ~ResultTableControl();
    ElementHandle Create(HWND window, const UiRect& rect, Colour textColour);
    void InsertColumn(const Text& heading, int width);
    void DeleteAllItems();
    int InsertItem();                                   // appends; the new row's number
    void SetItemText(int row, int column, const Text& text);
    Text GetItemText(int row, int column);              // empty when the cell does not exist
    int Selection(std::optional<int> set = {});         // 0 when none
    int RowCount();
    int ColumnCount();
    ElementHandle Handle() const;
    ui::UiElement* Element();

private:
    struct Impl;
    Impl* impl_;
};

// The caption title of a program window (main and appearance): no automatic
// text colour (so it keeps the host's colour over any picture) and a white
// effect colour at alpha 255. Nothing when the host has no title.
void ColourTitleLabel(ui::UiHost& host);

// The library's modal box owned by `owner`: one button per caption (left to
// right). appear runs once the box is built, before it shows, with the box's
// window; when it answers false the box is closed unseen and the call
// answers 0. Otherwise the answer is the chosen button's position from the
// left (1-based), 0 when the box was closed without a button.
int ShowLibraryBox(HWND owner, const Text& text, const Text& title, int icon,
                   const std::vector<Text>& captions, const std::function<bool(HWND box)>& appear);

}  // namespace sorvix::app
