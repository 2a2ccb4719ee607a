// Engine behaviour a site search could notice: the syntax table, GBK
// character handling, global iteration, rejected patterns, and inputs that
// would take quadratic or exponential time in a backtracking engine. Every
// row runs on every engine path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sites/site_patterns.h"
#include "text/regex/regex.h"

namespace sorvix::regex {
namespace {

constexpr Strategy kAllPaths[] = {Strategy::kAuto, Strategy::kPikeVm, Strategy::kDfaPikeVm,
                                  Strategy::kDfaBacktrack};

// "text{g1}{g2};..." with "-" for a group that did not take part.
std::string Describe(Regex& re, const std::string& subject, bool global, Strategy s) {
    std::vector<int> spans;
    int count = re.FindAll(subject, global, spans, s);
    const int per = re.SlotCount();
    std::string out;
    for (int m = 0; m < count; ++m) {
        const int* sl = &spans[static_cast<size_t>(m) * per];
        out += subject.substr(sl[0], sl[1] - sl[0]);
        for (int g = 1; g < per / 2; ++g) {
            out += sl[2 * g] < 0 ? std::string("{-}")
                                 : "{" + subject.substr(sl[2 * g], sl[2 * g + 1] - sl[2 * g]) + "}";
        }
        out += ";";
    }
    return out;
}

struct Row {
    const char* pattern;
    std::string subject;
    const char* flags;  // i: ignore case, m: multi-line, g: global
    const char* expected;
};

void RunRows(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        const std::string f = r.flags;
        for (Strategy s : kAllPaths) {
            Regex re;
            ASSERT_TRUE(re.Compile(r.pattern, f.find('i') != std::string::npos,
                                   f.find('m') != std::string::npos))
                << r.pattern;
            EXPECT_EQ(Describe(re, r.subject, f.find('g') != std::string::npos, s), r.expected)
                << "pattern " << r.pattern << " subject " << r.subject << " path " << static_cast<int>(s);
        }
    }
}

TEST(RegexEngine, Syntax) {
    RunRows({
        {"a\\.b", "a.b axb", "g", "a.b;"},
        {"\\x41\\u0042\\t", "AB\t", "g", "AB\t;"},
        {"[^a-c]+", "abxyzc", "g", "xyz;"},
        {"[\\d\\s]+", "a1 2b", "g", "1 2;"},
        {"\\D\\W\\S", "a!b", "g", "a!b;"},
        {"\\w+", "foo_1 bar", "g", "foo_1;bar;"},
        {"\\bo", "oo o", "g", "o;o;"},
        {"\\Bo", "oo o", "g", "o;"},
        {"^b", "a\nb", "g", ""},
        {"^b", "a\nb", "mg", "b;"},
        {"a$", "a\r\na", "mg", "a;a;"},
        {"(a)(?:b)(c)?", "ab", "g", "ab{a}{-};"},
        {"a|ab", "ab", "g", "a;"},
        {"ab|a", "ab", "g", "ab;"},
        {"a{2}", "aaaaa", "g", "aa;aa;"},
        {"a{2,}", "aaaaa", "g", "aaaaa;"},
        {"a{1,3}?", "aaa", "g", "a;a;a;"},
        {"a*?", "aa", "g", ";;;"},
        {"a+?b", "aab", "g", "aab;"},
        {"(a|b)*c", "abac", "g", "abac{a};"},
        {"(?:(a)|b)+", "ab", "g", "ab{-};"},
        {"(a*)+", "b", "g", "{};{};"},
        {"a", "aAa", "ig", "a;A;a;"},
        {"[a-z]+", "ABC", "ig", "ABC;"},
        {"[^a]", "A", "ig", ""},
        {"A", "a", "g", ""},
        {"a", "aaa", "", "a;"},
    });
}

TEST(RegexEngine, GbkCharacters) {
    const std::string zhong = "\xD6\xD0", wen = "\xCE\xC4", kao = "\x81\x40";  // 中 文 丂(81 40)
    RunRows({
        // "@" is the trail byte of 丂: never a match on its own.
        {"@", kao + "@", "g", "@;"},
        {"[@A-Z]", kao + "@", "ig", "@;"},
        // "." and negated classes take a double-byte character whole.
        {".", zhong + "a", "g", "\xD6\xD0;a;"},
        {"[^a]+", "a" + zhong + wen + "a", "g", "\xD6\xD0\xCE\xC4;"},
        {"\\u4e2d", zhong + wen, "g", "\xD6\xD0;"},
        {"[\\u4e00-\\u9fa5]+", "ab" + zhong + wen + "c", "g", "\xD6\xD0\xCE\xC4;"},
        {"[\xD2\xBB-\xFD\x9B]+", "x" + zhong + "y", "g", "\xD6\xD0;"},
        {"\xD6\xD0(.)", zhong + wen + zhong, "g", "\xD6\xD0\xCE\xC4{\xCE\xC4};"},
        // A lazy gap skips ahead to its exit's literal; "_" (5F) is also a
        // trail byte, and 81 5F is one character, not an exit.
        {"a[\\s\\S]*?_b", std::string("a\x81_b_b"), "g", "a\x81_b_b;"},
        {"a(.*?)@x", std::string("a\x81@x\n@x a\x81@x@x"), "g", "a\x81@x@x{\x81@x};"},
        // Fullwidth and Greek letters fold with ignore case.
        {"\xA3\xE1", "\xA3\xC1", "ig", "\xA3\xC1;"},
        {"\xA6\xC1", "\xA6\xA1", "ig", "\xA6\xA1;"},
        // U+3000 (GBK A1 A1) is a space to \s.
        {"\\s", "\xA1\xA1", "g", "\xA1\xA1;"},
        // An empty match steps one character on, never into a character.
        {"", zhong + "a", "g", ";;;"},
        {"x*", zhong, "g", ";;"},
        // A lead byte without a valid trail is a character of its own.
        {".", std::string("\x81") + "\n", "g", "\x81;"},
        {"a.\\?", std::string("a\xD6?"), "g", "a\xD6?;"},
        {"a.", std::string("a\xD6") + "b", "g", "a\xD6" "b;"},  // D6 62 is one character
    });
}

TEST(RegexEngine, RejectedPatternsFindNothing) {
    for (const char* p : {"(a)\\1", "a(?=b)", "(?<=a)b", "a(?!b)", "(", "[", "*", "a{3,2}"}) {
        Regex re;
        std::string error;
        EXPECT_FALSE(re.Compile(p, false, false, &error)) << p;
        EXPECT_FALSE(error.empty());
        std::vector<int> spans;
        EXPECT_EQ(re.FindAll("aab", true, spans), 0);
    }
}

TEST(RegexEngine, HugeCountedRepetitionIsRejectedNotExpanded) {
    Regex re;
    EXPECT_FALSE(re.Compile("(?:a{1000}){1000}", false, false));
    EXPECT_TRUE(re.Compile("a{1000}", false, false));
}

// Inputs on which a backtracking engine takes quadratic or exponential time.
// They must finish and give the right answer; a quadratic engine would run
// into the test's time limit.
TEST(RegexEngine, AdversarialInputsFinish) {
    const std::string magnet(site_pattern::kMagnetEntry);
    std::string openings;
    while (openings.size() < (size_t{1} << 20)) openings += "<h5 class=\"h\">x</h5>";
    for (Strategy s : kAllPaths) {
        Regex re;
        ASSERT_TRUE(re.Compile(magnet, true, true));
        std::vector<int> spans;
        EXPECT_EQ(re.FindAll(openings, true, spans, s), 0);
    }
    // Nested quantifiers: exponential for a backtracker.
    std::string as(5000, 'a');
    Regex nested;
    ASSERT_TRUE(nested.Compile("(a*)*b", false, false));
    std::vector<int> spans;
    EXPECT_EQ(nested.FindAll(as, true, spans), 0);
    // A failed attempt from each start position must not be re-run.
    Regex lazy;
    ASSERT_TRUE(lazy.Compile("a[\\s\\S]*?z", false, false));
    EXPECT_EQ(lazy.FindAll(std::string(1 << 20, 'a'), true, spans), 0);
}

// Literals every match must contain let a search stop early; a literal in
// an optional or alternative part, or repeated possibly zero times, must not
// be taken for one, and a required one must still be found wherever it is.
TEST(RegexEngine, RequiredLiteralsOnlyWhereEveryMatchHasThem) {
    RunRows({
        {"a(bc)?d", "ad abcd", "g", "ad{-};abcd{bc};"},
        {"a(?:xy|z)w", "azw axyw", "g", "azw;axyw;"},
        {"x(ab)*y", "xy xaby", "g", "xy{-};xaby{ab};"},
        {"x(ab)+y", "xy xaby", "g", "xaby{ab};"},
        {"x(?:ab){0,2}y", "xy", "g", "xy;"},
        {"x(?:ab){2}y", "xaby xababy", "g", "xababy;"},
        {"<b>(.*?)</b>\n", "<b>1</b> <b>2</b>\n", "g", "<b>1</b> <b>2</b>\n{1</b> <b>2};"},
        {"<b>(.*?)</b>\n", "<b>1</b> <b>2</b>", "g", ""},
        {"<B>(.*?)END", "<b>x end", "ig", "<b>x end{x };"},
        {"<b>(.*?)END", "<b>x end", "g", ""},
        {"^k(.*)z$", "kaz\nkb", "mg", "kaz{a};"},
        {"\\bkey=(\\d+);", "key=1 key=22;", "g", "key=22;{22};"},
        // The required literal only after the last candidate.
        {"q(\\w*)STOP", "q1 q2 q3STOP", "g", "q3STOP{3};"},
        {"\xD6\xD0(.)end", "\xD6\xD0xend \xD6\xD0y", "g", "\xD6\xD0xend{x};"},
    });
    // A page minified onto one line holds no line feed, which every match
    // of the disk hit needs: nothing is found, on every path.
    std::string page;
    for (int i = 0; i < 200; ++i) {
        page += "<a class=\"cse-search-result_content_item_top_a\" href=\"u" + std::to_string(i) +
                "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"t()\" > " + std::string(11, '\t') + "T" +
                std::string(10, '\t') + "</a> ";
    }
    for (Strategy s : kAllPaths) {
        Regex re;
        ASSERT_TRUE(re.Compile(site_pattern::kDiskHit, true, true));
        std::vector<int> spans;
        EXPECT_EQ(re.FindAll(page, true, spans, s), 0);
        // One entry in its lines at the very end is found.
        const std::string last = page +
            "<a class=\"cse-search-result_content_item_top_a\" href=\"v\" target=\"_blank\" "
            "rel=\"external nofollow\" onclick=\"t()\" >\n" + std::string(11, '\t') + "T" + std::string(10, '\t') + "</a>\n";
        EXPECT_EQ(re.FindAll(last, true, spans, s), 1);
    }
}

// Candidates that fail: decoys that stop at a line end, several candidates
// inside one scanned span, and attempts that reach a gap's exit and fail
// later, where the gap may still go on past that exit.
TEST(RegexEngine, FailedCandidatesAndDecoys) {
    RunRows({
        {"<a href=\"(.*?)\" t>", "<a href=\"x\">\n<a href=\"y\" t>", "g", "<a href=\"y\" t>{y};"},
        {"<a (.*?)\" t>(\\d)", "<a x\" t>y\" t>1", "g", "<a x\" t>y\" t>1{x\" t>y}{1};"},
        {"k(.*?)yz", "k k k yq\nk yz k", "g", "k yz{ };"},
        {"k(.*?)yz", "k1 k2 k3 yzk4 yz", "g", "k1 k2 k3 yz{1 k2 k3 };k4 yz{4 };"},
        {"k.*?y\n", "k k k y k y\n", "g", "k k k y k y\n;"},
        {"k.*?y\n", "k k\rk y\n", "g", "k y\n;"},
        {"<b>(.*?)</b>x", "<b>1</b> <b>2</b>x", "g", "<b>1</b> <b>2</b>x{1</b> <b>2};"},
        {"<b>([^<]*?)</b>x", "<b>1</b> <b>2</b>x", "g", "<b>2</b>x{2};"},
        {"<i>(.*?)</i>\t", "<i>\xD6\xD0</i> <i>\xB9\xFA\n</i>\t<i>b</i>\t", "g", "<i>b</i>\t{b};"},
    });
}

TEST(RegexEngine, ManyMatchesInOneSubject) {
    std::string page;
    for (int i = 0; i < 10000; ++i) page += "<b>" + std::to_string(i) + "</b>\xD6\xD0";
    Regex re;
    ASSERT_TRUE(re.Compile("<b>(\\d+)</b>", true, true));
    std::vector<int> spans;
    ASSERT_EQ(re.FindAll(page, true, spans), 10000);
    EXPECT_EQ(page.substr(spans[4 * 9999 + 2], spans[4 * 9999 + 3] - spans[4 * 9999 + 2]), "9999");
}

}  // namespace
}  // namespace sorvix::regex
