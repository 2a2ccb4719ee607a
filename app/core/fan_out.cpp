// The fan-out runner (see fan_out.h).
#include "app/core/fan_out.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/core/recording_app_view.h"
#include "app/core/search.h"

namespace sorvix {
namespace {

// How often the waiting runner looks at the run's token (it cannot wake a
// waiter by itself).
constexpr std::chrono::milliseconds kCancelPoll{5};

// One source's view of the web: forwards every request and keeps count of
// the failed ones and the first reason. Pages in flight call it from
// several threads.
class CountingNet : public SiteNet {
public:
    explicit CountingNet(SiteNet& inner) : inner_(inner) {}
    NetAnswer Request(const Text& url) override { return Count(inner_.Request(url)); }
    NetAnswer FetchPage(const Text& url) override { return Count(inner_.FetchPage(url)); }

    int requests() const { std::lock_guard<std::mutex> lock(mutex_); return requests_; }
    int failed() const { std::lock_guard<std::mutex> lock(mutex_); return failed_; }
    std::string firstFailure() const { std::lock_guard<std::mutex> lock(mutex_); return firstFailure_; }

private:
    NetAnswer Count(NetAnswer answer) {
        const std::string why = answer.Failure();
        std::lock_guard<std::mutex> lock(mutex_);
        ++requests_;
        if (!why.empty()) {
            if (failed_++ == 0) firstFailure_ = why;
        }
        return answer;
    }

    SiteNet& inner_;
    mutable std::mutex mutex_;
    int requests_ = 0;
    int failed_ = 0;
    std::string firstFailure_;
};

struct SourceRun {
    SourceStatus status;
    std::vector<std::vector<Text>> rows;
    CancelToken token;
    bool done = false;
};

void RunOne(SourceRun& run, const FanOutRequest& request, SiteNet& net, const Config& config) {
    SourceStatus& status = run.status;
    if (run.token.Cancelled()) {
        status.outcome = SourceOutcome::Cancelled;
        return;
    }
    RecordingAppView view;
    view.TypeKeyword(request.keyword);
    view.TypePage(request.page);
    CountingNet counting(net);
    SiteSearchResult result;
    const auto t0 = std::chrono::steady_clock::now();
    RunSource(status.option, view, counting, config, run.token, &result);
    status.elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    run.rows = view.Rows();
    status.rows = static_cast<int>(run.rows.size());
    status.requests = counting.requests();
    status.failedRequests = counting.failed();
    status.cutShort = result.cutShort;
    status.pagesNamed = result.pagesNamed;
    for (const MessageBoxRequest& box : view.Messages()) status.messages.push_back(box.text);
    if (run.token.Cancelled()) {
        status.outcome = SourceOutcome::Cancelled;
    } else if (status.rows > 0) {
        status.outcome = SourceOutcome::Ok;
    } else if (status.failedRequests > 0) {
        status.outcome = SourceOutcome::Failed;
        status.failure = counting.firstFailure();
    } else {
        status.outcome = SourceOutcome::NoResults;
    }
}

}  // namespace

std::string SourceStatus::OutcomeText() const {
    switch (outcome) {
        case SourceOutcome::Ok: return "ok";
        case SourceOutcome::NoResults: return "no results";
        case SourceOutcome::Failed: return "failed: " + failure;
        case SourceOutcome::Cancelled: return "cancelled";
    }
    return "";
}

std::vector<FanOutRow> MergeRows(const std::vector<int>& options,
                                 const std::vector<std::vector<std::vector<Text>>>& rowsPerSource) {
    std::vector<FanOutRow> merged;
    std::map<Text, size_t> byLink;   // link -> index of the row that has it
    for (size_t s = 0; s < options.size() && s < rowsPerSource.size(); ++s) {
        for (const std::vector<Text>& cells : rowsPerSource[s]) {
            const Text link = cells.size() >= static_cast<size_t>(kLinkColumn) ? cells[kLinkColumn - 1] : Text();
            if (!link.empty()) {
                auto it = byLink.find(link);
                if (it != byLink.end()) {
                    std::vector<int>& also = merged[it->second].alsoFrom;
                    // One source listing a link twice is noted once.
                    if (merged[it->second].option != options[s] &&
                        std::find(also.begin(), also.end(), options[s]) == also.end())
                        also.push_back(options[s]);
                    continue;
                }
                byLink.emplace(link, merged.size());
            }
            merged.push_back(FanOutRow{cells, options[s], {}});
        }
    }
    return merged;
}

FanOutResult RunFanOut(const FanOutRequest& request, SiteNet& net, const Config& config, const CancelToken& cancel,
                       const SourceDone& onDone) {
    // The sources to run, each once, in the order named.
    std::vector<int> options;
    for (int option : request.options)
        if (SourceForOption(option) && std::find(options.begin(), options.end(), option) == options.end())
            options.push_back(option);

    std::vector<std::unique_ptr<SourceRun>> runs;
    for (int option : options) {
        auto run = std::make_unique<SourceRun>();
        run->status.option = option;
        run->status.label = SourceLabel(option);
        runs.push_back(std::move(run));
    }

    std::mutex mutex;   // guards done flags and onDone calls
    std::condition_variable ended;
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (;;) {
            const size_t i = next++;
            if (i >= runs.size()) return;
            SourceRun& run = *runs[i];
            RunOne(run, request, net, config);
            std::lock_guard<std::mutex> lock(mutex);
            run.done = true;
            if (onDone) onDone(run.status);
            ended.notify_all();
        }
    };

    const int slots = std::clamp(config.sourcesInFlight, 1, kMaxSourcesInFlight);
    std::vector<std::thread> workers;
    for (size_t k = 0; k < std::min(runs.size(), static_cast<size_t>(slots)); ++k) workers.emplace_back(work);

    {
        std::unique_lock<std::mutex> lock(mutex);
        bool cancelled = false;
        auto allDone = [&] {
            return std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->done; });
        };
        while (!allDone()) {
            if (!cancelled && cancel.Cancelled()) {
                cancelled = true;
                for (auto& run : runs) run->token.Cancel();
            }
            ended.wait_for(lock, kCancelPoll);
        }
    }
    for (std::thread& worker : workers) worker.join();

    FanOutResult result;
    std::vector<std::vector<std::vector<Text>>> rows;
    for (auto& run : runs) {
        result.sources.push_back(run->status);
        rows.push_back(std::move(run->rows));
    }
    result.rows = MergeRows(options, rows);
    return result;
}

}  // namespace sorvix
