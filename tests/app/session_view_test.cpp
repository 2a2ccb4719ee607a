// A search reads the keyword and the page once, when it starts, and Esc
// stops a running search with its rows so far kept.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/core/recording_app_view.h"
#include "app/core/search_flow.h"
#include "app/core/session_view.h"
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

TEST(SessionView, KeywordTypedDuringAWalkDoesNotReachItsLaterPages) {
    RecordingAppView view;
    FakeSiteNet net;
    SearchFlow flow(view, net, TestConfig());
    flow.SetSearchJob(SessionSnapshotJob());
    net.ServeOthers("totalPages:3,");
    const std::string probe = "http://m.test/search?keyword=%61";
    net.Hold(probe);

    view.TypeKeyword("a");
    view.TypePage("4");
    flow.OnClick({ClickTarget::Option, 1});
    flow.OnClick({ClickTarget::SearchButton});
    net.WaitUntilHeld();
    view.TypeKeyword("b");   // typed while the walk runs
    view.TypePage("7");
    net.Release();
    flow.WaitIdle();
    for (const std::string& url : net.Urls())
        EXPECT_EQ(url.find("keyword=%61"), std::string("http://m.test/search?").size()) << url;
    EXPECT_EQ(net.Urls().size(), 4u);   // probe and three pages, all of "a"

    // The next search uses the new text.
    flow.OnClick({ClickTarget::SearchButton});
    flow.WaitIdle();
    // (Its pages are fetched several at once, so any of them may be the last.)
    const std::vector<std::string> urls = net.Urls();
    ASSERT_EQ(urls.size(), 8u);
    for (size_t i = 4; i < urls.size(); ++i)
        EXPECT_EQ(urls[i].rfind("http://m.test/search?keyword=%62", 0), 0u) << urls[i];
}

TEST(SessionView, BoxWritesPassThroughAndAreReadBack) {
    RecordingAppView view;
    view.TypeKeyword("a");
    SessionView session(view);
    view.TypeKeyword("b");
    EXPECT_EQ(session.BoxText(EditBox::Keyword), "a");
    EXPECT_EQ(session.BoxText(EditBox::Page), "1");
    session.SetBoxText(EditBox::Page, "2");
    EXPECT_EQ(session.BoxText(EditBox::Page), "2");
    EXPECT_EQ(view.BoxText(EditBox::Page), "2");
}

TEST(SearchFlowCancel, StopsTheRunningSearchKeepingItsRows) {
    RecordingAppView view;
    FakeSiteNet net;
    SearchFlow flow(view, net, TestConfig());
    EXPECT_FALSE(flow.CancelRunning());   // nothing runs yet

    // A job that writes one row, then waits for a held page, then would write more.
    flow.SetSearchJob([](AppView& v, SiteNet& n, const Config&, const CancelToken& cancel, SiteCodeStore&) {
        int row = v.AppendRow();
        v.SetCell(row, 2, "kept");
        n.FetchPage("http://hold.test/");
        if (cancel.Cancelled()) return;   // the checkpoint
        v.AppendRow();
    });
    net.Hold("http://hold.test/");
    view.TypeKeyword("k");
    flow.OnClick({ClickTarget::SearchButton});
    net.WaitUntilHeld();
    EXPECT_TRUE(flow.CancelRunning());
    view.SetLabel(StatusLabel::Operation, "stopped");   // what the window writes after
    net.Release();
    flow.WaitIdle();
    EXPECT_EQ(view.RowCount(), 1);
    EXPECT_EQ(view.Cell(1, 2), "kept");
    EXPECT_EQ(view.Label(StatusLabel::Operation), "stopped");
    EXPECT_FALSE(flow.CancelRunning());   // it has ended
}

TEST(SearchFlowCancel, WritesAfterTheCancelAreDroppedEvenWithoutACheckpoint) {
    RecordingAppView view;
    FakeSiteNet net;
    SearchFlow flow(view, net, TestConfig());
    flow.SetSearchJob([](AppView& v, SiteNet& n, const Config&, const CancelToken&, SiteCodeStore&) {
        n.FetchPage("http://hold.test/");
        v.SetLabel(StatusLabel::Operation, "late");
        v.AppendRow();
        ShowNotice(v, "late box");
    });
    net.Hold("http://hold.test/");
    view.TypeKeyword("k");
    flow.OnClick({ClickTarget::SearchButton});
    net.WaitUntilHeld();
    EXPECT_TRUE(flow.CancelRunning());
    net.Release();
    flow.WaitIdle();
    EXPECT_EQ(view.RowCount(), 0);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_NE(view.Label(StatusLabel::Operation), "late");
}

}  // namespace
}  // namespace sorvix
