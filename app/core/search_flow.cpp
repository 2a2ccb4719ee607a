// SearchFlow: click decisions, search threads and the write guard that makes
// a superseded search silent. Covered by tests/app/search_flow_test.cpp.
#include "app/core/search_flow.h"

#include <utility>

namespace sorvix {
namespace {

constexpr std::string_view kEnterSomething = "\xC7\xEB\xCA\xE4\xC8\xEB\xC4\xDA\xC8\xDD\xA3\xA1";  // 请输入内容！
constexpr std::string_view kFirstPageAlready =
    "\xD2\xD1\xBE\xAD\xCA\xC7\xB5\xDA\xD2\xBB\xD2\xB3\xC1\xCB\xA3\xA1";  // 已经是第一页了！
constexpr std::string_view kLastPageAlready =
    "\xD2\xD1\xBE\xAD\xCA\xC7\xD7\xEE\xBA\xF3\xD2\xBB\xD2\xB3\xC1\xCB";  // 已经是最后一页了
constexpr std::string_view kInformationCaption = "\xD0\xC5\xCF\xA2\xA3\xBA";  // 信息：

// The view a search writes through. Every write takes the flow's write lock
// and is dropped once the search's token is cancelled; since the token is
// cancelled before the next search starts, and that search's writes take the
// same lock, nothing of the old search can land after the new one's first
// write. Reads pass straight through (they may wait for the window's thread,
// so they must not hold the lock). A message box is modal and must not stall
// the next search, so only its appearance is guarded: the view runs it
// through the request's gate, which takes the write lock and checks the
// token, so a box either appears before the superseding search's first write
// or not at all (a check here followed by the show would leave a gap in which
// a search superseded just then still showed its closing box).
class GuardedView : public AppView {
public:
    GuardedView(AppView& inner, std::mutex& writeMutex, CancelToken cancel)
        : inner_(inner), writeMutex_(writeMutex), cancel_(std::move(cancel)) {}

    void SetLabel(StatusLabel label, const Text& text) override {
        Write([&] { inner_.SetLabel(label, text); });
    }
    Text Label(StatusLabel label) override { return inner_.Label(label); }
    Text BoxText(EditBox box) override { return inner_.BoxText(box); }
    void SetBoxText(EditBox box, const Text& text) override {
        Write([&] { inner_.SetBoxText(box, text); });
    }
    bool OptionChecked(int option) override { return inner_.OptionChecked(option); }
    void SetOptionChecked(int option, bool checked) override {
        Write([&] { inner_.SetOptionChecked(option, checked); });
    }
    void SetControlVisible(PagingControl control, bool visible) override {
        Write([&] { inner_.SetControlVisible(control, visible); });
    }
    void ClearRows() override {
        Write([&] { inner_.ClearRows(); });
    }
    int AppendRow() override {
        int row = 0;   // a dropped append gives row 0, whose cells go nowhere
        Write([&] { row = inner_.AppendRow(); });
        return row;
    }
    void SetCell(int row, int column, const Text& text) override {
        if (row < 1) return;
        Write([&] { inner_.SetCell(row, column, text); });
    }
    Text Cell(int row, int column) override { return inner_.Cell(row, column); }
    int SelectedRow() override { return inner_.SelectedRow(); }
    int ShowMessageBox(const MessageBoxRequest& request) override {
        if (cancel_.Cancelled()) return 0;
        MessageBoxRequest gated = request;
        gated.gate = [this, outer = request.gate](const std::function<void()>& appear) {
            std::lock_guard<std::mutex> lock(writeMutex_);
            if (cancel_.Cancelled()) return false;
            if (outer) return outer(appear);
            appear();
            return true;
        };
        return inner_.ShowMessageBox(gated);
    }
    // The searches never ask for the platform's box; it has no gate, so this
    // check leaves the gap the library's box has closed.
    void ShowSystemMessage(const Text& text, const Text& caption) override {
        if (cancel_.Cancelled()) return;
        inner_.ShowSystemMessage(text, caption);
    }
    void PumpPendingInput() override { inner_.PumpPendingInput(); }

private:
    template <class F>
    void Write(F&& write) {
        std::lock_guard<std::mutex> lock(writeMutex_);
        if (cancel_.Cancelled()) return;
        write();
    }

    AppView& inner_;
    std::mutex& writeMutex_;
    const CancelToken cancel_;
};

}  // namespace

SearchFlow::SearchFlow(AppView& view, SiteNet& net, Config config)
    : view_(view), net_(net), config_(std::move(config)) {
    job_ = [](AppView& v, SiteNet& n, const Config& c, const CancelToken& t, SiteCodeStore& s) {
        SearchDispatcher(v, n, c, t, s);
    };
}

SearchFlow::~SearchFlow() {
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        current_.Cancel();
    }
    WaitIdle();
}

void SearchFlow::OnClick(const Click& click) {
    switch (click.target) {
        case ClickTarget::SearchButton: OnSearchButton(); break;
        case ClickTarget::AppearanceButton:
            if (appearanceAction_) appearanceAction_();
            break;
        case ClickTarget::KeywordBox: OnKeywordBox(); break;
        case ClickTarget::PreviousButton: OnPreviousPage(); break;
        case ClickTarget::NextButton: OnNextPage(); break;
        case ClickTarget::Option: OnOption(click.option); break;
        case ClickTarget::BlogButton:
            if (blogAction_) blogAction_();
            break;
        case ClickTarget::Other: break;
    }
}

void SearchFlow::OnSearchButton() {
    if (view_.BoxText(EditBox::Keyword).empty()) {
        ShowNotice(view_, Text(kEnterSomething));
        return;
    }
    StartSearchThread(false);
}

void SearchFlow::OnKeywordBox() {
    if (!view_.BoxText(EditBox::Keyword).empty()) view_.SetBoxText(EditBox::Keyword, "");
}

void SearchFlow::OnPreviousPage() {
    const int page = ToInt(view_.BoxText(EditBox::Page));
    if (page < kFirstPage + 1) {
        ShowNotice(view_, Text(kFirstPageAlready));
        return;
    }
    view_.SetBoxText(EditBox::Page, ToDecimalText(page - 1));
    StartSearchThread(true);
}

void SearchFlow::OnNextPage() {
    const int page = ToInt(view_.BoxText(EditBox::Page));
    if (page >= kLastPage) {
        view_.ShowSystemMessage(Text(kLastPageAlready), Text(kInformationCaption));
        return;
    }
    view_.SetBoxText(EditBox::Page, ToDecimalText(static_cast<long long>(page) + 1));
    StartSearchThread(true);
}

void SearchFlow::OnOption(int option) {
    const SourceInfo* source = SourceForOption(option);
    if (!source) return;
    for (int k = 1; k <= kSourceCount; ++k) view_.SetOptionChecked(k, k == option);
    view_.SetControlVisible(PagingControl::PreviousButton, source->showsPaging);
    view_.SetControlVisible(PagingControl::NextButton, source->showsPaging);
    view_.SetControlVisible(PagingControl::PageBox, source->showsPaging);
}

void SearchFlow::StartSearchThread(bool clearRows) {
    std::lock_guard<std::mutex> lock(workersMutex_);
    ReapFinishedWorkers();
    // Supersede: from here on every write of the running search is dropped.
    current_.Cancel();
    current_ = CancelToken();

    auto done = std::make_shared<std::atomic<bool>>(false);
    CancelToken token = current_;
    std::thread thread([this, token, clearRows, done] {
        {
            GuardedView guarded(view_, writeMutex_, token);
            // Previous/next clear the rows before the new page is fetched; doing
            // it here, under the write lock, orders it after the last write of
            // the superseded search.
            if (clearRows) guarded.ClearRows();
            job_(guarded, net_, config_, token, siteCode_);
        }
        done->store(true, std::memory_order_release);
    });
    workers_.push_back({std::move(thread), std::move(done)});
}

void SearchFlow::ReapFinishedWorkers() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load(std::memory_order_acquire)) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool SearchFlow::CancelRunning() {
    std::lock_guard<std::mutex> lock(workersMutex_);
    bool running = false;
    for (const Worker& worker : workers_)
        if (!worker.done->load(std::memory_order_acquire)) running = true;
    std::lock_guard<std::mutex> writeLock(writeMutex_);
    const bool wasLive = !current_.Cancelled();
    current_.Cancel();
    return running && wasLive;
}

bool SearchFlow::Busy() {
    std::lock_guard<std::mutex> lock(workersMutex_);
    for (const Worker& worker : workers_)
        if (!worker.done->load(std::memory_order_acquire)) return true;
    return false;
}

void SearchFlow::WaitIdle() {
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        workers.swap(workers_);
    }
    for (Worker& worker : workers) worker.thread.join();
}

}  // namespace sorvix
