// Throughput of our regex engine against PCRE2 (JIT and interpreter), RE2,
// libstdc++ std::regex and Node's RegExp, on the same generated GBK pages:
// for each site pattern a typical result page (20 entries, ~60 KB), a big
// one (~4 MB) and adversarial ones (0.25, 1, 4 MB of entry openings that
// never close). Every engine collects all matches with their groups (global,
// ignore case, multi-line), compiled once outside the timing. Prints MB/s of
// processor time (median of several runs) per engine and page and our ratio to each peer.
// Each measurement runs in a child process with a time limit, so a peer that
// goes quadratic (or crashes: std::regex recurses per character) cannot stop
// the run; after one run over kCapSeconds a peer is "skipped (quadratic)" on
// the larger adversarial pages.
//   regex_bench [--quick]   (--quick leaves out the 4 MB pages)
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <re2/re2.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "sites/site_patterns.h"
#include "text/regex/program_cache.h"
#include "text/regex/regex.h"
#include "text/regex/regex_object.h"

namespace {

constexpr double kCapSeconds = 3.0;
constexpr int kChildTimeoutSeconds = 25;

// ---- Pages --------------------------------------------------------------------------

const char* const kNames[] = {
    "\xB5\xE7\xD3\xB0",                     // 电影
    "\xBA\xCF\xBC\xAF",                     // 合集
    "\xB8\xDF\xC7\xE5\xB0\xE6",             // 高清版
    "\xCE\xC4\xB5\xB5\xCB\xB5\xC3\xF7",     // 文档说明
    "\xC8\xED\xBC\xFE\xB0\xB2\xD7\xB0",     // 软件安装
};

std::string Name(int i) {
    return std::string("<span class='highlight'>") + kNames[i % 5] + "</span>" + kNames[(i + 2) % 5] +
           " " + std::to_string(1000 + i) + ".mkv";
}

std::string Filler(int i, int lines) {
    std::string s;
    for (int k = 0; k < lines; ++k) {
        s += "      <li class=\"file-item\"><span class=\"ico\"></span>" + std::string(kNames[(i + k) % 5]) +
             "/" + kNames[(i + k + 1) % 5] + "_part" + std::to_string(k) + ".mp4 <em>" +
             std::to_string(100 + k * 7) + " MB</em></li>\n";
    }
    return s;
}

std::string MagnetEntry(int i, int lines) {
    char hash[41];
    for (int k = 0; k < 40; ++k) hash[k] = "0123456789ABCDEF"[(i * 7 + k * 13) % 16];
    hash[40] = 0;
    return "<div class=\"search-item\">\n  <div class=\"item-title\"><h5 class=\"h\">" + Name(i) +
           "</h5></div>\n  <ul class=\"item-list\">\n" + Filler(i, lines) +
           "  </ul>\n  <div class=\"item-bar\"><span>\xCA\xD5\xC2\xBC:<span class=\"prop_val\">2024-0" +
           std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10) +
           "</span></span>\n  <span>\xB4\xF3\xD0\xA1:<span class=\"prop_val\">" + std::to_string(1 + i % 7) +
           ".2 GB</span></span>\n  <span>\xCE\xC4\xBC\xFE:<span class=\"prop_val\">" + std::to_string(3 + i % 11) +
           "</span></span>\n  <a class=\"download\" href=\"magnet:?xt=urn:btih:" + hash +
           "\">\xB4\xC5\xC1\xA6</a></div>\n</div>\n";
}

std::string DiskEntry(int i, int lines) {
    return "<div class=\"cse-search-result_content_item\">\n<a class=\"cse-search-result_content_item_top_a\" "
           "href=\"https://pan.example.com/s/1" + std::to_string(100000 + i) +
           "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"track('" + std::to_string(i) +
           "');\" >\n" + std::string(11, '\t') + "<b>" + kNames[i % 5] + "</b>" + kNames[(i + 1) % 5] +
           std::string(10, '\t') + "</a>\n<div class=\"snippet\">\n" + Filler(i, lines) + "</div>\n</div>\n";
}

std::string ShareEntry(int i, int lines) {
    return "<tr class=\"row\"><td class=\"name\"><a class=\"blue\" target=\"_blank\" title=\"" +
           std::string(kNames[i % 5]) + kNames[(i + 3) % 5] + ".zip\" href=\"/r/" + std::to_string(5000 + i) +
           "\">" + kNames[i % 5] + "</a><div class=\"desc\">\n" + Filler(i, lines) +
           "</div></td>\n<td> 2019-01-0" + std::to_string(1 + i % 9) + " </td><td class=\"t2\">" +
           std::to_string(i % 900) + " MB</td></tr>\n";
}

struct Site {
    const char* name;
    std::string pattern;
    std::function<std::string(int, int)> entry;  // (index, filler lines)
    std::string opening;  // an entry opening that never closes (adversarial unit)
};

// A result page of `entries` entries of about targetBytes in all (the
// entries' filler lines chosen to fit), or, with entries 0, entries of 14
// filler lines up to targetBytes.
std::string Page(const Site& site, size_t targetBytes, int entries) {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>" + std::string(kNames[0]) +
                       "</title></head><body>\n<script>var pager={totalPages:12,pageSize:20};</script>\n";
    int lines = 14;
    if (entries > 0) {
        const size_t bare = site.entry(0, 0).size(), perLine = site.entry(0, 1).size() - bare;
        const size_t perEntry = targetBytes / static_cast<size_t>(entries);
        lines = perEntry > bare ? static_cast<int>((perEntry - bare) / perLine) : 0;
        for (int i = 0; i < entries; ++i) page += site.entry(i, lines);
    } else {
        for (int i = 0; page.size() < targetBytes; ++i) page += site.entry(i, lines);
    }
    page += "</body></html>\n";
    return page;
}

std::string Adversarial(const Site& site, size_t bytes) {
    std::string page;
    page.reserve(bytes + site.opening.size());
    while (page.size() < bytes) page += site.opening;
    return page;
}

// ---- Engines ---------------------------------------------------------------------------

// Returns the number of matches; groups are read (spans) but not copied.
using Runner = std::function<long(const std::string&)>;
using Maker = std::function<Runner(const std::string& pattern)>;

Runner MakeOurs(const std::string& pattern) {
    auto re = std::make_shared<sorvix::regex::Regex>();
    if (!re->Compile(pattern, true, true)) return nullptr;
    // The bare engine as a caller that keeps its scratch between pages.
    auto scratch = std::make_shared<sorvix::regex::Scratch>();
    return [re, scratch](const std::string& page) {
        std::vector<int> spans;
        spans.reserve(4096);
        return static_cast<long>(re->FindAll(*scratch, page, true, spans));
    };
}

// RegexObject as the site routines use it: a fresh object per page (the
// program comes from the process-wide cache), every match's texts kept.
Runner MakeObject(const std::string& pattern) {
    if (!sorvix::RegexObject().Search(pattern, "")) {
        // Compiles (and caches) the pattern outside the timing; a pattern
        // that finds nothing in "" is still fine, a rejected one is not.
        if (!sorvix::regex::ProgramCache::Shared().Get(pattern, true, true)) return nullptr;
    }
    return [pattern](const std::string& page) {
        sorvix::RegexObject re;
        re.Search(pattern, page);
        return static_cast<long>(re.MatchCount());
    };
}

Runner MakePcre2(const std::string& pattern, bool jit) {
    int err;
    PCRE2_SIZE off;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     PCRE2_CASELESS | PCRE2_MULTILINE, &err, &off, nullptr);
    if (!code) return nullptr;
    if (jit && pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) != 0) return nullptr;
    std::shared_ptr<pcre2_code> holder(code, pcre2_code_free);
    return [holder](const std::string& page) {
        pcre2_match_data* md = pcre2_match_data_create_from_pattern(holder.get(), nullptr);
        long count = 0;
        size_t pos = 0;
        while (pos <= page.size()) {
            int rc = pcre2_match(holder.get(), reinterpret_cast<PCRE2_SPTR>(page.data()), page.size(), pos, 0, md,
                                 nullptr);
            if (rc < 0) {
                if (rc != PCRE2_ERROR_NOMATCH) count = -1;  // match limit: report as failure
                break;
            }
            ++count;
            PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            pos = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
        }
        pcre2_match_data_free(md);
        return count;
    };
}

Runner MakeRe2(const std::string& pattern) {
    RE2::Options opt;
    opt.set_encoding(RE2::Options::EncodingLatin1);
    opt.set_case_sensitive(false);
    opt.set_log_errors(false);
    auto re = std::make_shared<RE2>("(?m)" + pattern, opt);
    if (!re->ok()) return nullptr;
    return [re](const std::string& page) {
        const int ng = re->NumberOfCapturingGroups() + 1;
        std::vector<re2::StringPiece> groups(ng);
        long count = 0;
        size_t pos = 0;
        re2::StringPiece text(page);
        while (pos <= page.size() && re->Match(text, pos, page.size(), RE2::UNANCHORED, groups.data(), ng)) {
            ++count;
            size_t b = groups[0].data() - page.data(), e = b + groups[0].size();
            pos = e > b ? e : e + 1;
        }
        return count;
    };
}

Runner MakeStdRegex(const std::string& pattern) {
    std::shared_ptr<std::regex> re;
    try {
        re = std::make_shared<std::regex>(pattern, std::regex::ECMAScript | std::regex::icase |
                                                       std::regex::multiline);
    } catch (...) {
        return nullptr;
    }
    return [re](const std::string& page) {
        long count = 0;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), *re); it != std::sregex_iterator(); ++it) {
            ++count;
        }
        return count;
    };
}

struct Result {
    enum Kind { kOk, kSkipped, kFailed } kind = kFailed;
    double mbps = 0;
    long count = 0;
    double longestRun = 0;
};

// Processor time of this (single-threaded) process: the machine is shared,
// so wall-clock time would measure the neighbours too.
double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Median MB/s over several samples, measured in a child process with a limit.
Result Measure(const Runner& run, const std::string& page) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        // A typical page takes microseconds, too short for one clock
        // reading: each sample repeats the page until it lasts 5 ms or more
        // (after one warm-up run), and the median sample counts.
        double t0 = CpuSeconds();
        long count = run(page);
        const double once = CpuSeconds() - t0;
        const long reps = once >= 0.005 ? 1 : std::max(1L, static_cast<long>(0.005 / std::max(once, 1e-7)));
        std::vector<double> times;
        double total = 0;
        while (once <= kCapSeconds && times.size() < 7 && (total < 0.5 || times.size() < 3)) {
            t0 = CpuSeconds();
            for (long r = 0; r < reps; ++r) count = run(page);
            double s = (CpuSeconds() - t0) / static_cast<double>(reps);
            times.push_back(s);
            total += s * static_cast<double>(reps);
            if (s > kCapSeconds) break;
        }
        if (times.empty()) times.push_back(once);
        std::sort(times.begin(), times.end());
        double median = times[times.size() / 2];
        char line[128];
        int n = snprintf(line, sizeof line, "%f %ld %f\n", page.size() / 1e6 / median, count, times.back());
        (void)!write(fds[1], line, n);
        _exit(0);
    }
    close(fds[1]);
    Result r;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kChildTimeoutSeconds);
    int status = 0;
    bool done = false;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            done = true;
            break;
        }
        usleep(2000);
    }
    if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        close(fds[0]);
        r.kind = Result::kSkipped;
        return r;
    }
    char buf[128] = {};
    ssize_t got = read(fds[0], buf, sizeof buf - 1);
    close(fds[0]);
    if (got > 0 && sscanf(buf, "%lf %ld %lf", &r.mbps, &r.count, &r.longestRun) == 3 && r.count >= 0) {
        r.kind = Result::kOk;
    }
    return r;
}

std::string Format(const Result& r) {
    char buf[64];
    if (r.kind == Result::kSkipped) return "skipped (quadratic)";
    if (r.kind == Result::kFailed) return "failed";
    snprintf(buf, sizeof buf, "%.1f", r.mbps);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const std::vector<Site> sites = {
        {"magnet", std::string(sorvix::site_pattern::kMagnetEntry), MagnetEntry, "<h5 class=\"h\">x</h5>\n"},
        {"disk", std::string(sorvix::site_pattern::kDiskHit), DiskEntry,
         "<a class=\"cse-search-result_content_item_top_a\" href=\"x"},
        {"share-index", std::string(sorvix::site_pattern::kShareFields[sorvix::site_pattern::kShareName].pattern),
         ShareEntry,
         "<a class=\"blue\" target=\"_blank\" title=\"x"},
    };
    struct Engine {
        const char* name;
        Maker make;
    };
    const std::vector<Engine> engines = {
        {"sorvix", MakeOurs},
        {"sorvix-object", MakeObject},
        {"pcre2-jit", [](const std::string& p) { return MakePcre2(p, true); }},
        {"pcre2", [](const std::string& p) { return MakePcre2(p, false); }},
        {"re2", MakeRe2},
        {"std::regex", MakeStdRegex},
    };
    const std::string dir = SORVIX_BENCH_DIR;
    (void)!system(("mkdir -p '" + dir + "'").c_str());

    for (const Site& site : sites) {
        struct PageDef {
            std::string label;
            std::string text;
        };
        std::vector<PageDef> pages;
        pages.push_back({"typical", Page(site, 60000, 20)});
        if (!quick) pages.push_back({"big", Page(site, 4000000, 0)});
        pages.push_back({"adv-0.25MB", Adversarial(site, 250000)});
        pages.push_back({"adv-1MB", Adversarial(site, 1000000)});
        if (!quick) pages.push_back({"adv-4MB", Adversarial(site, 4000000)});

        // Node: one process per page, killed at the time limit.
        std::ofstream(dir + "/" + site.name + ".pattern", std::ios::binary) << site.pattern;
        std::map<std::string, Result> nodeResults;
        bool nodeQuadratic = false;
        for (const auto& p : pages) {
            std::string file = std::string(site.name) + "-" + p.label + ".html";
            std::ofstream(dir + "/" + file, std::ios::binary) << p.text;
            Result r;
            r.kind = Result::kSkipped;
            if (!nodeQuadratic) {
                std::string cmd = "timeout " + std::to_string(kChildTimeoutSeconds) + " node '" SORVIX_NODE_PEER
                                  "' '" + dir + "' " + site.name + ".pattern " + file;
                if (FILE* f = popen(cmd.c_str(), "r")) {
                    char line[256];
                    char name[128], rest[64];
                    long count = 0;
                    if (fgets(line, sizeof line, f) && sscanf(line, "%127s %63s %ld", name, rest, &count) == 3) {
                        r.kind = Result::kOk;
                        r.mbps = atof(rest);
                        r.count = count;
                    }
                    pclose(f);
                }
                if (r.kind != Result::kOk && p.label.rfind("adv", 0) == 0) nodeQuadratic = true;
            }
            nodeResults[file] = r;
        }

        printf("\n== pattern: %s\n", site.name);
        printf("%-12s %8s", "page", "MB");
        for (const auto& e : engines) printf(" %20s", e.name);
        printf(" %20s   ratios sorvix/peer\n", "node");
        std::vector<bool> quadratic(engines.size(), false);
        for (const auto& p : pages) {
            std::vector<Result> results;
            for (size_t e = 0; e < engines.size(); ++e) {
                const bool adversarial = p.label.rfind("adv", 0) == 0;
                if (quadratic[e] && adversarial) {
                    Result r;
                    r.kind = Result::kSkipped;
                    results.push_back(r);
                    continue;
                }
                Runner run = engines[e].make(site.pattern);
                Result r = run ? Measure(run, p.text) : Result();
                if (adversarial && (r.kind == Result::kSkipped || r.longestRun > kCapSeconds)) quadratic[e] = true;
                results.push_back(r);
            }
            Result node = nodeResults[std::string(site.name) + "-" + p.label + ".html"];
            printf("%-12s %8.2f", p.label.c_str(), p.text.size() / 1e6);
            for (const auto& r : results) printf(" %20s", Format(r).c_str());
            printf(" %20s  ", Format(node).c_str());
            results.push_back(node);
            for (size_t e = 1; e < results.size(); ++e) {
                const char* peer = e < engines.size() ? engines[e].name : "node";
                if (results[0].kind == Result::kOk && results[e].kind == Result::kOk && results[e].mbps > 0) {
                    printf(" %s %.2fx", peer, results[0].mbps / results[e].mbps);
                    if (results[e].count != results[0].count) printf("(count %ld vs %ld!)", results[e].count, results[0].count);
                } else {
                    printf(" %s -", peer);
                }
            }
            printf("   [%ld matches]\n", results[0].count);
            fflush(stdout);
        }
    }
    return 0;
}
