// Every source against the site simulator through the real net layer (curl
// natively, WinInet under Wine), the real regex engine and the real site
// routines: what the table, the labels and the message boxes end with, and
// exactly which requests the simulator saw. Expected rows are built from the
// simulator's data set, so a fault anywhere on the way (encoding, transport,
// decoding, patterns, row assembly) shows up as a wrong cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "app/core/recording_app_view.h"
#include "app/core/search.h"
#include "sim_fixture.h"
#include "sites/site_texts.h"
#include "tools/sitesim/dataset.h"
#include "tools/sitesim/pages.h"

namespace sorvix {
namespace {

using sitesim::FaultKind;
using sitesim::FaultPlan;
using sitesim::Site;
using test::Fault;
using test::G;

const std::string kThreeBodyEncoded = "%E4%B8%89%E4%BD%93";  // 三体, every byte escaped

std::string Decimal(long long v) { return std::to_string(v); }

class SitesEndToEnd : public test::SimFixture {
protected:
    // Runs source `option` with the keyword (UTF-8) and page box text.
    RecordingAppView& Run(int option, const std::string& keyword, const std::string& page = "1") {
        view = std::make_unique<RecordingAppView>();
        view->TypeKeyword(G(keyword));
        view->TypePage(G(page));
        sim.ClearLog();
        CancelToken cancel;
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_TRUE(RunSource(option, *view, *net, config, cancel));
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return *view;
    }

    std::vector<Text> Messages() const {
        std::vector<Text> out;
        for (const auto& m : view->Messages()) out.push_back(m.text);
        return out;
    }

    std::unique_ptr<RecordingAppView> view;
    double seconds = 0;
};

// The probe that learns the page count comes first; the result pages after it
// are fetched several at once, so they may arrive in any order, but each
// exactly once.
void ExpectProbeThenPages(std::vector<std::string> targets, const std::string& probe,
                          std::vector<std::string> pages) {
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.front(), probe);
    targets.erase(targets.begin());
    std::sort(targets.begin(), targets.end());
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(targets, pages);
}

std::vector<Text> MagnetRow(int n, const sitesim::Resource& r) {
    return {Decimal(n),
            G(r.name),
            G(r.date),
            G(r.size),
            Decimal(r.fileCount),
            "magnet:?xt=urn:btih:" + sitesim::InfoHash(r.name),
            G("磁力"),
            G("不是网盘")};
}

TEST_F(SitesEndToEnd, MagnetSearchWalksEveryPageAndFillsEveryCell) {
    auto& v = Run(1, sitesim::kKeywordThreeBody);
    ExpectProbeThenPages(sim.Targets(Site::kMagnet), "/search?keyword=" + kThreeBodyEncoded,
                         {"/search?keyword=" + kThreeBodyEncoded + "&p=1",
                          "/search?keyword=" + kThreeBodyEncoded + "&p=2",
                          "/search?keyword=" + kThreeBodyEncoded + "&p=3"});
    auto hits = sitesim::Search(sitesim::kKeywordThreeBody);
    auto rows = v.Rows();
    ASSERT_EQ(rows.size(), hits.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], MagnetRow(static_cast<int>(i) + 1, *hits[i])) << "row " << i + 1;
    }
    EXPECT_EQ(v.Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(v.Label(StatusLabel::Data), G("已获取数据25个"));
    EXPECT_EQ(Messages(), std::vector<Text>{G("共找到  25  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！")});
}

TEST_F(SitesEndToEnd, MagnetSearchWithoutResultsShowsTheSitesPhrase) {
    auto& v = Run(1, "no such thing");
    EXPECT_EQ(sim.Targets(Site::kMagnet),
              std::vector<std::string>{"/search?keyword=%6E%6F%20%73%75%63%68%20%74%68%69%6E%67"});
    EXPECT_EQ(Messages(), std::vector<Text>{G("很抱歉, 没有找到有关   no such thing   的结果。")});
    EXPECT_EQ(v.RowCount(), 0);
    EXPECT_EQ(v.Label(StatusLabel::Operation), G("暂时没有任何操作"));
}

TEST_F(SitesEndToEnd, MagnetSearchOfTenPagesNumbersRowsAcrossPages) {
    auto& v = Run(1, "UBUNTU iso");
    EXPECT_EQ(sim.Targets(Site::kMagnet).size(), 11u);
    EXPECT_EQ(sim.Targets(Site::kMagnet).back(), "/search?keyword=%55%42%55%4E%54%55%20%69%73%6F&p=10");
    auto rows = v.Rows();
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows[10][0], "11");
    EXPECT_EQ(rows[99][1], "ubuntu-17.10-alternate-i386.iso") << "the highlight tags are gone";
}

TEST_F(SitesEndToEnd, ShareIndexSearchAssemblesRowsFromItsSixPatterns) {
    auto& v = Run(2, sitesim::kKeywordThreeBody);
    const std::string base = "/s/name/" + kThreeBodyEncoded;
    ExpectProbeThenPages(sim.Targets(Site::kShareIndex), base, {base + "/1", base + "/2", base + "/3"});
    static const char* const kTypes[] = {"", "视频", "音乐", "未知", "文档", "软件", "其它"};
    auto hits = sitesim::Search(sitesim::kKeywordThreeBody);
    auto rows = v.Rows();
    ASSERT_EQ(rows.size(), hits.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = *hits[i];
        std::vector<Text> expected = {Decimal(static_cast<long long>(i) + 1),
                                      G(r.name),
                                      G(r.date.substr(2)),
                                      G(r.size),
                                      G("不知"),
                                      config.shareIndex + "/r/" + Decimal(r.id),
                                      G(kTypes[r.category]),
                                      G(r.disk)};
        EXPECT_EQ(rows[i], expected) << "row " << i + 1;
    }
    EXPECT_EQ(Messages(), std::vector<Text>{G("共找到  25  个内容。\r\n\r\n\r\n\r\n右键弹出菜单")});
}

TEST_F(SitesEndToEnd, ShareIndexPageIsPercentDecodedBeforeSearching) {
    auto& v = Run(2, "航拍");
    auto rows = v.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], G("中国 纪录片 航拍中国.mkv"));
}

TEST_F(SitesEndToEnd, ShareIndexWithoutResultsShowsTheSearchedTerm) {
    auto& v = Run(2, "xyz");
    EXPECT_EQ(sim.Targets(Site::kShareIndex), std::vector<std::string>{"/s/name/%78%79%7A"});
    EXPECT_EQ(Messages(), std::vector<Text>{G("很抱歉, 没有找到有关  xyz  的结果。")});
    EXPECT_EQ(v.RowCount(), 0);
}

TEST_F(SitesEndToEnd, EveryDiskOptionAsksForItsKindAndPage) {
    for (int option = 3; option <= kSourceCount; ++option) {
        const DiskSearchVariant& variant = *DiskVariantForOption(option);
        SCOPED_TRACE(GbkToUtf8(variant.optionLabel));
        auto& v = Run(option, sitesim::kKeywordThreeBody, "3");
        std::string wp(variant.wp);
        EXPECT_EQ(sim.Targets(Site::kSearchBase),
                  std::vector<std::string>{"/cse?q=" + kThreeBodyEncoded + "&wp=" + wp + "&start=20"});
        auto rows = v.Rows();
        ASSERT_EQ(rows.size(), 5u);  // hits 21..25
        auto hits = sitesim::Search(sitesim::kKeywordThreeBody);
        const auto& r = *hits[20];
        std::string title = r.name + (r.name.size() > 40 ? " " : "");
        std::vector<Text> expected = {"1",
                                      G(std::string(11, '\t') + title + std::string(10, '\t')),
                                      G("不知"),
                                      G("不知"),
                                      G("不知"),
                                      sim.Address(Site::kSearchBase).substr(0, sim.Address(Site::kSearchBase).find("/cse")) +
                                          "/share/" + wp + "/" + Decimal(r.id) + "?from=cse/web",
                                      Text(variant.fileTypeText),
                                      Text(variant.optionLabel)};
        EXPECT_EQ(rows[0], expected);
        EXPECT_EQ(v.Label(StatusLabel::Operation), G("搜索完毕！"));
        EXPECT_TRUE(v.Messages().empty()) << "no closing message for a disk search";
    }
}

TEST_F(SitesEndToEnd, DiskSearchPageBoxDecidesTheOffset) {
    struct {
        const char* page;
        const char* start;
        std::size_t rows;
    } cases[] = {{"1", "0", 10}, {"2", "10", 10}, {"01", "00", 10}, {"abc", "-10", 10}, {"4", "30", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        auto& v = Run(9, sitesim::kKeywordThreeBody, c.page);  // 360云盘, wp 3
        EXPECT_EQ(sim.Targets(Site::kSearchBase),
                  std::vector<std::string>{"/cse?q=" + kThreeBodyEncoded + "&wp=3&start=" + c.start});
        EXPECT_EQ(v.Rows().size(), c.rows);
    }
}

TEST_F(SitesEndToEnd, DiskSearchWithoutHitsNamesTheKeyword) {
    auto& v = Run(3, "xyz");
    EXPECT_EQ(Messages(), std::vector<Text>{G("搜索xyz无结果")});
    EXPECT_EQ(v.RowCount(), 0);
}

TEST_F(SitesEndToEnd, ShareIndexDetailPagesResolveToTheirDownloadAddress) {
    const std::string site = config.shareIndex;
    struct {
        int id;
        bool found;
    } cases[] = {{10002, true}, {10003, true}, {10004, true}, {10143, true}, {10144, false}, {99, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        Text address = ResolveShareIndexLink(*net, site + "/r/" + Decimal(c.id));
        const sitesim::Resource* r = sitesim::FindById(c.id);
        if (c.found) {
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(address, sitesim::RealAddress(*r, site));
        } else {
            EXPECT_EQ(address, "");
        }
    }
    ASSERT_TRUE(sitesim::FindById(10144) && sitesim::FindById(10144)->expired) << "the fixture's expired share";
}

TEST_F(SitesEndToEnd, AnnouncementPostCarriesNotesAddressAndVersion) {
    // Read the way the update notice reads it: once percent-decoded for the
    // two marked parts, once raw for the version.
    const Text address = config.blog + sitesim::kAnnouncementPath;
    struct {
        const char* version;
        bool namesOwnVersion;
    } cases[] = {{"V1.0", true}, {"v1.0", true}, {"V1.1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        sim.SetBlogVersion(c.version);
        Text post = UrlDecode(BytesToText(net->FetchPage(address).body));
        EXPECT_EQ(TextBetween(post, "^^^", "^^^"), G("1.修复搜索卡顿 2.新增音乐搜索"));
        EXPECT_EQ(TextBetween(post, "@@@", "@@@"), config.blog + "/download/sorvix-" + c.version + ".zip");
        Text raw = BytesToText(net->FetchPage(address).body);
        EXPECT_EQ(Find(raw, "V1.0", 1, true) > 0, c.namesOwnVersion);
    }
}

// ---- Faults: a search always ends, with what it could read ----------------------

const char* const kCountZero = "共找到  0  个内容。\r\n\r\n\r\n\r\n右键弹出菜单";

// A fault on one site, met by a search for kKeywordThreeBody (25 hits) with
// source `option`, and how that search must end. Each case gets a fresh
// simulator, so request counts start from one.
struct FaultCase {
    const char* name;
    Site site;
    FaultPlan plan;
    int option;
    std::size_t targets;            // requests the site must see; 0: not checked
    int minRows, maxRows;
    std::vector<std::string> messages;   // closing messages, UTF-8; checked when `checkMessages`
    bool checkMessages;
    double maxSeconds;              // 0: not checked
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const FaultCase kFaultCases[] = {
    // A page damaged on the way costs its own rows; the walk goes on.
    {"AResetPageCostsOnlyItsOwnRows", Site::kMagnet, Fault(FaultKind::kReset, "&p=2"), 1, 4, 15, 15,
     {"共找到  15  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！"}, true, 0},
    {"BrokenMarkupGivesFewerRowsAndNoCrash", Site::kMagnet, Fault(FaultKind::kBrokenMarkup, "&p="), 1, 4, 0, 24,
     {}, false, 0},
    {"ABodyBrokenOffHalfWayEndsThatPageOnly", Site::kShareIndex, Fault(FaultKind::kCutBody, "/2"), 2, 4, 13, 24,
     {}, false, 0},
    // A site that never answers in full ends the search with nothing, within
    // the time-outs.
    {"AHangingSiteEndsTheSearchWithinTheTimeOuts", Site::kShareIndex, Fault(FaultKind::kHang), 2, 0, 0, 0,
     {kCountZero}, true, 10.0},
    // Each piece comes well inside the receive time-out; only the whole-call
    // deadline (6 s here) can end the probe.
    {"ADrippingAnswerIsCutByTheOverallDeadline", Site::kMagnet, test::Drip(400, 1), 1, 0, 0, 0,
     {std::string(kCountZero) + "！"}, true, 15.0},
    // Twice the configured ceiling; a disk search has no closing message.
    {"AnOversizedAnswerIsDroppedNotStored", Site::kSearchBase, test::HugeBody(8u << 20), 5, 0, 0, 0, {}, true, 0},
};

class SitesUnderFaults : public SitesEndToEnd, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SitesUnderFaults, SearchEndsWithWhatItCouldRead) {
    const FaultCase& c = GetParam();
    sim.SetFaults(c.site, c.plan);
    auto& v = Run(c.option, sitesim::kKeywordThreeBody);
    if (c.targets) {
        EXPECT_EQ(sim.Targets(c.site).size(), c.targets) << "the loop goes on after the failed page";
    }
    EXPECT_GE(v.RowCount(), c.minRows);
    EXPECT_LE(v.RowCount(), c.maxRows);
    EXPECT_EQ(v.Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(v.BadCellWrites(), 0);
    if (c.checkMessages) {
        std::vector<Text> expected;
        for (const std::string& m : c.messages) expected.push_back(G(m));
        EXPECT_EQ(Messages(), expected);
    }
    if (c.maxSeconds > 0) {
        EXPECT_LT(seconds, c.maxSeconds);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, SitesUnderFaults, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(SitesEndToEnd, ALatePageIsStillWaitedFor) {
    FaultPlan plan;
    plan.latencyMs = 400;
    sim.SetFaults(Site::kSearchBase, plan);
    auto& v = Run(4, sitesim::kKeywordEarth);
    EXPECT_EQ(v.RowCount(), 10);
    EXPECT_GE(seconds, 0.39);
}

}  // namespace
}  // namespace sorvix
