// The window-backed AppView (see window_view_win.h).
#include "app/win/window_view_win.h"

#include "app/win/controls_win.h"
#include "ui/base.h"

#include <chrono>

namespace sorvix::app {
namespace {

constexpr wchar_t kQueueClass[] = L"SorvixViewQueue";
constexpr UINT kRunSoon = WM_APP + 1;
constexpr UINT_PTR kRunTimer = 1;
constexpr int kLookAhead = 64;   // how far a coalescing check looks for a later twin

// Coalescing keys: a later write to the same label or box makes an earlier
// one in the same slice moot (the screen shows only the slice's end state).
int LabelKey(StatusLabel label) { return label == StatusLabel::Operation ? 1 : 2; }
int BoxKey(EditBox box) { return box == EditBox::Keyword ? 3 : 4; }

void RegisterQueueClass() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kQueueClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

}  // namespace

struct Answer {
    bool done = false;
};

WindowAppView::WindowAppView(MainWindowUi& ui) : ui_(ui), windowThread_(GetCurrentThreadId()) {
    RegisterQueueClass();
    queueWindow_ = CreateWindowExW(0, kQueueClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(queueWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(queueWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&QueueWindowProc));
}

WindowAppView::~WindowAppView() {
    Close();
    if (queueWindow_) {
        SetWindowLongPtrW(queueWindow_, GWLP_USERDATA, 0);
        DestroyWindow(queueWindow_);
    }
}

LRESULT CALLBACK WindowAppView::QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<WindowAppView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view && (message == kRunSoon || (message == WM_TIMER && wParam == kRunTimer))) {
        if (message == WM_TIMER) KillTimer(window, kRunTimer);
        view->RunSlice(false);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// ---- Queue ---------------------------------------------------------------------------------

void WindowAppView::ScheduleLocked(bool soon) {
    if (scheduled_ || closed_) return;
    scheduled_ = true;
    // The first slice comes soon (a posted message); later ones wait on a
    // timer, which the system delivers only when no input is waiting.
    if (soon) {
        if (PostMessageW(queueWindow_, kRunSoon, 0, 0)) return;
    }
    SetTimer(queueWindow_, kRunTimer, 1, nullptr);
}

void WindowAppView::Enqueue(Item item) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) return;
    queue_.push_back(std::move(item));
    ScheduleLocked(true);
}

void WindowAppView::RunSlice(bool all) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scheduled_ = false;
        if (running_) {
            // A step of an earlier slice runs a modal loop: come back later.
            if (!queue_.empty()) ScheduleLocked(false);
            return;
        }
        if (queue_.empty()) return;
        running_ = true;
    }
    const auto start = std::chrono::steady_clock::now();
    bool batching = false;
    int ran = 0;
    std::function<void()> step;   // a step ends the slice and runs after it
    for (;;) {
        Item item;
        bool moot = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty() || closed_) break;
            if (!all && ran > 0 &&
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() >=
                    sliceMs_) {
                break;
            }
            item = std::move(queue_.front());
            queue_.pop_front();
            ++items_;
            if (item.coalesceKey) {
                // Moot when the same label or box is written again before
                // anything could read it.
                int n = 0;
                for (auto it = queue_.begin(); it != queue_.end() && n < kLookAhead; ++it, ++n) {
                    if (it->kind != Kind::Write) break;
                    if (it->coalesceKey == item.coalesceKey) {
                        moot = true;
                        break;
                    }
                }
            }
        }
        ++ran;
        if (moot) continue;
        if (item.kind == Kind::Step) {
            step = std::move(item.apply);
            break;
        }
        if (!batching) {
            ui_.UiBeginBatch();
            batching = true;
        }
        item.apply();
        if (item.answer) {
            std::lock_guard<std::mutex> lock(mutex_);
            item.answer->done = true;
            answered_.notify_all();
        }
    }
    if (batching) ui_.UiEndBatch();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        ++slices_;
        if (!queue_.empty()) ScheduleLocked(false);
    }
    if (step) {
        step();
        if (all) RunSlice(true);
    }
}

bool WindowAppView::Ask(const std::function<void()>& question) {
    if (OnWindowThread()) {
        RunSlice(true);
        if (Closed()) return false;
        question();
        return true;
    }
    auto answer = std::make_shared<Answer>();
    Item item;
    item.kind = Kind::Question;
    item.apply = question;
    item.answer = answer;
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) return false;
    queue_.push_back(std::move(item));
    ScheduleLocked(true);
    answered_.wait(lock, [&] { return answer->done || closed_; });
    return answer->done;
}

bool WindowAppView::Barrier() {
    return Ask([] {});
}

void WindowAppView::Post(std::function<void()> step) {
    Submit(Kind::Step, std::move(step));
}

void WindowAppView::Write(std::function<void()> apply, int coalesceKey) {
    Submit(Kind::Write, std::move(apply), coalesceKey);
}

void WindowAppView::Submit(Kind kind, std::function<void()> apply, int coalesceKey) {
    if (OnWindowThread()) {
        RunSlice(true);
        if (!Closed()) apply();
        return;
    }
    Item item;
    item.kind = kind;
    item.apply = std::move(apply);
    item.coalesceKey = coalesceKey;
    Enqueue(std::move(item));
}

void WindowAppView::Close() {
    std::set<HWND> boxes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        closed_ = true;
        queue_.clear();
        boxes.swap(workerBoxes_);
        answered_.notify_all();
    }
    if (queueWindow_) KillTimer(queueWindow_, kRunTimer);
    for (HWND box : boxes) PostMessageW(box, WM_CLOSE, 0, 0);
}

bool WindowAppView::Closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

int WindowAppView::SlicesRun() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slices_;
}

int WindowAppView::ItemsRun() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
}

// ---- AppView -------------------------------------------------------------------------------

void WindowAppView::SetLabel(StatusLabel label, const Text& text) {
    Write([this, label, text] { ui_.UiSetLabel(label, text); }, LabelKey(label));
}

Text WindowAppView::Label(StatusLabel label) {
    Text out;
    Ask([&] { out = ui_.UiLabel(label); });
    return out;
}

Text WindowAppView::BoxText(EditBox box) {
    Text out;
    Ask([&] { out = ui_.UiBoxText(box); });
    return out;
}

void WindowAppView::SetBoxText(EditBox box, const Text& text) {
    Write([this, box, text] { ui_.UiSetBoxText(box, text); }, BoxKey(box));
}

bool WindowAppView::OptionChecked(int option) {
    bool out = false;
    Ask([&] { out = ui_.UiOptionChecked(option); });
    return out;
}

void WindowAppView::SetOptionChecked(int option, bool checked) {
    Write([this, option, checked] { ui_.UiSetOptionChecked(option, checked); });
}

void WindowAppView::SetControlVisible(PagingControl control, bool visible) {
    Write([this, control, visible] { ui_.UiSetControlVisible(control, visible); });
}

void WindowAppView::ClearRows() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        plannedRows_ = 0;
    }
    Write([this] { ui_.UiClearRows(); });
}

int WindowAppView::AppendRow() {
    int row = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return 0;
        row = ++plannedRows_;
    }
    Write([this] { ui_.UiAppendRow(); });
    return row;
}

void WindowAppView::SetCell(int row, int column, const Text& text) {
    Write([this, row, column, text] { ui_.UiSetCell(row, column, text); });
}

Text WindowAppView::Cell(int row, int column) {
    Text out;
    Ask([&] { out = ui_.UiCell(row, column); });
    return out;
}

int WindowAppView::SelectedRow() {
    int out = 0;
    Ask([&] { out = ui_.UiSelectedRow(); });
    return out;
}

int WindowAppView::ShowMessageBox(const MessageBoxRequest& request) {
    if (!Barrier()) return 0;
    std::function<int(const MessageBoxRequest&)> answerer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answerer = boxAnswerer_;
    }
    if (answerer) {
        if (!PassBoxGate(request, [] {})) return 0;
        return answerer(request);
    }
    const bool worker = !OnWindowThread();
    HWND shown = nullptr;
    int answer = ShowLibraryBox(ui_.UiOwnerWindow(), request.text, request.title, request.icon, request.captions,
                                [&](HWND box) {
                                    bool appeared = PassBoxGate(request, [] {});
                                    if (!appeared) return false;
                                    std::lock_guard<std::mutex> lock(mutex_);
                                    if (closed_) return false;
                                    if (worker && box) {
                                        workerBoxes_.insert(box);
                                        shown = box;
                                    }
                                    return true;
                                });
    if (shown) {
        std::lock_guard<std::mutex> lock(mutex_);
        workerBoxes_.erase(shown);
    }
    return answer;
}

void WindowAppView::ShowSystemMessage(const Text& text, const Text& caption) {
    if (!Barrier()) return;
    MessageBoxW(nullptr, ui::GbkToWide(text).c_str(), ui::GbkToWide(caption).c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace sorvix::app
