// The main window: its elements in their creation order, the click and
// right-press handlers, the keys (Enter, Tab, Esc) and the row menu, and the
// element side of the window-backed view (MainWindowUi).
//
//   Build(window, host, colour)   BuildMainWindow: every element with its
//                                 rectangle, text and the text colour; the
//                                 table's eight columns.
//   Bind()                        the host's click and right-press handlers
//                                 and the key hook.
//
// The search logic itself is app/core's SearchFlow; this class only turns
// element handles into its clicks. Window's thread only.
// Covered by tests/app_win/main_window_test.cpp (Wine + Xvfb).
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "app/core/row_actions.h"
#include "app/core/search_flow.h"
#include "app/win/controls_win.h"
#include "app/win/window_view_win.h"
#include "ui/host.h"
#include "ui/text_elements.h"

namespace sorvix::app {

inline constexpr int kMainWidth = 869;
inline constexpr int kMainHeight = 550;
inline constexpr int kMainLeft = 50;
inline constexpr int kMainTop = 50;
inline constexpr int kMainStyleFlags = 87;   // icon, title, close, minimise, kind 64

// "搜索已停止！": the operation label after Esc stopped a search.
inline constexpr std::string_view kStoppedText = "\xCB\xD1\xCB\xF7\xD2\xD1\xCD\xA3\xD6\xB9\xA3\xA1";

// Commands of the row menu.
enum : UINT { kRowMenuOpen = 1, kRowMenuCopy = 2 };

class MainWindow : public MainWindowUi {
public:
    MainWindow();
    ~MainWindow() override;

    // BuildMainWindow. colour: the elements' text colour (0x00BBGGRR).
    void Build(HWND window, ui::UiHost& host, Colour colour);
    // Wires the flow and the row actions (both must outlive the window).
    void Bind(SearchFlow& flow, WindowAppView& view, RowActions& rows);

    // Element handles, for the click decisions and for tests.
    ElementHandle KeywordBox() const { return keyword_.Handle(); }
    ElementHandle PageBox() const { return page_.Handle(); }
    ElementHandle SearchButton() const { return search_.Handle(); }
    ElementHandle BlogButton() const { return blog_.Handle(); }
    ElementHandle PreviousButton() const { return previous_.Handle(); }
    ElementHandle NextButton() const { return next_.Handle(); }
    ElementHandle OptionHandle(int option) const;
    ElementHandle Table() const { return table_.Handle(); }
    ElementHandle OperationLabel() const { return operation_.Handle(); }
    ElementHandle DataLabel() const { return data_.Handle(); }
    ElementHandle KeywordLabel() const { return keywordLabel_.Handle(); }
    ElementHandle AppearanceButton() const;
    ResultTableControl& TableControl() { return table_; }
    // Every element handle in creation order.
    std::vector<ElementHandle> CreationOrder() const { return order_; }
    HWND Window() const { return window_; }
    ui::UiHost* Host() const { return host_; }

    // What a click on `element` means (element code as the host passes it).
    Click ClickFor(ElementHandle element, int elementCode) const;
    // The row menu: shows it (tests may replace the chooser) and runs the choice.
    using MenuChooser = std::function<UINT(HMENU menu, POINT screen)>;
    void SetMenuChooser(MenuChooser chooser) { chooser_ = std::move(chooser); }
    void OpenRowMenu(POINT screen);
    // Esc: stops the running search; true when one was stopped.
    bool StopSearch();
    // The focus order of Tab: the boxes and buttons that are shown.
    std::vector<ElementHandle> TabOrder();

    // ---- MainWindowUi ----
    void UiSetLabel(StatusLabel label, const Text& text) override;
    Text UiLabel(StatusLabel label) override;
    Text UiBoxText(EditBox box) override;
    void UiSetBoxText(EditBox box, const Text& text) override;
    bool UiOptionChecked(int option) override;
    void UiSetOptionChecked(int option, bool checked) override;
    void UiSetControlVisible(PagingControl control, bool visible) override;
    void UiClearRows() override;
    int UiAppendRow() override;
    int UiRowCount() override;
    void UiSetCell(int row, int column, const Text& text) override;
    Text UiCell(int row, int column) override;
    int UiSelectedRow() override;
    void UiBeginBatch() override;
    void UiEndBatch() override;
    HWND UiOwnerWindow() override { return window_; }

private:
    void OnClick(ElementHandle element, int elementCode);
    void OnRightPress(ElementHandle element);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnKey(WPARAM key);
    void Touch(ElementHandle element);

    HWND window_ = nullptr;
    ui::UiHost* host_ = nullptr;
    SearchFlow* flow_ = nullptr;
    WindowAppView* view_ = nullptr;
    RowActions* rows_ = nullptr;
    MenuChooser chooser_;

    ui::UiLabel keywordLabel_;
    EditBoxControl keyword_;
    ui::UiButton search_;
    ui::UiButton blog_;
    std::array<ui::UiOption, kSourceCount> options_;
    ui::UiLabel operation_;
    ui::UiLabel data_;
    ui::UiButton previous_;
    EditBoxControl page_;
    ui::UiButton next_;
    ResultTableControl table_;
    std::vector<ElementHandle> order_;

    int batchDepth_ = 0;
    bool dirty_ = false;
    ui::UiRect dirtyRect_;
};

}  // namespace sorvix::app
