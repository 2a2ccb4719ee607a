// Speed of the text routines on a 10 MB GBK page, each next to a peer that
// does the same work without minding GBK characters (std::string_view::find,
// a plain byte loop), so the price of the boundary checks shows as a ratio:
//   build/native/bench/text/text_bench      (counter x_peer = ours / peer)
// The page is rows of a result table with Chinese names; one trail byte in
// each row is "@" (81 40) to give the boundary check candidates to reject.
#include <benchmark/benchmark.h>

#include <chrono>
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

// Times ours and the peer on the same page in every iteration and reports
// the counter x_peer: our time divided by the peer's (1.0 = as fast).
template <class Ours, class Peer>
void Compare(benchmark::State& state, Ours ours, Peer peer) {
    using Clock = std::chrono::steady_clock;
    double oursNs = 0, peerNs = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ours();
        auto t1 = Clock::now();
        state.PauseTiming();
        auto t2 = Clock::now();
        peer();
        auto t3 = Clock::now();
        state.ResumeTiming();
        oursNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
        peerNs += std::chrono::duration<double, std::nano>(t3 - t2).count();
    }
    state.counters["x_peer"] = peerNs > 0 ? oursNs / peerNs : 0;
    SetBytes(state);
}

// One search through the whole page: "@" occurs only on trail bytes.
void BM_Find_VsStringView(benchmark::State& state) {
    std::string_view page = Page();
    Compare(state, [&] { benchmark::DoNotOptimize(sorvix::Find(page, "@END")); },
            [&] { benchmark::DoNotOptimize(page.find("@END")); });
}
// Every row offers one candidate on a trail byte, which must be rejected.
void BM_Find_TrailCandidates_VsStringView(benchmark::State& state) {
    std::string_view page = Page();
    Compare(state, [&] { benchmark::DoNotOptimize(sorvix::Find(page, "@")); },
            [&] { benchmark::DoNotOptimize(page.find("@END")); });
}
void BM_Find_IgnoreCase_VsStringView(benchmark::State& state) {
    std::string_view page = Page();
    Compare(state, [&] { benchmark::DoNotOptimize(sorvix::Find(page, "<SPAN>", 1, true)); },
            [&] { benchmark::DoNotOptimize(page.find("<span>")); });
}

// A site search walks the page marker by marker with a rising start.
void BM_MarkerWalk_VsStringView(benchmark::State& state) {
    std::string_view page = Page();
    auto ours = [&] {
        int pos = 1, n = 0;
        while ((pos = sorvix::Find(page, "<td class=\"name\">", pos, true)) > 0) {
            benchmark::DoNotOptimize(sorvix::TextBetween(page, "\">", "</td>", pos));
            pos += 17;
            ++n;
        }
        benchmark::DoNotOptimize(n);
    };
    auto peer = [&] {
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
    };
    Compare(state, ours, peer);
}

void BM_Replace_VsStringView(benchmark::State& state) {
    std::string_view page = Page();
    auto peer = [&] {
        std::string out;
        size_t from = 0, pos;
        while ((pos = page.find("<td>", from)) != std::string_view::npos) {
            out.append(page.substr(from, pos - from));
            from = pos + 4;
        }
        out.append(page.substr(from));
        benchmark::DoNotOptimize(out);
    };
    Compare(state, [&] { benchmark::DoNotOptimize(sorvix::Replace(page, "<td>", "")); }, peer);
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

BENCHMARK(BM_Find_VsStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_TrailCandidates_VsStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_IgnoreCase_VsStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkerWalk_VsStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replace_VsStringView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToUpper_Gbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GbkToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMillisecond);

}  // namespace
