// LiteralFinder: two-byte filter, whole-literal check, boundary check.
#include "text/regex/literal_finder.h"

#include <algorithm>
#include <cstring>

#include "text/gbk.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace sorvix::regex {

namespace {

bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

}  // namespace

int ByteRank(unsigned char c, bool fold) {
    if (fold && IsAsciiLetter(c)) {
        const unsigned char lower = static_cast<unsigned char>(c | 0x20);
        return ByteRank(lower, false) + ByteRank(static_cast<unsigned char>(lower - 0x20), false);
    }
    if (c == ' ' || c == '\n' || c == '\t') return 100;
    if (c == '<' || c == '>' || c == '"' || c == '=' || c == '/') return 80;
    if (c >= 'a' && c <= 'z') {
        if (std::strchr("etaoinsr", c)) return 70;
        if (std::strchr("hlcdmup", c)) return 55;
        if (std::strchr("fgwybv", c)) return 35;
        return 15;  // j k q x z
    }
    if (c >= 0x80) return 50;  // Chinese text is everywhere on these pages
    if (c >= 'A' && c <= 'Z') return 12;
    if (c >= '0' && c <= '9') return 30;
    if (c == '.' || c == ',' || c == '-' || c == ':' || c == ';' || c == '_' || c == '\'') return 40;
    if (c == '\r') return 30;
    return 10;
}

LiteralFinder::LiteralFinder(std::string_view literal, bool ignoreCase, int stop0, int stop1)
    : stop0_(stop0), stop1_(stop1) {
    int best1 = 1 << 20, best2 = 1 << 20;
    for (size_t i = 0; i < literal.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(literal[i]);
        const bool fold = ignoreCase && IsAsciiLetter(c);
        lit_.push_back(static_cast<char>(fold ? (c | 0x20) : c));
        fold_.push_back(static_cast<char>(fold ? 0x20 : 0));
    }
    // The rarest byte, then the rarest other one; a different byte value
    // filters better than the same value twice, so that costs a little.
    for (size_t i = 0; i < lit_.size(); ++i) {
        int r = ByteRank(static_cast<unsigned char>(lit_[i]), fold_[i] != 0);
        if (r < best1) {
            best1 = r;
            off1_ = i;
        }
    }
    off2_ = off1_;
    for (size_t i = 0; i < lit_.size(); ++i) {
        if (i == off1_) continue;
        int r = ByteRank(static_cast<unsigned char>(lit_[i]), fold_[i] != 0);
        if (lit_[i] == lit_[off1_]) r += 20;
        if (r < best2) {
            best2 = r;
            off2_ = i;
        }
    }
    if (lit_.empty()) return;
    const int s0 = stop0_ >= 0 ? stop0_ : stop1_ >= 0 ? stop1_ : static_cast<unsigned char>(lit_[off1_]);
    const int s1 = stop1_ >= 0 ? stop1_ : s0;
    const unsigned char values[kSplats] = {
        static_cast<unsigned char>(lit_[off1_]), static_cast<unsigned char>(fold_[off1_]),
        static_cast<unsigned char>(lit_[off2_]), static_cast<unsigned char>(fold_[off2_]),
        static_cast<unsigned char>(s0),          static_cast<unsigned char>(s1)};
    for (int k = 0; k < kSplats; ++k) std::memset(splat_[k], values[k], sizeof splat_[k]);
}

#if defined(__x86_64__) || defined(__i386__)
namespace {
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Per byte: x[i] | f1 == b1 and y[i] | f2 == b2.
[[gnu::target("avx2")]] inline __m256i PairEq(const unsigned char* x, const unsigned char* y, __m256i b1,
                                              __m256i f1, __m256i b2, __m256i f2) {
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x));
    const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(v1, f1), b1),
                            _mm256_cmpeq_epi8(_mm256_or_si256(v2, f2), b2));
}
}  // namespace

// 64 starts per round. Returns the hit, or kNpos with *resume at the first
// start not yet tested (fewer than 64 remain).
size_t LiteralFinder::ScanPairsAvx2(const unsigned char* s, size_t from, size_t last, size_t* resume) const {
    const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(splat_[kB1]));
    const __m256i f1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(splat_[kF1]));
    const __m256i b2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(splat_[kB2]));
    const __m256i f2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(splat_[kF2]));
    const unsigned char* p1 = s + off1_;
    const unsigned char* p2 = s + off2_;
    size_t pos = from;
    while (pos <= last && last - pos >= 63) {
        const __m256i lo = PairEq(p1 + pos, p2 + pos, b1, f1, b2, f2);
        const __m256i hi = PairEq(p1 + pos + 32, p2 + pos + 32, b1, f1, b2, f2);
        if (_mm256_testz_si256(_mm256_or_si256(lo, hi), _mm256_or_si256(lo, hi))) {
            pos += 64;
            continue;
        }
        uint64_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(lo)) |
                        (uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(hi))} << 32);
        while (mask != 0) {
            const size_t c = pos + static_cast<size_t>(__builtin_ctzll(mask));
            if (MatchesAt(s + c)) return c;
            mask &= mask - 1;
        }
        pos += 64;
    }
    *resume = pos;
    return kNpos;
}
#endif

size_t LiteralFinder::ScanPairs(const unsigned char* s, size_t from, size_t last) const {
    size_t pos = from;
#if defined(__x86_64__) || defined(__i386__)
    if (last >= pos && last - pos >= 63 && HasAvx2()) {
        if (size_t c = ScanPairsAvx2(s, pos, last, &pos); c != kNpos) return c;
    }
#endif
    const unsigned char b1 = static_cast<unsigned char>(lit_[off1_]), f1 = static_cast<unsigned char>(fold_[off1_]);
    const unsigned char b2 = static_cast<unsigned char>(lit_[off2_]), f2 = static_cast<unsigned char>(fold_[off2_]);
#if defined(__SSE2__)
    const __m128i vb1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(splat_[kB1]));
    const __m128i vf1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(splat_[kF1]));
    const __m128i vb2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(splat_[kB2]));
    const __m128i vf2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(splat_[kF2]));
    // Starts pos..pos+15 are all <= last, so every byte read lies below
    // last + Size() <= n.
    while (pos <= last && last - pos >= 15) {
        __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos + off1_));
        __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos + off2_));
        __m128i e1 = _mm_cmpeq_epi8(_mm_or_si128(v1, vf1), vb1);
        __m128i e2 = _mm_cmpeq_epi8(_mm_or_si128(v2, vf2), vb2);
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(e1, e2)));
        while (mask != 0) {
            size_t c = pos + static_cast<size_t>(__builtin_ctz(mask));
            if (MatchesAt(s + c)) return c;
            mask &= mask - 1;
        }
        pos += 16;
    }
#endif
    for (; pos <= last; ++pos) {
        if ((s[pos + off1_] | f1) == b1 && (s[pos + off2_] | f2) == b2 && MatchesAt(s + pos)) return pos;
    }
    return kNpos;
}

bool LiteralFinder::AtBoundary(const unsigned char* s, size_t n, size_t c, size_t& known) {
    if (s[c] < 0x40) return true;  // never a trail byte, so a boundary
    // Bytes below 0x40 are whole characters: start after the last one, or
    // at the known boundary, and walk characters up to c.
    size_t r = c;
    while (r > known && s[r - 1] >= 0x40) --r;
    while (r < c) {
        size_t len = GbkCharLength(s, r, n);
        if (r + len > c) break;
        r += len;
    }
    known = r;
    return r == c;
}

size_t LiteralFinder::Find(const unsigned char* s, size_t n, size_t from, size_t lastStart,
                           size_t boundary) const {
    size_t known = boundary <= from ? boundary : from;  // a character boundary; only moves forward
    if (lit_.empty() || n < lit_.size()) return kNpos;
    const size_t last = std::min(lastStart, n - lit_.size());
    size_t pos = from;
    while (pos <= last) {
        const size_t c = ScanPairs(s, pos, last);
        if (c == kNpos) return kNpos;
        if (AtBoundary(s, n, c, known)) return c;
        pos = c + 1;
    }
    return kNpos;
}

size_t LiteralFinder::FindOrStop(const unsigned char* s, size_t n, size_t from, size_t end, size_t boundary,
                                 bool* hit) const {
    bool scratch;
    if (!hit) hit = &scratch;
    *hit = false;
    const int stop0 = stop0_, stop1 = stop1_;
    size_t known = boundary <= from ? boundary : from;
    const size_t m = lit_.size();
    // Starts at or below lastStart leave room for the literal; none when
    // the literal cannot fit at all.
    const bool starts = m > 0 && n >= m && end > 0;
    const size_t lastStart = starts ? std::min(end - 1, n - m) : 0;
    auto isStop = [&](unsigned char b) { return b == stop0 || b == stop1; };
    const unsigned char b1 = static_cast<unsigned char>(lit_[off1_]), f1 = static_cast<unsigned char>(fold_[off1_]);
    const unsigned char b2 = static_cast<unsigned char>(lit_[off2_]), f2 = static_cast<unsigned char>(fold_[off2_]);
    size_t pos = from;
#if defined(__SSE2__)
    auto splat = [&](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(splat_[k])); };
    const __m128i vb1 = splat(kB1), vf1 = splat(kF1), vb2 = splat(kB2), vf2 = splat(kF2);
    const __m128i vs0 = splat(kS0), vs1 = splat(kS1);
    const bool anyStop = stop0 >= 0 || stop1 >= 0;
    // Starts pos..pos+15 all at or below lastStart: every byte read lies
    // below lastStart + m <= n, and below end.
    while (starts && pos <= lastStart && lastStart - pos >= 15) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos + off1_));
        const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos + off2_));
        const unsigned pairs = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(v1, vf1), vb1), _mm_cmpeq_epi8(_mm_or_si128(v2, vf2), vb2))));
        const unsigned stops =
            anyStop ? static_cast<unsigned>(_mm_movemask_epi8(
                          _mm_or_si128(_mm_cmpeq_epi8(v0, vs0), _mm_cmpeq_epi8(v0, vs1))))
                    : 0u;
        for (unsigned bits = pairs | stops; bits != 0; bits &= bits - 1) {
            const unsigned j = static_cast<unsigned>(__builtin_ctz(bits));
            const size_t q = pos + j;
            if (((pairs >> j) & 1) && MatchesAt(s + q) && AtBoundary(s, n, q, known)) {
                *hit = true;
                return q;
            }
            if ((stops >> j) & 1) return q;
        }
        pos += 16;
    }
#endif
    for (; pos < end; ++pos) {
        if (starts && pos <= lastStart && (s[pos + off1_] | f1) == b1 && (s[pos + off2_] | f2) == b2 &&
            MatchesAt(s + pos) && AtBoundary(s, n, pos, known)) {
            *hit = true;
            return pos;
        }
        if (isStop(s[pos])) return pos;
    }
    return end;
}

}  // namespace sorvix::regex
