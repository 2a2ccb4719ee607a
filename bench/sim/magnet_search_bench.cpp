// Whole searches through the site simulator over the real net layer, regex
// engine and routines.
//
// BM_MagnetSearchTenPages: the probe and ten result pages of 10 entries
// ("ubuntu iso", 100 rows), with the simulator adding 0 ms or 100 ms to every
// answer, one page at a time or with 3 pages in flight. Figures per search:
// wall time, requests, rows, and the time beyond the sequential latency floor
// (our own cost: transport, decoding, regex, row writes).
//
// BM_FanOutAllSources: the same keyword over all twenty sources at once
// (6 at a time, 3 pages in flight) at 100 ms per answer, beside the slowest
// of the twenty run alone.
//
// After the runs a summary prints each figure beside its goal: 3 pages in
// flight at most 40 % of the sequential walk; the fan-out within 1.3 times
// the slowest single source.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "app/core/fan_out.h"
#include "app/core/recording_app_view.h"
#include "app/core/search.h"
#include "sites/site_net.h"
#include "sites/site_search.h"
#include "text/text.h"
#include "tools/sitesim/dataset.h"
#include "tools/sitesim/sitesim.h"

namespace {

using namespace sorvix;
using Clock = std::chrono::steady_clock;

// Mean milliseconds per search, by benchmark name, for the summary.
std::map<std::string, double> gMeanMs;

struct Sim {
    sitesim::SiteSim sim;
    Config config;
    std::unique_ptr<SiteNet> net;

    bool Start(int latencyMs, std::string* error) {
        sitesim::SiteSimConfig simConfig;
        simConfig.ports = {0, 0, 0, 0};
        if (!sim.Start(simConfig, error)) return false;
        sitesim::FaultPlan plan;
        plan.latencyMs = latencyMs;
        sim.SetFaultsAll(plan);
        config.magnet = sim.Address(sitesim::Site::kMagnet);
        config.shareIndex = sim.Address(sitesim::Site::kShareIndex);
        config.searchBaseEncoded = SearchBaseEncode(sim.Address(sitesim::Site::kSearchBase));
        net = MakeNetworkSiteNet(config.network);
        return true;
    }
};

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void BM_MagnetSearchTenPages(benchmark::State& state) {
    const int latencyMs = static_cast<int>(state.range(0));
    const int inFlight = static_cast<int>(state.range(1));
    Sim s;
    std::string error;
    if (!s.Start(latencyMs, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    s.config.pagesInFlight = inFlight;
    const Text keyword = Utf8ToGbk(sitesim::kKeywordUbuntu);

    double totalMs = 0;
    std::size_t requests = 0;
    int rows = 0;
    for (auto _ : state) {
        RecordingAppView view;
        view.TypeKeyword(keyword);
        s.sim.ClearLog();
        CancelToken cancel;
        const auto t0 = Clock::now();
        RunSource(1, view, *s.net, s.config, cancel);
        totalMs += Ms(t0);
        requests = s.sim.Requests().size();
        rows = view.RowCount();
        if (rows != 100 || requests != 11) {
            state.SkipWithError("the search did not read ten full pages");
            break;
        }
    }
    const double perSearchMs = state.iterations() ? totalMs / static_cast<double>(state.iterations()) : 0;
    const double floorMs = static_cast<double>(requests) * latencyMs;
    state.counters["rows"] = rows;
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["search_ms"] = perSearchMs;
    state.counters["sequential_floor_ms"] = floorMs;
    state.counters["beyond_floor_ms"] = perSearchMs - floorMs;
    gMeanMs["walk/" + std::to_string(latencyMs) + "/" + std::to_string(inFlight)] = perSearchMs;
    s.sim.Stop();
}

BENCHMARK(BM_MagnetSearchTenPages)
    ->ArgNames({"latency_ms", "pages_in_flight"})
    ->Args({0, 1})
    ->Args({0, 3})
    ->Args({100, 1})
    ->Args({100, 3})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FanOutAllSources(benchmark::State& state) {
    Sim s;
    std::string error;
    if (!s.Start(100, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    s.config.pagesInFlight = 3;
    s.config.sourcesInFlight = 6;
    FanOutRequest request;
    for (int option = 1; option <= kSourceCount; ++option) request.options.push_back(option);
    request.keyword = Utf8ToGbk(sitesim::kKeywordUbuntu);

    // The slowest source alone, each source timed once with the same settings.
    double slowestMs = 0;
    int slowestOption = 0;
    for (int option = 1; option <= kSourceCount; ++option) {
        RecordingAppView view;
        view.TypeKeyword(request.keyword);
        CancelToken cancel;
        const auto t0 = Clock::now();
        RunSource(option, view, *s.net, s.config, cancel);
        const double ms = Ms(t0);
        if (ms > slowestMs) {
            slowestMs = ms;
            slowestOption = option;
        }
    }

    double totalMs = 0;
    std::size_t rows = 0;
    int ok = 0;
    for (auto _ : state) {
        CancelToken cancel;
        const auto t0 = Clock::now();
        const FanOutResult result = RunFanOut(request, *s.net, s.config, cancel);
        totalMs += Ms(t0);
        rows = result.rows.size();
        ok = static_cast<int>(std::count_if(result.sources.begin(), result.sources.end(),
                                            [](const SourceStatus& st) { return st.outcome == SourceOutcome::Ok; }));
        if (ok != kSourceCount) {
            state.SkipWithError("not every source gave rows");
            break;
        }
    }
    const double perRunMs = state.iterations() ? totalMs / static_cast<double>(state.iterations()) : 0;
    state.counters["sources_ok"] = ok;
    state.counters["merged_rows"] = static_cast<double>(rows);
    state.counters["fan_out_ms"] = perRunMs;
    state.counters["slowest_single_ms"] = slowestMs;
    state.counters["slowest_option"] = slowestOption;
    state.counters["ratio"] = slowestMs > 0 ? perRunMs / slowestMs : 0;
    gMeanMs["fanout"] = perRunMs;
    gMeanMs["slowest"] = slowestMs;
    s.sim.Stop();
}

BENCHMARK(BM_FanOutAllSources)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintSummary() {
    const auto walk = [](const char* key) { return gMeanMs.count(key) ? gMeanMs[key] : 0.0; };
    const double sequential = walk("walk/100/1");
    const double concurrent = walk("walk/100/3");
    if (sequential > 0 && concurrent > 0) {
        std::printf("ten-page magnet walk at 100 ms per answer: sequential %.0f ms, 3 pages in flight %.0f ms = %.0f%% "
                    "of sequential (goal: at most 40%%; floor with the probe first: 5 rounds = 500 ms)\n",
                    sequential, concurrent, 100 * concurrent / sequential);
    }
    const double fanout = walk("fanout");
    const double slowest = walk("slowest");
    if (fanout > 0 && slowest > 0) {
        std::printf("fan-out over all twenty sources at 100 ms per answer: %.0f ms, slowest single source %.0f ms = "
                    "%.2f times (goal: at most 1.3)\n",
                    fanout, slowest, fanout / slowest);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
