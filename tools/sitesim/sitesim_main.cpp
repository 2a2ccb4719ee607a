// sitesim: runs the site simulator until SIGINT or SIGTERM.
//   sitesim [--magnet-port N] [--shareindex-port N] [--searchbase-port N]
//           [--blog-port N] [--log FILE] [--blog-version V]
//           [--latency MS] [--fault KIND] [--fault-site SITE] [--fault-from N] [--fault-to N]
//           [--fault-path TEXT] [--huge-bytes N] [--drip-ms MS]
//   KIND: none reset hang broken huge huge-headers cut drip drip-body
//         bad-chunking redirect-loop (see tools/loopback/http_server.h)
// Port 0 picks a free port; the addresses are printed on one line each.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tools/sitesim/sitesim.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) { gStop = 1; }

const char* const kUsageText =
    "usage: sitesim [--magnet-port N] [--shareindex-port N] [--searchbase-port N] [--blog-port N]\n"
    "               [--log FILE] [--blog-version V] [--latency MS]\n"
    "               [--fault KIND] [--fault-site SITE]\n"
    "               [--fault-from N] [--fault-to N] [--fault-path TEXT] [--huge-bytes N] [--drip-ms MS]\n"
    "  KIND: none reset hang broken huge huge-headers cut drip drip-body bad-chunking redirect-loop\n";

int Usage(const char* why) {
    std::fprintf(stderr, "sitesim: %s\n%s", why, kUsageText);
    return 2;
}

bool ToInt(const std::string& s, long lo, long hi, long* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sorvix::sitesim;
    SiteSimConfig config;
    FaultPlan plan;
    bool faultOneSite = false;
    Site faultSite = Site::kMagnet;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return 0;
        }
        if (i + 1 >= argc) return Usage(("missing value for " + a).c_str());
        std::string v = argv[++i];
        long n = 0;
        Site site;
        if (a.size() > 7 && a.compare(a.size() - 5, 5, "-port") == 0 && a.rfind("--", 0) == 0 &&
            ParseSiteName(a.substr(2, a.size() - 7), &site)) {
            if (!ToInt(v, 0, 65535, &n)) return Usage(("bad port " + v).c_str());
            config.ports[static_cast<int>(site)] = static_cast<std::uint16_t>(n);
        } else if (a == "--log") {
            config.logPath = v;
        } else if (a == "--blog-version") {
            config.blogVersion = v;
        } else if (a == "--latency") {
            if (!ToInt(v, 0, 600000, &n)) return Usage(("bad latency " + v).c_str());
            plan.latencyMs = static_cast<int>(n);
        } else if (a == "--fault") {
            if (!ParseFaultName(v, &plan.kind)) return Usage(("unknown fault " + v).c_str());
        } else if (a == "--fault-site") {
            if (!ParseSiteName(v, &faultSite)) return Usage(("unknown site " + v).c_str());
            faultOneSite = true;
        } else if (a == "--fault-from") {
            if (!ToInt(v, 1, 1000000000, &n)) return Usage(("bad number " + v).c_str());
            plan.fromRequest = static_cast<int>(n);
        } else if (a == "--fault-to") {
            if (!ToInt(v, 0, 1000000000, &n)) return Usage(("bad number " + v).c_str());
            plan.toRequest = static_cast<int>(n);
        } else if (a == "--fault-path") {
            plan.pathContains = v;
        } else if (a == "--drip-ms") {
            if (!ToInt(v, 1, 600000, &n)) return Usage(("bad interval " + v).c_str());
            plan.dripMs = static_cast<int>(n);
        } else if (a == "--huge-bytes") {
            if (!ToInt(v, 0, 2000000000, &n)) return Usage(("bad size " + v).c_str());
            plan.hugeBytes = static_cast<std::size_t>(n);
        } else {
            return Usage(("unknown option " + a).c_str());
        }
    }

    SiteSim sim;
    std::string error;
    if (!sim.Start(config, &error)) {
        std::fprintf(stderr, "sitesim: %s\n", error.c_str());
        return 1;
    }
    if (faultOneSite) {
        // Latency stays on every site; the fault itself only on the one named.
        FaultPlan latencyOnly;
        latencyOnly.latencyMs = plan.latencyMs;
        sim.SetFaultsAll(latencyOnly);
        sim.SetFaults(faultSite, plan);
    } else {
        sim.SetFaultsAll(plan);
    }
    for (int i = 0; i < kSiteCount; ++i) {
        std::printf("%s %s\n", SiteName(static_cast<Site>(i)), sim.Address(static_cast<Site>(i)).c_str());
    }
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!gStop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sim.Stop();
    return 0;
}
