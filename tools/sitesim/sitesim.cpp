// Routing of the simulated sites (see sitesim.h).
#include "tools/sitesim/sitesim.h"

#include <cstdlib>

#include "tools/sitesim/pages.h"

namespace sorvix::sitesim {

namespace {

const char* const kSiteNames[kSiteCount] = {"magnet", "shareindex", "searchbase", "blog"};

HttpResponse Page(std::string body, int status = 200) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

// A decimal number or `fallback` for anything else (empty, signs, letters).
long ToNumber(const std::string& text, long fallback) {
    if (text.empty() || text.size() > 9) return fallback;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
    }
    return std::strtol(text.c_str(), nullptr, 10);
}

std::string ParamText(const HttpRequest& req, const char* key) {
    const std::string* raw = req.RawParam(key);
    return raw ? PercentDecode(*raw, true) : std::string();
}

}  // namespace

const char* SiteName(Site site) { return kSiteNames[static_cast<int>(site)]; }

bool ParseSiteName(const std::string& text, Site* site) {
    for (int i = 0; i < kSiteCount; ++i) {
        if (text == kSiteNames[i]) {
            *site = static_cast<Site>(i);
            return true;
        }
    }
    return false;
}

SiteSim::SiteSim() = default;

SiteSim::~SiteSim() { Stop(); }

bool SiteSim::Start(const SiteSimConfig& config, std::string* error) {
    Stop();
    {
        std::lock_guard<std::mutex> lock(mu_);
        blogVersion_ = config.blogVersion;
        if (!config.logPath.empty()) {
            logFile_ = std::fopen(config.logPath.c_str(), "ab");
            if (!logFile_) {
                if (error) *error = "cannot open log file " + config.logPath;
                return false;
            }
        }
    }
    for (int i = 0; i < kSiteCount; ++i) {
        Site site = static_cast<Site>(i);
        servers_[i] = std::make_unique<HttpServer>([this, site](const HttpRequest& r) { return Handle(site, r); },
                                                   [this, site](const HttpRequest& r) { Log(site, r); });
        std::string why;
        if (!servers_[i]->Start(config.ports[i], &why)) {
            if (error) *error = std::string(kSiteNames[i]) + ": " + why;
            Stop();
            return false;
        }
    }
    return true;
}

void SiteSim::Stop() {
    for (auto& s : servers_) {
        if (s) s->Stop();
        s.reset();
    }
    std::lock_guard<std::mutex> lock(mu_);
    if (logFile_) {
        std::fclose(logFile_);
        logFile_ = nullptr;
    }
}

std::uint16_t SiteSim::Port(Site site) const {
    const auto& s = servers_[static_cast<int>(site)];
    return s ? s->Port() : 0;
}

std::string SiteSim::Address(Site site) const {
    std::string base = "http://127.0.0.1:" + std::to_string(Port(site));
    return site == Site::kSearchBase ? base + "/cse?q=" : base;
}

std::vector<LoggedRequest> SiteSim::Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return log_;
}

std::vector<std::string> SiteSim::Targets(Site site) const {
    std::vector<std::string> out;
    std::lock_guard<std::mutex> lock(mu_);
    for (const auto& r : log_) {
        if (r.site == site) out.push_back(r.target);
    }
    return out;
}

void SiteSim::ClearLog() {
    std::lock_guard<std::mutex> lock(mu_);
    log_.clear();
}

void SiteSim::SetFaults(Site site, const FaultPlan& plan) {
    if (auto& s = servers_[static_cast<int>(site)]) s->SetFaults(plan);
}

void SiteSim::SetFaultsAll(const FaultPlan& plan) {
    for (auto& s : servers_) {
        if (s) s->SetFaults(plan);
    }
}

void SiteSim::SetBlogVersion(const std::string& version) {
    std::lock_guard<std::mutex> lock(mu_);
    blogVersion_ = version;
}

void SiteSim::SetDiskKindAnswers(std::map<std::string, DiskKindAnswer> answers) {
    std::lock_guard<std::mutex> lock(mu_);
    diskKinds_ = std::move(answers);
}

void SiteSim::Log(Site site, const HttpRequest& req) {
    const auto at = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mu_);
    log_.push_back({site, req.method, req.target, at});
    if (logFile_) {
        std::fprintf(logFile_, "%s %s %s\n", kSiteNames[static_cast<int>(site)], req.method.c_str(),
                     req.target.c_str());
        std::fflush(logFile_);
    }
}

HttpResponse SiteSim::Handle(Site site, const HttpRequest& req) {
    if (req.method != "GET" && req.method != "POST") {
        HttpResponse r = Page(NotFoundPage(req.target), 405);
        return r;
    }
    const std::string self = "http://127.0.0.1:" + std::to_string(Port(site));
    const std::string& path = req.path;
    switch (site) {
        case Site::kMagnet:
            if (path == "/search") {
                const std::string* p = req.RawParam("p");
                int page = p ? static_cast<int>(ToNumber(PercentDecode(*p, true), 1)) : 0;
                return Page(MagnetSearchPage(ParamText(req, "keyword"), page));
            }
            break;
        case Site::kShareIndex: {
            const std::string prefix = "/s/name/";
            if (path.rfind(prefix, 0) == 0) {
                // Split the raw path before decoding: a '/' inside the keyword
                // arrives as %2F and must not be taken for the page separator.
                std::string rest = path.substr(prefix.size());
                int page = 0;
                std::size_t slash = rest.find('/');
                if (slash != std::string::npos) {
                    page = static_cast<int>(ToNumber(rest.substr(slash + 1), 1));
                    rest = rest.substr(0, slash);
                }
                return Page(ShareIndexSearchPage(PercentDecode(rest, false), page));
            }
            if (path.rfind("/r/", 0) == 0) {
                const Resource* r = FindById(static_cast<int>(ToNumber(path.substr(3), -1)));
                if (r) return Page(ShareIndexDetailPage(*r, self));
            }
            if (path.rfind("/dl/", 0) == 0) {
                const Resource* r = FindById(static_cast<int>(ToNumber(path.substr(4), -1)));
                if (r) return Page("<html><body>" + HtmlEscape(r->name) + "</body></html>\n");
            }
            break;
        }
        case Site::kSearchBase:
            if (path == "/cse") {
                long start = ToNumber(ParamText(req, "start"), 0);
                std::string keyword = ParamText(req, "q");
                std::string wp = ParamText(req, "wp");
                {
                    std::lock_guard<std::mutex> lock(mu_);
                    auto rule = diskKinds_.find(wp);
                    if (rule != diskKinds_.end()) {
                        if (rule->second.noHits) keyword.clear();   // no terms: nothing matches
                        if (!rule->second.linksOf.empty()) wp = rule->second.linksOf;
                    }
                }
                return Page(CustomSearchPage(keyword, wp, start, self));
            }
            if (path.rfind("/share/", 0) == 0) {
                return Page("<html><body>share " + HtmlEscape(path.substr(7)) + "</body></html>\n");
            }
            break;
        case Site::kBlog: {
            std::string version;
            {
                std::lock_guard<std::mutex> lock(mu_);
                version = blogVersion_;
            }
            if (path == kAnnouncementPath) return Page(AnnouncementPost(version, self));
            if (path == "/") return Page(BlogHome());
            break;
        }
    }
    return Page(NotFoundPage(req.target), 404);
}

}  // namespace sorvix::sitesim
