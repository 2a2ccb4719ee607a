// SearchFlow: the main window's click decisions and the search threads.
//
// Clicks (on the window's thread): the search button checks the keyword and
// starts a search; a click into a filled keyword box empties it; previous and
// next move the page box within 1..10 (with their notices), clear the rows and
// search again; an option click makes it the only checked option and shows the
// paging controls for the disk options only. The appearance and blog buttons
// run the actions bound to them.
//
// One search at a time: every search, previous or next command cancels the
// running search and starts a worker thread (std::thread) for the new one. A
// superseded search is stopped at its next checkpoint, and from the moment it
// is superseded every write it attempts (labels, rows, cells, notices) is
// dropped: writes of all searches pass one lock, and the cancel flag is set
// before the new search's first write, so the table and labels end with
// exactly the newest search's output. A message box of a search appears only
// through a gate that checks the token under the same lock (see BoxGate), so
// a superseded search never shows its closing box, however close the two
// events. Covered by tests/app/search_flow_test.cpp.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/core/app_view.h"
#include "app/core/config.h"
#include "app/core/search.h"
#include "sites/cancel_token.h"
#include "sites/site_net.h"

namespace sorvix {

// What was clicked, as the window layer decides it from the element handle.
enum class ClickTarget {
    SearchButton,
    AppearanceButton,   // the host's caption button of kind 64, element code 1
    KeywordBox,
    PreviousButton,
    NextButton,
    Option,             // with Click::option 1..20
    BlogButton,
    Other,
};

struct Click {
    ClickTarget target = ClickTarget::Other;
    int option = 0;
};

inline constexpr int kFirstPage = 1;
inline constexpr int kLastPage = 10;

class SearchFlow {
public:
    // view and net must outlive the flow. The flow's own searches run the
    // dispatcher by default; tests may replace the job.
    SearchFlow(AppView& view, SiteNet& net, Config config);
    ~SearchFlow();   // cancels the running search and waits for every worker

    SearchFlow(const SearchFlow&) = delete;
    SearchFlow& operator=(const SearchFlow&) = delete;

    // Window-thread entry points.
    void OnClick(const Click& click);
    void OnSearchButton();
    void OnKeywordBox();
    void OnPreviousPage();
    void OnNextPage();
    void OnOption(int option);

    void SetAppearanceAction(std::function<void()> action) { appearanceAction_ = std::move(action); }
    void SetBlogAction(std::function<void()> action) { blogAction_ = std::move(action); }

    // The site code of the search that ran last; empty before the first.
    Text SiteCode() const { return siteCode_.Get(); }

    // Waits until every worker thread has ended (tests, shutdown).
    void WaitIdle();

    // Stops the running search (Esc): its token is cancelled under the write
    // lock, so once this returns none of its writes can still land and its
    // rows so far stay. True when a search was still running.
    bool CancelRunning();
    // True while some worker thread has not yet ended.
    bool Busy();

    // A search job: runs on the worker with the guarded view (writes dropped
    // once superseded) and the job's token. The default job is the dispatcher.
    using SearchJob = std::function<void(AppView& view, SiteNet& net, const Config& config,
                                         const CancelToken& cancel, SiteCodeStore& siteCode)>;
    void SetSearchJob(SearchJob job) { job_ = std::move(job); }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Cancels the running search and starts a new worker; clearRows first
    // clears the table (previous/next) under the write lock.
    void StartSearchThread(bool clearRows);
    void ReapFinishedWorkers();

    AppView& view_;
    SiteNet& net_;
    const Config config_;
    SiteCodeStore siteCode_;
    SearchJob job_;
    std::function<void()> appearanceAction_;
    std::function<void()> blogAction_;

    std::mutex writeMutex_;      // every write of every search passes here
    std::mutex workersMutex_;
    CancelToken current_;
    std::vector<Worker> workers_;
};

}  // namespace sorvix
