// The console tool's AppView (see console_view.h).
#include "cli/console_view.h"

#include "app/core/recording_app_view.h"

namespace sorvix::cli {

ConsoleAppView::ConsoleAppView(std::ostream* status, std::function<void(const Text&, const Text&)> onMessage,
                               bool echoData)
    : status_(status),
      echoData_(echoData),
      onMessage_(std::move(onMessage)),
      operation_(RecordingAppView::kNoOperation),
      data_(RecordingAppView::kNoDataAtStart) {}

void ConsoleAppView::SetLabel(StatusLabel label, const Text& text) {
    Lock lock(mu_);
    Text& slot = label == StatusLabel::Operation ? operation_ : data_;
    if (slot == text) return;  // an equal text changes nothing on screen either
    slot = text;
    if (status_ && (label == StatusLabel::Operation || echoData_)) {
        // 操作 / 数据
        *status_ << (label == StatusLabel::Operation ? "[\xE6\x93\x8D\xE4\xBD\x9C] " : "[\xE6\x95\xB0\xE6\x8D\xAE] ")
                 << GbkToUtf8(text) << '\n'
                 << std::flush;
    }
}

Text ConsoleAppView::Label(StatusLabel label) {
    Lock lock(mu_);
    return label == StatusLabel::Operation ? operation_ : data_;
}

Text ConsoleAppView::BoxText(EditBox box) {
    Lock lock(mu_);
    return box == EditBox::Keyword ? keyword_ : page_;
}

void ConsoleAppView::SetBoxText(EditBox box, const Text& text) {
    Lock lock(mu_);
    (box == EditBox::Keyword ? keyword_ : page_) = text;
}

bool ConsoleAppView::OptionChecked(int option) {
    Lock lock(mu_);
    return option >= 1 && option <= kSourceCount && options_[option];
}

void ConsoleAppView::SetOptionChecked(int option, bool checked) {
    Lock lock(mu_);
    if (option >= 1 && option <= kSourceCount) options_[option] = checked;
}

void ConsoleAppView::SetControlVisible(PagingControl, bool) {}

void ConsoleAppView::ClearRows() {
    Lock lock(mu_);
    rows_.clear();
    ++tableVersion_;
}

int ConsoleAppView::AppendRow() {
    Lock lock(mu_);
    rows_.emplace_back(kColumnCount);
    ++tableVersion_;
    return static_cast<int>(rows_.size());
}

void ConsoleAppView::SetCell(int row, int column, const Text& text) {
    Lock lock(mu_);
    if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 || column > kColumnCount) return;
    rows_[row - 1][column - 1] = text;
    ++tableVersion_;
}

Text ConsoleAppView::Cell(int row, int column) {
    Lock lock(mu_);
    if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 || column > kColumnCount) return {};
    return rows_[row - 1][column - 1];
}

int ConsoleAppView::ShowMessageBox(const MessageBoxRequest& request) {
    // Recording and printing are the box's appearance, so both pass the gate.
    const bool appeared = PassBoxGate(request, [&] {
        {
            Lock lock(mu_);
            messages_.push_back(request.text);
        }
        // Outside the lock: the printer reads the rows through this view.
        if (onMessage_) onMessage_(request.title, request.text);
    });
    return appeared ? 1 : 0;
}

void ConsoleAppView::ShowSystemMessage(const Text& text, const Text& caption) {
    {
        Lock lock(mu_);
        messages_.push_back(text);
    }
    if (onMessage_) onMessage_(caption, text);
}

std::vector<std::vector<Text>> ConsoleAppView::Rows() const {
    Lock lock(mu_);
    return rows_;
}

std::vector<Text> ConsoleAppView::Messages() const {
    Lock lock(mu_);
    return messages_;
}

int ConsoleAppView::TableVersion() const {
    Lock lock(mu_);
    return tableVersion_;
}

}  // namespace sorvix::cli
