// WindowAppView: the AppView of the window program. Searches call it from
// their worker threads; the main window's elements live on the window's
// thread. Every call reaches the window's thread in the order it was made:
//
//   - setters are queued with their own copies of the texts and return at
//     once (a table append answers the row number it will have, counted at
//     call time, since all table changes pass this queue);
//   - getters queue a question behind everything before them and wait for
//     its answer, so they see the caller's earlier changes;
//   - the window's thread runs the queue in slices of a few milliseconds
//     with the host frozen, then presents once: a burst of row appends costs
//     one repaint per slice, not one per cell, and input between slices is
//     answered (the next slice waits on a timer, which comes after input);
//   - calls made on the window's thread run the queue first, then act at once.
//
// A message box asked for by a worker is a box of that worker's thread
// (owned by the main window), shown after the queue before it has run and
// only through the request's gate. Close() (at exit) answers every waiting
// getter with an empty answer, closes the workers' boxes and drops every later
// call, so no worker can wait for a window that is gone.
// Covered by tests/app_win/window_view_test.cpp (Wine + Xvfb).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "app/core/app_view.h"

namespace sorvix::app {

// What the view drives on the window's thread: the main window's elements.
class MainWindowUi {
public:
    virtual ~MainWindowUi() = default;
    virtual void UiSetLabel(StatusLabel label, const Text& text) = 0;
    virtual Text UiLabel(StatusLabel label) = 0;
    virtual Text UiBoxText(EditBox box) = 0;
    virtual void UiSetBoxText(EditBox box, const Text& text) = 0;
    virtual bool UiOptionChecked(int option) = 0;
    virtual void UiSetOptionChecked(int option, bool checked) = 0;
    virtual void UiSetControlVisible(PagingControl control, bool visible) = 0;
    virtual void UiClearRows() = 0;
    virtual int UiAppendRow() = 0;
    virtual int UiRowCount() = 0;
    virtual void UiSetCell(int row, int column, const Text& text) = 0;
    virtual Text UiCell(int row, int column) = 0;
    virtual int UiSelectedRow() = 0;
    // Around one slice of queued changes: no presentation inside, one after.
    virtual void UiBeginBatch() = 0;
    virtual void UiEndBatch() = 0;
    // The owner of message boxes.
    virtual HWND UiOwnerWindow() = 0;
};

class WindowAppView : public AppView {
public:
    // Make it on the window's thread; ui must outlive it.
    explicit WindowAppView(MainWindowUi& ui);
    ~WindowAppView() override;

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
    int SelectedRow() override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    void ShowSystemMessage(const Text& text, const Text& caption) override;

    // Runs `step` on the window's thread behind everything queued before it
    // (at once when called there). Dropped after Close().
    void Post(std::function<void()> step);
    // Waits until everything queued before has run (on the window's thread:
    // runs it). False once closed.
    bool Barrier();
    // See the header comment. Window's thread.
    void Close();
    bool Closed() const;

    bool OnWindowThread() const { return GetCurrentThreadId() == windowThread_; }

    // Answers the library's boxes instead of showing them (tests); called on
    // the asking thread after the queue before it has run and the gate has
    // let the box appear.
    void SetBoxAnswerer(std::function<int(const MessageBoxRequest&)> answerer) {
        std::lock_guard<std::mutex> lock(mutex_);
        boxAnswerer_ = std::move(answerer);
    }
    // The boxes of worker threads that are open now.
    std::vector<HWND> OpenWorkerBoxes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return {workerBoxes_.begin(), workerBoxes_.end()};
    }

    // Figures for tests and the benchmark.
    int SlicesRun() const;
    int ItemsRun() const;
    void SetSliceMs(double ms) { sliceMs_ = ms; }

private:
    enum class Kind {
        Write,      // an element change; runs inside the slice's batch
        Step,       // a caller's step; may run a modal loop, so runs outside the batch
        Question,   // a getter; answered inside the batch
    };
    struct Item {
        Kind kind = Kind::Write;
        std::function<void()> apply;     // runs on the window's thread
        std::shared_ptr<struct Answer> answer;   // questions: set when answered
        int coalesceKey = 0;             // >0: a later write with the same key makes this one moot
    };

    static LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Enqueue(Item item);
    // A write: at once on the window's thread (after the queue), else queued.
    void Write(std::function<void()> apply, int coalesceKey = 0);
    // Writes and steps alike: on the window's thread the queue runs first and
    // then `apply`; from elsewhere it is queued.
    void Submit(Kind kind, std::function<void()> apply, int coalesceKey = 0);
    // Runs a question on the window's thread and waits for it.
    bool Ask(const std::function<void()>& question);
    void RunSlice(bool all);
    void ScheduleLocked(bool soon);

    MainWindowUi& ui_;
    DWORD windowThread_;
    HWND queueWindow_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    std::deque<Item> queue_;
    bool scheduled_ = false;
    bool running_ = false;
    bool closed_ = false;
    int plannedRows_ = 0;                // the table's row count once the queue has run
    std::set<HWND> workerBoxes_;
    std::function<int(const MessageBoxRequest&)> boxAnswerer_;
    int slices_ = 0;
    int items_ = 0;
    double sliceMs_ = 8.0;
};

}  // namespace sorvix::app
