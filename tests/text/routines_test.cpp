// Text routines over GBK bytes: 1-based positions, character boundaries
// (a trail byte such as the "@" of 81 40 or the "a" of B0 61 never starts a
// match and is never case-folded), and the marker search pages are cut with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "text/text.h"
#include "text_reference.h"
#include "text_test_support.h"

namespace sorvix {
namespace {

using test::ExpectConversions;
using test::Hex;
using test::OneWay;

TEST(Routines, Find) {
    struct Case { const char* name; std::string text, sought; int start; bool ignoreCase; int expected; };
    const Case cases[] = {
        {"first", "abcabc", "c", 1, false, 3},
        {"from a later start", "abcabc", "c", 4, false, 6},
        {"start at the match", "abcabc", "c", 3, false, 3},
        {"start 0 acts as 1", "abcabc", "a", 0, false, 1},
        {"negative start acts as 1", "abcabc", "a", -7, false, 1},
        {"absent", "abc", "x", 1, false, -1},
        {"empty sought", "abc", "", 1, false, -1},
        {"empty text", "", "a", 1, false, -1},
        {"start past the end", "abc", "c", 4, false, -1},
        {"start far past the end", "abc", "c", 1000, false, -1},
        {"sought longer than text", "ab", "abc", 1, false, -1},
        {"case differs", "ABC", "b", 1, false, -1},
        {"ignore case", "ABC", "b", 1, true, 2},
        {"ignore case, sought upper", "xabc", "ABC", 1, true, 2},
        {"ignore case, non-letters exact", "a-b a_b", "A_B", 1, true, 5},
        {"multi-byte sought", "x\xD6\xD0\xCE\xC4", "\xD6\xD0\xCE\xC4", 1, false, 2},
        // Trail bytes that look like ASCII.
        {"@ inside 81 40", "\x81\x40", "@", 1, false, -1},
        {"@ after 81 40", "\x81\x40@", "@", 1, false, 3},
        {"start on a trail byte", "\x81\x40@", "@", 2, false, 3},
        {"letter trail byte", "\xB0\x41" "A", "A", 1, false, 3},
        {"letter trail byte, ignore case", "\xB0\x61" "A", "a", 1, true, 3},
        {"trail byte not folded", "\xB0\x41", "a", 1, true, -1},
        {"trail in sought not folded", "x\xB0\x61", "\xB0\x41", 1, true, -1},
        {"letters folded around a pair", "X\xB0\x61Y", "x\xB0\x61y", 1, true, 1},
        {"trail then real match", "\x81\x40\x40", "@", 1, false, 3},
        {"pair across a pair boundary", "\xB0\xA1\xA1\xA1", "\xA1\xA1", 1, false, 3},
        {"lone lead at end", "ab\x81", "\x81", 1, false, 3},
        {"quote after a malformed lead", "\x81\"x\"", "\"", 1, false, 2},
        {"marker after many pairs", std::string(4000, '\xB0') + "@@", "@@", 1, false, 4001},
        {"odd run of leads", std::string(4001, '\xB0') + "@@", "@", 1, false, 4003},
        {"odd run of leads, sought on the trail", std::string(4001, '\xB0') + "@@", "@@", 1, false, -1},
        {"odd run of leads, ignore case", std::string(4001, '\xB0') + "aA", "a", 1, true, 4003},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Find(c.text, c.sought, c.start, c.ignoreCase), c.expected) << c.name;
}

TEST(Routines, FindLast) {
    struct Case { const char* name; std::string text, sought; bool ignoreCase; int expected; };
    const Case cases[] = {
        {"port colon", "http://h:8080/a:b", ":", false, 16},
        {"one occurrence", "abc", "b", false, 2},
        {"absent", "abc", "x", false, -1},
        {"empty sought", "abc", "", false, -1},
        {"overlapping", "aaa", "aa", false, 2},
        {"ignore case", "aXbx", "X", true, 4},
        {"case differs", "aXbx", "X", false, 2},
        {"last @ is a trail byte", "@\x81\x40", "@", false, 1},
        {"letter trail last", "a\xB0\x61", "a", false, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(FindLast(c.text, c.sought, c.ignoreCase), c.expected) << c.name;
}

TEST(Routines, Mid) {
    struct Case { std::string text; int start, length; std::string expected; };
    const Case cases[] = {
        {"abcdef", 2, 3, "bcd"},  {"abc", 0, 2, "ab"},  {"abc", -3, 2, "ab"},
        {"abc", 3, 10, "c"},      {"abc", 4, 1, ""},    {"abc", 1, 0, ""},
        {"abc", 1, -1, ""},       {"", 1, 1, ""},
        {"\xD6\xD0\xCE\xC4", 2, 2, "\xD0\xCE"},  // bytes, not characters
    };
    for (const Case& c : cases)
        EXPECT_EQ(Mid(c.text, c.start, c.length), c.expected) << c.text << " " << c.start;
}

TEST(Routines, Replace) {
    struct Case {
        const char* name; std::string text, sought, replacement; int start, count; bool caseSensitive;
        std::string expected;
    };
    const Case cases[] = {
        {"all", "aXbXc", "X", "-", 1, -1, true, "a-b-c"},
        {"default replacement is empty", "aXbXc", "X", "", 1, -1, true, "abc"},
        {"count 1", "aXbXc", "X", "-", 1, 1, true, "a-bXc"},
        {"count 0", "aXbXc", "X", "-", 1, 0, true, "aXbXc"},
        {"from a start, prefix kept", "aXbXc", "X", "-", 3, -1, true, "aXb-c"},
        {"start below 1", "aXbXc", "X", "-", -2, -1, true, "a-b-c"},
        {"start past the end", "aXb", "X", "-", 9, -1, true, "aXb"},
        {"case-sensitive by default", "aXbxc", "x", "-", 1, -1, true, "aXb-c"},
        {"ignoring case", "aXbxc", "x", "-", 1, -1, false, "a-b-c"},
        {"inserted text not rescanned", "aa", "a", "aa", 1, -1, true, "aaaa"},
        {"adjacent occurrences", "ababab", "ab", "", 1, -1, true, ""},
        {"empty sought", "abc", "", "-", 1, -1, true, "abc"},
        {"@ inside 81 40 stays", "\x81\x40@", "@", "#", 1, -1, true, "\x81\x40#"},
        {"trail letter not replaced ignoring case", "\xB0\x61" "a", "A", "-", 1, -1, false, "\xB0\x61-"},
        {"multi-byte", "\xD6\xD0x\xD6\xD0", "\xD6\xD0", "z", 1, -1, true, "zxz"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hex(Replace(c.text, c.sought, c.replacement, c.start, c.count, c.caseSensitive)),
                  Hex(c.expected))
            << c.name;
}

TEST(Routines, CaseChangesAsciiLettersOnly) {
    struct Case { const char* name; std::string text, upper, lower; };
    const Case cases[] = {
        {"ascii", "aBc1-", "ABC1-", "abc1-"},
        {"letter trail bytes", "a\xB0\x61z\xB0\x41", "A\xB0\x61Z\xB0\x41", "a\xB0\x61z\xB0\x41"},
        {"lone lead at end", "a\x81", "A\x81", "a\x81"},
        {"malformed lead before letter is a pair", "\x81" "a", "\x81" "a", "\x81" "a"},
        {"malformed lead before space", "\x81 a", "\x81 A", "\x81 a"},
        {"full-width letters unchanged", "\xA3\xE1\xA3\xC1", "\xA3\xE1\xA3\xC1", "\xA3\xE1\xA3\xC1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(ToUpper(c.text)), Hex(c.upper)) << c.name;
        EXPECT_EQ(Hex(ToLower(c.text)), Hex(c.lower)) << c.name;
    }
}

TEST(Routines, Trim) {
    const OneWay cases[] = {
        {"spaces", "  ab  ", "ab"},
        {"inner spaces kept", " a b ", "a b"},
        {"full-width spaces", "\xA1\xA1" "ab\xA1\xA1", "ab"},
        {"mixed", " \xA1\xA1 a \xA1\xA1 ", "a"},
        {"only spaces", " \xA1\xA1 ", ""},
        {"empty", "", ""},
        {"tabs and newlines are not spaces", "\ta\n", "\ta\n"},
        // A1 A1 at the end that is not one character: B0 A1 then a lone A1.
        {"trail A1 then lone A1", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
        {"full-width space then lone A1", "x\xA1\xA1\xA1", "x\xA1\xA1\xA1"},
        {"character ending in A1 before a space", "\xB0\xA1 ", "\xB0\xA1"},
    };
    ExpectConversions(cases, [](const std::string& s) { return Trim(s); });
}

TEST(Routines, Split) {
    struct Case { const char* name; std::string text, separator; std::vector<std::string> expected; };
    const Case cases[] = {
        {"three", "a;b;c", ";", {"a", "b", "c"}},
        {"separator at the end", "a;b;", ";", {"a", "b", ""}},
        {"empty pieces kept", ";;", ";", {"", "", ""}},
        {"no separator", "abc", ";", {"abc"}},
        {"empty text", "", ";", {}},
        {"empty separator", "abc", "", {"abc"}},
        {"long separator", "a||b|c", "||", {"a", "b|c"}},
        {"@ inside 81 40", "\x81\x40@x", "@", {"\x81\x40", "x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Split(c.text, c.separator), c.expected) << c.name;
}

TEST(Routines, ToInt) {
    struct Case { std::string text; int expected; };
    const Case cases[] = {
        {"123", 123}, {"  -42abc", -42}, {"+7", 7}, {"abc", 0}, {"", 0}, {"\t12", 12},
        {"1 2", 1}, {"- 1", 0}, {"007", 7}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN},
        {"\xA3\xB1\xA3\xB2", 12},                        // full-width digits
        {"\xA1\xA1\xA3\xAD\xA3\xB5" "0", -50},           // full-width space, minus, digit
        {"\xA3\xAB" "3", 3},                             // full-width plus
        {"\xD6\xD0" "12", 0},                            // a Chinese character first
    };
    for (const Case& c : cases) EXPECT_EQ(ToInt(c.text), c.expected) << Hex(c.text);
}

TEST(Routines, NumbersToText) {
    EXPECT_EQ(ToDecimalText(0), "0");
    EXPECT_EQ(ToDecimalText(42), "42");
    EXPECT_EQ(ToDecimalText(-42), "-42");
    EXPECT_EQ(ToDecimalText(LLONG_MAX), "9223372036854775807");
    EXPECT_EQ(ToDecimalText(LLONG_MIN), "-9223372036854775808");
    EXPECT_EQ(ToHexText(0), "0");
    EXPECT_EQ(ToHexText(255), "FF");
    EXPECT_EQ(ToHexText(4096), "1000");
    EXPECT_EQ(ToHexText(-1), "FFFFFFFFFFFFFFFF");
}

TEST(Routines, TextBetween) {
    struct Case {
        const char* name; std::string text, startMarker, endMarker; int start; bool caseSensitive;
        std::string expected;
    };
    const std::string quote(kQuoteMarker);
    const Case cases[] = {
        {"plain", "totalPages:12,pageSize", "totalPages:", ",", 1, false, "12"},
        {"start marker in other case", "totalPages:12,pageSize", "TOTALPAGES:", ",", 1, false, "12"},
        {"case-sensitive refuses other case", "totalPages:12,pageSize", "TOTALPAGES:", ",", 1, true, ""},
        {"end marker missing", "totalPages:12", "totalPages:", ",", 1, false, ""},
        {"start marker missing", "pages:12,", "totalPages:", ",", 1, false, ""},
        {"end right after start", "ab", "a", "b", 1, false, ""},
        {"from a start position", "[1][2]", "[", "]", 2, false, "2"},
        {"quote marker", "<a href=\"x.html\">", "href=" + quote, quote, 1, false, "x.html"},
        {"quote marker in both", "k=\"v\"", quote, quote, 1, false, "v"},
        {"marker inside 81 40 skipped", "\x81\x40x@y@", "@", "@", 1, false, "y"},
        {"Chinese content", "<b>\xD6\xD0</b>", "<B>", "</B>", 1, false, "\xD6\xD0"},
        {"empty start marker", "abc", "", "c", 1, false, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hex(TextBetween(c.text, c.startMarker, c.endMarker, c.start, c.caseSensitive)),
                  Hex(c.expected))
            << c.name;
}

TEST(Routines, ReplaceEach) {
    EXPECT_EQ(ReplaceEach("<span class='highlight'>ab</span>c",
                          {{"<span class='highlight'>", ""}, {"</span>", ""}}),
              "abc");
    // Pairs apply one after another, each to the previous result.
    EXPECT_EQ(ReplaceEach("abc", {{"a", "b"}, {"b", "c"}}), "ccc");
    // Matching ignores case unless asked otherwise.
    EXPECT_EQ(ReplaceEach("<SPAN>x</span>", {{"<span>", ""}, {"</SPAN>", ""}}), "x");
    EXPECT_EQ(ReplaceEach("<SPAN>x", {{"<span>", ""}}, 1, -1, true), "<SPAN>x");
    // An empty sought text changes nothing; five pairs all apply.
    EXPECT_EQ(ReplaceEach("abc", {{"", "z"}, {"c", "d"}}), "abd");
    EXPECT_EQ(ReplaceEach("12345", {{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"5", "e"}}),
              "abcde");
    // Start and count reach every pair.
    EXPECT_EQ(ReplaceEach("aaXaa", {{"a", "b"}}, 3, 1), "aaXba");
}

TEST(Routines, CharacterStepping) {
    struct Case { std::string text; size_t index; bool start; };
    const Case cases[] = {
        {"\x81\x40", 0, true}, {"\x81\x40", 1, false}, {"\x81\x40", 2, true},
        {"\x81\x81\x81", 1, false}, {"\x81\x81\x81", 2, true},   // lone lead at the end
        {"\x81 \x81\x40", 1, true}, {"\x81 \x81\x40", 3, false}, // 81 20 is no pair
        {"ab", 3, false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsGbkCharStart(c.text, c.index), c.start) << Hex(c.text) << " @" << c.index;
}

// Random texts from bytes that make GBK hard: leads, letters and "@" that are
// trail bytes too, A1 pairs, quotes and spaces that never are. Find, Replace
// and Split must agree with the reference on every one.
TEST(Routines, AgreeWithTheCharacterByCharacterReference) {
    const char alphabet[] = {'a', 'A', 'b', '@', '"', ' ', '\x81', '\xA1', '\xB0', '\xFE', '\x7F', '\xFF'};
    std::mt19937 rng(20261209);
    auto pick = [&](size_t maxLength) {
        std::string s(std::uniform_int_distribution<size_t>(0, maxLength)(rng), ' ');
        for (char& c : s) c = alphabet[std::uniform_int_distribution<size_t>(0, sizeof alphabet - 1)(rng)];
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string text = pick(24), sought = pick(3), replacement = pick(2);
        const int start = std::uniform_int_distribution<int>(-1, 26)(rng);
        const int count = std::uniform_int_distribution<int>(-1, 3)(rng);
        const bool flag = (i & 1) != 0;
        ASSERT_EQ(Find(text, sought, start, flag), test::ReferenceFind(text, sought, start, flag))
            << Hex(text) << " / " << Hex(sought) << " from " << start << (flag ? " ignoring case" : "");
        int last = -1;
        for (int p = 1; (p = test::ReferenceFind(text, sought, p, flag)) > 0; ++p) last = p;
        ASSERT_EQ(FindLast(text, sought, flag), last) << Hex(text) << " / " << Hex(sought);
        ASSERT_EQ(Hex(Replace(text, sought, replacement, start, count, flag)),
                  Hex(test::ReferenceReplace(text, sought, replacement, start, count, flag)))
            << Hex(text) << " / " << Hex(sought) << " from " << start << " count " << count;
        if (!text.empty() && !sought.empty()) {
            std::vector<Text> pieces = Split(text, sought);
            std::string joined;
            for (size_t k = 0; k < pieces.size(); ++k) joined += (k ? sought : "") + pieces[k];
            ASSERT_EQ(joined, text) << Hex(text) << " / " << Hex(sought);
            // As many pieces as the reference finds occurrences, plus one.
            const std::string marked = test::ReferenceReplace(text, sought, "\n", 1, -1, true);
            ASSERT_EQ(pieces.size(), static_cast<size_t>(std::count(marked.begin(), marked.end(), '\n')) + 1);
        }
    }
}

// A large page: every routine stays well within a test timeout and does not
// crash, with many candidates that fall on trail bytes.
TEST(Routines, TenMegabytePage) {
    std::string page;
    const std::string row = "<tr><td class=\"n\">\xD6\xD0\x81\x40\xCE\xC4</td><td>12</td></tr>\n";
    while (page.size() < 10'000'000) page += row;
    const size_t rows = page.size() / row.size();
    EXPECT_EQ(Find(page, "@"), -1);
    EXPECT_EQ(Find(page, "</TR>", 1, true), static_cast<int>(row.size()) - 5);
    EXPECT_EQ(Split(page, "\n").size(), rows + 1);
    EXPECT_EQ(Replace(page, "<td>", "").size(), page.size() - rows * 4);
    EXPECT_EQ(ToUpper(page).size(), page.size());
    EXPECT_EQ(Trim(" " + page + "\xA1\xA1").size(), page.size());
    // Walking the page marker by marker, as the site searches do.
    int pos = 1, found = 0;
    while ((pos = Find(page, "<td>", pos, true)) > 0) {
        ++found;
        pos += 4;
    }
    EXPECT_EQ(static_cast<size_t>(found), rows);
    EXPECT_EQ(TextBetween(page, "<td>", "</td>", static_cast<int>(page.size()) - 10), "");
}

}  // namespace
}  // namespace sorvix
