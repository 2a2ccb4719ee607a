// The window-backed view: calls from a worker reach the window's thread in
// the order they were made, setters never wait, getters see the caller's
// earlier changes, bursts run in slices (one batch each, input answered in
// between), and closing releases every waiting worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/win/window_view_win.h"
#include "pump.h"

namespace sorvix::app {
namespace {

// Records every element change with the batch it fell in.
class FakeUi : public MainWindowUi {
public:
    void UiSetLabel(StatusLabel label, const Text& text) override {
        Log(std::string("label ") + (label == StatusLabel::Operation ? "op " : "data ") + text);
        labels[label] = text;
    }
    Text UiLabel(StatusLabel label) override { return labels[label]; }
    Text UiBoxText(EditBox box) override { return boxes[box]; }
    void UiSetBoxText(EditBox box, const Text& text) override {
        Log(std::string("box ") + text);
        boxes[box] = text;
    }
    bool UiOptionChecked(int option) override { return options[option]; }
    void UiSetOptionChecked(int option, bool checked) override {
        Log("option " + std::to_string(option) + (checked ? " 1" : " 0"));
        options[option] = checked;
    }
    void UiSetControlVisible(PagingControl, bool visible) override { Log(visible ? "show" : "hide"); }
    void UiClearRows() override {
        Log("clear");
        rows.clear();
    }
    int UiAppendRow() override {
        rows.emplace_back(8);
        Log("append " + std::to_string(rows.size()));
        return static_cast<int>(rows.size());
    }
    int UiRowCount() override { return static_cast<int>(rows.size()); }
    void UiSetCell(int row, int column, const Text& text) override {
        ++cellWrites;
        if (logCells) Log("cell " + std::to_string(row) + " " + std::to_string(column) + " " + text);
        if (row >= 1 && row <= static_cast<int>(rows.size()) && column >= 1 && column <= 8)
            rows[row - 1][column - 1] = text;
    }
    Text UiCell(int row, int column) override {
        if (row < 1 || row > static_cast<int>(rows.size()) || column < 1 || column > 8) return {};
        return rows[row - 1][column - 1];
    }
    int UiSelectedRow() override { return 0; }
    void UiBeginBatch() override {
        EXPECT_FALSE(inBatch);
        inBatch = true;
        ++batches;
    }
    void UiEndBatch() override {
        EXPECT_TRUE(inBatch);
        inBatch = false;
    }
    HWND UiOwnerWindow() override { return nullptr; }

    void Log(const std::string& line) {
        EXPECT_EQ(GetCurrentThreadId(), windowThread) << line;
        log.push_back(line);
    }

    DWORD windowThread = GetCurrentThreadId();
    std::vector<std::string> log;
    std::map<StatusLabel, Text> labels;
    std::map<EditBox, Text> boxes;
    std::map<int, bool> options;
    std::vector<std::vector<Text>> rows;
    bool logCells = true;
    bool inBatch = false;
    int batches = 0;
    int cellWrites = 0;
};

TEST(WindowView, WorkerCallsArriveInOrderAndGettersSeeThem) {
    FakeUi ui;
    WindowAppView view(ui);
    std::atomic<bool> done{false};
    Text seenLabel, seenCell;
    int rowNumbers[3] = {};
    std::thread worker([&] {
        view.SetLabel(StatusLabel::Operation, "start");
        view.ClearRows();
        for (int& n : rowNumbers) n = view.AppendRow();
        view.SetCell(2, 1, "two");
        view.SetLabel(StatusLabel::Data, "rows 3");
        view.SetOptionChecked(4, true);
        view.SetControlVisible(PagingControl::PageBox, false);
        view.SetBoxText(EditBox::Page, "2");
        seenLabel = view.Label(StatusLabel::Data);
        seenCell = view.Cell(2, 1);
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(ui.log, (std::vector<std::string>{"label op start", "clear", "append 1", "append 2", "append 3",
                                                "cell 2 1 two", "label data rows 3", "option 4 1", "hide", "box 2"}));
    EXPECT_EQ(rowNumbers[0], 1);
    EXPECT_EQ(rowNumbers[2], 3);
    EXPECT_EQ(seenLabel, "rows 3");
    EXPECT_EQ(seenCell, "two");
}

TEST(WindowView, SettersNeverWaitForTheWindowThread) {
    FakeUi ui;
    ui.logCells = false;
    WindowAppView view(ui);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 1; i <= 2000; ++i) {
            int row = view.AppendRow();
            view.SetCell(row, 2, "name");
            view.SetLabel(StatusLabel::Data, std::to_string(row));
        }
        done = true;
    });
    // The window's thread runs no messages meanwhile; the worker still ends.
    for (int i = 0; i < 1000 && !done; ++i) Sleep(5);
    EXPECT_TRUE(done.load());
    worker.join();
    EXPECT_TRUE(ui.log.empty());
    ASSERT_TRUE(PumpUntil([&] { return ui.UiRowCount() == 2000 && ui.cellWrites == 2000; }));
    EXPECT_EQ(ui.labels[StatusLabel::Data], "2000");
}

TEST(WindowView, BurstsRunInSlicesWithInputAnsweredBetween) {
    FakeUi ui;
    ui.logCells = false;
    WindowAppView view(ui);
    view.SetSliceMs(2.0);
    constexpr int kRows = 20000;
    std::atomic<bool> queued{false};
    std::thread worker([&] {
        for (int i = 1; i <= kRows; ++i) {
            int row = view.AppendRow();
            for (int c = 1; c <= 8; ++c) view.SetCell(row, c, "cell text");
            view.SetLabel(StatusLabel::Data, std::to_string(row));
        }
        queued = true;
    });
    worker.join();
    // A message posted now is handled before the queue has run out.
    bool answered = false;
    int rowsWhenAnswered = -1;
    HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ui.UiRowCount() > 0; }));
    PostMessageW(probe, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PumpUntil([&] {
        if (!answered && PeekMessageW(&msg, probe, WM_USER, WM_USER, PM_REMOVE)) {
            answered = true;
            rowsWhenAnswered = ui.UiRowCount();
        }
        return ui.UiRowCount() == kRows && ui.cellWrites == kRows * 8;
    }, 60000));
    DestroyWindow(probe);
    EXPECT_TRUE(answered);
    EXPECT_LT(rowsWhenAnswered, kRows);
    // Each slice is one batch, far fewer than the calls; the data label took
    // only the last text of each slice.
    EXPECT_GT(ui.batches, 1);
    EXPECT_LT(ui.batches, kRows / 10);
    EXPECT_EQ(ui.labels[StatusLabel::Data], std::to_string(kRows));
    int labelWrites = 0;
    for (const auto& line : ui.log) labelWrites += line.rfind("label data", 0) == 0;
    EXPECT_LE(labelWrites, ui.batches + 1);
    EXPECT_FALSE(ui.inBatch);
}

TEST(WindowView, CallsOnTheWindowThreadRunTheQueueFirst) {
    FakeUi ui;
    WindowAppView view(ui);
    std::thread worker([&] {
        view.SetLabel(StatusLabel::Operation, "from worker");
        view.AppendRow();
    });
    worker.join();
    EXPECT_EQ(view.Label(StatusLabel::Operation), "from worker");   // no pumping needed
    EXPECT_EQ(view.AppendRow(), 2);
    view.SetCell(2, 3, "mine");
    EXPECT_EQ(ui.log, (std::vector<std::string>{"label op from worker", "append 1", "append 2", "cell 2 3 mine"}));
}

TEST(WindowView, StepsRunOutsideTheBatchInOrder) {
    FakeUi ui;
    WindowAppView view(ui);
    std::vector<std::string> seen;
    std::thread worker([&] {
        view.SetLabel(StatusLabel::Operation, "before");
        view.Post([&] {
            EXPECT_FALSE(ui.inBatch);   // a step may open a modal box
            seen.push_back("step sees " + ui.labels[StatusLabel::Operation]);
        });
        view.SetLabel(StatusLabel::Operation, "after");
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return ui.labels[StatusLabel::Operation] == "after"; }));
    EXPECT_EQ(seen, std::vector<std::string>{"step sees before"});
}

TEST(WindowView, CloseReleasesAWaitingWorkerAndDropsLaterCalls) {
    FakeUi ui;
    WindowAppView view(ui);
    std::atomic<bool> returned{false};
    Text answer = "unset";
    std::thread worker([&] {
        view.SetLabel(StatusLabel::Operation, "queued");
        answer = view.Label(StatusLabel::Operation);   // the window's thread never answers
        returned = true;
        view.SetLabel(StatusLabel::Operation, "late");
        EXPECT_EQ(view.ShowMessageBox(MessageBoxRequest{"t", "x", 32, {}, nullptr}), 0);
    });
    Sleep(100);
    EXPECT_FALSE(returned.load());
    view.Close();
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(answer, "");
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_TRUE(ui.log.empty());
}

TEST(WindowView, BoxesAppearOnlyThroughTheirGateAfterTheQueue) {
    FakeUi ui;
    WindowAppView view(ui);
    std::vector<std::string> shown;
    view.SetBoxAnswerer([&](const MessageBoxRequest& r) {
        shown.push_back(r.text + " after " + ui.labels[StatusLabel::Operation]);
        return 1;
    });
    int open = -1, shut = -1;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        view.SetLabel(StatusLabel::Operation, "done");
        MessageBoxRequest request{"found", "t", 32, {"ok"}, nullptr};
        request.gate = [](const std::function<void()>& appear) { appear(); return true; };
        open = view.ShowMessageBox(request);
        request.text = "superseded";
        request.gate = [](const std::function<void()>&) { return false; };
        shut = view.ShowMessageBox(request);
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(open, 1);
    EXPECT_EQ(shut, 0);
    EXPECT_EQ(shown, std::vector<std::string>{"found after done"});
}

}  // namespace
}  // namespace sorvix::app
