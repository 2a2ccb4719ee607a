// Throughput of our regex engine against PCRE2 with its JIT, RE2 and Node's
// RegExp (with --all also the PCRE2 interpreter and libstdc++ std::regex),
// on the same generated GBK pages, for each site search as the site runs it
// (the share-index search runs its six field patterns over each page).
// Page kinds: a typical result page (20 entries, ~60 KB), a big one (~4 MB),
// a dense realistic one (minified CSS/JS head, nested markup, sidebars), the
// same minified onto one line, a sidebar of decoy openings that fail at their
// line ends, an entry template reformatted so a field sits on its own line,
// and two adversarial ladders (0.25, 1, 4 MB): openings that never close, and
// the same with every literal a match needs present at the end, so only the
// automaton can answer. Every engine collects all matches with their groups
// (global, ignore case, multi-line), compiled once outside the timing.
// "sorvix" is the bare engine with a scratch kept between pages;
// "sorvix-object" is RegexObject as the site code uses it (a fresh object per
// page, the program from the process-wide cache, the match texts kept).
// Prints MB/s of processor time (median of several runs) per engine and page,
// our ratio to each peer, whether each page meets the goal (at least
// PCRE2-JIT) and the growth of each ladder (4x input: at most 5x time).
// Each measurement runs in a child process with a time limit, so a peer that
// goes quadratic (or crashes: std::regex recurses per character) cannot stop
// the run; after one run over kCapSeconds a peer is "skipped (quadratic)" on
// the larger adversarial pages. The machine may be shared: run it a few
// times and compare medians.
//   regex_bench [--quick] [--all]   (--quick leaves out the 4 MB pages)
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
    std::vector<std::string> patterns;           // run one after another over each page
    std::function<std::string(int, int)> entry;  // (index, filler lines)
    std::function<std::string(int, int)> reformatted;  // the entry with a field on its own line
    std::string opening;  // an entry opening that never closes (adversarial unit)
    std::string decoy;    // a sidebar link that looks like an entry and fails at its line end
    std::string needed;   // every literal a match needs, in an order that matches nothing
};

const char* const kPageHead =
    "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>\xB5\xE7\xD3\xB0</title></head><body>\n"
    "<script>var pager={totalPages:12,pageSize:20};</script>\n";

// A result page of `entries` entries of about targetBytes in all (the
// entries' filler lines chosen to fit), or, with entries 0, entries of 14
// filler lines up to targetBytes.
std::string Page(const Site& site, size_t targetBytes, int entries) {
    std::string page = kPageHead;
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

// What real result pages look like around the entries: a head of minified
// style and script (long lines, many quotes, angle brackets and "class"),
// navigation and a sidebar of nested lists, and entries with little filler.
std::string DenseHead() {
    std::string css = "<style>";
    for (int i = 0; i < 300; ++i) {
        css += ".c" + std::to_string(i) + "{margin:0 " + std::to_string(i % 17) + "px;color:#" +
               std::to_string(100 + i % 800) + ";background:url(\"/i/" + std::to_string(i) + ".png\")}";
        css += "a.l" + std::to_string(i) + ">span[class=\"h\"]{display:none}";
    }
    css += "</style>\n<script>";
    for (int i = 0; i < 200; ++i) {
        css += "function f" + std::to_string(i) + "(a,b){var s=\"<div class=\\\"x" + std::to_string(i) +
               "\\\">\"+a+\"</div>\";return b?s.replace(/<[^>]+>/g,\"\"):s;}";
    }
    css += "</script>\n";
    return css;
}

std::string DenseNav() {
    std::string nav = "<div class=\"nav\"><ul>";
    for (int i = 0; i < 60; ++i) {
        nav += "<li class=\"n\"><a href=\"/cat/" + std::to_string(i) + "\" title=\"" + kNames[i % 5] + "\"><span>" +
               kNames[(i + 1) % 5] + "</span></a><ul><li><a href=\"/cat/" + std::to_string(i) + "/1\">" +
               kNames[(i + 2) % 5] + "</a></li></ul></li>";
        if (i % 6 == 5) nav += "\n";
    }
    nav += "</ul></div>\n";
    return nav;
}

std::string Dense(const Site& site) {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\">" + DenseHead() + "</head><body>\n" + DenseNav();
    page += "<div class=\"main\"><div class=\"list\">\n";
    for (int i = 0; i < 20; ++i) page += site.entry(i, 3);
    page += "</div>\n<div class=\"side\">" + DenseNav() + "</div></div>\n</body></html>\n";
    return page;
}

// The page as a minifier leaves it: no line breaks, runs of blanks and tabs
// as one space.
std::string Minified(const std::string& page) {
    std::string out;
    out.reserve(page.size());
    bool blank = false;
    for (char ch : page) {
        if (ch == '\n' || ch == '\r') continue;
        if (ch == ' ' || ch == '\t') {
            if (!blank) out.push_back(' ');
            blank = true;
            continue;
        }
        blank = false;
        out.push_back(ch);
    }
    return out;
}

// A sidebar of a few hundred decoys, then a typical list of entries.
std::string Decoys(const Site& site) {
    std::string page = kPageHead;
    page += "<div class=\"side\">\n";
    for (int i = 0; i < 400; ++i) {
        std::string d = site.decoy;
        const size_t at = d.find('#');
        if (at != std::string::npos) d.replace(at, 1, std::to_string(i));
        page += d;
    }
    page += "</div>\n";
    for (int i = 0; i < 20; ++i) page += site.entry(i, 14);
    return page + "</body></html>\n";
}

std::string Reformatted(const Site& site) {
    std::string page = kPageHead;
    for (int i = 0; i < 20; ++i) page += site.reformatted(i, 14);
    return page + "</body></html>\n";
}

std::string Adversarial(const Site& site, size_t bytes, bool withNeeded) {
    std::string page;
    page.reserve(bytes + site.opening.size() + site.needed.size());
    while (page.size() < bytes) page += site.opening;
    if (withNeeded) page += site.needed;
    return page;
}

// ---- Engines ---------------------------------------------------------------------------

// Returns the number of matches of all patterns; groups are read (spans)
// but not copied.
using Runner = std::function<long(const std::string&)>;
using Patterns = std::vector<std::string>;
using Maker = std::function<Runner(const Patterns&)>;

Runner MakeOurs(const Patterns& patterns) {
    std::vector<std::shared_ptr<sorvix::regex::Regex>> res;
    for (const std::string& p : patterns) {
        res.push_back(std::make_shared<sorvix::regex::Regex>());
        if (!res.back()->Compile(p, true, true)) return nullptr;
    }
    // The bare engine as a caller that keeps its scratch between pages.
    auto scratch = std::make_shared<std::vector<sorvix::regex::Scratch>>(res.size());
    return [res, scratch](const std::string& page) {
        std::vector<int> spans;
        spans.reserve(4096);
        long count = 0;
        for (size_t i = 0; i < res.size(); ++i) {
            spans.clear();
            count += res[i]->FindAll((*scratch)[i], page, true, spans);
        }
        return count;
    };
}

// RegexObject as the site routines use it: a fresh object per pattern and
// page (the program comes from the process-wide cache), every match's texts
// kept.
Runner MakeObject(const Patterns& patterns) {
    for (const std::string& p : patterns) {
        // Compiled and cached outside the timing.
        if (!sorvix::regex::ProgramCache::Shared().Get(p, true, true)) return nullptr;
    }
    return [patterns](const std::string& page) {
        long count = 0;
        for (const std::string& p : patterns) {
            sorvix::RegexObject re;
            re.Search(p, page);
            count += re.MatchCount();
        }
        return count;
    };
}

Runner MakePcre2(const Patterns& patterns, bool jit) {
    std::vector<std::shared_ptr<pcre2_code>> codes;
    for (const std::string& pattern : patterns) {
        int err;
        PCRE2_SIZE off;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                         PCRE2_CASELESS | PCRE2_MULTILINE, &err, &off, nullptr);
        if (!code) return nullptr;
        codes.emplace_back(code, pcre2_code_free);
        if (jit && pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) != 0) return nullptr;
    }
    return [codes](const std::string& page) {
        long count = 0;
        for (const auto& holder : codes) {
            pcre2_match_data* md = pcre2_match_data_create_from_pattern(holder.get(), nullptr);
            size_t pos = 0;
            while (pos <= page.size()) {
                int rc = pcre2_match(holder.get(), reinterpret_cast<PCRE2_SPTR>(page.data()), page.size(), pos, 0,
                                     md, nullptr);
                if (rc < 0) {
                    if (rc != PCRE2_ERROR_NOMATCH) count = -1000000000L;  // match limit: report as failure
                    break;
                }
                ++count;
                PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
                pos = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
            }
            pcre2_match_data_free(md);
        }
        return count;
    };
}

Runner MakeRe2(const Patterns& patterns) {
    RE2::Options opt;
    opt.set_encoding(RE2::Options::EncodingLatin1);
    opt.set_case_sensitive(false);
    opt.set_log_errors(false);
    std::vector<std::shared_ptr<RE2>> res;
    for (const std::string& pattern : patterns) {
        res.push_back(std::make_shared<RE2>("(?m)" + pattern, opt));
        if (!res.back()->ok()) return nullptr;
    }
    return [res](const std::string& page) {
        long count = 0;
        for (const auto& re : res) {
            const int ng = re->NumberOfCapturingGroups() + 1;
            std::vector<re2::StringPiece> groups(ng);
            size_t pos = 0;
            re2::StringPiece text(page);
            while (pos <= page.size() && re->Match(text, pos, page.size(), RE2::UNANCHORED, groups.data(), ng)) {
                ++count;
                size_t b = groups[0].data() - page.data(), e = b + groups[0].size();
                pos = e > b ? e : e + 1;
            }
        }
        return count;
    };
}

Runner MakeStdRegex(const Patterns& patterns) {
    std::vector<std::shared_ptr<std::regex>> res;
    try {
        for (const std::string& pattern : patterns) {
            res.push_back(std::make_shared<std::regex>(pattern, std::regex::ECMAScript | std::regex::icase |
                                                                    std::regex::multiline));
        }
    } catch (...) {
        return nullptr;
    }
    return [res](const std::string& page) {
        long count = 0;
        for (const auto& re : res) {
            for (auto it = std::sregex_iterator(page.begin(), page.end(), *re); it != std::sregex_iterator(); ++it) {
                ++count;
            }
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
    if (r.kind == Result::kSkipped) return "skip(quadr.)";
    if (r.kind == Result::kFailed) return "failed";
    snprintf(buf, sizeof buf, "%.1f", r.mbps);
    return buf;
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
        s.replace(at, from.size(), to);
    }
    return s;
}

bool IsLadder(const std::string& label) { return label.rfind("adv", 0) == 0; }

}  // namespace

int main(int argc, char** argv) {
    bool quick = false, all = false;
    std::string onlySite, onlyPage;  // --site NAME, --page PREFIX: a part of the run
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        if (std::strcmp(argv[i], "--all") == 0) all = true;
        if (std::strcmp(argv[i], "--site") == 0 && i + 1 < argc) onlySite = argv[++i];
        if (std::strcmp(argv[i], "--page") == 0 && i + 1 < argc) onlyPage = argv[++i];
    }
    using namespace sorvix::site_pattern;
    Patterns shareFields;
    for (const FieldPattern& f : kShareFields) shareFields.emplace_back(f.pattern);
    const std::vector<Site> sites = {
        {"magnet", {std::string(kMagnetEntry)}, MagnetEntry,
         [](int i, int lines) {
             return ReplaceAll(ReplaceAll(MagnetEntry(i, lines), "<h5 class=\"h\">", "<h5 class=\"h\">\n    "),
                               "</h5>", "\n  </h5>");
         },
         "<h5 class=\"h\">x</h5>\n", "<li><h5 class=\"h\">hot #</h5></li>\n", "prop_val\"></span> href=\"\">"},
        {"disk", {std::string(kDiskHit)}, DiskEntry,
         [](int i, int lines) {
             return ReplaceAll(DiskEntry(i, lines), std::string(10, '\t') + "</a>", "\n" + std::string(10, '\t') + "</a>");
         },
         "<a class=\"cse-search-result_content_item_top_a\" href=\"x",
         "<li><a class=\"cse-search-result_content_item_top_a\" href=\"/hot/#\">hot #</a></li>\n",
         std::string(10, '\t') + "</a>\n\" >\n" + std::string(11, '\t') +
             "\" target=\"_blank\" rel=\"external nofollow\" onclick=\""},
        {"share-index", shareFields, ShareEntry,
         [](int i, int lines) { return ReplaceAll(ShareEntry(i, lines), "\" href=\"/r/", "\"\n   href=\"/r/"); },
         "<a class=\"blue\" target=\"_blank\" title=\"x",
         "<li><a class=\"blue\" target=\"_blank\" title=\"hot #\">hot #</a></li>\n", "\n href=\""},
    };
    struct Engine {
        const char* name;
        Maker make;
    };
    std::vector<Engine> engines = {
        {"sorvix", MakeOurs},
        {"sorvix-object", MakeObject},
        {"pcre2-jit", [](const Patterns& p) { return MakePcre2(p, true); }},
        {"re2", MakeRe2},
    };
    if (all) {
        engines.push_back({"pcre2", [](const Patterns& p) { return MakePcre2(p, false); }});
        engines.push_back({"std::regex", MakeStdRegex});
    }
    const size_t kOurs = 0, kObject = 1, kJit = 2, kRe2 = 3;
    const std::string dir = SORVIX_BENCH_DIR;
    (void)!system(("mkdir -p '" + dir + "'").c_str());

    std::vector<std::string> goals, growth;
    for (const Site& site : sites) {
        if (!onlySite.empty() && onlySite != site.name) continue;
        struct PageDef {
            std::string label;
            std::string text;
        };
        std::vector<PageDef> pages;
        pages.push_back({"typical", Page(site, 60000, 20)});
        if (!quick) pages.push_back({"big", Page(site, 4000000, 0)});
        pages.push_back({"dense", Dense(site)});
        pages.push_back({"minified", Minified(Dense(site))});
        pages.push_back({"decoys", Decoys(site)});
        pages.push_back({"reformatted", Reformatted(site)});
        for (bool needed : {false, true}) {
            const std::string kind = needed ? "adv-lit-" : "adv-";
            pages.push_back({kind + "0.25MB", Adversarial(site, 250000, needed)});
            pages.push_back({kind + "1MB", Adversarial(site, 1000000, needed)});
            if (!quick) pages.push_back({kind + "4MB", Adversarial(site, 4000000, needed)});
        }
        if (!onlyPage.empty()) {
            std::vector<PageDef> kept;
            for (auto& p : pages) {
                if (p.label.rfind(onlyPage, 0) == 0) kept.push_back(std::move(p));
            }
            pages = std::move(kept);
        }

        // Node: one process per page, killed at the time limit.
        std::string joined;
        for (const std::string& p : site.patterns) joined += (joined.empty() ? "" : std::string(1, '\0')) + p;
        std::ofstream(dir + "/" + site.name + ".pattern", std::ios::binary) << joined;
        std::map<std::string, Result> nodeResults;
        bool nodeQuadratic = false;
        for (const auto& p : pages) {
            std::string file = std::string(site.name) + "-" + p.label + ".html";
            std::ofstream(dir + "/" + file, std::ios::binary) << p.text;
            Result r;
            r.kind = Result::kSkipped;
            if (!(nodeQuadratic && IsLadder(p.label))) {
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
                if (r.kind != Result::kOk && IsLadder(p.label)) nodeQuadratic = true;
            }
            nodeResults[file] = r;
        }

        printf("\n== %s search (%zu pattern%s)\n", site.name, site.patterns.size(), site.patterns.size() > 1 ? "s" : "");
        printf("%-16s %6s", "page", "MB");
        for (const auto& e : engines) printf(" %14s", e.name);
        printf(" %14s   ratios sorvix/peer (object/peer)\n", "node");
        std::vector<bool> quadratic(engines.size() + 1, false);
        std::map<std::string, std::vector<Result>> byPage;
        for (const auto& p : pages) {
            std::vector<Result> results;
            const bool ladder = IsLadder(p.label);
            for (size_t e = 0; e < engines.size(); ++e) {
                if (quadratic[e] && ladder) {
                    Result r;
                    r.kind = Result::kSkipped;
                    results.push_back(r);
                    continue;
                }
                Runner run = engines[e].make(site.patterns);
                Result r = run ? Measure(run, p.text) : Result();
                if (ladder && (r.kind == Result::kSkipped || r.longestRun > kCapSeconds)) quadratic[e] = true;
                results.push_back(r);
            }
            results.push_back(nodeResults[std::string(site.name) + "-" + p.label + ".html"]);
            printf("%-16s %6.2f", p.label.c_str(), p.text.size() / 1e6);
            for (const auto& r : results) printf(" %14s", Format(r).c_str());
            printf("  ");
            for (size_t e = 2; e < results.size(); ++e) {
                const char* peer = e < engines.size() ? engines[e].name : "node";
                if (results[e].kind == Result::kOk && results[e].mbps > 0 && results[kOurs].kind == Result::kOk &&
                    results[kObject].kind == Result::kOk) {
                    printf(" %s %.2fx (%.2fx)", peer, results[kOurs].mbps / results[e].mbps,
                           results[kObject].mbps / results[e].mbps);
                    if (results[e].count != results[kOurs].count || results[kObject].count != results[kOurs].count) {
                        printf("(count %ld/%ld vs %ld!)", results[kOurs].count, results[kObject].count, results[e].count);
                    }
                } else {
                    printf(" %s -", peer);
                }
            }
            printf("   [%ld matches]\n", results[kOurs].count);
            fflush(stdout);
            // Goal: at least PCRE2-JIT, for the bare engine and the object.
            const Result& jit = results[kJit];
            char line[256];
            if (jit.kind == Result::kOk && results[kOurs].kind == Result::kOk && results[kObject].kind == Result::kOk) {
                const double bare = results[kOurs].mbps / jit.mbps, object = results[kObject].mbps / jit.mbps;
                snprintf(line, sizeof line, "%-12s %-16s sorvix %6.2fx  object %6.2fx of pcre2-jit  (re2 %.2fx)  %s",
                         site.name, p.label.c_str(), bare, object,
                         results[kRe2].kind == Result::kOk ? results[kOurs].mbps / results[kRe2].mbps : 0.0,
                         bare >= 1 && object >= 1 ? "met" : "MISSED");
            } else if (results[kOurs].kind == Result::kOk && results[kObject].kind == Result::kOk) {
                snprintf(line, sizeof line, "%-12s %-16s sorvix %.1f MB/s, pcre2-jit %s: met", site.name, p.label.c_str(),
                         results[kOurs].mbps, Format(jit).c_str());
            } else {
                snprintf(line, sizeof line, "%-12s %-16s sorvix %s: MISSED", site.name, p.label.c_str(),
                         Format(results[kOurs]).c_str());
            }
            goals.push_back(line);
            byPage[p.label] = results;
        }
        // Ladders: time for 4x the input (1 MB -> 4 MB, or 0.25 -> 1 MB in --quick).
        for (const std::string kind : {"adv-", "adv-lit-"}) {
            const std::string small = kind + (quick ? "0.25MB" : "1MB"), large = kind + (quick ? "1MB" : "4MB");
            if (!byPage.count(small) || !byPage.count(large)) continue;
            std::string line = std::string(site.name) + " " + kind + "ladder " + small + " -> " + large + ":";
            for (size_t e = 0; e <= engines.size(); ++e) {
                const Result& a = byPage[small][e];
                const Result& b = byPage[large][e];
                const char* name = e < engines.size() ? engines[e].name : "node";
                char part[96];
                if (a.kind == Result::kOk && b.kind == Result::kOk) {
                    snprintf(part, sizeof part, " %s %.2fx", name, 4.0 * a.mbps / b.mbps);
                } else {
                    snprintf(part, sizeof part, " %s -", name);
                }
                line += part;
            }
            const Result& a = byPage[small][kOurs];
            const Result& b = byPage[large][kOurs];
            const Result& oa = byPage[small][kObject];
            const Result& ob = byPage[large][kObject];
            const bool ok = a.kind == Result::kOk && b.kind == Result::kOk && 4.0 * a.mbps / b.mbps <= 5.0 &&
                            oa.kind == Result::kOk && ob.kind == Result::kOk && 4.0 * oa.mbps / ob.mbps <= 5.0;
            growth.push_back(line + (ok ? "   goal <= 5x: met" : "   goal <= 5x: MISSED"));
        }
    }
    printf("\n== goal: at least pcre2-jit on every page kind (ratios of MB/s)\n");
    for (const std::string& g : goals) printf("%s\n", g.c_str());
    printf("\n== goal: linear on every adversarial ladder (time for 4x input, at most 5x)\n");
    for (const std::string& g : growth) printf("%s\n", g.c_str());
    return 0;
}
