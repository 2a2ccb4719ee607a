// Opening and copying the selected row's link, by the site code of the
// search that filled the table: the link check before anything reaches the
// shell, the share-index detail page fetched off the window's thread.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <thread>

#include "app/core/recording_app_view.h"
#include "app/core/result_table.h"
#include "app/core/row_actions.h"
#include "tests/sites/site_test_support.h"

namespace sorvix {
namespace {

using test::FakeSiteNet;
using test::G;

// Records what reached the shell and the clipboard. Background jobs run on
// real threads; steps for the window wait in a queue the test runs.
class FakePlatform : public RowPlatform {
public:
    ~FakePlatform() override { JoinAll(); }
    void OpenLink(const Text& link, const std::string& scheme) override {
        std::lock_guard<std::mutex> lock(mutex_);
        opened.push_back(scheme + " " + link);
    }
    bool CopyText(const Text& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        copied.push_back(text);
        return true;
    }
    void RunInBackground(std::function<void()> job) override {
        backgroundThread = std::this_thread::get_id();
        threads_.emplace_back([this, job] {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                jobThread = std::this_thread::get_id();
            }
            job();
        });
    }
    void RunOnWindow(std::function<void()> step) override {
        std::lock_guard<std::mutex> lock(mutex_);
        windowSteps_.push_back(std::move(step));
    }
    // Ends the background jobs, then runs the steps they handed back.
    void Settle() {
        JoinAll();
        std::deque<std::function<void()>> steps;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            steps.swap(windowSteps_);
        }
        for (auto& step : steps) step();
    }

    std::vector<std::string> opened;
    std::vector<Text> copied;
    std::thread::id backgroundThread, jobThread;

private:
    void JoinAll() {
        for (auto& t : threads_) t.join();
        threads_.clear();
    }
    std::mutex mutex_;
    std::vector<std::thread> threads_;
    std::deque<std::function<void()>> windowSteps_;
};

struct Rows {
    RecordingAppView view;
    FakeSiteNet net;
    FakePlatform platform;
    Text siteCode;
    RowActions actions{view, net, platform, [this] { return siteCode; }};

    // One row holding `link` in the link column, selected.
    void SelectRowWithLink(const Text& link) {
        int row = view.AppendRow();
        view.SetCell(row, kLinkColumn, link);
        view.Select(row);
    }
    std::vector<Text> BoxTexts() const {
        std::vector<Text> texts;
        for (const auto& m : view.Messages()) {
            EXPECT_EQ(m.title, G("抱歉："));
            EXPECT_EQ(m.icon, kIconError);
            texts.push_back(m.text);
        }
        return texts;
    }
};

const char* const kMagnet = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567";

TEST(RowActions, OpenChecksTheLinkForItsSiteKind) {
    struct Case {
        const char* code;
        const char* link;
        const char* opened;   // "" when refused
    };
    const Case cases[] = {
        {"1", kMagnet, "magnet "},
        {"1", "http://x.test/a", ""},                       // a web page is no magnet result
        {"1", "javascript:alert(1)", ""},
        {"3", "http://pan.test/s/1abc", "http "},
        {"3", "https://pan.test/s/1abc", "https "},
        {"3", "C:\\Windows\\System32\\calc.exe", ""},
        {"3", "\\\\server\\share\\run.exe", ""},
        {"3", "file:///etc/passwd", ""},
        {"3", "calc.exe", ""},
        {"3", kMagnet, ""},
    };
    for (const Case& c : cases) {
        Rows r;
        r.siteCode = c.code;
        r.SelectRowWithLink(c.link);
        r.actions.OpenRowLink();
        r.platform.Settle();
        if (*c.opened) {
            ASSERT_EQ(r.platform.opened.size(), 1u) << c.link;
            EXPECT_EQ(r.platform.opened[0], std::string(c.opened) + c.link);
            EXPECT_TRUE(r.view.Messages().empty()) << c.link;
        } else {
            EXPECT_TRUE(r.platform.opened.empty()) << c.link;
            EXPECT_EQ(r.BoxTexts(), std::vector<Text>{Text(kUnsafeLinkText)}) << c.link;
        }
    }
}

TEST(RowActions, NothingBeforeAnySearch) {
    Rows r;
    r.SelectRowWithLink(kMagnet);
    r.actions.OpenRowLink();
    r.actions.CopyRowLink();
    r.platform.Settle();
    EXPECT_TRUE(r.platform.opened.empty());
    EXPECT_TRUE(r.platform.copied.empty());
    EXPECT_TRUE(r.view.Messages().empty());
}

TEST(RowActions, ShareIndexResolvesTheDetailPageOffTheWindowThread) {
    const Text detail = "http://s.test/r/10002";
    struct Case {
        const char* name;
        std::string page;
        const char* opened;   // "" when nothing opens
        const char* box;      // UTF-8; "" for none
    };
    const Case cases[] = {
        {"web address", "<a class=\"dbutton\" href=\"http://s.test/dl/10002\" target=\"_blank\">",
         "http http://s.test/dl/10002", ""},
        {"ed2k link", "<a class=\"dbutton\" href=\"ed2k://|file|a.mkv|1024|0123456789ABCDEF0123456789ABCDEF|/\" target=\"_blank\">",
         "ed2k ed2k://|file|a.mkv|1024|0123456789ABCDEF0123456789ABCDEF|/", ""},
        {"local file", "<a class=\"dbutton\" href=\"file:///C:/Windows/System32/calc.exe\" target=\"_blank\">", "",
         "这个链接不安全，不能打开！"},
        {"program path", "<a class=\"dbutton\" href=\"C:\\Windows\\calc.exe\" target=\"_blank\">", "",
         "这个链接不安全，不能打开！"},
        {"no download button", "<html>expired</html>", "", "没有找到地址"},
        {"failed fetch", "", "", "没有找到地址"},
    };
    for (const Case& c : cases) {
        Rows r;
        r.siteCode = "2";
        r.net.Serve(detail, c.page);
        r.SelectRowWithLink(detail);
        r.actions.OpenRowLink();
        // Nothing happens on the asking thread until the page has come.
        EXPECT_TRUE(r.platform.opened.empty()) << c.name;
        EXPECT_TRUE(r.view.Messages().empty()) << c.name;
        r.platform.Settle();
        EXPECT_NE(r.platform.jobThread, r.platform.backgroundThread) << c.name;
        EXPECT_EQ(r.net.Urls(), std::vector<std::string>{detail}) << c.name;
        if (*c.opened) {
            EXPECT_EQ(r.platform.opened, std::vector<std::string>{c.opened}) << c.name;
        } else {
            EXPECT_TRUE(r.platform.opened.empty()) << c.name;
        }
        if (*c.box) {
            EXPECT_EQ(r.BoxTexts(), std::vector<Text>{G(c.box)}) << c.name;
        } else {
            EXPECT_TRUE(r.view.Messages().empty()) << c.name;
        }
    }
}

TEST(RowActions, ShareIndexWithoutSelectionOrWithAHostileDetailAddressFetchesNothing) {
    {
        Rows r;
        r.siteCode = "2";
        r.view.AppendRow();   // rows, none selected
        r.actions.OpenRowLink();
        r.platform.Settle();
        EXPECT_TRUE(r.net.Urls().empty());
        EXPECT_EQ(r.BoxTexts(), std::vector<Text>{G("没有找到地址")});
    }
    {
        Rows r;
        r.siteCode = "2";
        r.SelectRowWithLink("file:///C:/secret.txt");
        r.actions.OpenRowLink();
        r.platform.Settle();
        EXPECT_TRUE(r.net.Urls().empty());
        EXPECT_EQ(r.BoxTexts(), std::vector<Text>{Text(kUnsafeLinkText)});
    }
}

TEST(RowActions, CopyPutsTheSelectedRowsLinkForEverySiteKind) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", kMagnet}, {"2", "http://s.test/r/10002"}, {"3", "http://pan.test/s/1abc"}};
    for (auto [code, link] : cases) {
        Rows r;
        r.siteCode = code;
        r.SelectRowWithLink("first");
        r.SelectRowWithLink(link);   // the second row is the selected one
        r.actions.CopyRowLink();
        EXPECT_EQ(r.platform.copied, std::vector<Text>{link}) << code;
        EXPECT_TRUE(r.platform.opened.empty());
    }
    Rows none;
    none.siteCode = "1";
    none.view.AppendRow();
    none.actions.CopyRowLink();
    EXPECT_EQ(none.platform.copied, std::vector<Text>{""});   // no row selected: the empty text
}

}  // namespace
}  // namespace sorvix
