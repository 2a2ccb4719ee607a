// The magnet and share-index walks with pages in flight against the site
// simulator, which answers every request after a fixed latency and logs when
// each request arrived: the rows, numbers, labels and closing box are those
// of the sequential walk; the sequential walk never overlaps two requests,
// the concurrent one overlaps up to its limit and never beyond; a walk
// cancelled mid-way asks for nothing more and writes nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/core/recording_app_view.h"
#include "app/core/search.h"
#include "sim_fixture.h"
#include "tools/sitesim/dataset.h"

namespace sorvix {
namespace {

using sitesim::Site;
using test::G;
using Clock = std::chrono::steady_clock;

constexpr int kLatencyMs = 60;

struct WalkRun {
    std::vector<std::string> viewLog;
    std::vector<std::vector<Text>> rows;
    std::vector<sitesim::LoggedRequest> requests;
};

class PageWalkSim : public test::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        if (HasFatalFailure()) return;
        sitesim::FaultPlan plan;
        plan.latencyMs = kLatencyMs;
        sim.SetFaultsAll(plan);
    }

    WalkRun Walk(int option, int inFlight) {
        RecordingAppView view;
        view.TypeKeyword(G(sitesim::kKeywordUbuntu));
        sim.ClearLog();
        Config c = config;
        c.pagesInFlight = inFlight;
        CancelToken cancel;
        EXPECT_TRUE(RunSource(option, view, *net, c, cancel));
        return {view.Log(), view.Rows(), sim.Requests()};
    }
};

std::vector<std::string> SortedTargets(const std::vector<sitesim::LoggedRequest>& requests) {
    std::vector<std::string> targets;
    for (const auto& r : requests) targets.push_back(r.target);
    std::sort(targets.begin(), targets.end());
    return targets;
}

// The most requests that were out at once: a request is out from its arrival
// until its answer, kLatencyMs later, so it overlaps every request that
// arrived less than kLatencyMs before it.
int MostAtOnce(std::vector<sitesim::LoggedRequest> requests) {
    std::sort(requests.begin(), requests.end(), [](const auto& a, const auto& b) { return a.at < b.at; });
    int most = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        int out = 0;
        for (size_t j = 0; j <= i; ++j)
            if (requests[i].at - requests[j].at < std::chrono::milliseconds(kLatencyMs)) ++out;
        most = std::max(most, out);
    }
    return most;
}

TEST_F(PageWalkSim, PagesInFlightGiveTheSequentialWalksRowsTextsAndBox) {
    struct Case {
        int option;
        size_t requests;   // probe + pages for "ubuntu iso" (100 hits)
    };
    for (const Case& c : {Case{1, 11}, Case{2, 10}}) {
        SCOPED_TRACE("option " + std::to_string(c.option));
        const WalkRun sequential = Walk(c.option, 1);
        ASSERT_EQ(sequential.rows.size(), 100u);
        ASSERT_EQ(sequential.requests.size(), c.requests);
        EXPECT_EQ(MostAtOnce(sequential.requests), 1) << "pages_in_flight 1: no two requests overlap";

        const WalkRun concurrent = Walk(c.option, 3);
        EXPECT_EQ(concurrent.viewLog, sequential.viewLog) << "every label, row, cell and box alike";
        EXPECT_EQ(concurrent.rows, sequential.rows);
        EXPECT_EQ(SortedTargets(concurrent.requests), SortedTargets(sequential.requests));
        ASSERT_FALSE(concurrent.requests.empty());
        EXPECT_EQ(concurrent.requests.front().target, sequential.requests.front().target) << "the probe first";
        const int most = MostAtOnce(concurrent.requests);
        EXPECT_GE(most, 2) << "the pages were fetched side by side";
        EXPECT_LE(most, 3) << "never more than three at once";
    }
}

// Cancels the run as the view is given row `at`, as a superseding search or
// Ctrl-C would while rows are being written.
class CancelAtRow : public RecordingAppView {
public:
    CancelAtRow(CancelToken token, int at) : token_(std::move(token)), at_(at) {}
    int AppendRow() override {
        const int row = RecordingAppView::AppendRow();
        if (row == at_) {
            token_.Cancel();
            logAtCancel = Log().size();
        }
        return row;
    }
    size_t logAtCancel = 0;

private:
    CancelToken token_;
    int at_;
};

// Counts the requests the routine sent.
class CountingNet : public SiteNet {
public:
    explicit CountingNet(SiteNet& inner) : inner_(inner) {}
    NetAnswer Request(const Text& url) override {
        ++sent;
        return inner_.Request(url);
    }
    NetAnswer FetchPage(const Text& url) override {
        ++sent;
        return inner_.FetchPage(url);
    }
    std::atomic<int> sent{0};

private:
    SiteNet& inner_;
};

TEST_F(PageWalkSim, ACancelledWalkStopsAtOnceAndWritesNothingAfter) {
    for (int option : {1, 2}) {
        SCOPED_TRACE("option " + std::to_string(option));
        CancelToken cancel;
        CancelAtRow view(cancel, 25);   // a row of page 3
        view.TypeKeyword(G(sitesim::kKeywordUbuntu));
        CountingNet counting(*net);
        Config c = config;
        c.pagesInFlight = 3;
        sim.ClearLog();
        RunSource(option, view, counting, c, cancel);
        const int sentWhenDone = counting.sent.load();

        EXPECT_EQ(view.RowCount(), 25);
        // The row being written when the cancel came gets its cells; nothing
        // follows it: no later row, no closing label, no box.
        const std::vector<std::string> log = view.Log();
        EXPECT_LE(log.size(), view.logAtCancel + 9);
        for (size_t k = view.logAtCancel; k < log.size(); ++k)
            EXPECT_EQ(log[k].rfind("cell 25 ", 0) == 0 || log[k] == "label data " + G("已获取数据25个"), true) << log[k];
        EXPECT_TRUE(view.Messages().empty());
        EXPECT_NE(view.Label(StatusLabel::Operation), G("搜索完毕！"));
        // At most the window of three pages was out (page 3 and the two after it).
        EXPECT_LE(sentWhenDone, 1 + 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * kLatencyMs));
        EXPECT_EQ(counting.sent.load(), sentWhenDone) << "nothing asked for after the routine returned";
        EXPECT_LE(sim.Requests().size(), static_cast<size_t>(sentWhenDone));
    }
}

TEST_F(PageWalkSim, PagesInFlightFromTheIniFile) {
    for (const char* value : {"1", "3"}) {
        SCOPED_TRACE(value);
        const ConfigLoad load = ParseConfig(std::string("[network]\npages_in_flight = ") + value + "\n");
        ASSERT_TRUE(load.problems.empty());
        Config c = config;
        c.pagesInFlight = load.config.pagesInFlight;
        RecordingAppView view;
        view.TypeKeyword(G(sitesim::kKeywordUbuntu));
        sim.ClearLog();
        CancelToken cancel;
        RunSource(1, view, *net, c, cancel);
        EXPECT_EQ(view.RowCount(), 100);
        const int most = MostAtOnce(sim.Requests());
        if (std::string(value) == "1") EXPECT_EQ(most, 1);
        else EXPECT_GE(most, 2);
    }
}

}  // namespace
}  // namespace sorvix
