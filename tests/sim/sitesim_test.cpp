// The site simulator on its own: each site answers in the page shape the
// program's routines read (checked with std::regex against the same entry
// patterns), keywords arrive fully percent-encoded, every request is logged,
// and every fault does what it says. Runs natively and under Wine (Winsock).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "raw_http.h"
#include "sim_fixture.h"
#include "sites/site_patterns.h"
#include "tools/sitesim/dataset.h"
#include "tools/sitesim/pages.h"
#include "tools/sitesim/sitesim.h"

namespace sorvix {
namespace {

using sitesim::FaultKind;
using sitesim::FaultPlan;
using sitesim::Site;
using sitesim::SiteSim;
using test::Fault;
using test::RawGet;

// Every byte as %XX, as the program sends keywords.
std::string EncodeAll(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + needle.size())) ++n;
    return n;
}

int RegexCount(const std::string& text, const std::string& pattern) {
    std::regex re(pattern, std::regex::icase);
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

// The routines' own patterns, counted here by std::regex (they are in its
// syntax too), so the simulator's pages are checked by an engine of their own.
const std::string kMagnetEntry(site_pattern::kMagnetEntry);
const std::string kDiskHit(site_pattern::kDiskHit);

using SiteSimTest = test::SimServerFixture;

struct PageCase {
    const char* name;
    Site site;
    std::string target;
    int status;
    std::vector<std::string> contains;
    std::vector<std::string> lacks;
};

TEST_F(SiteSimTest, PagesHaveTheMarkersTheRoutinesRead) {
    const std::string threeBody = EncodeAll(sitesim::kKeywordThreeBody);
    const std::string earth = EncodeAll(sitesim::kKeywordEarth);
    const std::vector<PageCase> cases = {
        {"magnet probe", Site::kMagnet, "/search?keyword=" + threeBody, 200,
         {"totalPages:3,", "<span class='highlight'>\xE4\xB8\x89\xE4\xBD\x93</span>"}, {"\xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE6\x9C\x89\xE5\x85\xB3"}},
        {"magnet no result", Site::kMagnet, "/search?keyword=" + EncodeAll("xyz"), 200,
         {"\xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE6\x9C\x89\xE5\x85\xB3 xyz \xE7\x9A\x84\xE7\xBB\x93\xE6\x9E\x9C"}, {"totalPages:"}},
        {"share-index probe", Site::kShareIndex, "/s/name/" + earth, 200,
         {"<span class=\"pcount\">\xE5\x85\xB1" "2\xE9\xA1\xB5&nbsp;&nbsp;</span>", "<td> 20", "href=\"/c/1\">"},
         {"(\xE5\x85\xB1\xE6\x89\xBE\xE5\x88\xB0<b>0</b>"}},
        {"share-index zero", Site::kShareIndex, "/s/name/" + EncodeAll("xyz"), 200,
         {"color:white;\">&nbsp;xyz&nbsp;(\xE5\x85\xB1\xE6\x89\xBE\xE5\x88\xB0<b>0</b>\xE9\xA1\xB9)"}, {"pcount"}},
        {"share-index escaped name", Site::kShareIndex, "/s/name/" + EncodeAll("\xE8\x88\xAA\xE6\x8B\x8D"), 200,
         {"title=\"%E4%B8%AD%E5%9B%BD "}, {}},
        {"detail page", Site::kShareIndex, "/r/10002", 200, {"<a class=\"dbutton\" href=\"http://127.0.0.1:", "\" target=\"_blank\""}, {}},
        {"detail ed2k", Site::kShareIndex, "/r/10003", 200, {"<a class=\"dbutton\" href=\"ed2k://|file|sorvix-10003.bin|"}, {}},
        {"detail thunder", Site::kShareIndex, "/r/10004", 200, {"<a class=\"dbutton\" href=\"thunder://"}, {}},
        {"detail unknown", Site::kShareIndex, "/r/99", 404, {}, {"dbutton"}},
        {"custom search", Site::kSearchBase, "/cse?q=" + threeBody + "&wp=15&start=0", 200,
         {"\xE6\x89\xBE\xE5\x88\xB0\xE7\xBA\xA6 25 \xE6\x9D\xA1\xE7\xBB\x93\xE6\x9E\x9C", "/share/15/10001?from=cse%2Fweb",
          "');\" >\n"},
         {"\xE6\x90\x9C\xE7\xB4\xA2\xE6\x97\xA0\xE7\xBB\x93\xE6\x9E\x9C"}},
        {"custom search none", Site::kSearchBase, "/cse?q=" + EncodeAll("xyz") + "&wp=3&start=0", 200,
         {"\xE6\x90\x9C\xE7\xB4\xA2\xE6\x97\xA0\xE7\xBB\x93\xE6\x9E\x9C"}, {"cse-search-result_content_item_top_a"}},
        {"announcement", Site::kBlog, "/post/1d3adc9c_780596c", 200, {"V1.0", "^^^1.", "^^^</p>", "@@@http://127.0.0.1:"}, {}},
        {"blog home", Site::kBlog, "/", 200, {"/post/1d3adc9c_780596c"}, {}},
        {"unknown path", Site::kMagnet, "/nothing", 404, {}, {}},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto a = RawGet(Port(c.site), c.target);
        ASSERT_TRUE(a.gotHeader);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.contentLength, static_cast<long>(a.body.size()));
        EXPECT_NE(a.head.find("charset=utf-8"), std::string::npos);
        for (const auto& s : c.contains) EXPECT_NE(a.body.find(s), std::string::npos) << s;
        for (const auto& s : c.lacks) EXPECT_EQ(a.body.find(s), std::string::npos) << s;
    }
}

TEST_F(SiteSimTest, MagnetPagesSplitEntriesInTensUnderTheEntryPattern) {
    const std::string kw = EncodeAll(sitesim::kKeywordThreeBody);
    struct {
        std::string query;
        int entries;
    } cases[] = {{"", 10}, {"&p=1", 10}, {"&p=2", 10}, {"&p=3", 5}, {"&p=4", 0}, {"&p=abc", 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        auto a = RawGet(Port(Site::kMagnet), "/search?keyword=" + kw + c.query);
        EXPECT_EQ(RegexCount(a.body, kMagnetEntry), c.entries);
        EXPECT_EQ(Count(a.body, "magnet:?xt=urn:btih:"), c.entries);
    }
    // Ten full pages for the benchmark keyword.
    auto probe = RawGet(Port(Site::kMagnet), "/search?keyword=" + EncodeAll(sitesim::kKeywordUbuntu));
    EXPECT_NE(probe.body.find("totalPages:10,"), std::string::npos);
}

TEST_F(SiteSimTest, CustomSearchPagesFollowTheOffsetAndTheTabLayout) {
    const std::string kw = EncodeAll(sitesim::kKeywordThreeBody);  // 25 hits
    struct {
        const char* start;
        int hits;
    } cases[] = {{"0", 10}, {"10", 10}, {"20", 5}, {"30", 0}, {"-10", 10}, {"00", 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        auto a = RawGet(Port(Site::kSearchBase), "/cse?q=" + kw + "&wp=3&start=" + c.start);
        EXPECT_EQ(RegexCount(a.body, kDiskHit), c.hits);
    }
}

TEST_F(SiteSimTest, ShareIndexPagesHaveOneOfEachFieldPerEntry) {
    const std::string kw = EncodeAll(sitesim::kKeywordThreeBody);  // 25 hits: 12 + 12 + 1
    struct {
        const char* suffix;
        int entries;
    } cases[] = {{"", 12}, {"/1", 12}, {"/2", 12}, {"/3", 1}, {"/4", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.suffix);
        auto a = RawGet(Port(Site::kShareIndex), "/s/name/" + kw + c.suffix);
        for (const site_pattern::FieldPattern& field : site_pattern::kShareFields) {
            EXPECT_EQ(RegexCount(a.body, std::string(field.pattern)), c.entries) << field.pattern;
        }
    }
}

TEST_F(SiteSimTest, KeywordsAreDecodedFromEveryByteEscaped) {
    // "q z" must match nothing but be echoed back as the decoded phrase; an
    // escaped '/' in a share-index keyword is no page separator.
    auto a = RawGet(Port(Site::kMagnet), "/search?keyword=%71%20%7A");
    EXPECT_NE(a.body.find(" q z \xE7\x9A\x84\xE7\xBB\x93\xE6\x9E\x9C"), std::string::npos);
    auto b = RawGet(Port(Site::kShareIndex), "/s/name/%61%2F%62/2");
    EXPECT_NE(b.body.find("&nbsp;a/b&nbsp;"), std::string::npos);
    auto c = RawGet(Port(Site::kMagnet), "/search?keyword=" + EncodeAll("UBUNTU ISO"));
    EXPECT_NE(c.body.find("totalPages:10,"), std::string::npos) << "ASCII case is ignored";
    // Markup in a keyword is escaped, never echoed raw.
    auto d = RawGet(Port(Site::kMagnet), "/search?keyword=" + EncodeAll("<b>"));
    EXPECT_EQ(d.body.find("<b>"), std::string::npos);
}

TEST(SiteSimData, SearchMatchesEveryTerm) {
    struct {
        std::string keyword;
        std::size_t hits;
    } cases[] = {
        {sitesim::kKeywordThreeBody, 25}, {sitesim::kKeywordUbuntu, 100}, {sitesim::kKeywordEarth, 17},
        {"ubuntu-17.10 server", 2},       {"   ", 0},                     {"xyz", 0},
        {"\xE4\xB8\x89\xE4\xBD\x93\xE3\x80\x80\xE5\x85\xA8\xE9\x9B\x86", 7},  // 三体　全集 (full-width space)
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sitesim::Search(c.keyword).size(), c.hits) << c.keyword;
    }
}

TEST_F(SiteSimTest, LogsEveryRequestInOrderWithItsFullTarget) {
    std::string logPath = ::testing::TempDir() + "sitesim_log_test.txt";
    std::remove(logPath.c_str());
    sim.Stop();
    sitesim::SiteSimConfig config;
    config.ports = {0, 0, 0, 0};
    config.logPath = logPath;
    std::string error;
    ASSERT_TRUE(sim.Start(config, &error)) << error;

    RawGet(Port(Site::kMagnet), "/search?keyword=%61&p=2");
    RawGet(Port(Site::kShareIndex), "/s/name/%61");
    RawGet(Port(Site::kSearchBase), "/cse?q=%61&wp=3&start=0");
    RawGet(Port(Site::kBlog), "/nothing?x=1");
    auto log = sim.Requests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].site, Site::kMagnet);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].target, "/search?keyword=%61&p=2");
    EXPECT_EQ(log[3].target, "/nothing?x=1");
    EXPECT_EQ(sim.Targets(Site::kSearchBase), std::vector<std::string>{"/cse?q=%61&wp=3&start=0"});
    sim.Stop();

    std::ifstream in(logPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(),
              "magnet GET /search?keyword=%61&p=2\n"
              "shareindex GET /s/name/%61\n"
              "searchbase GET /cse?q=%61&wp=3&start=0\n"
              "blog GET /nothing?x=1\n");
    std::remove(logPath.c_str());
}

TEST_F(SiteSimTest, LatencyDelaysEveryAnswer) {
    FaultPlan plan;
    plan.latencyMs = 300;
    sim.SetFaults(Site::kMagnet, plan);
    auto slow = RawGet(Port(Site::kMagnet), "/search?keyword=%61");
    auto fast = RawGet(Port(Site::kBlog), "/");
    EXPECT_EQ(slow.status, 200);
    EXPECT_GE(slow.seconds, 0.29);
    EXPECT_LT(fast.seconds, 0.25);
}

TEST_F(SiteSimTest, FaultsHitOnlyTheirWindowOfRequests) {
    FaultPlan plan = Fault(FaultKind::kReset);
    plan.fromRequest = 2;
    plan.toRequest = 3;
    sim.SetFaults(Site::kMagnet, plan);
    std::vector<bool> answered;
    for (int i = 0; i < 4; ++i) answered.push_back(RawGet(Port(Site::kMagnet), "/search?keyword=%61").gotHeader);
    EXPECT_EQ(answered, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(sim.Requests().size(), 4u) << "faulted requests are logged too";

    sim.SetFaults(Site::kMagnet, Fault(FaultKind::kReset, "&p=2"));
    EXPECT_TRUE(RawGet(Port(Site::kMagnet), "/search?keyword=%61&p=1").gotHeader);
    EXPECT_FALSE(RawGet(Port(Site::kMagnet), "/search?keyword=%61&p=2").gotHeader);
}

TEST_F(SiteSimTest, ResetAnswersNothing) {
    sim.SetFaults(Site::kShareIndex, Fault(FaultKind::kReset));
    auto a = RawGet(Port(Site::kShareIndex), "/s/name/%61");
    EXPECT_TRUE(a.connected);
    EXPECT_FALSE(a.gotHeader);
    EXPECT_LT(a.seconds, 2.0);
}

TEST_F(SiteSimTest, HangHoldsTheConnectionAndStopStillReturns) {
    sim.SetFaults(Site::kBlog, Fault(FaultKind::kHang));
    auto a = RawGet(Port(Site::kBlog), "/", 600);
    EXPECT_FALSE(a.gotHeader);
    EXPECT_GE(a.seconds, 0.55);

    // A client still waiting on a hung connection must not keep Stop() waiting.
    loopback::Socket waiting = loopback::ConnectLoopback(Port(Site::kBlog));
    std::string req = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    loopback::SendAll(waiting, req.data(), req.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    auto t0 = std::chrono::steady_clock::now();
    sim.Stop();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 1.0);
}

TEST_F(SiteSimTest, BrokenMarkupIsAShorterMangledPage) {
    auto good = RawGet(Port(Site::kMagnet), "/search?keyword=" + EncodeAll(sitesim::kKeywordThreeBody));
    sim.SetFaults(Site::kMagnet, Fault(FaultKind::kBrokenMarkup));
    auto bad = RawGet(Port(Site::kMagnet), "/search?keyword=" + EncodeAll(sitesim::kKeywordThreeBody));
    EXPECT_EQ(bad.status, 200);
    EXPECT_EQ(bad.contentLength, static_cast<long>(bad.body.size()));
    EXPECT_LT(bad.body.size(), good.body.size() * 7 / 10);
    EXPECT_EQ(bad.body.find("totalPages:"), std::string::npos);
    EXPECT_LT(RegexCount(bad.body, kMagnetEntry), RegexCount(good.body, kMagnetEntry));
}

TEST_F(SiteSimTest, HugeBodyIsSentInFull) {
    sim.SetFaults(Site::kSearchBase, test::HugeBody(3u << 20));
    auto a = RawGet(Port(Site::kSearchBase), "/cse?q=%61&wp=3&start=0", 20000);
    EXPECT_EQ(a.contentLength, 3l << 20);
    EXPECT_EQ(a.body.size(), 3u << 20);
    EXPECT_EQ(a.body.rfind("<!DOCTYPE html>", 0), 0u) << "the page comes first, the padding after it";
}

TEST_F(SiteSimTest, CutBodyBreaksOffHalfWay) {
    sim.SetFaults(Site::kMagnet, Fault(FaultKind::kCutBody));
    auto a = RawGet(Port(Site::kMagnet), "/search?keyword=" + EncodeAll(sitesim::kKeywordThreeBody));
    ASSERT_TRUE(a.gotHeader);
    EXPECT_GT(a.contentLength, 1000);
    EXPECT_EQ(static_cast<long>(a.body.size()), a.contentLength / 2) << "half the announced body, then nothing";
}

TEST_F(SiteSimTest, DripSendsTheWholeAnswerSlowly) {
    sim.SetFaults(Site::kBlog, test::Drip(20));
    auto a = RawGet(Port(Site::kBlog), "/", 20000);
    ASSERT_TRUE(a.gotHeader);
    EXPECT_EQ(static_cast<long>(a.body.size()), a.contentLength);
    const double pieces = static_cast<double>(a.head.size() + 4 + a.body.size()) / 16;
    EXPECT_GE(a.seconds, (pieces - 1) * 0.02 * 0.9);
}

TEST_F(SiteSimTest, OversizedRequestHeaderIsRefused) {
    auto a = RawGet(Port(Site::kMagnet), "/search?keyword=" + std::string(70000, 'a'));
    EXPECT_EQ(a.status, 431);
}

TEST(SiteSimStart, ABusyPortFailsWithAReason) {
    SiteSim first;
    sitesim::SiteSimConfig config;
    config.ports = {0, 0, 0, 0};
    std::string error;
    ASSERT_TRUE(first.Start(config, &error)) << error;
    SiteSim second;
    config.ports = {0, 0, first.Port(Site::kSearchBase), 0};
    EXPECT_FALSE(second.Start(config, &error));
    EXPECT_NE(error.find("searchbase"), std::string::npos) << error;
    EXPECT_EQ(second.Port(Site::kMagnet), 0) << "no server keeps running after a failed start";
}

}  // namespace
}  // namespace sorvix
