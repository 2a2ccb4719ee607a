// MagnetSiteSearch against fixture pages and the recording view: request
// addresses, page walk, row mapping, label sequence and closing messages.
#include <gtest/gtest.h>

#include "site_fixture.h"

namespace sorvix {
namespace {

using test::G;
using test::ReadFixture;

constexpr const char* kSite = "http://magnet.test:8931";

std::string Probe(const std::string& encoded) { return std::string(kSite) + "/search?keyword=" + encoded; }
std::string PageUrl(const std::string& encoded, int page) {
    return Probe(encoded) + "&p=" + std::to_string(page);
}

struct MagnetRun : test::SiteRun {
    void Run(const Text& keyword) {
        RunSearch(keyword, [](const SiteContext& c) { MagnetSiteSearch(c, kSite); });
    }
    // A probe announcing pages.size() pages, and page n answering pages[n - 1]
    // (an empty page is a failed request).
    void ServeWalk(const std::string& encoded, const std::vector<std::string>& pages) {
        net.Serve(Probe(encoded), "totalPages:" + std::to_string(pages.size()) + ",");
        for (size_t n = 1; n <= pages.size(); ++n) net.Serve(PageUrl(encoded, static_cast<int>(n)), pages[n - 1]);
    }
};

// Builds a page with `count` entries named "<prefix> n".
std::string EntriesPage(const std::string& prefix, int count) {
    std::string page = "<html><body>\n";
    for (int n = 1; n <= count; ++n) {
        page += "<div><h5 class=\"h\">" + prefix + " " + std::to_string(n) + "</h5>\n"
                "<span class=\"prop_val\">2014-01-0" + std::to_string(n % 9 + 1) + "</span>"
                "<span class=\"prop_val\">" + std::to_string(n) + " MB</span>"
                "<span class=\"prop_val\">" + std::to_string(n) + "</span>\n"
                "<a href=\"magnet:?xt=urn:btih:" + prefix + std::to_string(n) + "\">link</a></div>\n";
    }
    return page + "</body></html>";
}

TEST(MagnetSiteSearch, EncodesEveryKeywordByteAsUtf8PercentEscapes) {
    struct Case {
        const char* keywordUtf8;
        const char* encoded;
    };
    const Case cases[] = {
        {"a b", "%61%20%62"},
        {"中", "%E4%B8%AD"},                 // UTF-8 bytes, not the GBK bytes D6 D0
        {"A-1.z", "%41%2D%31%2E%7A"},
    };
    for (const Case& c : cases) {
        MagnetRun run;
        run.net.Serve(Probe(c.encoded), "var p = {totalPages:1,x:1}");
        run.Run(G(c.keywordUtf8));
        const std::vector<std::string> expected = {"request " + Probe(c.encoded),
                                                   "request " + PageUrl(c.encoded, 1)};
        EXPECT_EQ(run.net.Log(), expected) << c.keywordUtf8;
    }
}

TEST(MagnetSiteSearch, ProbeThenEveryPageIncludingPageOneAgain) {
    MagnetRun run;
    run.net.Serve(Probe("%61%62%63"), "<script>{totalPages:3,size:20}</script>");
    run.Run("abc");
    EXPECT_EQ(run.net.Urls(), (std::vector<std::string>{Probe("%61%62%63"), PageUrl("%61%62%63", 1),
                                                        PageUrl("%61%62%63", 2), PageUrl("%61%62%63", 3)}));
}

TEST(MagnetSiteSearch, FixturePagesGiveRowsNumberedAcrossPages) {
    MagnetRun run;
    run.net.Serve(Probe("%61%62%63"), ReadFixture("magnet_probe.html"));
    run.net.Serve(PageUrl("%61%62%63", 1), ReadFixture("magnet_page1.html"));
    run.net.Serve(PageUrl("%61%62%63", 2), ReadFixture("magnet_page2.html"));
    run.Run("abc");

    const auto rows = run.view.Rows();
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<Text> first = {"1", "abc.mkv", "2014-05-01", "1.2 GB", "3",
                                     "magnet:?xt=urn:btih:0123456789ABCDEF0123456789ABCDEF01234567",
                                     G("磁力"), G("不是网盘")};
    EXPECT_EQ(rows[0], first);
    // Highlight tags in other letter cases are removed as well.
    EXPECT_EQ(rows[1][1], G("电影 abc 合集"));
    EXPECT_EQ(rows[1][4], "12");
    EXPECT_EQ(rows[2][0], "3");   // the first entry of page 2 follows page 1
    EXPECT_EQ(rows[2][1], G("第三个 abc"));
    EXPECT_EQ(rows[2][5], "magnet:?xt=urn:btih:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！"));
    ASSERT_EQ(run.MessageTexts(), std::vector<Text>{G("共找到  3  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！")});
    EXPECT_EQ(run.view.Messages()[0].title, G("提示："));
    EXPECT_EQ(run.view.Messages()[0].icon, kIconQuestion);
    EXPECT_EQ(run.view.Messages()[0].captions, std::vector<Text>{G("知道了")});
}

TEST(MagnetSiteSearch, OrderOfUpdatesForOneEntry) {
    MagnetRun run;
    run.view.AppendRow();   // a row of an earlier search: cleared after the probe
    run.view.ClearLog();
    run.ServeWalk("%78", {EntriesPage("x", 1)});
    run.Run("x");
    const std::vector<std::string> expected = {
        "label op " + G("暂时没有任何操作"),
        "label data " + G("暂时没任何数据"),
        "clear",
        "label op " + G("搜索中...."),
        "append 1",
        "cell 1 1 1",
        "cell 1 2 x 1",
        "cell 1 3 2014-01-02",
        "cell 1 4 1 MB",
        "cell 1 5 1",
        "cell 1 6 magnet:?xt=urn:btih:x1",
        "cell 1 7 " + G("磁力"),
        "cell 1 8 " + G("不是网盘"),
        "label data " + G("已获取数据1个"),
        "label op " + G("搜索完毕！"),
        "msgbox " + G("提示：") + "|32|" + G("共找到  1  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！"),
    };
    EXPECT_EQ(run.view.Log(), expected);
}

TEST(MagnetSiteSearch, TwoPagesOfTwentyGiveFortyRows) {
    MagnetRun run;
    run.ServeWalk("%71", {EntriesPage("a", 20), EntriesPage("b", 20)});
    run.Run("q");
    ASSERT_EQ(run.view.RowCount(), 40);
    for (int row = 1; row <= 40; ++row) EXPECT_EQ(run.view.Cell(row, 1), std::to_string(row));
    EXPECT_EQ(run.view.Cell(10, 1), "10");
    EXPECT_EQ(run.view.Cell(21, 2), "b 1");
    EXPECT_EQ(run.view.LabelHistory(StatusLabel::Data).back(), G("已获取数据40个"));
    EXPECT_EQ(run.view.Messages().back().text, G("共找到  40  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！"));
}

TEST(MagnetSiteSearch, SitePhraseForNothingFoundLeavesTableAndLabels) {
    MagnetRun run;
    const int earlier = run.view.AppendRow();
    run.view.SetCell(earlier, 2, "earlier row");
    run.net.Serve(Probe("%78%79%7A"), ReadFixture("magnet_notfound.html"));
    run.Run("xyz");
    EXPECT_EQ(run.net.Log().size(), 1u);   // the probe only
    EXPECT_EQ(run.view.RowCount(), 1);
    EXPECT_EQ(run.view.Cell(1, 2), "earlier row");
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("暂时没有任何操作"));
    EXPECT_EQ(run.view.Label(StatusLabel::Data), G("暂时没任何数据"));
    // The phrase keeps its own spaces between the two pairs of spaces.
    EXPECT_EQ(run.MessageTexts(), std::vector<Text>{G("很抱歉, 没有找到有关   xyz   的结果。")});
}

TEST(MagnetSiteSearch, FailuresEndWithCountZero) {
    struct Case {
        const char* name;
        std::string probe;
        std::string page1;
    };
    const Case cases[] = {
        {"no answer", "", ""},
        {"answer without page count", "<html>nothing useful</html>", ""},
        {"page count not a number", "totalPages:many,", ""},
        {"page without entries", "totalPages:1,", "<html><h5 class=\"h\">broken</html>"},
    };
    for (const Case& c : cases) {
        MagnetRun run;
        run.view.AppendRow();
        run.net.Serve(Probe("%6B"), c.probe);
        run.net.Serve(PageUrl("%6B", 1), c.page1);
        run.Run("k");
        EXPECT_EQ(run.view.RowCount(), 0) << c.name;   // cleared after the probe
        EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！")) << c.name;
        EXPECT_EQ(run.view.Label(StatusLabel::Data), G("暂时没任何数据")) << c.name;
        EXPECT_EQ(run.MessageTexts(), std::vector<Text>{G("共找到  0  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！")}) << c.name;
    }
}

TEST(MagnetSiteSearch, FailedPageIsSkippedAndTheWalkGoesOn) {
    MagnetRun run;
    run.ServeWalk("%6B", {EntriesPage("a", 2), "", EntriesPage("c", 1)});   // page 2 fails
    run.Run("k");
    ASSERT_EQ(run.view.RowCount(), 3);
    EXPECT_EQ(run.view.Cell(3, 2), "c 1");
    EXPECT_EQ(run.view.Cell(3, 1), "3");
}

TEST(MagnetSiteSearch, KeywordIsReadAgainBeforeEveryPage) {
    MagnetRun run;
    run.net.Serve(Probe("%61"), "totalPages:2,");
    run.net.OnRequest([&](const Text& url) {
        if (url == PageUrl("%61", 1)) run.view.TypeKeyword("b");
    });
    run.Run("a");
    EXPECT_EQ(run.net.Urls(), (std::vector<std::string>{Probe("%61"), PageUrl("%61", 1), PageUrl("%62", 2)}));
}

TEST(MagnetSiteSearch, AbsurdPageCountIsCapped) {
    MagnetRun run;
    run.net.Serve(Probe("%6B"), "totalPages:2000000000,");
    run.Run("k");
    EXPECT_EQ(run.net.Log().size(), 1u + 1000u);
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！"));
}

TEST(MagnetSiteSearch, CancelledSearchStopsAtNextCheckpointWithoutClosingMessage) {
    MagnetRun run;
    run.ServeWalk("%6B", {EntriesPage("a", 5), EntriesPage("b", 5), EntriesPage("c", 5)});
    run.net.OnRequest([&](const Text& url) {
        if (url == PageUrl("%6B", 1)) run.cancel.Cancel();
    });
    run.Run("k");
    EXPECT_EQ(run.net.Log().size(), 2u);   // no page after the cancel
    EXPECT_EQ(run.view.RowCount(), 0);     // no row after the cancel
    EXPECT_TRUE(run.view.Messages().empty());
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索中...."));
}

}  // namespace
}  // namespace sorvix
