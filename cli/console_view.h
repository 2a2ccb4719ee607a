// ConsoleAppView: the AppView of sorvix-cli. It keeps the window's state in
// memory (labels, boxes, options, the result table) and, instead of drawing,
// reports to the terminal: label changes go to the status stream as they
// happen, message boxes are printed at once and answered with their first
// button (nobody waits for input). Every text it receives is GBK; what it
// prints is UTF-8. Thread-safe, like every AppView.
// Covered by tests/sim/cli_test.cpp.
#pragma once
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/core/app_view.h"

namespace sorvix::cli {

class ConsoleAppView : public AppView {
public:
    // status: where label changes go (nullptr: nowhere); echoData false keeps
    // the data label's changes (one per row) off it. onMessage runs for
    // every message box (library or system) with its GBK title and text,
    // after it has been recorded.
    ConsoleAppView(std::ostream* status, std::function<void(const Text& title, const Text& text)> onMessage,
                   bool echoData = true);

    void SetLabel(StatusLabel label, const Text& text) override;
    Text Label(StatusLabel label) override;
    Text BoxText(EditBox box) override;
    void SetBoxText(EditBox box, const Text& text) override;
    bool OptionChecked(int option) override;
    void SetOptionChecked(int option, bool checked) override;
    void SetControlVisible(PagingControl control, bool visible) override;
    void ClearRows() override;
    int AppendRow() override;
    void SetCell(int row, int column, const Text& text) override;
    Text Cell(int row, int column) override;
    int SelectedRow() override { return 0; }
    int ShowMessageBox(const MessageBoxRequest& request) override;
    void ShowSystemMessage(const Text& text, const Text& caption) override;

    std::vector<std::vector<Text>> Rows() const;
    std::vector<Text> Messages() const;  // texts of every box, in order
    // Bumped by every change of the table, so a printer can tell whether the
    // rows changed since it last printed them.
    int TableVersion() const;

private:
    using Lock = std::lock_guard<std::mutex>;

    mutable std::mutex mu_;
    std::ostream* status_;
    bool echoData_;
    std::function<void(const Text&, const Text&)> onMessage_;
    Text operation_;
    Text data_;
    Text keyword_;
    Text page_ = "1";
    bool options_[kSourceCount + 1] = {};
    std::vector<std::vector<Text>> rows_;
    std::vector<Text> messages_;
    int tableVersion_ = 0;
};

}  // namespace sorvix::cli
