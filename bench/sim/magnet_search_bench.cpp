// A whole magnet search through the site simulator: the probe and ten result
// pages of 10 entries ("ubuntu iso", 100 rows) over the real net layer, regex
// engine and routine, with the simulator adding 0 ms and 100 ms to every
// answer. Figures per search: wall time, requests, rows, and the time spent
// beyond the simulator's latency (our own cost: transport, decoding, regex,
// row writes), so the 100 ms case reads as "floor + overhead".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/core/recording_app_view.h"
#include "app/core/search.h"
#include "sites/site_net.h"
#include "sites/site_search.h"
#include "text/text.h"
#include "tools/sitesim/dataset.h"
#include "tools/sitesim/sitesim.h"

namespace {

using namespace sorvix;

void BM_MagnetSearchTenPages(benchmark::State& state) {
    const int latencyMs = static_cast<int>(state.range(0));
    sitesim::SiteSim sim;
    sitesim::SiteSimConfig simConfig;
    simConfig.ports = {0, 0, 0, 0};
    std::string error;
    if (!sim.Start(simConfig, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    sitesim::FaultPlan plan;
    plan.latencyMs = latencyMs;
    sim.SetFaults(sitesim::Site::kMagnet, plan);

    Config config;
    config.magnet = sim.Address(sitesim::Site::kMagnet);
    std::unique_ptr<SiteNet> net = MakeNetworkSiteNet(config.network);
    const Text keyword = Utf8ToGbk(sitesim::kKeywordUbuntu);

    double totalSeconds = 0;
    std::size_t requests = 0;
    int rows = 0;
    for (auto _ : state) {
        RecordingAppView view;
        view.TypeKeyword(keyword);
        sim.ClearLog();
        CancelToken cancel;
        auto t0 = std::chrono::steady_clock::now();
        RunSource(1, view, *net, config, cancel);
        totalSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        requests = sim.Requests().size();
        rows = view.RowCount();
        if (rows != 100 || requests != 11) {
            state.SkipWithError("the search did not read ten full pages");
            break;
        }
    }
    const double perSearchMs = state.iterations() ? totalSeconds * 1000 / static_cast<double>(state.iterations()) : 0;
    const double floorMs = static_cast<double>(requests) * latencyMs;
    state.counters["rows"] = rows;
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["search_ms"] = perSearchMs;
    state.counters["latency_floor_ms"] = floorMs;
    state.counters["overhead_ms"] = perSearchMs - floorMs;
    state.counters["overhead_per_request_ms"] = requests ? (perSearchMs - floorMs) / static_cast<double>(requests) : 0;
    sim.Stop();
}

BENCHMARK(BM_MagnetSearchTenPages)
    ->ArgName("latency_ms")
    ->Arg(0)
    ->Arg(100)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
