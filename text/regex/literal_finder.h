// LiteralFinder: finds where an ASCII literal (letters optionally in either
// case) occurs in GBK text, at character boundaries only.
//
// The scan tests two of the literal's rarest bytes at their offsets for 16
// positions at a time (SSE2 where the compiler has it, bytewise otherwise),
// and compares the whole literal only where both agree. Typical result pages
// have a rare pair every few kilobytes, so most of the text is passed over
// at memory speed. Rarity comes from a fixed table of byte frequencies in
// HTML pages.
//
// Character boundaries: a hit that begins with a byte below 0x40 is always a
// boundary (no GBK trail byte is that low). Any other hit is checked by
// walking from the last known boundary, and only over the bytes that could
// be trail bytes, so the walk is short and never repeats text.
// Covered by tests/regex/literal_finder_test.cpp and every engine test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace sorvix::regex {

// Rough rank of a byte's frequency in HTML result pages (higher: commoner).
// With fold, a letter counts with its other case.
int ByteRank(unsigned char c, bool fold);

// True when s[i] | fold[i] == lit[i] for i < m, eight bytes at a time.
inline bool SameFolded(const unsigned char* s, const char* lit, const char* fold, size_t m) {
    size_t i = 0;
    for (; i + 8 <= m; i += 8) {
        uint64_t a, l, f;
        std::memcpy(&a, s + i, 8);
        std::memcpy(&l, lit + i, 8);
        std::memcpy(&f, fold + i, 8);
        if ((a | f) != l) return false;
    }
    for (; i < m; ++i) {
        if ((s[i] | static_cast<unsigned char>(fold[i])) != static_cast<unsigned char>(lit[i])) return false;
    }
    return true;
}


class LiteralFinder {
public:
    static constexpr size_t kNpos = static_cast<size_t>(-1);

    LiteralFinder() = default;
    // literal: ASCII bytes; with ignoreCase its letters match either case.
    LiteralFinder(std::string_view literal, bool ignoreCase);

    bool Empty() const { return lit_.empty(); }
    size_t Size() const { return lit_.size(); }

    // First position c with from <= c <= lastStart where the literal occurs
    // (c + Size() <= n) and c is a character boundary; kNpos when there is
    // none. boundary (<= from) is a known character boundary; by default
    // from itself.
    size_t Find(const unsigned char* s, size_t n, size_t from, size_t lastStart = kNpos,
                size_t boundary = kNpos) const;

    // First position q, from <= q < end, where the literal occurs at a
    // character boundary (q + Size() <= n) or whose byte is stop0 or stop1
    // (bytes below 0x40, so always whole characters; -1 for none); end when
    // there is none. boundary (<= from) is a known character boundary. One
    // pass: the cost is the distance to q.
    size_t FindOrStop(const unsigned char* s, size_t n, size_t from, size_t end, size_t boundary, int stop0,
                      int stop1) const;

    // True when the literal occurs at s (at least Size() bytes readable).
    bool MatchesAt(const unsigned char* s) const { return SameFolded(s, lit_.data(), fold_.data(), lit_.size()); }

private:
    // True when c is a character boundary, given the boundary known <= c
    // (which moves up to the start of the character holding c).
    static bool AtBoundary(const unsigned char* s, size_t n, size_t c, size_t& known);
    // First start in [from, last] (last + Size() <= n) where the literal
    // occurs, boundary or not; kNpos when none.
    size_t ScanPairs(const unsigned char* s, size_t from, size_t last) const;
#if defined(__x86_64__) || defined(__i386__)
    [[gnu::target("avx2")]] size_t ScanPairsAvx2(const unsigned char* s, size_t from, size_t last,
                                                   size_t* resume) const;
#endif

    std::string lit_;   // letters lower-cased where the case is ignored
    std::string fold_;  // per byte: 0x20 where the case is ignored, else 0
    size_t off1_ = 0, off2_ = 0;  // offsets of the two rarest bytes
};

}  // namespace sorvix::regex
