// LiteralFinder: the two-byte filter must never lose a hit or report one
// inside a double-byte character, on every scan width (64-, 16- and 1-byte
// steps are all reached by the lengths below).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/gbk.h"
#include "text/regex/literal_finder.h"

namespace sorvix::regex {
namespace {

constexpr size_t kNpos = LiteralFinder::kNpos;

size_t FindIn(const std::string& literal, bool ic, const std::string& subject, size_t from = 0,
              size_t lastStart = kNpos) {
    LiteralFinder f(literal, ic);
    return f.Find(reinterpret_cast<const unsigned char*>(subject.data()), subject.size(), from, lastStart);
}

TEST(LiteralFinder, Cases) {
    struct Case {
        const char* name;
        std::string literal;
        bool ic;
        std::string subject;
        size_t from, lastStart, expected;
    };
    const std::string pad(100, 'x');
    const Case cases[] = {
        {"plain", "href", false, "a href", 0, kNpos, 2},
        {"case kept", "HREF", false, "a href HREF", 0, kNpos, 7},
        {"case ignored", "HREF", true, "a hReF", 0, kNpos, 2},
        {"at the very end", "<a", false, pad + "<a", 0, kNpos, 100},
        {"cut by the end", "<ab", false, pad + "<a", 0, kNpos, kNpos},
        {"from skips an earlier hit", "ab", false, "ab ab", 1, kNpos, 3},
        {"last start is inclusive", "ab", false, "xxab", 0, 2, 2},
        {"last start excludes later hits", "ab", false, "xxxab", 0, 2, kNpos},
        // '@' is the trail byte of \x81\x40: that one is inside a character.
        {"trail byte is not a start", "@A", false, "\x81@A@A", 0, kNpos, 3},
        {"trail letter is not a start", "ab", true, "\xB0" "ab" "ab", 0, kNpos, 3},
        {"long run of double-byte text", "A<", false, std::string(200, '\xB0') + "A<", 0, kNpos, 200},
        {"odd run of lead bytes", "A<", false, std::string(201, '\xB0') + "A<A<", 0, kNpos, 203},
        // Only ASCII letters fold: '@' and '`', '[' and '{', 0xC1 and 0xE1 differ.
        {"no fold for @", "@", true, "`@", 0, kNpos, 1},
        {"no fold for [", "[", true, "{[", 0, kNpos, 1},
        {"lone byte 0x80", "\x80" "b", false, "a\x80" "b", 0, kNpos, 1},
        {"empty subject", "a", false, "", 0, kNpos, kNpos},
        {"literal longer than subject", "abcdef", false, "abc", 0, kNpos, kNpos},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindIn(c.literal, c.ic, c.subject, c.from, c.lastStart), c.expected) << c.name;
    }
}

// Naive answer: walk characters, compare the folded literal at each start.
size_t Naive(const std::string& lit, bool ic, const std::string& s, size_t from, size_t boundary) {
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    auto same = [&](size_t at) {
        if (at + lit.size() > s.size()) return false;
        for (size_t i = 0; i < lit.size(); ++i) {
            unsigned char x = b[at + i], y = static_cast<unsigned char>(lit[i]);
            bool letter = (y | 0x20) >= 'a' && (y | 0x20) <= 'z';
            if (x != y && !(ic && letter && (x | 0x20) == (y | 0x20))) return false;
        }
        return true;
    };
    for (size_t p = boundary; p < s.size(); p += GbkCharLength(b, p, s.size())) {
        if (p >= from && same(p)) return p;
    }
    return kNpos;
}

// Naive FindOrStop: the first boundary q in [from, end) where the literal
// occurs or whose byte is a stop byte.
size_t NaiveOrStop(const std::string& lit, bool ic, const std::string& s, size_t from, size_t end,
                   size_t boundary, int stop0, int stop1) {
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    for (size_t p = boundary; p < end; p += GbkCharLength(b, p, s.size())) {
        if (p < from) continue;
        if (Naive(lit, ic, s, p, p) == p) return p;
        if (b[p] == stop0 || b[p] == stop1) return p;
    }
    return end;
}

TEST(LiteralFinder, AgreesWithACharacterWalkOnGeneratedText) {
    static const char* const kPieces[] = {"a", "B", "<", "\"", "_", "=", " ", "\n", "\x81@", "\xB0" "a",
                                          "\xB0" "B", "\xD6\xD0", "\xB0", "@", "\x80", "k"};
    static const char* const kLiterals[] = {"<a", "a\"", "_B", "@a", "<a B=\"", "kk", "B", "a_<\"=a"};
    std::mt19937 rng(2026);
    int hits = 0;
    for (int round = 0; round < 400; ++round) {
        std::string s;
        const size_t len = rng() % 400;
        while (s.size() < len) s += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
        const std::string lit = kLiterals[rng() % (sizeof kLiterals / sizeof kLiterals[0])];
        const bool ic = rng() % 2;
        LiteralFinder f(lit, ic);
        const auto* b = reinterpret_cast<const unsigned char*>(s.data());
        // Every boundary as a start; and a start after a known boundary.
        for (size_t p = 0; p <= s.size(); p = p < s.size() ? p + GbkCharLength(b, p, s.size()) : p + 1) {
            const size_t want = Naive(lit, ic, s, p, p);
            ASSERT_EQ(f.Find(b, s.size(), p), want) << "round " << round << " from " << p;
            if (want != kNpos) ++hits;
            const size_t later = std::min(s.size(), p + 3);
            ASSERT_EQ(f.Find(b, s.size(), later, kNpos, p), Naive(lit, ic, s, later, p))
                << "round " << round << " from " << later << " boundary " << p;
            // With stop bytes, up to an end short of the text or at it.
            const int stops[][2] = {{'\n', -1}, {'<', '"'}, {-1, -1}};
            const int* st = stops[round % 3];
            for (size_t end : {s.size(), std::min(s.size(), p + 40)}) {
                LiteralFinder fs(lit, ic, st[0], st[1]);
                ASSERT_EQ(fs.FindOrStop(b, s.size(), p, end, p),
                          NaiveOrStop(lit, ic, s, p, end, p, st[0], st[1]))
                    << "round " << round << " from " << p << " end " << end;
            }
        }
    }
    EXPECT_GT(hits, 1000);
}

}  // namespace
}  // namespace sorvix::regex
