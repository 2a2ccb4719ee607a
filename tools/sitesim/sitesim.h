// The site simulator: four loopback HTTP servers answering like the magnet
// search site, the share-index site (search and detail pages), the custom
// search page of the disk searches and the blog with the announcement post,
// from the invented data set of dataset.h. It records every request (site,
// method, full target) in memory and, optionally, in a log file, and can
// switch on faults per site at run time.
// Runs in-process on its own threads (tests, benchmarks) or as the `sitesim`
// program (sitesim_main.cpp). Covered by tests/sim/sitesim_test.cpp.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/loopback/http_server.h"

namespace sorvix::sitesim {

// The simulator runs the loopback server; its requests, answers and fault
// plans are that server's.
using loopback::FaultKind;
using loopback::FaultName;
using loopback::FaultPlan;
using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::HttpServer;
using loopback::ParseFaultName;
using loopback::PercentDecode;

enum class Site { kMagnet = 0, kShareIndex = 1, kSearchBase = 2, kBlog = 3 };
inline constexpr int kSiteCount = 4;
const char* SiteName(Site site);  // "magnet", "shareindex", "searchbase", "blog"
bool ParseSiteName(const std::string& text, Site* site);

struct SiteSimConfig {
    // 0 lets the system pick a free port (what in-process tests want).
    std::array<std::uint16_t, kSiteCount> ports{8931, 8932, 8933, 8934};
    std::string logPath;          // empty: no log file
    std::string blogVersion = "V1.0";  // the version the announcement post names
};

struct LoggedRequest {
    Site site;
    std::string method;
    std::string target;
    // When the request had been read, before any latency or fault: with a
    // latency of L on every answer, two requests of one client overlapped
    // exactly when they arrived less than L apart.
    std::chrono::steady_clock::time_point at{};
};

// How the custom search page answers one disk kind ("wp" value) instead of
// the usual way: as if nothing matched, or with the share links of another
// kind (a meta-search kind that lists shares of the others).
struct DiskKindAnswer {
    bool noHits = false;
    std::string linksOf;   // empty: the kind's own links
};

class SiteSim {
public:
    SiteSim();
    ~SiteSim();
    SiteSim(const SiteSim&) = delete;
    SiteSim& operator=(const SiteSim&) = delete;

    // Starts all four servers; on failure none keeps running.
    bool Start(const SiteSimConfig& config, std::string* error);
    void Stop();

    std::uint16_t Port(Site site) const;
    // "http://127.0.0.1:<port>"; for kSearchBase the search base up to the
    // keyword key: "http://127.0.0.1:<port>/cse?q=".
    std::string Address(Site site) const;

    std::vector<LoggedRequest> Requests() const;
    std::vector<std::string> Targets(Site site) const;
    void ClearLog();

    void SetFaults(Site site, const FaultPlan& plan);
    void SetFaultsAll(const FaultPlan& plan);
    void SetBlogVersion(const std::string& version);
    // Replaces every rule; an empty map answers every kind the usual way.
    void SetDiskKindAnswers(std::map<std::string, DiskKindAnswer> answers);

private:
    HttpResponse Handle(Site site, const HttpRequest& req);
    void Log(Site site, const HttpRequest& req);

    std::array<std::unique_ptr<HttpServer>, kSiteCount> servers_;
    mutable std::mutex mu_;  // guards log_, logFile_, blogVersion_, diskKinds_
    std::vector<LoggedRequest> log_;
    std::FILE* logFile_ = nullptr;
    std::string blogVersion_ = "V1.0";
    std::map<std::string, DiskKindAnswer> diskKinds_;
};

}  // namespace sorvix::sitesim
