// Parse throughput of MagnetSiteSearch, ShareIndexSearch and DiskSearch: each
// routine runs against an in-memory page (no sockets) and a view that only
// counts rows, so the figures are conversion, regular expressions and field
// cutting. "typical" is a result page of 20 entries; "big" one of 2000.
// Prints bytes/second and rows/second per routine and page size.
#include <benchmark/benchmark.h>

#include <string>

#include "sites/site_search.h"
#include "sites/site_view.h"
#include "tests/sites/site_test_support.h"

namespace sorvix {
namespace {

class CountingView : public SiteView {
public:
    void SetLabel(StatusLabel, const Text&) override {}
    Text Label(StatusLabel) override { return {}; }
    Text BoxText(EditBox box) override { return box == EditBox::Keyword ? "abc" : "1"; }
    void SetBoxText(EditBox, const Text&) override {}
    void ClearRows() override { rows = 0; }
    int AppendRow() override { return ++rows; }
    void SetCell(int, int, const Text& text) override { cellBytes += text.size(); }
    Text Cell(int, int) override { return {}; }
    int SelectedRow() override { return 0; }
    int ShowMessageBox(const MessageBoxRequest&) override { return 1; }
    void ShowSystemMessage(const Text&, const Text&) override {}
    int rows = 0;
    size_t cellBytes = 0;
};

std::string MagnetPage(int entries) {
    std::string page = "<html><head><meta charset=\"utf-8\"></head><body>{totalPages:1,}\n";
    for (int n = 1; n <= entries; ++n) {
        page += "<div class=\"item\"><h5 class=\"h\">\xE7\x94\xB5\xE5\xBD\xB1 <span class='highlight'>abc</span> " +
                std::to_string(n) +
                ".mkv</h5>\n<p><span class=\"prop_name\">\xE6\x97\xB6\xE9\x97\xB4:</span><span class=\"prop_val\">"
                "2014-05-01</span>\n<span class=\"prop_name\">size:</span><span class=\"prop_val\">1.2 GB</span>\n"
                "<span class=\"prop_name\">files:</span><span class=\"prop_val\">3</span></p>\n"
                "<a class=\"dl\" href=\"magnet:?xt=urn:btih:0123456789ABCDEF0123456789ABCDEF01234567\">link</a>"
                "</div>\n";
    }
    return page + "</body></html>";
}

std::string SharePage(int entries) {
    std::string page = "<html><body><span class=\"pcount\">\xE5\x85\xB1" "1\xE9\xA1\xB5&nbsp;&nbsp;</span><table>\n";
    for (int n = 1; n <= entries; ++n) {
        const std::string id = std::to_string(10000 + n);
        page += "<tr>\n<td><a class=\"blue\" target=\"_blank\" title=\"\xE7\x94\xB5\xE5\xBD\xB1%E5%90%88 " + id +
                ".rar\" href=\"/r/" + id + "\">x</a></td>\n<td> 2015-03-01 </td>\n<td><a href=\"/c/" +
                std::to_string(n % 6 + 1) +
                "\">c</a></td>\n<td class=\"t2\">1.5 GB</td>\n<td><a target=\"_blank\" title=\"amy"
                "\xE8\xB5\x84\xE6\xBA\x90\xEF\xBC\x8C\xE7\x82\xB9\xE5\x87\xBB\xE6\x9F\xA5\xE7\x9C\x8B\xE8\xAF\xA5"
                "\xE7\x94\xA8\xE6\x88\xB7\xE5\x88\x86\xE4\xBA\xAB\xE7\x9A\x84\xE6\x89\x80\xE6\x9C\x89\xE6\x96\x87"
                "\xE4\xBB\xB6\" href=\"/u/1\">amy</a></td>\n</tr>\n";
    }
    return page + "</table></body></html>";
}

std::string DiskPage(int entries) {
    std::string page = "<html><body><ul>\n";
    for (int n = 1; n <= entries; ++n) {
        page += "<li><a class=\"cse-search-result_content_item_top_a\" href=\"http://pan.example.com/s/" +
                std::to_string(n) +
                "%2Fx\" target=\"_blank\" rel=\"external nofollow\" onclick=\"return track('1');\" >\n" +
                std::string(11, '\t') + "<b>Film</b> 2014 " + std::to_string(n) + " <b>...</b>" +
                std::string(10, '\t') + "</a>\n<p class=\"abstract\">an abstract of the share, some words</p></li>\n";
    }
    return page + "</ul></body></html>";
}

template <class Run>
void RunSite(benchmark::State& state, const std::string& page, int pagesFetched, Run run) {
    test::FakeSiteNet net;
    net.ServeOthers(page);
    CancelToken cancel;
    CountingView view;
    for (auto _ : state) {
        run(SiteContext{view, net, cancel});
        benchmark::DoNotOptimize(view.cellBytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()) *
                            pagesFetched);
    state.counters["rows"] = view.rows;
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(view.rows) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
    state.counters["page_kB"] = static_cast<double>(page.size()) / 1024.0;
}

void BM_Magnet(benchmark::State& state) {
    RunSite(state, MagnetPage(static_cast<int>(state.range(0))), 2,
            [](const SiteContext& c) { MagnetSiteSearch(c, "http://m.test"); });
}
void BM_ShareIndex(benchmark::State& state) {
    RunSite(state, SharePage(static_cast<int>(state.range(0))), 2,
            [](const SiteContext& c) { ShareIndexSearch(c, "http://s.test"); });
}
void BM_Disk(benchmark::State& state) {
    const Text base = SearchBaseEncode("http://d.test/cse?q=");
    RunSite(state, DiskPage(static_cast<int>(state.range(0))), 1,
            [&](const SiteContext& c) { DiskSearch(c, *DiskVariantForOption(9), base); });
}
void BM_SearchBaseDecode(benchmark::State& state) {
    const Text encoded = SearchBaseEncode("http://127.0.0.1:8933/cse?q=");
    for (auto _ : state) benchmark::DoNotOptimize(SearchBaseDecode(encoded));
}

BENCHMARK(BM_Magnet)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShareIndex)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Disk)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchBaseDecode);

}  // namespace
}  // namespace sorvix

BENCHMARK_MAIN();
