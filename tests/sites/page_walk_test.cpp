// The multi-page walks (magnet, share-index) with several pages in flight,
// against fixture pages served from memory: the view sees exactly what the
// sequential walk writes, the site the same requests, never more than N at
// once; a cancelled walk writes nothing more and asks for nothing more; the
// page cap is reported as a cut-short result.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "site_fixture.h"
#include "sites/page_walk.h"

namespace sorvix {
namespace {

using test::G;

constexpr const char* kMagnet = "http://magnet.test";
constexpr const char* kShare = "http://share.test";

std::string MagnetEntries(int page, int count) {
    std::string out = "<html>\n";
    for (int n = 1; n <= count; ++n) {
        const std::string id = std::to_string(page) + "-" + std::to_string(n);
        out += "<h5 class=\"h\">entry <span class='highlight'>" + id + "</span></h5>"
               "<span class=\"prop_val\">2014-0" + std::to_string(page % 9 + 1) + "-01</span>"
               "<span class=\"prop_val\">" + std::to_string(n) + " MB</span>"
               "<span class=\"prop_val\">" + std::to_string(page) + "</span>"
               "<a href=\"magnet:?xt=urn:btih:" + id + "\">\n";
    }
    return out + "</html>";
}

std::string ShareEntries(int page, int count) {
    std::string out = "<table>\n";
    for (int n = 1; n <= count; ++n) {
        const std::string id = std::to_string(page * 100 + n);
        out += "<tr><td><a class=\"blue\" target=\"_blank\" title=\"名字" + id + "\" href=\"/r/" + id + "\">x</a></td>"
               "<td><a href=\"/c/" + std::to_string(n % 6 + 1) + "\">c</a></td>"
               "<td class=\"t2\">" + std::to_string(n) + " KB</td><td> 2015-02-0" + std::to_string(n % 9 + 1) + " </td>"
               "<td><a target=\"_blank\" title=\"用户" + id + "资源，点击查看该用户分享的所有文件\">u</a></td></tr>\n";
    }
    return out + "</table>";
}

struct Source {
    const char* name;
    std::function<SiteSearchResult(const SiteContext&)> run;
    std::function<std::string()> probe;                 // address of the probe
    std::function<std::string(int)> page;               // address of page p
    std::function<std::string(int)> probeBody;          // probe naming `pages` pages
    std::function<std::string(int, int)> entries;       // page p with n entries
    bool fetches;                                       // FetchPage rather than Request
};

const Source kSources[] = {
    {"magnet", [](const SiteContext& c) { return MagnetSiteSearch(c, kMagnet); },
     [] { return std::string(kMagnet) + "/search?keyword=%61"; },
     [](int p) { return std::string(kMagnet) + "/search?keyword=%61&p=" + std::to_string(p); },
     [](int pages) { return "var x = {totalPages:" + std::to_string(pages) + ",y:1}"; }, MagnetEntries, false},
    {"shareindex", [](const SiteContext& c) { return ShareIndexSearch(c, kShare); },
     [] { return std::string(kShare) + "/s/name/%61"; },
     [](int p) { return std::string(kShare) + "/s/name/%61/" + std::to_string(p); },
     [](int pages) { return "<span class=\"pcount\">共" + std::to_string(pages) + "页&nbsp;&nbsp;</span>"; },
     ShareEntries, true},
};

// Probe plus `pages` pages of entries; page 3 is a failed request when
// `failThird` (the walk goes on past it).
void ServeWalk(test::FakeSiteNet& net, const Source& s, int pages, int perPage, bool failThird) {
    net.Serve(s.probe(), s.probeBody(pages));
    for (int p = 1; p <= pages; ++p) {
        if (failThird && p == 3) net.Fail(s.page(p), NetStatus::ReadFailed);
        else net.Serve(s.page(p), s.entries(p, perPage - p % 3));
    }
}

struct WalkRun {
    RecordingAppView view;
    test::FakeSiteNet net;
    CancelToken cancel;
    SiteSearchResult result;

    void Run(const Source& s, int inFlight) {
        view.TypeKeyword("a");
        result = s.run(SiteContext{view, net, cancel, inFlight});
    }
};

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(PageWalk, PagesInFlightWriteExactlyWhatTheSequentialWalkWrites) {
    for (const Source& s : kSources) {
        for (bool failThird : {false, true}) {
            WalkRun sequential;
            ServeWalk(sequential.net, s, 7, 9, failThird);
            sequential.Run(s, 1);
            ASSERT_GT(sequential.view.RowCount(), 30) << s.name;

            // The sequential walk asks for the probe and then page after page.
            std::vector<std::string> order = {std::string(s.fetches ? "fetch " : "request ") + s.probe()};
            for (int p = 1; p <= 7; ++p) order.push_back(std::string(s.fetches ? "fetch " : "request ") + s.page(p));
            EXPECT_EQ(sequential.net.Log(), order) << s.name;

            for (int inFlight : {2, 3, 7, 16}) {
                SCOPED_TRACE(std::string(s.name) + " in flight " + std::to_string(inFlight) +
                             (failThird ? " third page failing" : ""));
                WalkRun walk;
                ServeWalk(walk.net, s, 7, 9, failThird);
                walk.Run(s, inFlight);
                // Every label change, row, cell and box in the same order.
                EXPECT_EQ(walk.view.Log(), sequential.view.Log());
                EXPECT_EQ(walk.view.Rows(), sequential.view.Rows());
                EXPECT_EQ(Sorted(walk.net.Log()), Sorted(sequential.net.Log()));
                EXPECT_EQ(walk.net.Log().front(), sequential.net.Log().front()) << "the probe goes first";
                EXPECT_EQ(walk.view.BadCellWrites(), 0);
            }
        }
    }
}

// Counts the requests that are out at the same moment; each one takes a
// little while so that a walk which may overlap does.
class ConcurrencyNet : public SiteNet {
public:
    explicit ConcurrencyNet(SiteNet& inner) : inner_(inner) {}
    NetAnswer Request(const Text& url) override { return Counted([&] { return inner_.Request(url); }); }
    NetAnswer FetchPage(const Text& url) override { return Counted([&] { return inner_.FetchPage(url); }); }
    int MaxAtOnce() const { return max_.load(); }

private:
    template <class F>
    NetAnswer Counted(F call) {
        const int now = ++out_;
        int seen = max_.load();
        while (now > seen && !max_.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        NetAnswer answer = call();
        --out_;
        return answer;
    }
    SiteNet& inner_;
    std::atomic<int> out_{0};
    std::atomic<int> max_{0};
};

TEST(PageWalk, NeverMoreRequestsAtOnceThanPagesInFlight) {
    for (const Source& s : kSources) {
        for (int inFlight : {1, 2, 3, 4}) {
            SCOPED_TRACE(std::string(s.name) + " in flight " + std::to_string(inFlight));
            RecordingAppView view;
            test::FakeSiteNet fake;
            ServeWalk(fake, s, 8, 5, false);
            ConcurrencyNet net(fake);
            CancelToken cancel;
            view.TypeKeyword("a");
            s.run(SiteContext{view, net, cancel, inFlight});
            EXPECT_LE(net.MaxAtOnce(), inFlight);
            if (inFlight == 1) EXPECT_EQ(net.MaxAtOnce(), 1) << "strictly one after the other";
            else EXPECT_GE(net.MaxAtOnce(), 2) << "the pages do overlap";
            EXPECT_EQ(fake.Log().size(), 9u);
        }
    }
}

TEST(PageWalk, ACancelledWalkWritesNothingMoreAndAsksForNoMorePages) {
    for (const Source& s : kSources) {
        SCOPED_TRACE(s.name);
        WalkRun run;
        ServeWalk(run.net, s, 9, 6, false);
        run.net.Hold(s.page(3));   // the walk comes to wait for page 3
        std::thread search([&] { run.Run(s, 3); });

        // Pages 1 and 2 are written (6 - p % 3 entries each), pages 3..5 are out.
        auto waiting = [&] { return run.view.RowCount() == 9 && run.net.Log().size() == 6; };
        for (int i = 0; i < 5000 && !waiting(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(waiting()) << run.view.RowCount() << " rows, " << run.net.Log().size() << " requests";
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        const std::vector<std::string> viewBefore = run.view.Log();
        const std::vector<std::string> asked = run.net.Log();
        run.cancel.Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        run.net.Release();   // the answers still out arrive after the cancel
        search.join();

        EXPECT_EQ(run.view.Log(), viewBefore) << "nothing written after the cancel";
        EXPECT_EQ(run.net.Log(), asked) << "no page asked for after the cancel";
        EXPECT_TRUE(run.view.Messages().empty());
    }
}

TEST(PageWalk, AWalkStoppedAtThePageCapSaysItWasCutShort) {
    struct Case {
        int named;
        bool cutShort;
        size_t requests;
    };
    const Case cases[] = {{3, false, 4}, {kMaxPages, false, kMaxPages + 1}, {kMaxPages + 1, true, kMaxPages + 1},
                          {99999, true, kMaxPages + 1}};
    for (const Source& s : kSources) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(s.name) + " " + std::to_string(c.named));
            WalkRun run;
            run.net.Serve(s.probe(), s.probeBody(c.named));
            run.net.ServeOthers(s.entries(1, 1));
            run.Run(s, 3);
            EXPECT_EQ(run.result.cutShort, c.cutShort);
            EXPECT_EQ(run.result.pagesNamed, c.named);
            EXPECT_EQ(run.net.Log().size(), c.requests);
            EXPECT_EQ(run.view.RowCount(), static_cast<int>(c.requests) - 1);
        }
    }
}

TEST(PageWalk, NoPagesOrNothingFoundReportsNothingCutShort) {
    for (const Source& s : kSources) {
        SCOPED_TRACE(s.name);
        WalkRun run;   // every request fails: no page count
        run.Run(s, 3);
        EXPECT_FALSE(run.result.cutShort);
        EXPECT_EQ(run.result.pagesNamed, 0);
        EXPECT_EQ(run.net.Log().size(), 1u);
    }
}

// The walk helper alone: pages come back in order whatever order the answers
// arrive in, and the window never runs ahead by more than N.
TEST(PageWalk, HandsPagesBackInOrderWhenAnswersArriveOutOfOrder) {
    for (int inFlight : {1, 2, 4}) {
        SCOPED_TRACE(inFlight);
        CancelToken cancel;
        std::atomic<int> addressed{0};
        std::atomic<int> maxAhead{0};
        int handed = 0;
        PageWalk walk(
            6, inFlight, cancel,
            [&](int page) {
                addressed = page;
                maxAhead = std::max(maxAhead.load(), page - handed);
                return "p" + std::to_string(page);
            },
            [](const Text& address) {
                // Later pages answer sooner.
                std::this_thread::sleep_for(std::chrono::milliseconds(5 * (7 - (address[1] - '0'))));
                return "text of " + address;
            });
        Text text;
        std::vector<Text> got;
        while (walk.Next(&text)) {
            got.push_back(text);
            ++handed;
        }
        EXPECT_EQ(got, (std::vector<Text>{"text of p1", "text of p2", "text of p3", "text of p4", "text of p5",
                                          "text of p6"}));
        EXPECT_LE(maxAhead.load(), inFlight);
        EXPECT_EQ(addressed.load(), 6);
    }
}

}  // namespace
}  // namespace sorvix
