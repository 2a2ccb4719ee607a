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
// The last word overlaps the one before when m is not a multiple of eight.
inline bool SameFolded(const unsigned char* s, const char* lit, const char* fold, size_t m) {
    auto same8 = [&](size_t i) {
        uint64_t a, l, f;
        std::memcpy(&a, s + i, 8);
        std::memcpy(&l, lit + i, 8);
        std::memcpy(&f, fold + i, 8);
        return (a | f) == l;
    };
    if (m >= 8) {
        for (size_t i = 0; i + 8 < m; i += 8) {
            if (!same8(i)) return false;
        }
        return same8(m - 8);
    }
    for (size_t i = 0; i < m; ++i) {
        if ((s[i] | static_cast<unsigned char>(fold[i])) != static_cast<unsigned char>(lit[i])) return false;
    }
    return true;
}


class LiteralFinder {
public:
    static constexpr size_t kNpos = static_cast<size_t>(-1);

    LiteralFinder() = default;
    // literal: ASCII bytes; with ignoreCase its letters match either case.
    // stop0/stop1: bytes below 0x40 that FindOrStop stops at, or -1.
    LiteralFinder(std::string_view literal, bool ignoreCase, int stop0 = -1, int stop1 = -1);

    bool Empty() const { return lit_.empty(); }
    size_t Size() const { return lit_.size(); }

    // First position c with from <= c <= lastStart where the literal occurs
    // (c + Size() <= n) and c is a character boundary; kNpos when there is
    // none. boundary (<= from) is a known character boundary; by default
    // from itself.
    size_t Find(const unsigned char* s, size_t n, size_t from, size_t lastStart = kNpos,
                size_t boundary = kNpos) const;

    // First position q, from <= q < end, where the literal occurs at a
    // character boundary (q + Size() <= n) or whose byte is a stop byte
    // (below 0x40, so always a whole character); end when there is none.
    // boundary (<= from) is a known character boundary. One pass: the cost
    // is the distance to q.
    // hit (optional) tells whether the literal occurs at q.
    size_t FindOrStop(const unsigned char* s, size_t n, size_t from, size_t end, size_t boundary,
                      bool* hit = nullptr) const;
    // The literal as compared: lower case where the case is ignored, and
    // the fold mask (0x20 there, else 0).
    const std::string& Folded() const { return lit_; }
    const std::string& FoldMask() const { return fold_; }

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
    int stop0_ = -1, stop1_ = -1;
    // Each of lit_[off1_], fold_[off1_], lit_[off2_], fold_[off2_] and the
    // two stop bytes repeated 32 times, for the vector compares (a stop of
    // -1 repeats one that exists, or lit_[off1_], and is then not used).
    enum { kB1, kF1, kB2, kF2, kS0, kS1, kSplats };
    unsigned char splat_[kSplats][32] = {};
};

}  // namespace sorvix::regex
