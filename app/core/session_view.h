// SessionView: the view a search of the window program works through. It
// reads the keyword box and the page box once, when the search starts, and
// answers every later read of them with those texts, so that text typed
// while a long walk runs cannot mix two keywords' results in one table; the
// next search reads the boxes afresh. Writes to a box pass through to it and
// are what later reads answer. Everything else passes straight through.
// Covered by tests/app/session_view_test.cpp.
#pragma once

#include <mutex>

#include "app/core/app_view.h"
#include "app/core/search_flow.h"

namespace sorvix {

class SessionView : public AppView {
public:
    explicit SessionView(AppView& inner)
        : inner_(inner), keyword_(inner.BoxText(EditBox::Keyword)), page_(inner.BoxText(EditBox::Page)) {}

    Text BoxText(EditBox box) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return box == EditBox::Keyword ? keyword_ : page_;
    }
    void SetBoxText(EditBox box, const Text& text) override {
        inner_.SetBoxText(box, text);
        std::lock_guard<std::mutex> lock(mutex_);
        (box == EditBox::Keyword ? keyword_ : page_) = text;
    }

    void SetLabel(StatusLabel label, const Text& text) override { inner_.SetLabel(label, text); }
    Text Label(StatusLabel label) override { return inner_.Label(label); }
    bool OptionChecked(int option) override { return inner_.OptionChecked(option); }
    void SetOptionChecked(int option, bool checked) override { inner_.SetOptionChecked(option, checked); }
    void SetControlVisible(PagingControl control, bool visible) override {
        inner_.SetControlVisible(control, visible);
    }
    void ClearRows() override { inner_.ClearRows(); }
    int AppendRow() override { return inner_.AppendRow(); }
    void SetCell(int row, int column, const Text& text) override { inner_.SetCell(row, column, text); }
    Text Cell(int row, int column) override { return inner_.Cell(row, column); }
    int SelectedRow() override { return inner_.SelectedRow(); }
    int ShowMessageBox(const MessageBoxRequest& request) override { return inner_.ShowMessageBox(request); }
    void ShowSystemMessage(const Text& text, const Text& caption) override {
        inner_.ShowSystemMessage(text, caption);
    }
    void PumpPendingInput() override { inner_.PumpPendingInput(); }

private:
    AppView& inner_;
    std::mutex mutex_;
    Text keyword_;
    Text page_;
};

// The search flow's default job (the dispatcher) run through a SessionView.
inline SearchFlow::SearchJob SessionSnapshotJob() {
    return [](AppView& view, SiteNet& net, const Config& config, const CancelToken& cancel,
              SiteCodeStore& siteCode) {
        SessionView session(view);
        SearchDispatcher(session, net, config, cancel, siteCode);
    };
}

}  // namespace sorvix
