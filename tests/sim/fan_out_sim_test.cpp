// Fan-out over all twenty sources against the site simulator through the real
// net layer: one source refused, one hanging until its time-out, one that
// finds nothing, one listing the shares of another, the rest with rows. The
// per-source statuses say exactly that, the merged rows are the sources' rows
// without the repeated links, the run ends within one deadline of the others;
// and sorvix-cli's fan-out forms (json, table with summary lines, a list of
// sources, bad lists, Ctrl-C) and its cut-short notice for a single source.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/fan_out.h"
#include "app/core/search.h"
#include "cli/cli.h"
#include "mini_json.h"
#include "sim_fixture.h"
#include "sites/site_search.h"
#include "tools/sitesim/dataset.h"

namespace sorvix {
namespace {

using sitesim::Site;
using test::G;
using test::Json;

constexpr const char* kRefused = "http://127.0.0.1:1";
constexpr int kHangOption = 12;      // 城通网盘, wp 12
constexpr int kNoHitsOption = 6;     // QQ旋风, wp 30
constexpr int kMirrorOption = 19;    // 网盘搜资源, wp 100: lists 百度网盘's shares
constexpr int kMirroredOption = 3;   // 百度网盘, wp 15

class FanOutSim : public test::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        if (HasFatalFailure()) return;
        config.magnet = kRefused;
        sim.SetFaults(Site::kSearchBase, test::Fault(sitesim::FaultKind::kHang, "&wp=12&"));
        sim.SetDiskKindAnswers({{"30", {true, ""}}, {"100", {false, "15"}}});
    }

    // The outcome each source must report. A site that never answers ends
    // its request by the receive time-out before any answer head came: the
    // net layer names that "no answer".
    static std::string ExpectedOutcome(int option) {
        if (option == 1) return "failed: connection refused";
        if (option == kHangOption) return "failed: no answer";
        if (option == kNoHitsOption) return "no results";
        return "ok";
    }
    static int ExpectedRows(int option) {
        if (option == 1 || option == kHangOption || option == kNoHitsOption) return 0;
        return option == 2 ? 100 : 10;   // "ubuntu iso": 100 hits, the disk searches show page 1
    }
};

TEST_F(FanOutSim, TwentySourcesEachWithItsOutcomeAndTheMergedRows) {
    FanOutRequest request;
    for (int option = 1; option <= kSourceCount; ++option) request.options.push_back(option);
    request.keyword = G(sitesim::kKeywordUbuntu);
    config.pagesInFlight = 3;
    CancelToken cancel;
    const auto t0 = std::chrono::steady_clock::now();
    const FanOutResult result = RunFanOut(request, *net, config, cancel);
    const double runMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    ASSERT_EQ(result.sources.size(), 20u);
    double slowestOtherMs = 0;
    for (int option = 1; option <= kSourceCount; ++option) {
        const SourceStatus& s = result.sources[static_cast<size_t>(option - 1)];
        SCOPED_TRACE(GbkToUtf8(SourceLabel(option)));
        EXPECT_EQ(s.option, option);
        EXPECT_EQ(s.label, SourceLabel(option));
        EXPECT_EQ(s.OutcomeText(), ExpectedOutcome(option));
        EXPECT_EQ(s.rows, ExpectedRows(option));
        EXPECT_FALSE(s.cutShort);
        if (option != kHangOption) slowestOtherMs = std::max(slowestOtherMs, s.elapsedMs);
    }
    // The hanging source ends by its time-out, and the run with it: within
    // one request deadline of the slowest other source.
    const SourceStatus& hung = result.sources[kHangOption - 1];
    EXPECT_GE(hung.elapsedMs, config.network.receiveTimeoutMs * 0.9);
    EXPECT_LT(runMs, slowestOtherMs + config.network.overallDeadlineMs);

    // Merged: the share-index rows, then the disk rows in source order; the
    // mirror's rows all repeat 百度网盘's links and are folded into them.
    ASSERT_EQ(result.rows.size(), 100u + 15 * 10);
    const auto hits = sitesim::Search(sitesim::kKeywordUbuntu);
    for (size_t k = 0; k < 100; ++k) {
        EXPECT_EQ(result.rows[k].option, 2);
        EXPECT_EQ(result.rows[k].cells[kNameColumn - 1], G(hits[k]->name));
        EXPECT_TRUE(result.rows[k].alsoFrom.empty());
    }
    const std::string searchHost = sim.Address(Site::kSearchBase).substr(0, sim.Address(Site::kSearchBase).find("/cse"));
    for (size_t k = 0; k < 10; ++k) {
        const FanOutRow& row = result.rows[100 + k];
        EXPECT_EQ(row.option, kMirroredOption);
        EXPECT_EQ(row.alsoFrom, std::vector<int>{kMirrorOption});
        EXPECT_EQ(row.cells[kLinkColumn - 1], searchHost + "/share/15/" + std::to_string(hits[k]->id) + "?from=cse/web");
        EXPECT_EQ(row.cells[kDiskTypeColumn - 1], SourceLabel(kMirroredOption));
    }
    std::vector<int> order;
    for (const FanOutRow& row : result.rows)
        if (order.empty() || order.back() != row.option) order.push_back(row.option);
    EXPECT_EQ(order, (std::vector<int>{2, 3, 4, 5, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 20}));
    for (const FanOutRow& row : result.rows)
        if (row.option != kMirroredOption) EXPECT_TRUE(row.alsoFrom.empty());
}

// ---- sorvix-cli --------------------------------------------------------------------

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Cancels the run's token as the Nth request goes out, as Ctrl-C would.
class CancellingNet : public SiteNet {
public:
    CancellingNet(std::unique_ptr<SiteNet> inner, CancelToken token, int at)
        : inner_(std::move(inner)), token_(std::move(token)), at_(at) {}
    NetAnswer Request(const Text& url) override {
        Count();
        return inner_->Request(url);
    }
    NetAnswer FetchPage(const Text& url) override {
        Count();
        return inner_->FetchPage(url);
    }

private:
    void Count() {
        if (++seen_ == at_) token_.Cancel();
    }
    std::unique_ptr<SiteNet> inner_;
    CancelToken token_;
    int at_;
    std::atomic<int> seen_{0};
};

class FanOutCli : public FanOutSim {
protected:
    void SetUp() override {
        FanOutSim::SetUp();
        if (HasFatalFailure()) return;
        ini = WriteIni("fan_out_cli.ini");
        std::ofstream f(ini, std::ios::app | std::ios::binary);
        f << "[sites]\nmagnet = " << kRefused << "\n[network]\npages_in_flight = 3\n";
    }
    CliRun Run(const std::vector<std::string>& args,
               std::function<std::unique_ptr<SiteNet>(const Config&)> makeNet = nullptr,
               CancelToken cancel = CancelToken()) {
        std::ostringstream out;
        std::ostringstream err;
        cli::CliContext context{out, err, std::filesystem::path(ini), true, std::move(makeNet), cancel};
        CliRun r;
        r.status = cli::RunCli(args, context);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    std::string ini;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(FanOutCli, JsonHasEverySourcesStatusAndTheMergedRows) {
    const CliRun r = Run({"search", "--source", "all", "--format", "json", sitesim::kKeywordUbuntu});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    EXPECT_EQ(r.err, "") << "json: nothing on stderr";
    Json j;
    std::string error;
    ASSERT_TRUE(test::JsonReader::Parse(r.out, &j, &error)) << error;
    EXPECT_EQ(j.object["keyword"].string, sitesim::kKeywordUbuntu);
    const Json& sources = j.object["sources"];
    ASSERT_EQ(sources.array.size(), 20u);
    for (int option = 1; option <= kSourceCount; ++option) {
        Json s = sources.array[static_cast<size_t>(option - 1)];
        SCOPED_TRACE(option);
        EXPECT_EQ(s.object["source"].number, option);
        EXPECT_EQ(s.object["label"].string, GbkToUtf8(SourceLabel(option)));
        EXPECT_EQ(s.object["outcome"].string, ExpectedOutcome(option));
        EXPECT_EQ(s.object["rows"].number, ExpectedRows(option));
        EXPECT_EQ(s.object["cutShort"].kind, Json::kBool);
        EXPECT_EQ(s.object["ms"].kind, Json::kNumber);
    }
    const Json& rows = j.object["rows"];
    ASSERT_EQ(rows.array.size(), 250u);
    Json first = rows.array[0];
    EXPECT_EQ(first.object["source"].number, 2);
    EXPECT_EQ(first.object["label"].string, "盘多多");
    EXPECT_EQ(first.object["cells"].array.size(), 8u);
    Json mirrored = rows.array[100];
    EXPECT_EQ(mirrored.object["source"].number, kMirroredOption);
    ASSERT_EQ(mirrored.object["alsoFrom"].array.size(), 1u);
    EXPECT_EQ(mirrored.object["alsoFrom"].array[0].number, kMirrorOption);
}

TEST_F(FanOutCli, TableGivesTheMergedRowsAndOneSummaryLinePerSource) {
    const CliRun r = Run({"search", "--source", "1,2,百度网盘,115网盘,网盘搜资源", sitesim::kKeywordUbuntu});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    const std::vector<std::string> out = Lines(r.out);
    ASSERT_EQ(out.size(), 2u + 100 + 10 + 10);   // heading, rule, rows
    EXPECT_NE(out[0].find("来源"), std::string::npos);
    EXPECT_EQ(out[2].rfind("1  ", 0), 0u) << "renumbered from 1";
    EXPECT_NE(out[2].find("盘多多"), std::string::npos);
    EXPECT_NE(out[102].find("百度网盘 (+网盘搜资源)"), std::string::npos) << out[102];
    EXPECT_EQ(out.back().rfind("120  ", 0), 0u);

    const std::vector<std::string> err = Lines(r.err);
    ASSERT_EQ(err.size(), 5u) << r.err;
    const char* const expected[] = {"[BT樱桃] 0 rows, ", "[盘多多] 100 rows, ", "[百度网盘] 10 rows, ",
                                    "[115网盘] 10 rows, ", "[网盘搜资源] 10 rows, "};
    const char* const outcomes[] = {" ms, failed: connection refused", " ms, ok", " ms, ok", " ms, ok", " ms, ok"};
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(err[k].rfind(expected[k], 0), 0u) << err[k];
        const std::string tail = outcomes[k];
        EXPECT_TRUE(err[k].size() > tail.size() && err[k].compare(err[k].size() - tail.size(), tail.size(), tail) == 0)
            << err[k];
    }
}

TEST_F(FanOutCli, BadSourceListsAreUsageErrors) {
    struct Case {
        const char* sources;
        const char* message;
    };
    const Case cases[] = {{"1,nope", "unknown source nope"}, {",", "no source in ,"}, {"1,21", "unknown source 21"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sources);
        sim.ClearLog();
        const CliRun r = Run({"search", "--source", c.sources, "k"});
        EXPECT_EQ(r.status, cli::kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(Lines(r.err).size(), 1u);
        EXPECT_TRUE(sim.Requests().empty());
    }
}

TEST_F(FanOutCli, CtrlCDuringAFanOutCancelsEverySourceAndExits130) {
    for (const char* format : {"table", "json"}) {
        SCOPED_TRACE(format);
        CancelToken cancel;
        auto makeNet = [&](const Config& c) -> std::unique_ptr<SiteNet> {
            return std::make_unique<CancellingNet>(MakeNetworkSiteNet(c.network), cancel, 8);
        };
        sim.ClearLog();
        const auto t0 = std::chrono::steady_clock::now();
        const CliRun r = Run({"search", "--source", "all", "--format", format, sitesim::kKeywordUbuntu}, makeNet, cancel);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(r.status, cli::kExitCancelled);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "sorvix-cli: cancelled\n");
        // Six sources at a time with three pages each: at most the requests
        // already out when the cancel came, never the whole run's 41.
        EXPECT_LE(sim.Requests().size(), 8u + 6 * 3);
        EXPECT_LT(seconds, config.network.overallDeadlineMs / 1000.0 + 1) << "ends within one request";
    }
}

// A single source whose site names more pages than the walk goes to says so.
class HugePageCountNet : public SiteNet {
public:
    NetAnswer Request(const Text& url) override {
        if (url.find("&p=") == Text::npos) return {"var x = {totalPages:4321,y:1}"};
        return {"<h5 class=\"h\">e</h5>prop_val\">d</span>prop_val\">s</span>prop_val\">c</span>href=\"magnet:?" +
                url.substr(url.find("&p=") + 3) + "\">"};
    }
    NetAnswer FetchPage(const Text&) override { return {}; }
};

TEST_F(FanOutCli, ASingleSourceCutShortAtThePageCapSaysSo) {
    auto makeNet = [](const Config&) -> std::unique_ptr<SiteNet> { return std::make_unique<HugePageCountNet>(); };
    const CliRun r = Run({"search", "--source", "1", "--format", "tsv", "k"}, makeNet);
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 1u + kMaxPages);
    EXPECT_NE(r.err.find("sorvix-cli: the site named 4321 pages; the walk stopped at 1000, so the result is cut short\n"),
              std::string::npos)
        << r.err;

    const CliRun fan = Run({"search", "--source", "1,3", "k"}, makeNet);
    ASSERT_EQ(fan.status, cli::kExitOk) << fan.err;
    EXPECT_NE(fan.err.find(" ms, ok, cut short at 1000 pages\n"), std::string::npos) << fan.err;
}

}  // namespace
}  // namespace sorvix
