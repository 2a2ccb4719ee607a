// RegexObject as the site searches use it: the documented edge cases, the
// optional flags, out-of-range reads, and the three sites' patterns on small
// fixture pages (GBK, as the pages are after conversion).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <iterator>
#include <string>
#include <vector>

#include "sites/site_patterns.h"
#include "test_paths.h"
#include "text/regex/regex_object.h"

namespace sorvix {
namespace {

std::string ReadFixture(const std::string& name) {
    std::ifstream in(test::SourcePath("tests/regex/fixtures/" + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr std::string_view kMagnetPattern = site_pattern::kMagnetEntry;

TEST(RegexObject, NoMatchGivesCountZeroAndEmptyTexts) {
    RegexObject re;
    EXPECT_FALSE(re.Search("<b>(.*?)</b>", "nothing here"));
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.MatchText(1), "");
    EXPECT_EQ(re.GroupText(1, 1), "");
}

TEST(RegexObject, DefaultFlagsIgnoreCaseAndFindEveryMatch) {
    RegexObject re;
    EXPECT_TRUE(re.Search("<b>(.*?)</b>", "<B>x</B> <b>y</b>"));
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.MatchText(1), "<B>x</B>");
    EXPECT_EQ(re.GroupText(1, 1), "x");
    EXPECT_EQ(re.GroupText(2, 1), "y");
}

TEST(RegexObject, OptionalFlags) {
    struct Row {
        bool caseSensitive, multiLine, global;
        const char* pattern;
        const char* subject;
        int count;
    };
    const Row rows[] = {
        {true, true, true, "<b>", "<B><b>", 1},
        {false, true, true, "<b>", "<B><b>", 2},
        {false, false, true, "^x", "x\nx", 1},
        {false, true, true, "^x", "x\nx", 2},
        {false, true, false, "x", "xxx", 1},
        {false, true, true, "x", "xxx", 3},
    };
    for (const Row& r : rows) {
        RegexObject re;
        re.Search(r.pattern, r.subject, r.caseSensitive, r.multiLine, r.global);
        EXPECT_EQ(re.MatchCount(), r.count) << r.pattern << " cs " << r.caseSensitive << " ml "
                                            << r.multiLine << " g " << r.global;
    }
}

// Compiled patterns are kept per thread: a pattern used again (after more
// others than are kept, with other subjects in between, or rejected before)
// must give the answers of a first use.
TEST(RegexObject, ReusedPatternsGiveFreshAnswers) {
    struct Row {
        std::string pattern, subject;
        int count;
        const char* firstGroup;
    };
    std::vector<Row> rows;
    for (int i = 0; i < 10; ++i) {
        const std::string tag = "t" + std::to_string(i);
        rows.push_back({"<" + tag + ">([\\s\\S]*?)</" + tag + ">",
                        "<" + tag + ">a</" + tag + "> <" + tag + ">\nb</" + tag + ">", 2, "a"});
        rows.push_back({"<" + tag + ">([\\s\\S]*?)</" + tag + ">", "<" + tag + ">only one", 0, ""});
    }
    rows.push_back({"(a", "a", 0, ""});  // rejected
    for (int round = 0; round < 3; ++round) {
        for (const Row& r : rows) {
            RegexObject re;
            EXPECT_EQ(re.Search(r.pattern, r.subject), r.count > 0) << r.pattern << " round " << round;
            EXPECT_EQ(re.MatchCount(), r.count) << r.pattern << " on " << r.subject << " round " << round;
            EXPECT_EQ(re.GroupText(1, 1), r.firstGroup) << r.pattern << " round " << round;
        }
    }
}

TEST(RegexObject, QuoteMarkerStandsForADoubleQuoteOnlyWhenAsked) {
    const std::string marker(kQuoteMarker);
    const std::string pattern = "href=" + marker + "(.*?)" + marker;
    RegexObject re;
    re.Search(pattern, "<a href=\"x.html\">", false, true, true, true);
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GroupText(1, 1), "x.html");
    re.Search(pattern, "<a href=\"x.html\">");
    EXPECT_EQ(re.MatchCount(), 0);
    re.Search(pattern, "href=" + marker + "y" + marker);
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GroupText(1, 1), "y");
}

TEST(RegexObject, DotStopsAtLineBreaksButWhitespaceOrNotDoesNot) {
    RegexObject re;
    re.Search("a(.*?)b", "a\nb");
    EXPECT_EQ(re.MatchCount(), 0);
    re.Search("a([\\s\\S]*?)b", "a\r\nb");
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GroupText(1, 1), "\r\n");
}

TEST(RegexObject, ChineseTextsAreByteExactSubstrings) {
    // 电影《中文》 in GBK
    const std::string subject = "\xB5\xE7\xD3\xB0\xA1\xB6\xD6\xD0\xCE\xC4\xA1\xB7";
    RegexObject re;
    re.Search("\xA1\xB6(.*?)\xA1\xB7", subject);
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.MatchText(1), "\xA1\xB6\xD6\xD0\xCE\xC4\xA1\xB7");
    EXPECT_EQ(re.GroupText(1, 1), "\xD6\xD0\xCE\xC4");
}

TEST(RegexObject, RejectedPatternGivesNoMatches) {
    RegexObject re;
    re.Search("(a)", "a");
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_FALSE(re.Search("(a)\\1", "aa"));
    EXPECT_EQ(re.MatchCount(), 0);  // the earlier results are gone too
    EXPECT_EQ(re.GroupText(1, 1), "");
}

TEST(RegexObject, OutOfRangeReadsGiveEmptyText) {
    RegexObject re;
    re.Search("(a)(b)?", "a");
    ASSERT_EQ(re.MatchCount(), 1);
    EXPECT_EQ(re.GroupText(1, 2), "");   // did not take part
    EXPECT_EQ(re.GroupText(1, 3), "");   // no such group
    EXPECT_EQ(re.GroupText(0, 1), "");
    EXPECT_EQ(re.GroupText(2, 1), "");
    EXPECT_EQ(re.MatchText(-1), "");
    EXPECT_EQ(re.GroupText(1, 0), "");   // groups are 1-based
}

TEST(RegexObject, ResultsOutliveTheCallersSubject) {
    RegexObject re;
    {
        std::string subject = "<b>kept</b>";
        re.Search("<b>(.*?)</b>", subject);
        subject.assign(subject.size(), 'x');
    }
    EXPECT_EQ(re.GroupText(1, 1), "kept");
}

TEST(RegexObject, MagnetSitePage) {
    const std::string page = ReadFixture("magnet_page.gbk.html");
    ASSERT_FALSE(page.empty());
    RegexObject re;
    re.Search(kMagnetPattern, page);
    // The second entry's name spans two lines, so "(.*?)</h5>" cannot match
    // there; the upper-case third entry matches because case is ignored.
    ASSERT_EQ(re.MatchCount(), 3);
    EXPECT_EQ(re.GroupText(1, 1), "<span class='highlight'>\xB5\xE7\xD3\xB0</span>\xBA\xCF\xBC\xAF \xB5\xDA\xD2\xBB\xB2\xBF");
    EXPECT_EQ(re.GroupText(1, 2), "2024-01-02");
    EXPECT_EQ(re.GroupText(1, 3), "1.5 GB");
    EXPECT_EQ(re.GroupText(1, 4), "12");
    EXPECT_EQ(re.GroupText(1, 5), "magnet:?xt=urn:btih:AAAA1111");
    EXPECT_EQ(re.GroupText(2, 1), "\xB4\xF3\xD0\xB4\xB1\xEA\xC7\xA9");  // 大写标签
    EXPECT_EQ(re.GroupText(2, 5), "magnet:?xt=urn:btih:CCCC3333");
    EXPECT_EQ(re.GroupText(3, 1), "\x81\x40@\xCC\xD8\xCA\xE2");  // 丂@特殊
    EXPECT_EQ(re.GroupText(3, 2), "2021-07-08");
    EXPECT_EQ(re.GroupText(3, 5), "magnet:?xt=urn:btih:DDDD4444");
}

TEST(RegexObject, ShareIndexPagePatterns) {
    const std::string page = ReadFixture("share_index_page.gbk.html");
    using namespace site_pattern;
    struct Row {
        ShareField field;
        const char* first;
        const char* third;
    };
    const Row rows[] = {
        {kShareName,
         "<a class=\"blue\" target=\"_blank\" title=\"\xB5\xE7\xD3\xB0 \xBA\xCF\xBC\xAF.mp4\" href=\"",
         "<a class=\"blue\" target=\"_blank\" title=\"\xC8\xED\xBC\xFE.zip\" href=\""},
        {kShareDate, "<td> 2019-01-02 </td>", "<td> 2021-06-15 </td>"},
        {kShareCategory, "href=\"/c/1\">", "href=\"/c/5\">"},
        {kShareSize, "<td class=\"t2\">1.2 GB</td>", "<td class=\"t2\">5 MB</td>"},
        {kShareOwner,
         "<a target=\"_blank\" title=\"\xD5\xC5\xC8\xFD\xD7\xCA\xD4\xB4\xA3\xAC\xB5\xE3\xBB\xF7\xB2\xE9"
         "\xBF\xB4\xB8\xC3\xD3\xC3\xBB\xA7\xB7\xD6\xCF\xED\xB5\xC4\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE\"",
         "<a target=\"_blank\" title=\"wang\xD7\xCA\xD4\xB4\xA3\xAC\xB5\xE3\xBB\xF7\xB2\xE9"
         "\xBF\xB4\xB8\xC3\xD3\xC3\xBB\xA7\xB7\xD6\xCF\xED\xB5\xC4\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE\""},
        {kShareLink, "href=\"/r/abc123\">", "href=\"/r/ghi789\">"},
    };
    for (const Row& r : rows) {
        const std::string_view pattern = kShareFields[r.field].pattern;
        RegexObject re;
        re.Search(pattern, page);
        ASSERT_EQ(re.MatchCount(), 3) << pattern;
        EXPECT_EQ(re.MatchText(1), r.first) << pattern;
        EXPECT_EQ(re.MatchText(3), r.third) << pattern;
    }
}

TEST(RegexObject, DiskSearchHitPattern) {
    const std::string page = ReadFixture("disk_page.gbk.html");
    RegexObject re;
    re.Search(site_pattern::kDiskHit, page);
    // The third anchor has nine closing tabs instead of ten: not a hit.
    ASSERT_EQ(re.MatchCount(), 3);
    EXPECT_EQ(re.GroupText(1, 1), "https://pan.example/s/1a");
    EXPECT_EQ(re.GroupText(1, 2), "track('a');");
    EXPECT_EQ(re.GroupText(1, 3), "<b>\xB5\xE7\xD3\xB0</b>\xBA\xCF\xBC\xAF");
    EXPECT_EQ(re.GroupText(3, 1), "https://pan.example/s/4d");
    EXPECT_EQ(re.GroupText(3, 3), "Third");
}

// Search reads the caller's text in place and keeps only the matches: the
// texts must outlive the subject.
TEST(RegexObject, MatchTextsOutliveTheSubject) {
    RegexObject re;
    {
        std::string page = "<p>\xD6\xD0 <b>one</b> x <b>two<i>2</i></b> <b>";
        ASSERT_TRUE(re.Search("<b>(.*?)(<i>(.*?)</i>)?</b>", page));
        page.assign(page.size(), 'z');   // the caller reuses its buffer
    }
    ASSERT_EQ(re.MatchCount(), 2);
    EXPECT_EQ(re.MatchText(1), "<b>one</b>");
    EXPECT_EQ(re.GroupText(1, 1), "one");
    EXPECT_EQ(re.GroupText(1, 2), "");   // did not take part
    EXPECT_EQ(re.MatchText(2), "<b>two<i>2</i></b>");
    EXPECT_EQ(re.GroupText(2, 1), "two");
    EXPECT_EQ(re.GroupText(2, 3), "2");
    // Empty matches keep their place too.
    ASSERT_TRUE(re.Search("x*", "ab"));
    EXPECT_EQ(re.MatchCount(), 3);
    EXPECT_EQ(re.MatchText(3), "");
}

}  // namespace
}  // namespace sorvix

namespace sorvix {
namespace {

// Search threads come and go: every one that ran patterns must end cleanly,
// and threads running the same patterns at once must each get their own
// answers (the compiled patterns are shared between threads).
TEST(RegexObjectThreads, ThreadsThatSearchAndEndDoNotCrashOrMixAnswers) {
    const std::string page = "<a href=\"/m/1\">one</a><a href=\"/m/22\">two</a><a href=\"/m/333\">three</a>";
    std::atomic<int> wrong{0};
    auto work = [&](int seed) {
        for (int round = 0; round < 20; ++round) {
            RegexObject re;
            const std::string subject = page + std::string(static_cast<size_t>((seed + round) % 7), 'x') +
                                        "<a href=\"/m/" + std::to_string(seed) + "\">own</a>";
            if (!re.Search("href=\"/m/(\\d+)\">([^<]*)</a>", subject) || re.MatchCount() != 4 ||
                re.GroupText(4, 1) != std::to_string(seed) || re.GroupText(2, 2) != "two") {
                ++wrong;
            }
            RegexObject other;
            other.Search("(\\d+)", subject);
            if (other.MatchCount() != 4) ++wrong;
        }
    };
    for (int wave = 0; wave < 10; ++wave) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) threads.emplace_back(work, wave * 10 + t);
        for (auto& t : threads) t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace sorvix
