// Main-window controls over the Kelvane elements (see controls_win.h).
#include "app/win/controls_win.h"

#include <algorithm>

#include "ui/edit.h"
#include "ui/listview.h"
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

struct ResultTableControl::Impl {
    ui::UiListView list;
};

ResultTableControl::ResultTableControl() : impl_(new Impl) {}
ResultTableControl::~ResultTableControl() { delete impl_; }

ElementHandle ResultTableControl::Create(HWND window, const UiRect& rect, Colour textColour) {
    ui::ListViewOptions o;
    o.textColour = ui::ArgbAt(textColour, 255);
    return impl_->list.Create(window, rect, o);
}

void ResultTableControl::InsertColumn(const Text& heading, int width) { impl_->list.InsertColumn(0, heading, width); }
void ResultTableControl::DeleteAllItems() { impl_->list.DeleteAllItems(); }
int ResultTableControl::InsertItem() { return impl_->list.InsertItem(0); }
void ResultTableControl::SetItemText(int row, int column, const Text& text) {
    impl_->list.SetItemText(row, column, text);
}
Text ResultTableControl::GetItemText(int row, int column) { return impl_->list.GetItemText(row, column); }
int ResultTableControl::Selection(std::optional<int> set) { return impl_->list.Selection(set); }
int ResultTableControl::RowCount() { return impl_->list.RowCount(); }
int ResultTableControl::ColumnCount() { return impl_->list.ColumnCount(); }
ElementHandle ResultTableControl::Handle() const { return impl_->list.Handle(); }
ui::UiElement* ResultTableControl::Element() { return &impl_->list; }

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

// ---- Caption title -------------------------------------------------------------------

void ColourTitleLabel(ui::UiHost& host) {
    auto* title = dynamic_cast<ui::UiLabel*>(ui::UiElement::FromHandle(host.TitleElement()));
    if (!title) return;
    title->AutoColour(false);
    title->EffectColour(0xFFFFFF, 255);
}

}  // namespace sorvix::app
