// The main window (see main_window_win.h).
#include "app/win/main_window_win.h"

#include <algorithm>

#include "app/core/result_table.h"
#include "app/core/search.h"

namespace sorvix::app {
namespace {

constexpr std::string_view kKeywordLabelText = "\xB9\xD8\xBC\xFC\xB4\xCA\xA3\xBA";   // 关键词：
constexpr std::string_view kKeywordHint =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xD2\xAA\xCB\xD1\xCB\xF7\xB5\xC4\xC4\xDA\xC8\xDD";   // 请输入要搜索的内容
constexpr std::string_view kSearchText = "Sorvix\xD7\xCA\xD4\xB4";             // Sorvix资源
constexpr std::string_view kBlogText = "\xB7\xC3\xCE\xCA\xB2\xA9\xBF\xCD";     // 访问博客
constexpr std::string_view kPreviousText = "\xC9\xCF\xD2\xBB\xD2\xB3";         // 上一页
constexpr std::string_view kNextText = "\xCF\xC2\xD2\xBB\xD2\xB3";             // 下一页

// Left, top, width of the twenty options (height 24), in source order.
constexpr std::array<std::array<int, 3>, kSourceCount> kOptionPlaces = {{
    {45, 80, 70}, {110, 80, 70}, {175, 80, 80}, {250, 80, 80}, {325, 80, 80},
    {400, 80, 80}, {465, 80, 80}, {540, 80, 80}, {615, 80, 80}, {685, 80, 80},
    {45, 105, 95}, {130, 105, 80}, {200, 105, 80}, {275, 105, 120}, {370, 105, 100},
    {450, 105, 80}, {520, 105, 80}, {595, 105, 80}, {665, 105, 110}, {750, 105, 80},
}};

ui::UiRect Union(const ui::UiRect& a, const ui::UiRect& b) {
    if (a.w <= 0 || a.h <= 0) return b;
    float x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    float x1 = std::max(a.Right(), b.Right()), y1 = std::max(a.Bottom(), b.Bottom());
    return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

MainWindow::MainWindow() = default;
MainWindow::~MainWindow() {
    if (host_ && host_->Window()) {
        host_->SetMessageHook(nullptr);
        host_->SetClickHandler(nullptr);
        host_->SetRightPressHandler(nullptr);
    }
}

void MainWindow::Build(HWND window, ui::UiHost& host, Colour colour) {
    window_ = window;
    host_ = &host;
    auto text = [&](ui::UiTextElement& e, const ui::UiRect& r, std::string_view caption) {
        ui::TextOptions o;
        o.colour = colour;
        o.alpha = 255;
        order_.push_back(e.Create(window, r, Text(caption), o));
    };
    auto label = [&](ui::UiLabel& e, const ui::UiRect& r, std::string_view caption) {
        ui::LabelOptions o;
        o.colour = colour;
        o.alpha = 255;
        order_.push_back(e.Create(window, r, Text(caption), o));
    };
    // Creation order is drawing order: later elements lie above earlier ones.
    order_.push_back(keyword_.Create(window, {110, 51, 482, 28}, Text(kKeywordHint), colour));
    text(search_, {600, 51, 88, 30}, kSearchText);
    text(blog_, {730, 51, 88, 30}, kBlogText);
    for (int k = 1; k <= kSourceCount; ++k) {
        const auto& p = kOptionPlaces[static_cast<size_t>(k - 1)];
        text(options_[static_cast<size_t>(k - 1)],
             {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), 24}, SourceLabel(k));
    }
    label(operation_, {51, 500, 120, 24}, kStartOperationText);
    label(data_, {300, 500, 120, 24}, kStartDataText);
    label(keywordLabel_, {50, 51, 60, 24}, kKeywordLabelText);
    text(previous_, {550, 500, 80, 24}, kPreviousText);
    text(next_, {700, 500, 80, 24}, kNextText);
    order_.push_back(page_.Create(window, {650, 500, 30, 24}, Text(kStartPageText), colour));
    order_.push_back(table_.Create(window, {51, 130, 768, 344}, colour));
    for (const ResultColumn& column : kResultColumns) table_.InsertColumn(Text(column.heading), column.width);
}

void MainWindow::Bind(SearchFlow& flow, WindowAppView& view, RowActions& rows) {
    flow_ = &flow;
    view_ = &view;
    rows_ = &rows;
    host_->SetClickHandler([this](HWND, ElementHandle element, WPARAM, LPARAM, int code) { OnClick(element, code); });
    host_->SetRightPressHandler([this](HWND, ElementHandle element, WPARAM, LPARAM, int) { OnRightPress(element); });
    host_->SetMessageHook([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
        return OnMessage(message, wParam, lParam);
    });
}

ElementHandle MainWindow::OptionHandle(int option) const {
    if (option < 1 || option > kSourceCount) return 0;
    return options_[static_cast<size_t>(option - 1)].Handle();
}

ElementHandle MainWindow::AppearanceButton() const {
    return host_ ? host_->CaptionButton(ui::CaptionButtonKind::Appearance) : 0;
}

Click MainWindow::ClickFor(ElementHandle element, int elementCode) const {
    if (!element) return {};
    if (element == search_.Handle()) return {ClickTarget::SearchButton};
    if (elementCode == 1 && host_ && host_->CaptionButtonKindOf(element) == ui::CaptionButtonKind::Appearance)
        return {ClickTarget::AppearanceButton};
    if (element == keyword_.Handle()) return {ClickTarget::KeywordBox};
    if (element == previous_.Handle()) return {ClickTarget::PreviousButton};
    if (element == next_.Handle()) return {ClickTarget::NextButton};
    for (int k = 1; k <= kSourceCount; ++k)
        if (element == OptionHandle(k)) return {ClickTarget::Option, k};
    if (element == blog_.Handle()) return {ClickTarget::BlogButton};
    return {};
}

void MainWindow::OnClick(ElementHandle element, int elementCode) {
    if (flow_) flow_->OnClick(ClickFor(element, elementCode));
}

// The row menu opens once the press has reached the table (which selects
// the row under the mouse on it), so it acts on that row.
constexpr UINT kOpenRowMenu = WM_APP + 20;

void MainWindow::OnRightPress(ElementHandle element) {
    if (element != table_.Handle()) return;
    POINT p{};
    GetCursorPos(&p);
    PostMessageW(window_, kOpenRowMenu, static_cast<WPARAM>(p.x), static_cast<LPARAM>(p.y));
}

void MainWindow::OpenRowMenu(POINT screen) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuW(menu, MF_STRING, kRowMenuOpen, ui::GbkToWide(kOpenLinkItem).c_str());
    AppendMenuW(menu, MF_STRING, kRowMenuCopy, ui::GbkToWide(kCopyLinkItem).c_str());
    UINT chosen = 0;
    if (chooser_) {
        chosen = chooser_(menu, screen);
    } else {
        SetForegroundWindow(window_);
        chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                  screen.x, screen.y, 0, window_, nullptr));
        PostMessageW(window_, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
    if (!rows_) return;
    if (chosen == kRowMenuOpen) rows_->OpenRowLink();
    if (chosen == kRowMenuCopy) rows_->CopyRowLink();
}

bool MainWindow::StopSearch() {
    if (!flow_ || !flow_->CancelRunning()) return false;
    if (view_) view_->SetLabel(StatusLabel::Operation, Text(kStoppedText));
    return true;
}

std::vector<ElementHandle> MainWindow::TabOrder() {
    std::vector<ElementHandle> order{keyword_.Handle(), search_.Handle(), blog_.Handle()};
    if (previous_.Visible()) {
        order.push_back(previous_.Handle());
        order.push_back(page_.Handle());
        order.push_back(next_.Handle());
    }
    return order;
}

bool MainWindow::OnKey(WPARAM key) {
    const ElementHandle focused = host_->Focused();
    switch (key) {
    case VK_RETURN:
        // Enter in the keyword box searches; in the page box it goes to the
        // page typed there (the disk searches read the box).
        if (focused == keyword_.Handle() || focused == page_.Handle()) {
            if (flow_) flow_->OnSearchButton();
            return true;
        }
        return false;
    case VK_ESCAPE:
        StopSearch();
        return true;
    case VK_TAB: {
        std::vector<ElementHandle> order = TabOrder();
        const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        auto it = std::find(order.begin(), order.end(), focused);
        size_t index = 0;
        if (it == order.end()) {
            index = back ? order.size() - 1 : 0;
        } else {
            size_t at = static_cast<size_t>(it - order.begin());
            index = back ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
        }
        host_->SetFocus(order[index]);
        return true;
    }
    default:
        return false;
    }
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && OnKey(wParam)) return 0;
    if (message == kOpenRowMenu) {
        OpenRowMenu({static_cast<LONG>(wParam), static_cast<LONG>(lParam)});
        return 0;
    }
    return ui::kNotHandled;
}

// ---- MainWindowUi --------------------------------------------------------------------

void MainWindow::Touch(ElementHandle element) {
    if (!batchDepth_) return;
    if (ui::UiElement* e = ui::UiElement::FromHandle(element)) {
        dirtyRect_ = Union(dirtyRect_, e->Rect());
        dirty_ = true;
    }
}

void MainWindow::UiBeginBatch() {
    if (batchDepth_++ == 0 && host_) {
        dirty_ = false;
        dirtyRect_ = {};
        host_->Freeze(true);
    }
}

void MainWindow::UiEndBatch() {
    if (--batchDepth_ > 0 || !host_) return;
    batchDepth_ = 0;
    host_->Freeze(false);
    if (dirty_) host_->Recompose(dirtyRect_, true);
    dirty_ = false;
}

void MainWindow::UiSetLabel(StatusLabel label, const Text& text) {
    ui::UiLabel& l = label == StatusLabel::Operation ? operation_ : data_;
    Touch(l.Handle());
    l.Caption(text);
}

Text MainWindow::UiLabel(StatusLabel label) {
    return (label == StatusLabel::Operation ? operation_ : data_).Caption();
}

Text MainWindow::UiBoxText(EditBox box) {
    return (box == EditBox::Keyword ? keyword_ : page_).GetText();
}

void MainWindow::UiSetBoxText(EditBox box, const Text& text) {
    EditBoxControl& b = box == EditBox::Keyword ? keyword_ : page_;
    Touch(b.Handle());
    b.SetText(text);
}

bool MainWindow::UiOptionChecked(int option) {
    if (option < 1 || option > kSourceCount) return false;
    return options_[static_cast<size_t>(option - 1)].Checked();
}

void MainWindow::UiSetOptionChecked(int option, bool checked) {
    if (option < 1 || option > kSourceCount) return;
    ui::UiOption& o = options_[static_cast<size_t>(option - 1)];
    Touch(o.Handle());
    o.Checked(checked);
}

void MainWindow::UiSetControlVisible(PagingControl control, bool visible) {
    switch (control) {
    case PagingControl::PreviousButton: Touch(previous_.Handle()); previous_.Visible(visible); break;
    case PagingControl::NextButton: Touch(next_.Handle()); next_.Visible(visible); break;
    case PagingControl::PageBox: Touch(page_.Handle()); page_.Visible(visible); break;
    }
}

void MainWindow::UiClearRows() {
    Touch(table_.Handle());
    table_.DeleteAllItems();
}

int MainWindow::UiAppendRow() {
    Touch(table_.Handle());
    return table_.InsertItem();
}

int MainWindow::UiRowCount() { return table_.RowCount(); }

void MainWindow::UiSetCell(int row, int column, const Text& text) {
    Touch(table_.Handle());
    table_.SetItemText(row, column, text);
}

Text MainWindow::UiCell(int row, int column) { return table_.GetItemText(row, column); }

int MainWindow::UiSelectedRow() { return table_.Selection(); }

}  // namespace sorvix::app
