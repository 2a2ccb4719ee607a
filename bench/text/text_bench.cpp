// Speed of the text routines on a 10 MB GBK page, each next to a peer that
// does the same work without minding GBK characters (std::string_view::find,
// a plain byte loop), so the price of the boundary checks shows as a ratio:
//   build/native/bench/text/text_bench
// The page is rows of a result table with Chinese names; one trail byte in
// each row is "@" (81 40) to give the boundary check candidates to reject.
#include <benchmark/benchmark.h>

#include <string>

#include "text/text.h"

namespace {

const std::string& Page() {
    static const std::string page = [] {
        const std::string row =
            "<tr><td class=\"name\">\xD6\xD0\xCE\xC4\x81\x40\xB2\xE2\xCA\xD4.zip</td>"
            "<td>2026-12-09</td><td>1.2 GB</td></tr>\n";
        std::string p;
        while (p.size() < 10'000'000) p += row;
        return p + "<span>END</span>";
    }();
    return page;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(Page().size()));
}

// One search that runs through the whole page: "@" only occurs on trail bytes.
void BM_Find_Gbk(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::Find(Page(), "@END"));
    SetBytes(state);
}
void BM_Find_PeerStringView(benchmark::State& state) {
    std::string_view page = Page();
    for (auto _ : state) benchmark::DoNotOptimize(page.find("@END"));
    SetBytes(state);
}
void BM_Find_GbkIgnoreCase(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::Find(Page(), "<SPAN>", 1, true));
    SetBytes(state);
}
void BM_Find_GbkTrailCandidates(benchmark::State& state) {
    // Every row offers one candidate on a trail byte before the real match.
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::Find(Page(), "@", 1));
    SetBytes(state);
}

// A site search walks the page marker by marker with a rising start.
void BM_MarkerWalk_Gbk(benchmark::State& state) {
    for (auto _ : state) {
        int pos = 1, n = 0;
        while ((pos = sorvix::Find(Page(), "<td class=\"name\">", pos, true)) > 0) {
            benchmark::DoNotOptimize(sorvix::TextBetween(Page(), "\">", "</td>", pos));
            pos += 17;
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    SetBytes(state);
}
void BM_MarkerWalk_PeerStringView(benchmark::State& state) {
    std::string_view page = Page();
    for (auto _ : state) {
        size_t pos = 0;
        int n = 0;
        while ((pos = page.find("<td class=\"name\">", pos)) != std::string_view::npos) {
            size_t a = page.find("\">", pos);
            size_t b = page.find("</td>", a);
            benchmark::DoNotOptimize(std::string(page.substr(a + 2, b - a - 2)));
            pos += 17;
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    SetBytes(state);
}

void BM_Replace_Gbk(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::Replace(Page(), "<td>", ""));
    SetBytes(state);
}
void BM_Replace_PeerStringView(benchmark::State& state) {
    std::string_view page = Page();
    for (auto _ : state) {
        std::string out;
        size_t from = 0, pos;
        while ((pos = page.find("<td>", from)) != std::string_view::npos) {
            out.append(page.substr(from, pos - from));
            from = pos + 4;
        }
        out.append(page.substr(from));
        benchmark::DoNotOptimize(out);
    }
    SetBytes(state);
}
void BM_ToUpper_Gbk(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::ToUpper(Page()));
    SetBytes(state);
}
void BM_GbkToUtf8(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::GbkToUtf8(Page()));
    SetBytes(state);
}
void BM_Utf8ToGbk(benchmark::State& state) {
    static const std::string utf8 = sorvix::GbkToUtf8(Page());
    for (auto _ : state) benchmark::DoNotOptimize(sorvix::Utf8ToGbk(utf8));
    SetBytes(state);
}

BENCHMARK(BM_Find_Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_PeerStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_GbkIgnoreCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_GbkTrailCandidates)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkerWalk_Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkerWalk_PeerStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replace_Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replace_PeerStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToUpper_Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GbkToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMillisecond);

}  // namespace
