// Sharing compiled patterns: the process-wide cache compiles each site
// pattern once however many threads search with it, a private cache keeps
// its bound and its rejections, and one compiled program searched by several
// threads at once gives each the answer it gives alone (the search state is
// the caller's Scratch, never the program). Run natively under ASan/TSan by
// tests/regex/sanitize.sh.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sites/site_patterns.h"
#include "text/regex/program_cache.h"
#include "text/regex/regex.h"
#include "text/regex/regex_object.h"

namespace sorvix::regex {
namespace {

std::vector<std::string_view> SitePatterns() {
    std::vector<std::string_view> out = {site_pattern::kMagnetEntry, site_pattern::kDiskHit};
    for (const site_pattern::FieldPattern& f : site_pattern::kShareFields) out.push_back(f.pattern);
    return out;
}

// A page every site pattern finds something in.
std::string MixedPage() {
    return "<h5 class=\"h\">name</h5><b prop_val\">2024</span> prop_val\">1 GB</span> prop_val\">3</span>"
           " href=\"magnet:x\">\n"
           "<a class=\"cse-search-result_content_item_top_a\" href=\"u\" target=\"_blank\" "
           "rel=\"external nofollow\" onclick=\"t()\" >\n" + std::string(11, '\t') + "T" +
           std::string(10, '\t') + "</a>\n"
           "<a class=\"blue\" target=\"_blank\" title=\"n\" href=\"/r/1\"><td> 2019-01-01 </td>"
           "href=\"/c/2\"><td class=\"t2\">5 MB</td><a target=\"_blank\" title=\"o\"";
}

TEST(ProgramCache, SitePatternsAreCompiledOncePerProcessAcrossFreshThreads) {
    ProgramCache& cache = ProgramCache::Shared();
    const std::vector<std::string_view> patterns = SitePatterns();
    const std::string page = MixedPage();
    // Whatever other tests compiled already, the first wave compiles each
    // pattern at most once and every later wave compiles nothing.
    const uint64_t before = cache.Compilations();
    std::atomic<int> wrong{0};
    auto search = [&] {
        for (std::string_view p : patterns) {
            RegexObject re;
            if (!re.Search(p, page)) ++wrong;
        }
    };
    std::thread(search).join();
    const uint64_t afterFirst = cache.Compilations();
    EXPECT_LE(afterFirst - before, patterns.size());
    for (int wave = 0; wave < 8; ++wave) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) threads.emplace_back(search);
        for (auto& t : threads) t.join();
    }
    EXPECT_EQ(cache.Compilations(), afterFirst);
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ProgramCache, ThreadsAskingForANewPatternAtOnceCompileItOnce) {
    ProgramCache cache(8);
    std::vector<std::shared_ptr<const Regex>> got(8);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < got.size(); ++t) {
        threads.emplace_back([&, t] { got[t] = cache.Get(site_pattern::kMagnetEntry, true, true); });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(cache.Compilations(), 1u);
    for (const auto& re : got) {
        ASSERT_TRUE(re);
        EXPECT_EQ(re.get(), got[0].get());
    }
}

TEST(ProgramCache, KeysBoundAndRejections) {
    ProgramCache cache(2);
    // The flags are part of the key.
    auto a = cache.Get("a+", true, true);
    auto b = cache.Get("a+", false, true);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(cache.Compilations(), 2u);
    EXPECT_EQ(cache.Get("a+", true, true).get(), a.get());
    EXPECT_EQ(cache.Compilations(), 2u);
    // A rejected pattern is null, and remembered as such.
    EXPECT_FALSE(cache.Get("(a)\\1", true, true));
    EXPECT_FALSE(cache.Get("(a)\\1", true, true));
    EXPECT_EQ(cache.Compilations(), 3u);
    EXPECT_EQ(cache.Size(), 2u);
    // The least recently used key went ("a+" case-sensitive, used before the
    // ignore-case one was asked for again): asking again compiles it anew,
    // while the program handed out earlier is still whole.
    auto b2 = cache.Get("a+", false, true);
    EXPECT_EQ(cache.Compilations(), 4u);
    std::vector<int> spans;
    EXPECT_EQ(b->FindAll("aA a", true, spans), 2);
    EXPECT_EQ(b2->FindAll("aA a", true, spans), 2);
}

// Answers of one program over one subject, as "b,e;" per match.
std::string Answer(const Regex& re, Scratch& scratch, const std::string& subject, Strategy s) {
    std::vector<int> spans;
    const int count = re.FindAll(scratch, subject, true, spans, s);
    std::string out;
    for (int m = 0; m < count; ++m) {
        for (int k = 0; k < re.SlotCount(); ++k) out += std::to_string(spans[m * re.SlotCount() + k]) + ",";
        out += ";";
    }
    return out;
}

TEST(SharedProgram, ThreadsSearchingOneProgramAtOnceGetTheirOwnAnswers) {
    Regex re;
    ASSERT_TRUE(re.Compile(site_pattern::kMagnetEntry, true, true));
    // Subjects that take each path: entries the straight attempt matches,
    // openings that never close (DFA states built during the search), and a
    // mix where the backtracker recovers the captures.
    const std::string entry =
        "<h5 class=\"h\">N</h5>\n<i prop_val\">D</span>\n prop_val\">S</span> prop_val\">F</span> href=\"L\">";
    std::vector<std::string> subjects;
    for (int k = 0; k < 6; ++k) {
        std::string s;
        for (int i = 0; i < 40 + k * 7; ++i) {
            s += i % (k + 2) == 0 ? "<h5 class=\"h\">open " + std::to_string(i) + "</h5>\n" : entry;
            if (k % 2) s += std::string(static_cast<size_t>(i % 5), '\t') + "<h5 class=\"h\">x</h5>";
        }
        subjects.push_back(s);
    }
    std::string openings;
    while (openings.size() < 200000) openings += "<h5 class=\"h\">x</h5>\n";
    subjects.push_back(openings);
    const Strategy paths[] = {Strategy::kAuto, Strategy::kPikeVm, Strategy::kDfaPikeVm, Strategy::kDfaBacktrack};
    // Answers searched alone, on the PikeVM with a scratch of its own.
    std::vector<std::string> alone;
    for (const std::string& s : subjects) {
        Scratch scratch;
        alone.push_back(Answer(re, scratch, s, Strategy::kPikeVm));
    }
    std::atomic<int> wrong{0};
    auto work = [&](int seed) {
        Scratch scratch;  // reused across subjects and paths, as RegexObject does
        for (int round = 0; round < 6; ++round) {
            for (size_t i = 0; i < subjects.size(); ++i) {
                const size_t k = (i + static_cast<size_t>(seed)) % subjects.size();
                const Strategy s = paths[(k + static_cast<size_t>(round)) % 4];
                if (Answer(re, scratch, subjects[k], s) != alone[k]) ++wrong;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(work, t);
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

// One scratch carried from path to path (as a pooled one is from search to
// search) must answer as a fresh one does: the backtracker leaves jobs on
// the shared work stack when it finds a match.
TEST(SharedProgram, OneScratchAcrossPathsAnswersAsAFreshOne) {
    struct Row {
        const char* pattern;
        const char* subject;
    };
    const Row rows[] = {
        {"\\s+", "a \xA1\xA1\tb"},
        {"(a|ab)(c|bcd)(d*)", "abcd abcd"},
        {"<b>(.*?)</b>", "<b>x</b> <B>y</b>"},
        {"x*", "axxb"},
    };
    const Strategy paths[] = {Strategy::kAuto, Strategy::kPikeVm, Strategy::kDfaPikeVm, Strategy::kDfaBacktrack};
    for (const Row& r : rows) {
        Regex re;
        ASSERT_TRUE(re.Compile(r.pattern, true, true));
        for (Strategy first : paths) {
            for (Strategy second : paths) {
                Scratch carried, fresh;
                Answer(re, carried, r.subject, first);
                EXPECT_EQ(Answer(re, carried, r.subject, second), Answer(re, fresh, r.subject, second))
                    << r.pattern << " after path " << static_cast<int>(first) << ", path " << static_cast<int>(second);
            }
        }
    }
}

TEST(SharedProgram, AScratchMovesBetweenProgramsSafely) {
    // A scratch sized for a small program, then handed a big one and back.
    Regex small, big, again;
    ASSERT_TRUE(small.Compile("a", false, false));
    ASSERT_TRUE(big.Compile(site_pattern::kMagnetEntry, true, true));
    Scratch scratch;
    std::vector<int> spans;
    EXPECT_EQ(small.FindAll(scratch, "aaa", true, spans), 3);
    spans.clear();
    std::string openings;
    while (openings.size() < 100000) openings += "<h5 class=\"h\">x</h5>";
    EXPECT_EQ(big.FindAll(scratch, openings, true, spans, Strategy::kDfaBacktrack), 0);
    EXPECT_EQ(small.FindAll(scratch, "xax", true, spans), 1);
    // A recompiled Regex is a new program: the scratch does not reuse the
    // old one's DFA states.
    ASSERT_TRUE(again.Compile("b+", false, false));
    spans.clear();
    EXPECT_EQ(again.FindAll(scratch, "abba", true, spans, Strategy::kDfaPikeVm), 1);
    ASSERT_TRUE(again.Compile("a", false, false));
    spans.clear();
    EXPECT_EQ(again.FindAll(scratch, "abba", true, spans, Strategy::kDfaPikeVm), 2);
}

}  // namespace
}  // namespace sorvix::regex
