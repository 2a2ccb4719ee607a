// Parser: one-line dumps of the syntax tree for accepted patterns, and the
// constructs that must be rejected (so a search yields no matches).
#include <gtest/gtest.h>

#include <string>

#include "text/regex/syntax.h"

namespace sorvix::regex {
namespace {

std::string DumpOf(const std::string& gbk) {
    ParseResult r = Parse(DecodePattern(gbk));
    return r.root ? Dump(*r.root) : "error: " + r.error;
}

struct DumpCase {
    const char* pattern;
    const char* dump;
};

TEST(RegexSyntax, DumpsOfAcceptedPatterns) {
    const DumpCase cases[] = {
        {"ab", "cat(a,b)"},
        {"a|b|", "alt(a,b,empty)"},
        {"(a)(?:b)", "cat(grp1(a),b)"},
        {"a*?b+c?", "cat(rep{0,inf}?(a),rep{1,inf}(b),rep{0,1}(c))"},
        {"a{2}b{2,}c{1,3}?", "cat(rep{2,2}(a),rep{2,inf}(b),rep{1,3}?(c))"},
        {"[a-c\\d]", "[0-9a-c]"},
        {"[^a]", "[^a]"},
        {"[]", "[]"},
        {"[^]", "[^]"},
        {"[\\b-]", "[\\u0008-]"},
        {"[a-\\d]", "[-0-9a]"},
        {"\\x41\\u4e2D\\0", "cat(A,\\u4E2D,\\u0000)"},
        {"\\xZ\\uZ", "cat(x,Z,u,Z)"},
        {"\\cJ\\c1", "cat(\\u000A,\\u005C,c,1)"},
        {"\\t\\n\\v\\f\\r", "cat(\\u0009,\\u000A,\\u000B,\\u000C,\\u000D)"},
        {"\\.\\*\\k\\/", "cat(.,*,k,/)"},
        {"^a$\\b\\B", "cat(^,a,$,\\b,\\B)"},
        {"x{", "cat(x,{)"},
        {"x{1,a}", "cat(x,{,1,,,a,})"},
        {"a]}", "cat(a,],})"},
        {".", "[\\u0000-\\u0009\\u000B-\\u000C\\u000E-\\u2027\\u202A-\\uFFFF]"},
        {"\xD6\xD0", "\\u4E2D"},                  // GBK 中 is one character
        {"[\xD2\xBB-\xFD\x9B]", "[\\u4E00-\\u9FA5]"},  // [一-龥] in GBK
        {"((a)|b)+", "rep{1,inf}(grp1(alt(grp2(a),b)))"},
        {"", "empty"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DumpOf(c.pattern), c.dump) << "pattern " << c.pattern;
    }
}

TEST(RegexSyntax, RejectedConstructs) {
    const char* const rejected[] = {
        "(a)\\1",  "\\2",      "a(?=b)",   "a(?!b)",  "(?<=a)b", "(?<!a)b", "(?<n>a)",
        "(?x)",    "*a",       "a**",      "a+*",     "a|?",     "{2}",     "a{2,1}",
        "(a",      "a)",       "[a",       "[b-a]",   "\\",      "^*",      "\\b+",
        "\\01",    "a{100001}", "a{1,100001}",
    };
    for (const char* p : rejected) {
        EXPECT_EQ(Parse(DecodePattern(p)).root, nullptr) << "pattern " << p;
    }
}

TEST(RegexSyntax, DeepNestingIsRejectedWithoutExhaustingTheStack) {
    std::string deep(100000, '(');
    EXPECT_EQ(Parse(DecodePattern(deep)).root, nullptr);
    std::string ok = std::string(150, '(') + "a" + std::string(150, ')');
    EXPECT_NE(Parse(DecodePattern(ok)).root, nullptr);
}

TEST(RegexSyntax, CaseVariantsCoverTheLettersGbkHolds) {
    struct Pair {
        uint32_t a, b;
    };
    const Pair pairs[] = {{'a', 'A'}, {0x3B1, 0x391}, {0x3C2, 0x3A3}, {0x451, 0x401}, {0x430, 0x410},
                          {0xFF41, 0xFF21}, {0x2170, 0x2160}, {0x101, 0x100}};
    for (const auto& p : pairs) {
        CharSet s;
        s.Add(p.a, p.a);
        s.AddCaseVariants();
        EXPECT_TRUE(s.Contains(p.b)) << std::hex << p.a;
        CharSet t;
        t.Add(p.b, p.b);
        t.AddCaseVariants();
        EXPECT_TRUE(t.Contains(p.a)) << std::hex << p.b;
    }
    // Dotless i folds to ASCII "I" in Unicode, which ECMAScript refuses.
    CharSet i;
    i.Add(0x131, 0x131);
    i.AddCaseVariants();
    EXPECT_FALSE(i.Contains('I'));
}

}  // namespace
}  // namespace sorvix::regex
