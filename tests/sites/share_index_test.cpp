// ShareIndexSearch and ResolveShareIndexLink against fixture pages.
#include <gtest/gtest.h>

#include "site_fixture.h"

namespace sorvix {
namespace {

using test::FakeSiteNet;
using test::G;
using test::ReadFixture;

constexpr const char* kSite = "http://share.test:8932";

struct ShareRun : test::SiteRun {
    void Run(const Text& keyword) {
        RunSearch(keyword, [](const SiteContext& c) { ShareIndexSearch(c, kSite); });
    }
};

std::string Probe(const std::string& encoded) { return std::string(kSite) + "/s/name/" + encoded; }
std::string PageUrl(const std::string& encoded, int page) { return Probe(encoded) + "/" + std::to_string(page); }
std::string Pages(int count) { return "<span class=\"pcount\">共" + std::to_string(count) + "页&nbsp;&nbsp;</span>"; }

// One table row as the site writes it; empty arguments leave the field out.
std::string Entry(const std::string& name, const std::string& date, const std::string& category,
                  const std::string& size, const std::string& owner, const std::string& link) {
    std::string row = "<tr>\n";
    if (!name.empty())
        row += "<td><a class=\"blue\" target=\"_blank\" title=\"" + name + "\" href=\"" + link + "\">x</a></td>\n";
    if (!date.empty()) row += "<td> " + date + " </td>\n";
    if (!category.empty()) row += "<td><a href=\"/c/" + category + "\">c</a></td>\n";
    if (!size.empty()) row += "<td class=\"t2\">" + size + "</td>\n";
    if (!owner.empty())
        row += "<td><a target=\"_blank\" title=\"" + owner + "资源，点击查看该用户分享的所有文件\" href=\"/u/1\">o</a></td>\n";
    return row + "</tr>\n";
}

TEST(ShareIndexSearch, RequestAddresses) {
    ShareRun run;
    run.net.Serve(Probe("%61%62"), Pages(3));
    run.Run("ab");
    EXPECT_EQ(run.net.Log(), (std::vector<std::string>{"fetch " + Probe("%61%62"), "fetch " + PageUrl("%61%62", 1),
                                                       "fetch " + PageUrl("%61%62", 2),
                                                       "fetch " + PageUrl("%61%62", 3)}));
}

TEST(ShareIndexSearch, FixturePageRowMapping) {
    ShareRun run;
    run.net.Serve(Probe("%61%62"), ReadFixture("share_probe.html"));
    run.net.Serve(PageUrl("%61%62", 1), ReadFixture("share_page.html"));
    run.Run("ab");
    ASSERT_EQ(run.view.RowCount(), 2);
    // The name held "%E5%90%88" in the page: the whole page is percent-decoded.
    const std::vector<Text> first = {"1", G("电影合集.rar"), "15-03-01", "1.5 GB", G("不知"),
                                     std::string(kSite) + "/r/12345", G("文档"), G("小明")};
    EXPECT_EQ(run.view.Rows()[0], first);
    const std::vector<Text> second = {"2", "notes.txt", "14-12-31", "12 KB", G("不知"),
                                      std::string(kSite) + "/r/67890", "", "amy"};
    EXPECT_EQ(run.view.Rows()[1], second);   // category 9: column 7 stays empty
    EXPECT_EQ(run.view.Label(StatusLabel::Data), G("已获取数据2个"));
    // This routine's closing message has no final "！".
    EXPECT_EQ(run.MessageTexts(), std::vector<Text>{G("共找到  2  个内容。\r\n\r\n\r\n\r\n右键弹出菜单")});
}

TEST(ShareIndexSearch, CategoryCodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "视频"}, {"2", "音乐"}, {"3", "未知"}, {"4", "文档"},
        {"5", "软件"}, {"6", "其它"}, {"9", ""},     {"0", ""},  {"44", ""},
    };
    for (const auto& [code, word] : cases) {
        ShareRun run;
        run.net.Serve(Probe("%6B"), Pages(1));
        run.net.Serve(PageUrl("%6B", 1), Entry("n", "2015-01-01", code, "1 KB", "o", "/r/1"));
        run.Run("k");
        ASSERT_EQ(run.view.RowCount(), 1) << code;
        EXPECT_EQ(run.view.Cell(1, 7), G(word)) << code;
    }
}

TEST(ShareIndexSearch, OrderOfUpdatesForOneEntry) {
    ShareRun run;
    run.net.Serve(Probe("%6B"), Pages(1));
    run.net.Serve(PageUrl("%6B", 1), Entry("n", "2015-01-01", "2", "1 KB", "o", "/r/1"));
    run.Run("k");
    const std::vector<std::string> expected = {
        "label op " + G("暂时没有任何操作"),
        "label data " + G("暂时没任何数据"),
        "clear",
        "label op " + G("搜索中...."),
        "append 1",
        "cell 1 7 " + G("音乐"),
        "label data " + G("已获取数据1个"),
        "cell 1 1 1",
        "cell 1 2 n",
        "cell 1 3 15-01-01",
        "cell 1 4 1 KB",
        "cell 1 5 " + G("不知"),
        "cell 1 6 " + std::string(kSite) + "/r/1",
        "cell 1 8 o",
        "label op " + G("搜索完毕！"),
        "msgbox " + G("提示：") + "|32|" + G("共找到  1  个内容。\r\n\r\n\r\n\r\n右键弹出菜单"),
    };
    EXPECT_EQ(run.view.Log(), expected);
}

TEST(ShareIndexSearch, MissingFieldShiftsLaterEntriesOfThePage) {
    ShareRun run;
    run.net.Serve(Probe("%6B"), Pages(1));
    run.net.Serve(PageUrl("%6B", 1), Entry("a", "", "1", "1 KB", "o", "/r/1") +
                                         Entry("b", "2015-02-02", "1", "2 KB", "o", "/r/2"));
    run.Run("k");
    ASSERT_EQ(run.view.RowCount(), 2);
    EXPECT_EQ(run.view.Cell(1, 3), "15-02-02");   // b's date, moved up
    EXPECT_EQ(run.view.Cell(2, 3), "");           // P2 matched fewer times than P1
}

TEST(ShareIndexSearch, ZeroResultsNoticeLeavesTheTable) {
    ShareRun run;
    run.view.AppendRow();
    run.net.Serve(Probe("%78%79%7A"), ReadFixture("share_zero.html"));
    run.Run("xyz");
    EXPECT_EQ(run.net.Log().size(), 1u);
    EXPECT_EQ(run.view.RowCount(), 1);
    EXPECT_EQ(run.MessageTexts(), std::vector<Text>{G("很抱歉, 没有找到有关  xyz  的结果。")});
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("暂时没有任何操作"));
}

TEST(ShareIndexSearch, FailedProbeEndsWithCountZero) {
    ShareRun run;
    run.view.AppendRow();
    run.Run("k");
    EXPECT_EQ(run.net.Log().size(), 1u);
    EXPECT_EQ(run.view.RowCount(), 0);
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(run.MessageTexts(), std::vector<Text>{G("共找到  0  个内容。\r\n\r\n\r\n\r\n右键弹出菜单")});
}

TEST(ShareIndexSearch, CancelStopsBeforeTheNextPage) {
    ShareRun run;
    run.net.Serve(Probe("%6B"), Pages(3));
    run.net.OnRequest([&](const Text& url) {
        if (url == PageUrl("%6B", 1)) run.cancel.Cancel();
    });
    run.net.ServeOthers(Entry("n", "2015-01-01", "2", "1 KB", "o", "/r/1"));
    run.Run("k");
    EXPECT_EQ(run.net.Log().size(), 2u);
    EXPECT_EQ(run.view.RowCount(), 0);
    EXPECT_TRUE(run.view.Messages().empty());
}

TEST(ResolveShareIndexLink, DetailPages) {
    struct Case {
        const char* name;
        std::string page;
        std::string expected;
    };
    const Case cases[] = {
        {"fixture", ReadFixture("share_detail.html"), "http://pan.example.com/s/1AbCdE"},
        {"minimal", "<a class=\"dbutton\" href=\"X\" target=\"_blank\"", "X"},
        {"markers in other case", "<A CLASS=\"DBUTTON\" HREF=\"Y\" TARGET=\"_BLANK\"", "Y"},
        {"no marker", "<a class=\"button\" href=\"X\" target=\"_blank\"", ""},
        {"no end marker", "<a class=\"dbutton\" href=\"X\">", ""},
        {"failed fetch", "", ""},
    };
    for (const Case& c : cases) {
        FakeSiteNet net;
        net.Serve("http://share.test/r/1", c.page);
        EXPECT_EQ(ResolveShareIndexLink(net, "http://share.test/r/1"), c.expected) << c.name;
        EXPECT_EQ(net.Log(), std::vector<std::string>{"fetch http://share.test/r/1"}) << c.name;
    }
}

TEST(ResolveShareIndexLink, EmptyAddressFetchesNothing) {
    FakeSiteNet net;
    EXPECT_EQ(ResolveShareIndexLink(net, ""), "");
    EXPECT_TRUE(net.Log().empty());
}

}  // namespace
}  // namespace sorvix
