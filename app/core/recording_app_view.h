// RecordingAppView: an AppView that keeps its state in memory and records
// every call, for tests of the search flow and the site searches and for the
// console tool's tests. Thread-safe (searches call it from worker threads).
//
// State: the two labels (start-up texts), the two boxes (page "1"), twenty
// options (none checked), paging controls (hidden), the rows, the selection.
// Log: one line per call that changes something or shows something, e.g.
//   "label op <text>"   "label data <text>"   "box keyword <text>"
//   "clear"   "append 3"   "cell 3 2 <text>"   "option 5 1"   "visible page 0"
//   "msgbox <title>|<icon>|<text>"   "sysmsg <caption>|<text>"
// Texts appear in GBK as written. Message boxes answer with button 1.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/core/app_view.h"
#include "app/core/result_table.h"

namespace sorvix {

class RecordingAppView : public AppView {
public:
    // GBK start-up texts of the two labels.
    static constexpr std::string_view kNoOperation = kStartOperationText;   // 暂时没有任何操作
    static constexpr std::string_view kNoDataAtStart = kStartDataText;      // 暂时没有任何数据

    RecordingAppView() {
        labels_[StatusLabel::Operation] = Text(kNoOperation);
        labels_[StatusLabel::Data] = Text(kNoDataAtStart);
        boxes_[EditBox::Keyword] = "";
        boxes_[EditBox::Page] = Text(kStartPageText);
        for (int i = 0; i <= kSourceCount; ++i) options_[i] = false;
        visible_[PagingControl::PreviousButton] = false;
        visible_[PagingControl::NextButton] = false;
        visible_[PagingControl::PageBox] = false;
    }

    // ---- SiteView and AppView ------------------------------------------------------
    void SetLabel(StatusLabel label, const Text& text) override {
        Lock lock(mutex_);
        labels_[label] = text;
        LogLocked(std::string("label ") + (label == StatusLabel::Operation ? "op " : "data ") + text);
    }
    Text Label(StatusLabel label) override {
        Lock lock(mutex_);
        return labels_[label];
    }
    Text BoxText(EditBox box) override {
        Lock lock(mutex_);
        if (box == EditBox::Keyword) ++keywordReads_;
        return boxes_[box];
    }
    void SetBoxText(EditBox box, const Text& text) override {
        Lock lock(mutex_);
        boxes_[box] = text;
        LogLocked(std::string("box ") + (box == EditBox::Keyword ? "keyword " : "page ") + text);
    }
    bool OptionChecked(int option) override {
        Lock lock(mutex_);
        auto it = options_.find(option);
        return it != options_.end() && it->second;
    }
    void SetOptionChecked(int option, bool checked) override {
        Lock lock(mutex_);
        options_[option] = checked;
        LogLocked("option " + std::to_string(option) + (checked ? " 1" : " 0"));
    }
    void SetControlVisible(PagingControl control, bool visible) override {
        Lock lock(mutex_);
        visible_[control] = visible;
        const char* name = control == PagingControl::PreviousButton ? "previous"
                           : control == PagingControl::NextButton   ? "next"
                                                                    : "page";
        LogLocked(std::string("visible ") + name + (visible ? " 1" : " 0"));
    }
    void ClearRows() override {
        Lock lock(mutex_);
        rows_.clear();
        LogLocked("clear");
    }
    int AppendRow() override {
        Lock lock(mutex_);
        rows_.emplace_back(kColumnCount);
        int number = static_cast<int>(rows_.size());
        LogLocked("append " + std::to_string(number));
        return number;
    }
    void SetCell(int row, int column, const Text& text) override {
        Lock lock(mutex_);
        LogLocked("cell " + std::to_string(row) + " " + std::to_string(column) + " " + text);
        if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 || column > kColumnCount) {
            ++badCellWrites_;
            return;
        }
        rows_[row - 1][column - 1] = text;
    }
    Text Cell(int row, int column) override {
        Lock lock(mutex_);
        if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 || column > kColumnCount) return {};
        return rows_[row - 1][column - 1];
    }
    int SelectedRow() override {
        Lock lock(mutex_);
        return selected_;
    }
    // Recorded (appears) only through the request's gate; a box the gate
    // refuses leaves no trace and answers 0.
    int ShowMessageBox(const MessageBoxRequest& request) override {
        std::function<void()> hook;
        const bool appeared = PassBoxGate(request, [&] {
            Lock lock(mutex_);
            MessageBoxRequest kept = request;
            kept.gate = nullptr;   // it may refer to a search that is over
            messages_.push_back(std::move(kept));
            LogLocked("msgbox " + request.title + "|" + std::to_string(request.icon) + "|" + request.text);
            hook = onMessageBox_;
        });
        if (!appeared) return 0;
        if (hook) hook();
        return 1;
    }
    void ShowSystemMessage(const Text& text, const Text& caption) override {
        Lock lock(mutex_);
        systemMessages_.emplace_back(caption, text);
        LogLocked("sysmsg " + caption + "|" + text);
    }

    // ---- Test controls -----------------------------------------------------------
    void TypeKeyword(const Text& text) { Lock lock(mutex_); boxes_[EditBox::Keyword] = text; }
    void TypePage(const Text& text) { Lock lock(mutex_); boxes_[EditBox::Page] = text; }
    void Select(int row) { Lock lock(mutex_); selected_ = row; }
    void CheckOnly(int option) {
        Lock lock(mutex_);
        for (auto& entry : options_) entry.second = entry.first == option;
    }
    // Runs (outside the lock) each time a message box is shown.
    void OnMessageBox(std::function<void()> hook) { Lock lock(mutex_); onMessageBox_ = std::move(hook); }

    // ---- Inspection ----------------------------------------------------------------
    std::vector<std::string> Log() const { Lock lock(mutex_); return log_; }
    void ClearLog() { Lock lock(mutex_); log_.clear(); }
    std::vector<std::vector<Text>> Rows() const { Lock lock(mutex_); return rows_; }
    int RowCount() const { Lock lock(mutex_); return static_cast<int>(rows_.size()); }
    std::vector<MessageBoxRequest> Messages() const { Lock lock(mutex_); return messages_; }
    std::vector<std::pair<Text, Text>> SystemMessages() const { Lock lock(mutex_); return systemMessages_; }
    bool Visible(PagingControl control) const { Lock lock(mutex_); return visible_.at(control); }
    int KeywordReads() const { Lock lock(mutex_); return keywordReads_; }
    int BadCellWrites() const { Lock lock(mutex_); return badCellWrites_; }
    std::vector<int> CheckedOptions() const {
        Lock lock(mutex_);
        std::vector<int> out;
        for (const auto& entry : options_)
            if (entry.second) out.push_back(entry.first);
        return out;
    }
    // The texts a label took, in order (start-up text not included).
    std::vector<Text> LabelHistory(StatusLabel label) const {
        Lock lock(mutex_);
        std::string prefix = label == StatusLabel::Operation ? "label op " : "label data ";
        std::vector<Text> out;
        for (const auto& line : log_)
            if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
        return out;
    }

private:
    using Lock = std::lock_guard<std::mutex>;
    void LogLocked(std::string line) { log_.push_back(std::move(line)); }

    mutable std::mutex mutex_;
    std::map<StatusLabel, Text> labels_;
    std::map<EditBox, Text> boxes_;
    std::map<int, bool> options_;
    std::map<PagingControl, bool> visible_;
    std::vector<std::vector<Text>> rows_;
    int selected_ = 0;
    int keywordReads_ = 0;
    int badCellWrites_ = 0;
    std::vector<MessageBoxRequest> messages_;
    std::vector<std::pair<Text, Text>> systemMessages_;
    std::vector<std::string> log_;
    std::function<void()> onMessageBox_;
};

}  // namespace sorvix
