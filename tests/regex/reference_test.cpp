// The engine against the test-tree backtracker (reference_matcher.h) on
// generated patterns and subjects, every engine path, all flag combinations.
// Fixed seeds keep failures reproducible; the trace prints the case.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "reference_matcher.h"
#include "text/regex/regex.h"

namespace sorvix {
namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::string Pattern(int depth = 0) {
        std::string s = Sequence(depth);
        while (Pick(4) == 0) s += "|" + Sequence(depth);
        return s;
    }

    std::string Subject() {
        static const char* const kChars[] = {"a", "b", "c", "A", "B", "\xD6\xD0", "\xCE\xC4", "\x81\x40",
                                             "<", ">", "\"", "\n", "\r", " ", "1", "_", "@", "\xA3\xE1",
                                             "\xA3\xC1", "\xA6\xC1", "\xA6\xA1", "\xA1\xA1", "\x80"};
        std::string s;
        int n = Pick(14);
        for (int i = 0; i < n; ++i) s += kChars[Pick(sizeof kChars / sizeof kChars[0])];
        return s;
    }

    int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

private:
    std::string Sequence(int depth) {
        static const char* const kAtoms[] = {
            "a", "b", "A", "\xD6\xD0", "@", "<", "\"", ".", "[ab]", "[^a]", "[a-c]", "[^<]",
            "[\\s\\S]", "\\d", "\\w", "\\W", "\\s", "\\S", "[\\u4e00-\\u9fa5]", "\\u4e2d", "\\x41",
            "\\n", "\xA3\xE1", "\xA6\xC1", "[\\x80-\\uffff]", "\\uff41"};
        static const char* const kQuants[] = {"*", "+", "?", "*?", "+?", "??", "{2}", "{1,2}", "{0,2}?",
                                              "{2,}", "{1,}?", "{0}"};
        static const char* const kAsserts[] = {"^", "$", "\\b", "\\B"};
        std::string s;
        int n = 1 + Pick(4);
        for (int i = 0; i < n; ++i) {
            int r = Pick(20);
            std::string atom;
            if (r < 3 && depth < 3) atom = "(" + Pattern(depth + 1) + ")";
            else if (r < 5 && depth < 3) atom = "(?:" + Pattern(depth + 1) + ")";
            else if (r < 6) { s += kAsserts[Pick(4)]; continue; }
            else atom = kAtoms[Pick(sizeof kAtoms / sizeof kAtoms[0])];
            if (Pick(3) == 0) atom += kQuants[Pick(sizeof kQuants / sizeof kQuants[0])];
            s += atom;
        }
        return s;
    }
    std::mt19937 rng_;
};

std::string Escaped(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) out.push_back(static_cast<char>(c));
        else {
            char b[8];
            snprintf(b, sizeof b, "\\x%02X", c);
            out += b;
        }
    }
    return out;
}

TEST(ReferenceComparison, GeneratedCasesAgreeOnEveryPath) {
    using regex::Strategy;
    Generator gen(12345);
    int compared = 0, matched = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string pattern = gen.Pattern();
        const std::string subject = gen.Subject();
        const bool ic = gen.Pick(2), ml = gen.Pick(2), gl = gen.Pick(4) != 0;
        std::vector<int> expected;
        if (!test::ReferenceFindAll(pattern, subject, ic, ml, gl, expected)) continue;
        ++compared;
        if (!expected.empty()) ++matched;
        for (Strategy s : {Strategy::kAuto, Strategy::kPikeVm, Strategy::kDfaPikeVm, Strategy::kDfaBacktrack}) {
            regex::Regex re;
            ASSERT_TRUE(re.Compile(pattern, ic, ml)) << Escaped(pattern);
            std::vector<int> spans;
            re.FindAll(subject, gl, spans, s);
            ASSERT_EQ(spans, expected) << "pattern " << Escaped(pattern) << " subject " << Escaped(subject)
                                       << " ic " << ic << " ml " << ml << " g " << gl << " strategy "
                                       << static_cast<int>(s);
        }
    }
    EXPECT_GT(compared, 2500);
    EXPECT_GT(matched, compared / 4);
}

// Patterns shaped like the sites' (literal runs joined by lazy gaps) on
// subjects long enough to reach the wide scans: the literal finder's 64-byte
// steps, the gap scan's growing chunks (256 bytes, then more) and stops at
// line breaks, with double-byte characters whose trail bytes look like the
// literals' letters.
TEST(ReferenceComparison, SiteShapedPatternsOnLongSubjects) {
    using regex::Strategy;
    static const char* const kRuns[] = {"<h", "x=\"", "</b>", "\t\t", "a_B", "k\">", "<a b=\"", "@a"};
    static const char* const kRunText[] = {"<h", "x=\"", "</b>", "\t\t", "a_B", "k\">", "<a b=\"", "@a"};
    static const char* const kGaps[] = {".*?", "[\\s\\S]*?", "[^<]*?", "(.*?)", "([\\s\\S]*?)", "([^\"]*?)"};
    static const char* const kNoise[] = {"y", "A", "\n", "\r", " ", "<", "\"", "\x81@", "\xB0" "a", "\xB0" "h",
                                         "\xD6\xD0", "_", "\t"};
    std::mt19937 rng(777);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    int compared = 0, matched = 0, longest = 0;
    for (int i = 0; i < 300; ++i) {
        std::string pattern = kRuns[pick(8)];
        const int gaps = 1 + static_cast<int>(pick(3));
        for (int g = 0; g < gaps; ++g) pattern += std::string(kGaps[pick(6)]) + kRuns[pick(8)];
        std::string subject;
        const size_t len = pick(1500);
        while (subject.size() < len) {
            const size_t r = pick(10);
            if (r < 5) subject += kRunText[pick(8)];
            else if (r < 9) subject += kNoise[pick(sizeof kNoise / sizeof kNoise[0])];
            else subject += std::string(pick(400), 'y');
        }
        const bool ic = pick(2), gl = pick(4) != 0;
        std::vector<int> expected;
        if (!test::ReferenceFindAll(pattern, subject, ic, true, gl, expected)) continue;
        ++compared;
        if (!expected.empty()) ++matched;
        for (Strategy s : {Strategy::kAuto, Strategy::kPikeVm, Strategy::kDfaBacktrack}) {
            regex::Regex re;
            ASSERT_TRUE(re.Compile(pattern, ic, true)) << Escaped(pattern);
            for (size_t m = 0; m + 1 < expected.size(); m += static_cast<size_t>(re.SlotCount())) {
                longest = std::max(longest, expected[m + 1] - expected[m]);
            }
            std::vector<int> spans;
            re.FindAll(subject, gl, spans, s);
            ASSERT_EQ(spans, expected) << "case " << i << " pattern " << Escaped(pattern) << " subject "
                                       << Escaped(subject) << " ic " << ic << " g " << gl << " strategy "
                                       << static_cast<int>(s);
        }
    }
    EXPECT_GT(compared, 290);
    EXPECT_GT(matched, compared / 4);
    EXPECT_GT(longest, 600);  // some gap scans went past the first chunks
}

}  // namespace
}  // namespace sorvix
