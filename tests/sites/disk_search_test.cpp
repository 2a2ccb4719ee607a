// DiskSearch and the variant table against fixture pages.
#include <gtest/gtest.h>

#include "site_fixture.h"

namespace sorvix {
namespace {

using test::G;
using test::ReadFixture;

constexpr const char* kBase = "http://cse.test:8933/cse?q=";

struct DiskRun : test::SiteRun {
    Text encodedBase = SearchBaseEncode(kBase);
    void Run(int option, const Text& keyword, const Text& page) {
        view.TypePage(page);
        RunSearch(keyword, [&](const SiteContext& c) { DiskSearch(c, *DiskVariantForOption(option), encodedBase); });
    }
};

const std::string kTabs11(11, '\t');
const std::string kTabs10(10, '\t');

std::string Hit(const std::string& link, const std::string& title) {
    return "<a class=\"cse-search-result_content_item_top_a\" href=\"" + link +
           "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"go('1');\" >\n" + kTabs11 + title + kTabs10 +
           "</a>\n";
}

TEST(DiskSearchVariants, TableOfEighteen) {
    struct Row {
        int option;
        const char* label;
        const char* wp;
        const char* fileType;
        const char* startText;
    };
    const Row rows[] = {
        {3, "百度网盘", "15", "百度分享", "暂时没有任何操作"},
        {4, "华为网盘", "6", "分享", "正在尝试访问...."},
        {5, "迅雷快传", "4", "分享", "正在尝试访问...."},
        {6, "QQ旋风", "30", "分享", "正在尝试访问...."},
        {7, "金山快盘", "11", "分享", "正在尝试访问...."},
        {8, "千脑网盘", "9", "分享", "正在尝试访问...."},
        {9, "360云盘", "3", "分享", "正在尝试访问...."},
        {10, "腾讯微云", "10", "分享", "正在尝试访问...."},
        {11, "一木禾网盘", "5", "分享", "正在尝试访问...."},
        {12, "城通网盘", "12", "分享", "正在尝试访问...."},
        {13, "千军万马", "14", "分享", "正在尝试访问...."},
        {14, "YunFile网盘", "8", "分享", "正在尝试访问...."},
        {15, "vdisk威盘", "7", "分享", "正在尝试访问...."},
        {16, "115网盘", "1", "分享", "正在尝试访问...."},
        {17, "盛大网盘", "13", "分享", "正在尝试访问...."},
        {18, "RayFile", "2", "分享", "正在尝试访问...."},
        {19, "网盘搜资源", "100", "分享", "正在尝试访问...."},
        {20, "音乐", "26", "分享", "正在尝试访问...."},
    };
    for (const Row& row : rows) {
        DiskRun run;
        const std::string url = std::string(kBase) + "%61%62&wp=" + row.wp + "&start=0";
        run.net.Serve(url, Hit("http://x.test/s/1", "t"));
        run.Run(row.option, "ab", "1");
        EXPECT_EQ(run.net.Urls(), std::vector<std::string>{url}) << row.label;
        EXPECT_EQ(run.view.LabelHistory(StatusLabel::Operation).front(), G(row.startText)) << row.label;
        ASSERT_EQ(run.view.RowCount(), 1) << row.label;
        EXPECT_EQ(run.view.Cell(1, 7), G(row.fileType)) << row.label;
        EXPECT_EQ(run.view.Cell(1, 8), G(row.label)) << row.label;
    }
    EXPECT_EQ(DiskVariantForOption(2), nullptr);
    EXPECT_EQ(DiskVariantForOption(21), nullptr);
}

TEST(DiskSearch, PageBoxGivesTheStartOffset) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "0"}, {"2", "10"}, {"3", "20"}, {"10", "90"},
        {"abc", "-10"},   // not a number counts as 0
        {"01", "00"},     // not exactly "1"
        {"", "-10"},
    };
    for (const auto& [page, start] : cases) {
        DiskRun run;
        run.Run(9, "ab", page);
        EXPECT_EQ(run.net.Urls(), std::vector<std::string>{std::string(kBase) + "%61%62&wp=3&start=" + start})
            << "page box '" << page << "'";
    }
}

TEST(DiskSearch, FixturePageRowMapping) {
    DiskRun run;
    run.net.ServeOthers(ReadFixture("disk_page.html"));
    run.Run(9, "ab", "1");
    ASSERT_EQ(run.view.RowCount(), 2);
    // "<b>...</b>", then "<b>", then "</b>" go; the tabs around the title stay.
    const std::vector<Text> first = {"1", kTabs11 + "Film 2014 " + kTabs10, G("不知"), G("不知"), G("不知"),
                                     "http://pan.example.com/s/1aBc", G("分享"), G("360云盘")};
    EXPECT_EQ(run.view.Rows()[0], first);
    EXPECT_EQ(run.view.Cell(2, 2), kTabs11 + G("中文 资料") + kTabs10);
    // "%2F" in the page comes out as "/": the whole answer is percent-decoded.
    EXPECT_EQ(run.view.Cell(2, 6), "http://share.example.net/file/abc?id=7");
    EXPECT_TRUE(run.view.Messages().empty());   // a disk search has no closing notice
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(run.view.Label(StatusLabel::Data), G("已获取数据2个"));
}

TEST(DiskSearch, OrderOfUpdates) {
    DiskRun run;
    run.net.ServeOthers(Hit("L", "T"));
    run.Run(4, "k", "1");
    const std::vector<std::string> expected = {
        "label op " + G("正在尝试访问...."),
        "label data " + G("暂时没任何数据"),
        "clear",
        "label data " + G("暂时没任何数据"),
        "label op " + G("搜索中...."),
        "append 1",
        "cell 1 1 1",
        "cell 1 2 " + kTabs11 + "T" + kTabs10,
        "cell 1 3 " + G("不知"),
        "cell 1 4 " + G("不知"),
        "cell 1 5 " + G("不知"),
        "cell 1 6 L",
        "cell 1 7 " + G("分享"),
        "cell 1 8 " + G("华为网盘"),
        "label data " + G("已获取数据1个"),
        "label op " + G("搜索完毕！"),
    };
    EXPECT_EQ(run.view.Log(), expected);
}

TEST(DiskSearch, NoHitsNoticeNamesTheKeyword) {
    DiskRun run;
    run.net.ServeOthers(ReadFixture("disk_nohits.html"));
    run.Run(9, "ab", "1");
    EXPECT_EQ(run.view.RowCount(), 0);
    EXPECT_EQ(run.MessageTexts(), std::vector<Text>{G("搜索ab无结果")});
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！"));
}

TEST(DiskSearch, EveryPageCountsFromOne) {
    DiskRun run;
    run.net.ServeOthers(Hit("a", "1") + Hit("b", "2") + Hit("c", "3"));
    run.Run(9, "ab", "1");
    run.Run(9, "ab", "2");
    ASSERT_EQ(run.view.RowCount(), 3);
    EXPECT_EQ(run.view.Cell(1, 1), "1");
    EXPECT_EQ(run.view.Cell(3, 1), "3");
    EXPECT_EQ(run.net.Urls().back(), std::string(kBase) + "%61%62&wp=3&start=10");
}

TEST(DiskSearch, FailedFetchLeavesAnEmptyTable) {
    DiskRun run;
    run.view.AppendRow();
    run.Run(3, "ab", "1");
    EXPECT_EQ(run.view.RowCount(), 0);
    EXPECT_TRUE(run.view.Messages().empty());
    EXPECT_EQ(run.view.Label(StatusLabel::Data), G("暂时没任何数据"));
    EXPECT_EQ(run.view.Label(StatusLabel::Operation), G("搜索完毕！"));
}

TEST(DiskSearch, MatchWithoutTitleMarkerStillGivesARow) {
    DiskRun run;
    // onclick without "');": the title marker is missing, the row stays.
    run.net.ServeOthers("<a class=\"cse-search-result_content_item_top_a\" href=\"L\" target=\"_blank\" "
                        "rel=\"external nofollow\" onclick=\"x\" >\n" + kTabs11 + "T" + kTabs10 + "</a>\n");
    run.Run(9, "ab", "1");
    ASSERT_EQ(run.view.RowCount(), 1);
    EXPECT_EQ(run.view.Cell(1, 2), "");
    EXPECT_EQ(run.view.Cell(1, 6), "L");
}

}  // namespace
}  // namespace sorvix
