// The click decisions, the dispatcher, the site code and one-search-at-a-time
// supersede, against the recording view and a fake SiteNet.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

#include "app/core/recording_app_view.h"
#include "app/core/result_table.h"
#include "app/core/search_flow.h"
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

std::string DiskUrl(const std::string& keyword, const std::string& wp, const std::string& start) {
    return "http://d.test/cse?q=" + keyword + "&wp=" + wp + "&start=" + start;
}

std::string DiskHit(const std::string& link, const std::string& title) {
    return "<a class=\"cse-search-result_content_item_top_a\" href=\"" + link +
           "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"go('1');\" >\n" + std::string(11, '\t') +
           title + std::string(10, '\t') + "</a>\n";
}

// Waits (bounded) until `done` holds; the flow's work happens on its threads.
template <class F>
bool Eventually(F done) {
    for (int i = 0; i < 5000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

struct Flow {
    RecordingAppView view;
    FakeSiteNet net;
    SearchFlow flow{view, net, TestConfig()};
    std::atomic<int> jobs{0};

    // A failed assertion must not leave a worker waiting on a held page.
    ~Flow() { net.Release(); }

    // Replaces the site routines by a counter (for the click decisions).
    void CountJobsOnly() {
        flow.SetSearchJob([this](AppView&, SiteNet&, const Config&, const CancelToken&, SiteCodeStore&) { ++jobs; });
    }
};

TEST(SearchFlow, StartState) {
    const char* headings[] = {"序号", "文件名称", "收录时间", "文件大小", "文件数量", "磁力链接", "文件类型", "网盘类型"};
    const int widths[] = {40, 280, 100, 100, 80, 0, 80, 80};
    for (int column = 0; column < kColumnCount; ++column) {
        EXPECT_EQ(kResultColumns[column].heading, G(headings[column])) << column + 1;
        EXPECT_EQ(kResultColumns[column].width, widths[column]) << column + 1;
    }
    EXPECT_EQ(kResultColumns[kLinkColumn - 1].width, 0);   // the link column is not seen

    RecordingAppView view;
    EXPECT_EQ(view.RowCount(), 0);
    EXPECT_EQ(view.Label(StatusLabel::Operation), G("暂时没有任何操作"));
    EXPECT_EQ(view.Label(StatusLabel::Data), G("暂时没有任何数据"));
    EXPECT_EQ(view.Label(StatusLabel::Operation), kStartOperationText);
    EXPECT_EQ(view.Label(StatusLabel::Data), kStartDataText);
    EXPECT_EQ(view.BoxText(EditBox::Page), "1");
    EXPECT_TRUE(view.CheckedOptions().empty());
    FakeSiteNet net;
    SearchFlow flow(view, net, TestConfig());
    EXPECT_EQ(flow.SiteCode(), "");   // no search has run yet
}

TEST(SearchFlow, SearchWithNoOptionCheckedDoesNothingVisible) {
    Flow f;
    f.view.TypeKeyword("k");
    const int row = f.view.AppendRow();
    f.view.SetCell(row, 2, "kept");
    f.view.ClearLog();
    f.flow.OnClick({ClickTarget::SearchButton});
    f.flow.WaitIdle();
    EXPECT_TRUE(f.view.Log().empty());
    EXPECT_TRUE(f.net.Log().empty());
    EXPECT_EQ(f.view.Cell(1, 2), "kept");
    EXPECT_EQ(f.flow.SiteCode(), "");
}

TEST(SearchFlow, EmptyKeywordAsksForInputAndStartsNothing) {
    Flow f;
    f.CountJobsOnly();
    f.flow.OnClick({ClickTarget::SearchButton});
    f.flow.WaitIdle();
    EXPECT_EQ(f.jobs, 0);
    ASSERT_EQ(f.view.Messages().size(), 1u);
    EXPECT_EQ(f.view.Messages()[0].text, G("请输入内容！"));
    EXPECT_EQ(f.view.Messages()[0].title, G("提示："));
    EXPECT_EQ(f.view.Messages()[0].icon, kIconQuestion);
}

TEST(SearchFlow, ClickIntoKeywordBoxEmptiesAFilledBox) {
    Flow f;
    f.flow.OnClick({ClickTarget::KeywordBox});
    EXPECT_TRUE(f.view.Log().empty());   // an empty box is left alone
    f.view.TypeKeyword("abc");
    f.flow.OnClick({ClickTarget::KeywordBox});
    EXPECT_EQ(f.view.BoxText(EditBox::Keyword), "");
    EXPECT_EQ(f.view.Log(), std::vector<std::string>{"box keyword "});
}

TEST(SearchFlow, PreviousAndNextWithTheirLimits) {
    struct Case {
        const char* page;
        ClickTarget button;
        const char* pageAfter;
        bool searches;
        const char* notice;      // library message box, or nullptr
        const char* lastPage;    // system message box, or nullptr
    };
    const Case cases[] = {
        {"1", ClickTarget::PreviousButton, "1", false, "已经是第一页了！", nullptr},
        {"2", ClickTarget::PreviousButton, "1", true, nullptr, nullptr},
        {"7", ClickTarget::PreviousButton, "6", true, nullptr, nullptr},
        {"abc", ClickTarget::PreviousButton, "abc", false, "已经是第一页了！", nullptr},
        {"0", ClickTarget::PreviousButton, "0", false, "已经是第一页了！", nullptr},
        {"9", ClickTarget::NextButton, "10", true, nullptr, nullptr},
        {"1", ClickTarget::NextButton, "2", true, nullptr, nullptr},
        {"abc", ClickTarget::NextButton, "1", true, nullptr, nullptr},
        {"10", ClickTarget::NextButton, "10", false, nullptr, "已经是最后一页了"},
        {"25", ClickTarget::NextButton, "25", false, nullptr, "已经是最后一页了"},
    };
    for (const Case& c : cases) {
        Flow f;
        f.CountJobsOnly();
        f.view.TypePage(c.page);
        f.view.AppendRow();
        f.flow.OnClick({c.button});
        f.flow.WaitIdle();
        const std::string what = std::string(c.page) + (c.button == ClickTarget::NextButton ? " next" : " previous");
        EXPECT_EQ(f.view.BoxText(EditBox::Page), c.pageAfter) << what;
        EXPECT_EQ(f.jobs, c.searches ? 1 : 0) << what;
        EXPECT_EQ(f.view.RowCount(), c.searches ? 0 : 1) << what;   // rows cleared only with a search
        if (c.notice) {
            ASSERT_EQ(f.view.Messages().size(), 1u) << what;
            EXPECT_EQ(f.view.Messages()[0].text, G(c.notice)) << what;
        } else {
            EXPECT_TRUE(f.view.Messages().empty()) << what;
        }
        if (c.lastPage) {
            ASSERT_EQ(f.view.SystemMessages().size(), 1u) << what;
            EXPECT_EQ(f.view.SystemMessages()[0].first, G("信息：")) << what;
            EXPECT_EQ(f.view.SystemMessages()[0].second, G(c.lastPage)) << what;
        } else {
            EXPECT_TRUE(f.view.SystemMessages().empty()) << what;
        }
    }
}

TEST(SearchFlow, OptionClickChecksOnlyThatOptionAndSetsPagingVisibility) {
    Flow f;
    for (int option = 1; option <= kSourceCount; ++option) {
        f.flow.OnClick({ClickTarget::Option, option});
        EXPECT_EQ(f.view.CheckedOptions(), std::vector<int>{option}) << option;
        const bool paging = option >= 3;
        EXPECT_EQ(f.view.Visible(PagingControl::PreviousButton), paging) << option;
        EXPECT_EQ(f.view.Visible(PagingControl::NextButton), paging) << option;
        EXPECT_EQ(f.view.Visible(PagingControl::PageBox), paging) << option;
    }
    f.flow.OnClick({ClickTarget::Option, 3});
    f.flow.OnClick({ClickTarget::Option, 5});
    EXPECT_EQ(f.view.CheckedOptions(), std::vector<int>{5});
    f.flow.OnClick({ClickTarget::Option, 0});    // not an option: nothing changes
    f.flow.OnClick({ClickTarget::Option, 21});
    EXPECT_EQ(f.view.CheckedOptions(), std::vector<int>{5});
}

TEST(SearchFlow, SourceTable) {
    const std::pair<int, const char*> labels[] = {{1, "BT樱桃"}, {2, "盘多多"}, {3, "百度网盘"},
                                                  {14, "YunFile网盘"}, {20, "音乐"}};
    for (const auto& [option, label] : labels) EXPECT_EQ(SourceLabel(option), G(label)) << option;
    EXPECT_EQ(SiteCodeForOption(1), "1");
    EXPECT_EQ(SiteCodeForOption(2), "2");
    for (int option = 3; option <= 20; ++option) EXPECT_EQ(SiteCodeForOption(option), "3");
    EXPECT_EQ(SiteCodeForOption(0), "");
    EXPECT_EQ(SourceLabel(21), "");
    EXPECT_FALSE(SourceForOption(2)->showsPaging);
}

TEST(SearchFlow, DispatcherRunsTheCheckedSourceAndStoresItsSiteCode) {
    struct Case {
        int option;
        const char* code;
        std::string firstUrl;
    };
    const Case cases[] = {
        {1, "1", "request http://m.test/search?keyword=%6B"},
        {2, "2", "fetch http://s.test/s/name/%6B"},
        {9, "3", "fetch " + DiskUrl("%6B", "3", "0")},
        {20, "3", "fetch " + DiskUrl("%6B", "26", "0")},
    };
    for (const Case& c : cases) {
        Flow f;
        f.view.TypeKeyword("k");
        f.flow.OnClick({ClickTarget::Option, c.option});
        f.flow.OnClick({ClickTarget::SearchButton});
        f.flow.WaitIdle();
        EXPECT_EQ(f.flow.SiteCode(), c.code) << c.option;
        ASSERT_FALSE(f.net.Log().empty()) << c.option;
        EXPECT_EQ(f.net.Log()[0], c.firstUrl) << c.option;
    }
}

TEST(SearchFlow, PageNumberPersistsAcrossOptionsAndKeywords) {
    Flow f;
    f.view.TypeKeyword("a");
    f.flow.OnClick({ClickTarget::Option, 9});
    f.view.TypePage("2");
    f.flow.OnClick({ClickTarget::NextButton});   // page 3 of "360云盘"
    f.flow.WaitIdle();
    f.flow.OnClick({ClickTarget::Option, 4});     // another disk option
    f.view.TypeKeyword("b");                       // and a new keyword
    f.flow.OnClick({ClickTarget::SearchButton});
    f.flow.WaitIdle();
    EXPECT_EQ(f.view.BoxText(EditBox::Page), "3");
    EXPECT_EQ(f.net.Urls(), (std::vector<std::string>{DiskUrl("%61", "3", "20"), DiskUrl("%62", "6", "20")}));
}

TEST(SearchFlow, NewSearchSupersedesOneWaitingOnASlowPage) {
    Flow f;
    const std::string slowProbe = "http://m.test/search?keyword=%61";
    f.net.Hold(slowProbe);
    f.net.Serve(slowProbe, "totalPages:2,");   // would walk two pages if it went on
    f.net.Serve(DiskUrl("%62", "3", "0"), DiskHit("http://x.test/1", "one") + DiskHit("http://x.test/2", "two"));

    f.view.TypeKeyword("a");
    f.flow.OnClick({ClickTarget::Option, 1});
    f.flow.OnClick({ClickTarget::SearchButton});
    f.net.WaitUntilHeld();                           // the magnet search waits on its probe

    f.view.TypeKeyword("b");
    f.flow.OnClick({ClickTarget::Option, 9});
    f.flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return f.view.Label(StatusLabel::Operation) == G("搜索完毕！"); }));
    f.view.ClearLog();
    f.net.Release();                                 // the old search gets its answer now
    f.flow.WaitIdle();

    // Exactly the second search's rows, labels and site code; the first one
    // wrote nothing after its answer came, asked for no page and showed no notice.
    EXPECT_TRUE(f.view.Log().empty());
    ASSERT_EQ(f.view.RowCount(), 2);
    EXPECT_EQ(f.view.Cell(1, 6), "http://x.test/1");
    EXPECT_EQ(f.view.Cell(2, 6), "http://x.test/2");
    EXPECT_EQ(f.view.Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(f.view.Label(StatusLabel::Data), G("已获取数据2个"));
    EXPECT_TRUE(f.view.Messages().empty());
    EXPECT_EQ(f.flow.SiteCode(), "3");
    EXPECT_EQ(f.net.Urls(), (std::vector<std::string>{slowProbe, DiskUrl("%62", "3", "0")}));
}

// Pages in flight do not outlive the supersede: the old walk's answers that
// arrive afterwards write nothing, and it asks for no page beyond its window.
TEST(SearchFlow, ASupersededWalkWithPagesInFlightWritesNothingMore) {
    RecordingAppView view;
    FakeSiteNet net;
    Config config = TestConfig();
    config.pagesInFlight = 3;
    SearchFlow flow(view, net, config);
    const std::string probe = "http://m.test/search?keyword=%61";
    auto page = [&](int p) { return probe + "&p=" + std::to_string(p); };
    net.Serve(probe, "totalPages:6,");
    for (int p = 1; p <= 6; ++p)
        net.Serve(page(p), "<h5 class=\"h\">old " + std::to_string(p) +
                               "</h5>prop_val\">d</span>prop_val\">s</span>prop_val\">c</span>href=\"magnet:?" +
                               std::to_string(p) + "\">");
    net.Hold(page(2));
    net.Serve(DiskUrl("%62", "3", "0"), DiskHit("http://x.test/1", "new"));

    view.TypeKeyword("a");
    flow.OnClick({ClickTarget::Option, 1});
    flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return view.RowCount() == 1 && net.Urls().size() == 5; }));   // probe, pages 1..4

    view.TypeKeyword("b");
    flow.OnClick({ClickTarget::Option, 9});
    flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return view.Label(StatusLabel::Operation) == G("搜索完毕！"); }));
    view.ClearLog();
    net.Release();   // pages 2..4 of the old walk answer now
    flow.WaitIdle();

    EXPECT_TRUE(view.Log().empty()) << view.Log().front();
    ASSERT_EQ(view.RowCount(), 1);
    EXPECT_EQ(view.Cell(1, 6), "http://x.test/1");
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(net.Urls().size(), 6u) << "no page of the old walk after its window";
    EXPECT_EQ(flow.SiteCode(), "3");
}

TEST(SearchFlow, NextPageSupersedesARunningDiskSearch) {
    Flow f;
    f.net.Hold(DiskUrl("%61", "3", "0"));
    f.net.Serve(DiskUrl("%61", "3", "0"), DiskHit("http://old.test/1", "old"));
    f.net.Serve(DiskUrl("%61", "3", "10"), DiskHit("http://new.test/1", "new"));
    f.view.TypeKeyword("a");
    f.flow.OnClick({ClickTarget::Option, 9});
    f.flow.OnClick({ClickTarget::SearchButton});
    f.net.WaitUntilHeld();
    f.flow.OnClick({ClickTarget::NextButton});
    ASSERT_TRUE(Eventually([&] { return f.view.Cell(1, 6) == "http://new.test/1"; }));
    f.net.Release();
    f.flow.WaitIdle();
    ASSERT_EQ(f.view.RowCount(), 1);
    EXPECT_EQ(f.view.Cell(1, 6), "http://new.test/1");
    EXPECT_EQ(f.view.BoxText(EditBox::Page), "2");
}

TEST(SearchFlow, WritesOfASupersededSearchAreDroppedEvenBetweenCheckpoints) {
    // A job that ignores its token: everything it writes after being
    // superseded must still be dropped, including its notice.
    Flow f;
    std::mutex mutex;
    std::condition_variable cv;
    bool firstWaiting = false;
    bool letFirstGo = false;
    std::atomic<int> runs{0};
    f.flow.SetSearchJob([&](AppView& view, SiteNet&, const Config&, const CancelToken&, SiteCodeStore&) {
        const int run = ++runs;
        if (run == 1) {
            view.SetLabel(StatusLabel::Operation, "first");
            std::unique_lock<std::mutex> lock(mutex);
            firstWaiting = true;
            cv.notify_all();
            cv.wait(lock, [&] { return letFirstGo; });
        }
        const std::string name = run == 1 ? "first" : "second";
        const int row = view.AppendRow();
        view.SetCell(row, 2, name);
        view.SetLabel(StatusLabel::Operation, name);
        ShowNotice(view, name);
    });
    f.view.TypeKeyword("k");
    f.flow.OnClick({ClickTarget::SearchButton});
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return firstWaiting; });
    }
    f.flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return f.view.Messages().size() == 1; }));
    {
        std::lock_guard<std::mutex> lock(mutex);
        letFirstGo = true;
        cv.notify_all();
    }
    f.flow.WaitIdle();
    ASSERT_EQ(f.view.RowCount(), 1);
    EXPECT_EQ(f.view.Cell(1, 2), "second");
    EXPECT_EQ(f.view.Label(StatusLabel::Operation), "second");
    ASSERT_EQ(f.view.Messages().size(), 1u);
    EXPECT_EQ(f.view.Messages()[0].text, "second");
}

// A view on which the first search is superseded at the worst moment: after
// the flow has let its closing box through and before the box appears.
class SupersededAtTheBox : public RecordingAppView {
public:
    std::function<void()> supersede;   // runs once, at the first box
    int ShowMessageBox(const MessageBoxRequest& request) override {
        if (auto run = std::exchange(supersede, nullptr)) run();
        return RecordingAppView::ShowMessageBox(request);
    }
};

TEST(SearchFlow, ASearchSupersededAsItsClosingBoxOpensShowsNoBox) {
    SupersededAtTheBox view;
    FakeSiteNet net;
    SearchFlow flow(view, net, TestConfig());
    std::atomic<int> runs{0};
    std::atomic<int> firstAnswer{-1};
    flow.SetSearchJob([&](AppView& v, SiteNet&, const Config&, const CancelToken&, SiteCodeStore&) {
        const int run = ++runs;
        const std::string name = run == 1 ? "first" : "second";
        v.SetLabel(StatusLabel::Operation, name);
        const int answer = ShowNotice(v, name);
        if (run == 1) firstAnswer = answer;
    });
    view.supersede = [&] { flow.OnClick({ClickTarget::SearchButton}); };
    view.TypeKeyword("k");
    flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return runs == 2 && firstAnswer != -1; }));
    flow.WaitIdle();

    EXPECT_EQ(firstAnswer, 0) << "the superseded search's box was not answered";
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].text, "second");
    EXPECT_EQ(view.Label(StatusLabel::Operation), "second");
}

// The same moment with a real site routine: a disk search's "no results"
// box, superseded by a search for another keyword that finds two rows.
TEST(SearchFlow, ARealRoutineSupersededAtItsNoResultsBoxShowsNoBox) {
    SupersededAtTheBox view;
    FakeSiteNet net;
    net.Serve(DiskUrl("%61", "3", "0"), "<p>\xE6\x90\x9C\xE7\xB4\xA2\xE6\x97\xA0\xE7\xBB\x93\xE6\x9E\x9C</p>");  // UTF-8 搜索无结果
    net.Serve(DiskUrl("%62", "3", "0"), DiskHit("http://x.test/1", "one") + DiskHit("http://x.test/2", "two"));
    SearchFlow flow(view, net, TestConfig());
    view.supersede = [&] {
        view.TypeKeyword("b");
        flow.OnClick({ClickTarget::SearchButton});
    };
    view.TypeKeyword("a");
    flow.OnClick({ClickTarget::Option, 9});
    flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return net.Urls().size() == 2; }));
    flow.WaitIdle();
    EXPECT_TRUE(view.Messages().empty()) << view.Messages().front().text;
    ASSERT_EQ(view.RowCount(), 2);
    EXPECT_EQ(view.Cell(2, 6), "http://x.test/2");
    EXPECT_EQ(view.Label(StatusLabel::Operation), G("搜索完毕！"));
}

// A box that has appeared belongs to its search even when a newer search
// starts while it is up: it is answered, and the newer search goes on.
TEST(SearchFlow, ABoxAlreadyUpIsKeptWhenANewSearchStarts) {
    Flow f;
    std::atomic<int> runs{0};
    std::atomic<int> firstAnswer{-1};
    f.flow.SetSearchJob([&](AppView& v, SiteNet&, const Config&, const CancelToken&, SiteCodeStore&) {
        const int run = ++runs;
        const int answer = ShowNotice(v, run == 1 ? "first" : "second");
        if (run == 1) firstAnswer = answer;
    });
    bool once = true;
    f.view.OnMessageBox([&] {
        if (std::exchange(once, false)) f.flow.OnClick({ClickTarget::SearchButton});
    });
    f.view.TypeKeyword("k");
    f.flow.OnClick({ClickTarget::SearchButton});
    ASSERT_TRUE(Eventually([&] { return runs == 2 && firstAnswer != -1; }));
    f.flow.WaitIdle();
    EXPECT_EQ(firstAnswer, 1);
    ASSERT_EQ(f.view.Messages().size(), 2u);
    EXPECT_EQ(f.view.Messages()[0].text, "first");
    EXPECT_EQ(f.view.Messages()[1].text, "second");
}

TEST(SearchFlow, ManyQuickSearchesLeaveOnlyTheLastOnesRows) {
    Flow f;
    f.net.ServeOthers(DiskHit("http://x.test/a", "a") + DiskHit("http://x.test/b", "b"));
    f.flow.OnClick({ClickTarget::Option, 3});
    for (int i = 0; i < 30; ++i) {
        f.view.TypeKeyword("k" + std::to_string(i));
        f.flow.OnClick({ClickTarget::SearchButton});
    }
    f.flow.WaitIdle();
    // Whatever the interleaving, the table holds one search's two rows.
    ASSERT_EQ(f.view.RowCount(), 2);
    EXPECT_EQ(f.view.Cell(1, 1), "1");
    EXPECT_EQ(f.view.Cell(2, 1), "2");
    EXPECT_EQ(f.view.Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(f.view.Label(StatusLabel::Data), G("已获取数据2个"));
}

TEST(SearchFlow, AppearanceAndBlogButtonsRunTheirActions) {
    Flow f;
    int appearance = 0;
    int blog = 0;
    f.flow.SetAppearanceAction([&] { ++appearance; });
    f.flow.SetBlogAction([&] { ++blog; });
    f.flow.OnClick({ClickTarget::AppearanceButton});
    f.flow.OnClick({ClickTarget::BlogButton});
    f.flow.OnClick({ClickTarget::BlogButton});
    f.flow.OnClick({ClickTarget::Other});
    EXPECT_EQ(appearance, 1);
    EXPECT_EQ(blog, 2);
}

}  // namespace
}  // namespace sorvix
