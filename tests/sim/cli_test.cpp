// sorvix-cli in-process against the site simulator: the JSON form is exactly
// one object with every field, the table lines up CJK text by display width,
// bad arguments and unreadable configurations fail with one line, and
// resolve gives the detail page's address or "没有找到地址". Also the output
// helpers on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_platform.h"
#include "cli/cli_output.h"
#include "mini_json.h"
#include "sim_fixture.h"
#include "sites/cancel_token.h"
#include "tools/sitesim/dataset.h"
#include "tools/sitesim/pages.h"

namespace sorvix {
namespace {

using sitesim::Site;
using test::Json;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public test::SimFixture {
protected:
    CliRun Run(const std::vector<std::string>& args, const std::string& configPath = "", bool required = true,
               std::function<std::unique_ptr<SiteNet>(const Config&)> makeNet = nullptr,
               CancelToken cancel = CancelToken()) {
        std::ostringstream out;
        std::ostringstream err;
        cli::CliContext context{out, err, std::filesystem::path(configPath.empty() ? ini : configPath), required,
                                std::move(makeNet), cancel};
        CliRun r;
        r.status = cli::RunCli(args, context);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    void SetUp() override {
        SimFixture::SetUp();
        ini = WriteIni("cli_test_sorvix.ini");
    }
    std::string ini;
};

Json ParseOrFail(const std::string& text) {
    Json j;
    std::string error;
    EXPECT_TRUE(test::JsonReader::Parse(text, &j, &error)) << error << "\n" << text;
    return j;
}

std::vector<std::string> Strings(const Json& array) {
    std::vector<std::string> out;
    for (const Json& item : array.array) {
        EXPECT_EQ(item.kind, Json::kString);
        out.push_back(item.string);
    }
    return out;
}

// The "requests" list of the JSON form: every item an object {url, failure};
// returns the addresses and puts the failures ("" for null) in `failures`.
std::vector<std::string> RequestUrls(const Json& requests, std::vector<std::string>* failures = nullptr) {
    std::vector<std::string> urls;
    for (const Json& item : requests.array) {
        EXPECT_EQ(item.kind, Json::kObject);
        EXPECT_EQ(item.keyOrder, (std::vector<std::string>{"url", "failure"}));
        const Json& url = item.object.count("url") ? item.object.at("url") : Json();
        const Json& failure = item.object.count("failure") ? item.object.at("failure") : Json();
        EXPECT_EQ(url.kind, Json::kString);
        EXPECT_TRUE(failure.kind == Json::kNull || failure.kind == Json::kString);
        urls.push_back(url.string);
        if (failures) failures->push_back(failure.string);
    }
    return urls;
}

TEST_F(CliTest, JsonIsExactlyOneObjectWithEveryField) {
    CliRun r = Run({"search", "--source", "1", "--format", "json", sitesim::kKeywordThreeBody});
    ASSERT_EQ(r.status, 0) << r.err;
    Json j = ParseOrFail(r.out);
    ASSERT_EQ(j.kind, Json::kObject);
    EXPECT_EQ(j.keyOrder,
              (std::vector<std::string>{"source", "siteCode", "rows", "operation", "data", "messages", "requests"}));
    EXPECT_EQ(j.object["source"].number, 1);
    EXPECT_EQ(j.object["siteCode"].string, "1");
    const auto hits = sitesim::Search(sitesim::kKeywordThreeBody);
    ASSERT_EQ(j.object["rows"].array.size(), hits.size());
    for (const Json& row : j.object["rows"].array) EXPECT_EQ(row.array.size(), 8u);
    EXPECT_EQ(Strings(j.object["rows"].array[2]),
              (std::vector<std::string>{"3", hits[2]->name, hits[2]->date, hits[2]->size,
                                        std::to_string(hits[2]->fileCount),
                                        "magnet:?xt=urn:btih:" + sitesim::InfoHash(hits[2]->name), "磁力", "不是网盘"}));
    EXPECT_EQ(j.object["operation"].string, "搜索完毕！");
    EXPECT_EQ(j.object["data"].string, "已获取数据25个");
    EXPECT_EQ(Strings(j.object["messages"]),
              std::vector<std::string>{"共找到  25  个内容。\r\n\r\n\r\n\r\n右键弹出菜单！"});
    const std::string m = sim.Address(Site::kMagnet) + "/search?keyword=%E4%B8%89%E4%BD%93";
    std::vector<std::string> failures;
    // The probe first; the result pages are fetched several at once, so they
    // are listed as their answers came, each once.
    std::vector<std::string> urls = RequestUrls(j.object["requests"], &failures);
    ASSERT_FALSE(urls.empty());
    EXPECT_EQ(urls.front(), m);
    std::sort(urls.begin() + 1, urls.end());
    EXPECT_EQ(urls, (std::vector<std::string>{m, m + "&p=1", m + "&p=2", m + "&p=3"}));
    EXPECT_EQ(failures, std::vector<std::string>(4, "")) << "every request succeeded";
    EXPECT_EQ(r.err, "") << "the JSON form keeps the status texts to itself";
}

TEST_F(CliTest, JsonOfADiskPageKeepsTabsAndNamesThePage) {
    CliRun r = Run({"search", "--source", "\xE7\x99\xBE\xE5\xBA\xA6\xE7\xBD\x91\xE7\x9B\x98", "--page", "2",  // 百度网盘
                    "--format=json", sitesim::kKeywordEarth});
    ASSERT_EQ(r.status, 0) << r.err;
    Json j = ParseOrFail(r.out);
    EXPECT_EQ(j.object["source"].number, 3);
    EXPECT_EQ(j.object["siteCode"].string, "3");
    ASSERT_EQ(j.object["rows"].array.size(), 7u);  // 17 hits, second page
    const std::string title = j.object["rows"].array[0].array[1].string;
    EXPECT_EQ(title.substr(0, 11), std::string(11, '\t'));
    EXPECT_EQ(j.object["messages"].array.size(), 0u);
    ASSERT_EQ(j.object["requests"].array.size(), 1u);
    EXPECT_NE(RequestUrls(j.object["requests"])[0].find("&wp=15&start=10"), std::string::npos);
}

TEST_F(CliTest, JsonWithoutResultsStillHasEveryField) {
    CliRun r = Run({"search", "--source", "2", "--format", "json", "xyz"});
    ASSERT_EQ(r.status, 0);
    Json j = ParseOrFail(r.out);
    EXPECT_EQ(j.object["rows"].array.size(), 0u);
    EXPECT_EQ(Strings(j.object["messages"]), std::vector<std::string>{"很抱歉, 没有找到有关  xyz  的结果。"});
    EXPECT_EQ(j.object["requests"].array.size(), 1u);
}

// Display columns before `needle` on `line`, or -1.
int ColumnOf(const std::string& line, const std::string& needle) {
    std::size_t p = line.find(needle);
    return p == std::string::npos ? -1 : cli::DisplayWidth(line.substr(0, p));
}

TEST_F(CliTest, TableLinesUpWideCharactersAndReportsStatusOnStderr) {
    CliRun r = Run({"search", "--source", "2", sitesim::kKeywordThreeBody});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_GE(lines.size(), 27u);
    // Heading, rule, 25 rows, then the closing message.
    const int nameColumn = ColumnOf(lines[0], "文件名称");
    const int linkColumn = ColumnOf(lines[0], "磁力链接");
    ASSERT_GT(nameColumn, 0);
    const auto hits = sitesim::Search(sitesim::kKeywordThreeBody);
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const std::string& line = lines[i + 2];
        EXPECT_EQ(ColumnOf(line, hits[i]->name), nameColumn) << line;
        EXPECT_EQ(ColumnOf(line, sim.Address(Site::kShareIndex) + "/r/"), linkColumn) << line;
    }
    EXPECT_NE(r.out.find("右键弹出菜单"), std::string::npos);
    EXPECT_GT(r.out.find("右键弹出菜单"), r.out.find(hits.back()->name)) << "the message follows the rows";
    EXPECT_NE(r.err.find("[操作] 搜索中...."), std::string::npos);
    EXPECT_NE(r.err.find("[数据] 已获取数据25个"), std::string::npos);
}

// Lines of `text` that start with `prefix`.
int LinesStartingWith(const std::string& text, const std::string& prefix) {
    int n = 0;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

TEST_F(CliTest, PerRowStatusLinesOnlyWithVerbose) {
    CliRun quiet = Run({"search", "--source", "1", sitesim::kKeywordThreeBody});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(LinesStartingWith(quiet.err, "[数据] "), 1) << quiet.err;
    EXPECT_NE(quiet.err.find("[数据] 已获取数据25个\n"), std::string::npos) << "the last data text still shows";
    EXPECT_GE(LinesStartingWith(quiet.err, "[操作] "), 2) << quiet.err;

    CliRun verbose = Run({"search", "--source", "1", "--verbose", sitesim::kKeywordThreeBody});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_GE(LinesStartingWith(verbose.err, "[数据] "), 25) << "one change per row";
    EXPECT_EQ(verbose.out, quiet.out) << "--verbose changes only stderr";

    CliRun json = Run({"search", "--source", "1", "--format", "json", "--verbose", sitesim::kKeywordThreeBody});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(ParseOrFail(json.out).object["rows"].array.size(), 25u);
    EXPECT_GE(LinesStartingWith(json.err, "[数据] "), 25);
}

TEST_F(CliTest, TsvHasAHeaderAndOneEscapedLinePerRow) {
    // The disk titles carry runs of tabs; they must not split a row.
    CliRun r = Run({"search", "--source", "3", "--page", "2", "--format", "tsv", sitesim::kKeywordEarth});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 8u) << r.out;  // header + 7 rows (17 hits, second page)
    EXPECT_EQ(lines[0], "序号\t文件名称\t收录时间\t文件大小\t文件数量\t磁力链接\t文件类型\t网盘类型");
    for (const std::string& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;
    std::string title = lines[1].substr(lines[1].find('\t') + 1);
    title = title.substr(0, title.find('\t'));
    std::string escapedTabs;
    for (int i = 0; i < 11; ++i) escapedTabs += "\\t";
    EXPECT_EQ(title.rfind(escapedTabs, 0), 0u) << title;
    EXPECT_EQ(LinesStartingWith(r.err, "[数据] "), 1) << r.err;

    // A closing box goes to stderr, leaving stdout to the rows.
    CliRun boxed = Run({"search", "--source", "1", "--format", "tsv", sitesim::kKeywordThreeBody});
    ASSERT_EQ(boxed.status, 0) << boxed.err;
    EXPECT_EQ(std::count(boxed.out.begin(), boxed.out.end(), '\n'), 26);
    EXPECT_EQ(boxed.out.find("右键弹出菜单"), std::string::npos);
    EXPECT_NE(boxed.err.find("右键弹出菜单"), std::string::npos);
}

// Forwards to the real network and cancels the run's token as the Nth
// request goes out, as a Ctrl-C during that request would.
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
    int seen_ = 0;
};

TEST_F(CliTest, ACancelledSearchStopsPrintsNothingMoreAndExits130) {
    for (const char* format : {"table", "tsv", "json"}) {
        SCOPED_TRACE(format);
        sim.ClearLog();
        CancelToken cancel;
        auto makeNet = [&](const Config& c) -> std::unique_ptr<SiteNet> {
            return std::make_unique<CancellingNet>(MakeNetworkSiteNet(c.network), cancel, 2);
        };
        // 100 hits: the magnet search would fetch eleven pages.
        CliRun r = Run({"search", "--source", "1", "--format", format, sitesim::kKeywordUbuntu}, "", true, makeNet,
                       cancel);
        EXPECT_EQ(r.status, cli::kExitCancelled);
        EXPECT_EQ(r.out, "");
        EXPECT_GE(r.err.size(), std::string("sorvix-cli: cancelled\n").size());
        EXPECT_EQ(r.err.substr(r.err.size() - 22), "sorvix-cli: cancelled\n") << r.err;
        // The cancel comes with the first result page's request; the other
        // pages of that window are already out, nothing after them is asked.
        const auto asked = sim.Targets(Site::kMagnet).size();
        EXPECT_GE(asked, 2u);
        EXPECT_LE(asked, 1u + static_cast<size_t>(Config{}.pagesInFlight)) << "stopped at the next checkpoint";
    }
}

// Why a source failed reaches the caller: each failed request is named with
// its reason on stderr (table form) and in the JSON form's request list; the
// rows and texts of the search are those of any failed request.
TEST_F(CliTest, AFailedRequestSaysWhy) {
    const std::string magnet = sim.Address(Site::kMagnet);
    struct Case {
        const char* name;
        std::string magnetAddress;  // [sites] magnet of the configuration
        sitesim::FaultPlan fault;   // on the magnet site
        std::function<void(NetConfig&)> limits;
        std::string failure;        // for the first request
    };
    auto small = [](NetConfig& n) { n.maxBodyBytes = 16u << 10; };
    auto quick = [](NetConfig& n) { n.overallDeadlineMs = 800; };
    const Case cases[] = {
        {"refused", "http://127.0.0.1:1", {}, nullptr, "connection refused"},
        {"not found", magnet + "/gone", {}, nullptr, "HTTP 404"},
        {"body too large", magnet, test::HugeBody(64u << 10), small, "body too large"},
        {"dripped past the deadline", magnet, test::Drip(100), quick, "timed out"},
        {"reset before the answer", magnet, test::Fault(sitesim::FaultKind::kReset), nullptr, "no answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.SetFaults(Site::kMagnet, c.fault);
        const std::string path = WriteIni("cli_test_failing.ini");
        {
            std::ofstream f(path, std::ios::app | std::ios::binary);
            f << "[sites]\nmagnet = " << c.magnetAddress << "\n";
        }
        auto makeNet = [&](const Config& config) {
            NetConfig n = config.network;
            if (c.limits) c.limits(n);
            return MakeNetworkSiteNet(n);
        };
        const std::string url = c.magnetAddress + "/search?keyword=%E4%B8%89%E4%BD%93";
        CliRun json = Run({"search", "--source", "1", "--format", "json", sitesim::kKeywordThreeBody}, path, true,
                          makeNet);
        EXPECT_EQ(json.status, 0) << json.err;
        Json j = ParseOrFail(json.out);
        std::vector<std::string> failures;
        std::vector<std::string> urls = RequestUrls(j.object["requests"], &failures);
        ASSERT_EQ(urls.size(), 1u) << "a failed probe ends the search";
        EXPECT_EQ(urls[0], url);
        EXPECT_EQ(failures[0].rfind(c.failure, 0), 0u) << failures[0];
        EXPECT_EQ(j.object["rows"].array.size(), 0u);

        CliRun table = Run({"search", "--source", "1", sitesim::kKeywordThreeBody}, path, true, makeNet);
        EXPECT_EQ(table.status, 0);
        EXPECT_NE(table.err.find("sorvix-cli: request failed: " + url + ": " + c.failure), std::string::npos)
            << table.err;
    }
    sim.SetFaults(Site::kMagnet, {});
}

TEST_F(CliTest, BadArgumentsFailWithOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"find", "x"},
        {"search", "x"},
        {"search", "--source", "21", "x"},
        {"search", "--source", "0", "x"},
        {"search", "--source", "nosuch", "x"},
        {"search", "--source", "1"},
        {"search", "--source", "1", ""},
        {"search", "--source", "1", "a", "b"},
        {"search", "--source", "1", "--format", "xml", "x"},
        {"search", "--source", "1", "--bogus", "x"},
        {"search", "x", "--source"},
        {"resolve"},
        {"resolve", "a", "b"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += "[" + a + "]";
        SCOPED_TRACE(joined);
        CliRun r = Run(args);
        EXPECT_EQ(r.status, cli::kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("sorvix-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(sim.Requests().empty()) << "nothing is fetched for a bad command";
}

TEST_F(CliTest, AnUnreadableConfigurationIsAnError) {
    const std::string missing = ::testing::TempDir() + "no_such_dir/sorvix.ini";
    const std::string directory = ::testing::TempDir();
    for (const std::string& path : {missing, directory}) {
        SCOPED_TRACE(path);
        CliRun r = Run({"search", "--source", "1", "x"}, path);
        EXPECT_EQ(r.status, cli::kExitUsage);
        EXPECT_EQ(r.err.rfind("sorvix-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(CliTest, AMalformedLineIsReportedAndTheRestIsUsed) {
    std::string path = WriteIni("cli_test_malformed.ini");
    {
        std::ofstream f(path, std::ios::app | std::ios::binary);
        f << "this line means nothing\n";
    }
    CliRun r = Run({"search", "--source", "1", "--format", "json", "xyz"}, path);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_EQ(sim.Targets(Site::kMagnet).size(), 1u) << "the addresses of the file were used";
}

TEST_F(CliTest, ResolvePrintsTheRealAddressOrFails) {
    const std::string site = sim.Address(Site::kShareIndex);
    CliRun ok = Run({"resolve", site + "/r/10002"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, sitesim::RealAddress(*sitesim::FindById(10002), site) + "\n");

    CliRun thunder = Run({"resolve", site + "/r/10004"});
    EXPECT_EQ(thunder.status, 0) << thunder.err;
    EXPECT_EQ(thunder.out.rfind("thunder://", 0), 0u);

    for (const char* id : {"10144", "99"}) {  // expired share, no such page
        CliRun r = Run({"resolve", site + "/r/" + id});
        EXPECT_EQ(r.status, cli::kExitNotFound);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "没有找到地址\n");
    }
    CliRun hostile = Run({"resolve", site + "/r/10145"});
    EXPECT_EQ(hostile.status, cli::kExitNotFound);
    EXPECT_EQ(hostile.out, "") << "a local file offered as download is never handed on";
    EXPECT_NE(hostile.err.find("refused"), std::string::npos);
}

// SIGINT cancels the token handed to CancelOnInterrupt instead of ending the
// process; only the first one (the second would end this test program, so it
// is not sent). The Windows half (a console control handler) is not run
// here: under Wine the test has no console, and GenerateConsoleCtrlEvent
// fails even after AllocConsole; on a real console it would reach the test
// runner as well.
TEST(CliInterrupt, TheFirstInterruptCancelsTheToken) {
#ifdef _WIN32
    GTEST_SKIP() << "no console control event can be sent under the Wine test runner";
#else
    CancelToken token;
    cli::CancelOnInterrupt(token);
    ASSERT_EQ(std::raise(SIGINT), 0);
    EXPECT_TRUE(token.Cancelled());
#endif
}

TEST(CliSource, NumbersAndLabelsNameTheOptions) {
    struct {
        const char* text;
        int option;
    } cases[] = {
        {"1", 1}, {"20", 20}, {"0", 0}, {"21", 0}, {"01", 1}, {"-1", 0}, {"", 0},
        {"BT樱桃", 1}, {"bt樱桃", 1}, {"盘多多", 2}, {"RayFile", 18}, {"rayfile", 18},
        {"YUNFILE网盘", 14}, {"网盘搜资源", 19}, {"音乐", 20}, {"网盘", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(cli::ParseSource(c.text), c.option) << c.text;
}

TEST(CliOutput, DisplayWidthCountsWideCharactersTwice) {
    struct {
        std::string text;
        int width;
    } cases[] = {
        {"", 0}, {"abc", 3}, {"三体", 4}, {"a三b", 4}, {"ＡＢ", 4}, {"，", 2},
        {"e\xCC\x81", 1},  // e + combining acute
        {"\xFF", 1},       // a stray byte still takes a column
        {"\xF0\xA0\x80\x80", 2},  // U+20000, CJK extension B
    };
    for (const auto& c : cases) EXPECT_EQ(cli::DisplayWidth(c.text), c.width) << c.text;
}

TEST(CliOutput, JsonStringsAreAlwaysValid) {
    struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"\r\n\t", "\"\\r\\n\\t\""},
        {std::string("\x01\x7f", 2), "\"\\u0001\\u007f\""},
        {"三体", "\"三体\""},
        {"a\xC3", "\"a\xEF\xBF\xBD\""},           // cut sequence
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // surrogate
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                  // overlong '/'
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::JsonString(c.in), c.out);
        Json j;
        std::string error;
        EXPECT_TRUE(test::JsonReader::Parse(cli::JsonString(c.in), &j, &error)) << error;
    }
}

TEST(CliOutput, CellsBecomeOneLine) {
    EXPECT_EQ(cli::OneLine("\t\t\tFilm 2014 \t\t"), "Film 2014");
    EXPECT_EQ(cli::OneLine("a\r\nb"), "a b");
    EXPECT_EQ(cli::OneLine("\t"), "");
}

TEST(CliOutput, TsvFieldsEscapeWhatWouldSplitThem) {
    struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain 三体", "plain 三体"},
        {"\tTitle\t", "\\tTitle\\t"},
        {"a\nb\r\nc", "a\\nb\\r\\nc"},
        {"C:\\dir\\t", "C:\\\\dir\\\\t"},  // a backslash before "t" stays apart from a tab
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(cli::TsvField(c.in), c.out) << c.in;
    EXPECT_EQ(cli::FormatTsv({"h1", "h2"}, {{"a\tb", "c"}, {"", "d"}}), "h1\th2\na\\tb\tc\n\td\n");
}

TEST(CliOutput, TableColumnsStartAtTheSameDisplayColumn) {
    std::string t = cli::FormatTable({"序号", "名", "x"}, {{"1", "三体全集", "a"}, {"10", "ab", "b"}, {"2"}});
    std::vector<std::string> lines;
    std::istringstream in(t);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "序号  名        x");
    EXPECT_EQ(lines[1], "----  --------  -");
    EXPECT_EQ(lines[2], "1     三体全集  a");
    EXPECT_EQ(lines[3], "10    ab        b");
    EXPECT_EQ(lines[4], "2");
}

}  // namespace
}  // namespace sorvix
