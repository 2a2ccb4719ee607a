// Main-window controls over the Kelvane elements (see controls_win.h).
#include "app/win/controls_win.h"

#include <algorithm>

#include "ui/edit.h"
#include "ui/msgbox.h"

namespace sorvix::app {

// ---- Edit box ------------------------------------------------------------------------

struct EditBoxControl::Impl {
    ui::UiEdit edit;
};

EditBoxControl::EditBoxControl() : impl_(new Impl) {}
EditBoxControl::~EditBoxControl() { delete impl_; }

ElementHandle EditBoxControl::Create(HWND window, const UiRect& rect, const Text& text, Colour textColour) {
    ui::EditOptions o;
    o.textColour = ui::ArgbAt(textColour, 255);
    o.backColour = ui::ArgbAt(0xFFFFFF, 50);
    o.size = 15;
    return impl_->edit.Create(window, rect, text, o);
}

Text EditBoxControl::GetText() { return impl_->edit.EditText(); }
void EditBoxControl::SetText(const Text& text) { impl_->edit.EditText(text); }
bool EditBoxControl::Visible(std::optional<bool> set) { return impl_->edit.Visible(set); }
ElementHandle EditBoxControl::Handle() const { return impl_->edit.Handle(); }
ui::UiElement* EditBoxControl::Element() { return &impl_->edit; }

// ---- Result table ----------------------------------------------------------------------
// Stand-in until the library's list view is in: rows in memory, a label
// showing how many there are.
struct ResultTableControl::Impl {
    ui::UiLabel label;
    std::vector<std::pair<Text, int>> columns;
    std::vector<std::vector<Text>> rows;
    int selected = 0;
    void Show() { label.Caption(std::to_string(rows.size()) + " rows"); }
};

ResultTableControl::ResultTableControl() : impl_(new Impl) {}
ResultTableControl::~ResultTableControl() { delete impl_; }

ElementHandle ResultTableControl::Create(HWND window, const UiRect& rect, Colour textColour) {
    ui::LabelOptions o;
    o.colour = textColour;
    o.alpha = 255;
    o.borderStyle = 1;
    o.verticalAlign = 0;
    return impl_->label.Create(window, rect, "0 rows", o);
}

void ResultTableControl::InsertColumn(const Text& heading, int width) { impl_->columns.emplace_back(heading, width); }

void ResultTableControl::DeleteAllItems() {
    impl_->rows.clear();
    impl_->selected = 0;
    impl_->Show();
}

int ResultTableControl::InsertItem() {
    impl_->rows.emplace_back(impl_->columns.size());
    impl_->Show();
    return static_cast<int>(impl_->rows.size());
}

void ResultTableControl::SetItemText(int row, int column, const Text& text) {
    if (row < 1 || row > static_cast<int>(impl_->rows.size())) return;
    if (column < 1 || column > static_cast<int>(impl_->columns.size())) return;
    impl_->rows[row - 1][column - 1] = text;
}

Text ResultTableControl::GetItemText(int row, int column) {
    if (row < 1 || row > static_cast<int>(impl_->rows.size())) return {};
    if (column < 1 || column > static_cast<int>(impl_->columns.size())) return {};
    return impl_->rows[row - 1][column - 1];
}

int ResultTableControl::Selection(std::optional<int> set) {
    if (set) impl_->selected = (*set >= 1 && *set <= static_cast<int>(impl_->rows.size())) ? *set : 0;
    return impl_->selected;
}

int ResultTableControl::RowCount() { return static_cast<int>(impl_->rows.size()); }
int ResultTableControl::ColumnCount() { return static_cast<int>(impl_->columns.size()); }
ElementHandle ResultTableControl::Handle() const { return impl_->label.Handle(); }
ui::UiElement* ResultTableControl::Element() { return &impl_->label; }

// ---- Message box -----------------------------------------------------------------------

int ShowLibraryBox(HWND owner, const Text& text, const Text& title, int icon, const std::vector<Text>& captions,
                   const std::function<bool(HWND)>& appear) {
    ui::MessageBoxOptions o;
    o.title = title;
    o.icon = icon;
    o.buttonSet = 0;
    o.captions.assign(captions.rbegin(), captions.rend());   // the library takes them rightmost first
    o.closeEffect = 7;
    bool refused = false;
    if (appear) {
        o.onCreated = [&](HWND box, int, int) {
            if (!appear(box)) {
                refused = true;
                PostMessageW(box, WM_CLOSE, 0, 0);
            }
        };
    }
    const int code = ui::UiMessageBox(owner, text, o);
    if (refused || code == ui::kBoxCancel) return 0;
    return 1;
}

}  // namespace sorvix::app
