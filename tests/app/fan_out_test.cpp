// The fan-out runner against pages served from memory: per-source outcomes,
// the merge of rows with the same link, the limit of sources at once, a
// source that hangs not holding the others back, and cancellation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/fan_out.h"
#include "app/core/search.h"
#include "sites/site_search.h"
#include "tests/sites/site_test_support.h"

namespace sorvix {
namespace {

using test::FakeSiteNet;
using test::G;

Config TestConfig() {
    Config config;
    config.magnet = "http://m.test";
    config.shareIndex = "http://s.test";
    config.searchBaseEncoded = SearchBaseEncode("http://d.test/cse?q=");
    return config;
}

std::string DiskUrl(const DiskSearchVariant& v) {
    return "http://d.test/cse?q=%6B&wp=" + std::string(v.wp) + "&start=0";
}
std::string DiskUrl(int option) { return DiskUrl(*DiskVariantForOption(option)); }

std::string DiskHit(const std::string& link, const std::string& title) {
    return "<a class=\"cse-search-result_content_item_top_a\" href=\"" + link +
           "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"go('1');\" >\n" + std::string(11, '\t') +
           title + std::string(10, '\t') + "</a>\n";
}

std::string MagnetEntry(const std::string& name, const std::string& link) {
    return "<h5 class=\"h\">" + name + "</h5>prop_val\">d</span>prop_val\">s</span>prop_val\">c</span>href=\"" + link +
           "\">";
}

std::vector<Text> Row(const std::string& link) {
    std::vector<Text> cells(kColumnCount);
    cells[kLinkColumn - 1] = link;
    cells[kNameColumn - 1] = "name of " + link;
    return cells;
}

TEST(FanOut, MergeKeepsTheFirstRowOfALinkAndNotesTheOtherSources) {
    struct Case {
        const char* name;
        std::vector<int> options;
        std::vector<std::vector<std::string>> links;   // per source, in order
        std::vector<std::string> mergedLinks;
        std::vector<int> firstFrom;
        std::vector<std::vector<int>> alsoFrom;
    };
    const Case cases[] = {
        {"no duplicates", {1, 3}, {{"a", "b"}, {"c"}}, {"a", "b", "c"}, {1, 1, 3}, {{}, {}, {}}},
        {"a later source repeats a link", {1, 3, 4}, {{"a", "b"}, {"b", "c"}, {"a"}}, {"a", "b", "c"}, {1, 1, 3},
         {{4}, {3}, {}}},
        {"the order named decides, not the option number", {9, 2}, {{"x"}, {"x", "y"}}, {"x", "y"}, {9, 2},
         {{2}, {}}},
        {"one source listing a link twice keeps both notes out", {5, 6}, {{"a", "a"}, {"a", "a"}}, {"a"}, {5},
         {{6}}},
        {"rows without a link are never merged", {1, 2}, {{"", "a"}, {"", "a"}}, {"", "a", ""}, {1, 1, 2},
         {{}, {2}, {}}},
        {"a source without rows", {1, 2, 3}, {{}, {"a"}, {"a"}}, {"a"}, {2}, {{3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<std::vector<Text>>> rows;
        for (const auto& links : c.links) {
            rows.emplace_back();
            for (const std::string& link : links) rows.back().push_back(Row(link));
        }
        const std::vector<FanOutRow> merged = MergeRows(c.options, rows);
        ASSERT_EQ(merged.size(), c.mergedLinks.size());
        for (size_t k = 0; k < merged.size(); ++k) {
            EXPECT_EQ(merged[k].cells, Row(c.mergedLinks[k])) << k;
            EXPECT_EQ(merged[k].option, c.firstFrom[k]) << k;
            EXPECT_EQ(merged[k].alsoFrom, c.alsoFrom[k]) << k;
        }
    }
}

// Four sources, each ending its own way: rows, the site's nothing-found
// notice, a refused request, and rows from a source whose other page failed.
TEST(FanOut, EachSourceReportsItsOwnOutcome) {
    FakeSiteNet net;
    net.Serve("http://m.test/search?keyword=%6B", "totalPages:2,");
    net.Serve("http://m.test/search?keyword=%6B&p=1", MagnetEntry("m1", "magnet:?1") + MagnetEntry("m2", "http://same"));
    net.Fail("http://m.test/search?keyword=%6B&p=2", NetStatus::TimedOut);
    net.Fail("http://s.test/s/name/%6B", NetStatus::ConnectFailed);
    net.Serve(DiskUrl(3), "<div>搜索无结果</div>");
    net.Serve(DiskUrl(9), DiskHit("http://same", "dup") + DiskHit("http://d9", "own"));

    FanOutRequest request;
    request.options = {1, 2, 3, 9, 9};   // a source named twice runs once
    request.keyword = "k";
    CancelToken cancel;
    std::vector<int> doneOrder;
    std::mutex mutex;
    const FanOutResult result = RunFanOut(request, net, TestConfig(), cancel, [&](const SourceStatus& s) {
        std::lock_guard<std::mutex> lock(mutex);
        doneOrder.push_back(s.option);
    });

    ASSERT_EQ(result.sources.size(), 4u);
    EXPECT_EQ(doneOrder.size(), 4u) << "one call per source";
    struct Expect {
        int option;
        const char* label;
        int rows;
        std::string outcome;
        int requests;
        int failed;
        size_t messages;
    };
    const Expect expected[] = {
        {1, "BT樱桃", 2, "ok", 3, 1, 1},
        {2, "盘多多", 0, "failed: connection refused", 1, 1, 1},
        {3, "百度网盘", 0, "no results", 1, 0, 1},
        {9, "360云盘", 2, "ok", 1, 0, 0},
    };
    for (size_t k = 0; k < 4; ++k) {
        const SourceStatus& s = result.sources[k];
        SCOPED_TRACE(expected[k].label);
        EXPECT_EQ(s.option, expected[k].option);
        EXPECT_EQ(s.label, G(expected[k].label));
        EXPECT_EQ(s.rows, expected[k].rows);
        EXPECT_EQ(s.OutcomeText(), expected[k].outcome);
        EXPECT_EQ(s.requests, expected[k].requests);
        EXPECT_EQ(s.failedRequests, expected[k].failed);
        EXPECT_EQ(s.messages.size(), expected[k].messages);
        EXPECT_FALSE(s.cutShort);
        EXPECT_GE(s.elapsedMs, 0);
    }
    EXPECT_EQ(result.sources[0].messages[0], G("共找到  2  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！"));
    EXPECT_EQ(result.sources[2].messages[0], G("搜索k无结果"));

    ASSERT_EQ(result.rows.size(), 3u);
    EXPECT_EQ(result.rows[0].cells[kLinkColumn - 1], "magnet:?1");
    EXPECT_EQ(result.rows[1].cells[kLinkColumn - 1], "http://same");
    EXPECT_EQ(result.rows[1].option, 1);
    EXPECT_EQ(result.rows[1].alsoFrom, std::vector<int>{9});
    EXPECT_EQ(result.rows[1].cells[kNameColumn - 1], "m2") << "the first source's cells are kept";
    EXPECT_EQ(result.rows[2].cells[kLinkColumn - 1], "http://d9");
    EXPECT_EQ(result.rows[2].cells[kNumberColumn - 1], "2") << "a row keeps its number within its source";
}

// Counts the requests out at once; each takes a moment so that sources
// which may overlap do.
class SlowNet : public SiteNet {
public:
    explicit SlowNet(SiteNet& inner) : inner_(inner) {}
    NetAnswer Request(const Text& url) override { return Slow([&] { return inner_.Request(url); }); }
    NetAnswer FetchPage(const Text& url) override { return Slow([&] { return inner_.FetchPage(url); }); }
    int most() const { return most_.load(); }

private:
    template <class F>
    NetAnswer Slow(F call) {
        const int now = ++out_;
        int seen = most_.load();
        while (now > seen && !most_.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        NetAnswer answer = call();
        --out_;
        return answer;
    }
    SiteNet& inner_;
    std::atomic<int> out_{0};
    std::atomic<int> most_{0};
};

TEST(FanOut, NeverMoreSourcesAtOnceThanConfigured) {
    for (int slots : {1, 2, 4}) {
        SCOPED_TRACE(slots);
        FakeSiteNet fake;
        fake.ServeOthers(DiskHit("http://x", "x"));
        SlowNet net(fake);
        Config config = TestConfig();
        config.sourcesInFlight = slots;
        FanOutRequest request;
        for (int option = 3; option <= 10; ++option) request.options.push_back(option);
        request.keyword = "k";
        CancelToken cancel;
        const FanOutResult result = RunFanOut(request, net, config, cancel);
        EXPECT_LE(net.most(), slots);
        if (slots > 1) EXPECT_GE(net.most(), 2);
        EXPECT_EQ(fake.Log().size(), 8u);
        ASSERT_EQ(result.rows.size(), 1u) << "eight sources, one link";
        EXPECT_EQ(result.rows[0].alsoFrom, (std::vector<int>{4, 5, 6, 7, 8, 9, 10}));
    }
}

TEST(FanOut, AHangingSourceDoesNotHoldTheOthersBack) {
    FakeSiteNet net;
    net.ServeOthers(DiskHit("http://x", "x"));
    net.Hold(DiskUrl(3));   // the first source hangs
    Config config = TestConfig();
    config.sourcesInFlight = 2;
    FanOutRequest request;
    for (int option = 3; option <= 9; ++option) request.options.push_back(option);
    request.keyword = "k";
    CancelToken cancel;
    std::atomic<int> done{0};
    FanOutResult result;
    std::thread run([&] { result = RunFanOut(request, net, config, cancel, [&](const SourceStatus&) { ++done; }); });
    // With one slot taken by the hanging source, the other six still end.
    for (int i = 0; i < 5000 && done.load() < 6; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(done.load(), 6);
    net.Release();
    run.join();
    ASSERT_EQ(result.sources.size(), 7u);
    for (const SourceStatus& s : result.sources) EXPECT_EQ(s.OutcomeText(), "ok") << s.option;
}

TEST(FanOut, CancellingTheRunCancelsEverySourceAndStartsNoOther) {
    FakeSiteNet net;
    net.ServeOthers(DiskHit("http://x", "x"));
    net.Serve(DiskUrl(3), DiskHit("http://first", "first"));
    net.Hold(DiskUrl(4));
    net.Hold(DiskUrl(5));
    Config config = TestConfig();
    config.sourcesInFlight = 2;
    FanOutRequest request;
    for (int option = 3; option <= 12; ++option) request.options.push_back(option);
    request.keyword = "k";
    CancelToken cancel;
    FanOutResult result;
    std::thread run([&] { result = RunFanOut(request, net, config, cancel); });
    // Source 3 ends at once and its slot takes 5; 4 and 5 then wait on their
    // answers, and 6.. wait for a slot.
    for (int i = 0; i < 5000 && net.Log().size() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(net.Log().size(), 3u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cancel.Cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const size_t asked = net.Log().size();
    net.Release();
    run.join();

    EXPECT_EQ(net.Log().size(), asked) << "no source started after the cancel";
    ASSERT_EQ(result.sources.size(), 10u);
    EXPECT_EQ(result.sources[0].OutcomeText(), "ok");
    EXPECT_EQ(result.sources[1].OutcomeText(), "cancelled");
    EXPECT_EQ(result.sources[2].OutcomeText(), "cancelled");
    EXPECT_EQ(result.sources[1].rows, 0) << "its answer came after the cancel: no rows written";
    int neverStarted = 0;
    for (const SourceStatus& s : result.sources) {
        if (s.requests == 0) {
            ++neverStarted;
            EXPECT_EQ(s.OutcomeText(), "cancelled");
            EXPECT_EQ(s.elapsedMs, 0);
        }
    }
    EXPECT_EQ(neverStarted, 7);
}

TEST(FanOut, AWalkCutShortAtThePageCapIsNotedInItsStatus) {
    FakeSiteNet net;
    net.Serve("http://m.test/search?keyword=%6B", "totalPages:5000,");
    net.ServeOthers(MagnetEntry("e", "magnet:?e"));
    FanOutRequest request;
    request.options = {1};
    request.keyword = "k";
    Config config = TestConfig();
    config.pagesInFlight = 4;
    CancelToken cancel;
    const FanOutResult result = RunFanOut(request, net, config, cancel);
    ASSERT_EQ(result.sources.size(), 1u);
    EXPECT_TRUE(result.sources[0].cutShort);
    EXPECT_EQ(result.sources[0].pagesNamed, 5000);
    EXPECT_EQ(result.sources[0].rows, kMaxPages);
    EXPECT_EQ(result.sources[0].OutcomeText(), "ok");
}

}  // namespace
}  // namespace sorvix
