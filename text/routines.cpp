// Text routines over GBK: find, cut, replace, case, trim, split, numbers and
// the marker search with which pages are taken apart.
//
// Matches start on character boundaries only: a GBK trail byte can be an
// ASCII letter or "@" (81 40), and such a byte never starts a match. The
// boundary is checked per candidate with a running boundary that only moves
// forward, so a search stays linear in the text whatever the number of
// candidates. Ignore-case compares ASCII letters only and never folds a trail
// byte. Covered by tests/text/routines_test.cpp; speed by bench/text.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "text/text.h"

namespace sorvix {
namespace {

// Bytes that are neither lead nor trail bytes: always a character of their own.
bool IsNeverTrail(unsigned char b) { return !IsGbkTrailByte(b); }

bool IsAsciiLetter(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
unsigned char LowerAscii(unsigned char b) { return b >= 'A' && b <= 'Z' ? b + 32 : b; }
unsigned char UpperAscii(unsigned char b) { return b >= 'a' && b <= 'z' ? b - 32 : b; }

// Answers "does a character start at p?" for a rising sequence of p, never
// looking behind the last answer.
class BoundaryTracker {
public:
    explicit BoundaryTracker(std::string_view text) : text_(text) {}

    bool IsStart(size_t p) {
        size_t q = p;
        while (q > known_ && !IsNeverTrail(static_cast<unsigned char>(text_[q - 1]))) --q;
        while (q < p) q += GbkCharLength(text_, q);
        known_ = q;  // the first character start at or after p
        return q == p;
    }

private:
    std::string_view text_;
    size_t known_ = 0;
};

// The sought text prepared for matching: with ignore-case its single-byte
// letters are lower-cased and marked for folding; its trail bytes are not.
class Pattern {
public:
    Pattern(std::string_view sought, bool ignoreCase) : sought_(sought), ignoreCase_(ignoreCase) {
        if (!ignoreCase_) return;
        lowered_.assign(sought.begin(), sought.end());
        fold_.assign(sought.size(), false);
        for (size_t i = 0; i < sought.size();) {
            size_t len = GbkCharLength(sought, i);
            if (len == 1 && IsAsciiLetter(static_cast<unsigned char>(sought[i]))) {
                lowered_[i] = static_cast<char>(LowerAscii(static_cast<unsigned char>(sought[i])));
                fold_[i] = true;
            }
            i += len;
        }
    }

    // First byte-wise occurrence at or after from (not yet boundary-checked).
    size_t Candidate(std::string_view text, size_t from) const {
        if (!ignoreCase_) return text.find(sought_, from);
        const size_t m = sought_.size();
        if (m > text.size()) return std::string_view::npos;
        const size_t last = text.size() - m;  // last possible start
        if (!fold_[0]) {
            // The first byte must match exactly: let find() skip to it.
            while (from <= last) {
                size_t pos = text.find(lowered_[0], from);
                if (pos == std::string_view::npos || pos > last) return std::string_view::npos;
                if (MatchesAt(text, pos)) return pos;
                from = pos + 1;
            }
            return std::string_view::npos;
        }
        // First byte is a letter: follow both of its cases with memchr.
        const char lower = lowered_[0];
        const char upper = static_cast<char>(UpperAscii(static_cast<unsigned char>(lower)));
        auto scan = [&](char c, size_t at) -> size_t {
            if (at > last) return std::string_view::npos;
            const void* hit = std::memchr(text.data() + at, c, last + 1 - at);
            return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data())
                       : std::string_view::npos;
        };
        size_t nextLower = scan(lower, from);
        size_t nextUpper = scan(upper, from);
        while (nextLower != std::string_view::npos || nextUpper != std::string_view::npos) {
            size_t pos = std::min(nextLower, nextUpper);
            if (MatchesAt(text, pos)) return pos;
            if (pos == nextLower) nextLower = scan(lower, pos + 1);
            if (pos == nextUpper) nextUpper = scan(upper, pos + 1);
        }
        return std::string_view::npos;
    }

    size_t size() const { return sought_.size(); }

private:
    bool MatchesAt(std::string_view text, size_t pos) const {
        for (size_t k = 0; k < lowered_.size(); ++k) {
            unsigned char t = static_cast<unsigned char>(text[pos + k]);
            if (fold_[k]) t = LowerAscii(t);
            if (t != static_cast<unsigned char>(lowered_[k])) return false;
        }
        return true;
    }

    std::string_view sought_;
    bool ignoreCase_;
    std::string lowered_;
    std::vector<bool> fold_;
};

// First occurrence at or after from that starts on a character boundary.
size_t FindOnBoundary(std::string_view text, const Pattern& pattern, size_t from,
                      BoundaryTracker& boundary) {
    while (from + pattern.size() <= text.size()) {
        size_t pos = pattern.Candidate(text, from);
        if (pos == std::string_view::npos) break;
        if (boundary.IsStart(pos)) return pos;
        from = pos + 1;
    }
    return std::string_view::npos;
}

template <class Map>
Text MapSingleBytes(std::string_view text, Map map) {
    Text out(text);
    for (size_t i = 0; i < out.size();) {
        size_t len = GbkCharLength(out, i);
        if (len == 1) out[i] = static_cast<char>(map(static_cast<unsigned char>(out[i])));
        i += len;
    }
    return out;
}

bool IsFullWidthSpace(std::string_view text, size_t i) {
    return i + 1 < text.size() && text[i] == '\xA1' && text[i + 1] == '\xA1';
}

}  // namespace

bool IsGbkCharStart(std::string_view text, size_t i) {
    if (i > text.size()) return false;
    BoundaryTracker boundary(text);
    return boundary.IsStart(i);
}

// An empty sought text is never found (-1): a caller that steps on from a
// found position then cannot loop forever.
int Find(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
    if (sought.empty()) return -1;
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= text.size()) return -1;
    Pattern pattern(sought, ignoreCase);
    BoundaryTracker boundary(text);
    size_t pos = FindOnBoundary(text, pattern, from, boundary);
    if (pos == std::string_view::npos || pos >= static_cast<size_t>(INT_MAX)) return -1;
    return static_cast<int>(pos) + 1;
}

// A start below 1 acts as 1; a length of 0 or less gives the empty text.
Text Mid(std::string_view text, int start, int length) {
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (length <= 0 || from >= text.size()) return {};
    return Text(text.substr(from, static_cast<size_t>(length)));
}

// Bytes before the start position are kept as they are; count 0 replaces
// nothing, a negative count replaces every occurrence.
Text Replace(std::string_view text, std::string_view sought, std::string_view replacement,
             int start, int count, bool caseSensitive) {
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (sought.empty() || count == 0 || from >= text.size()) return Text(text);
    Pattern pattern(sought, !caseSensitive);
    BoundaryTracker boundary(text);
    Text out(text.substr(0, from));
    int done = 0;
    while (true) {
        size_t pos = FindOnBoundary(text, pattern, from, boundary);
        if (pos == std::string_view::npos) break;
        out.append(text.substr(from, pos - from));
        out.append(replacement);
        from = pos + sought.size();
        if (count > 0 && ++done == count) break;
    }
    out.append(text.substr(from));
    return out;
}

Text ToUpper(std::string_view text) { return MapSingleBytes(text, UpperAscii); }
Text ToLower(std::string_view text) { return MapSingleBytes(text, LowerAscii); }

Text Trim(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size()) {
        if (text[begin] == ' ') {
            begin += 1;
        } else if (IsFullWidthSpace(text, begin)) {
            begin += 2;
        } else {
            break;
        }
    }
    // Trailing spaces are found walking forward, since looking back from the
    // end cannot tell the pair A1 A1 from the trail of another character.
    size_t end = begin;
    for (size_t i = begin; i < text.size();) {
        size_t len = GbkCharLength(text, i);
        bool space = (len == 1 && text[i] == ' ') || (len == 2 && IsFullWidthSpace(text, i));
        i += len;
        if (!space) end = i;
    }
    return Text(text.substr(begin, end - begin));
}

// The empty text gives no pieces; an empty separator gives the whole text.
// Empty pieces between separators, and after a final one, are kept.
std::vector<Text> Split(std::string_view text, std::string_view separator) {
    std::vector<Text> pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    Pattern pattern(separator, false);
    BoundaryTracker boundary(text);
    size_t from = 0;
    while (true) {
        size_t pos = FindOnBoundary(text, pattern, from, boundary);
        if (pos == std::string_view::npos) break;
        pieces.emplace_back(text.substr(from, pos - from));
        from = pos + separator.size();
    }
    pieces.emplace_back(text.substr(from));
    return pieces;
}

// Full-width forms count as their ASCII counterparts (A3 B0..B9 are the
// digits, A3 AB and A3 AD the signs, A1 A1 the space). Leading spaces and
// tabs are skipped. A number beyond the int range saturates at its limit.
int ToInt(std::string_view text) {
    size_t i = 0;
    auto next = [&]() -> int {  // the character at i as ASCII, or -1
        if (i >= text.size()) return -1;
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (GbkCharLength(text, i) == 1) return b < 0x80 ? b : -1;
        unsigned char t = static_cast<unsigned char>(text[i + 1]);
        if (b == 0xA3 && t >= 0xA1 && t <= 0xFE) return t - 0x80;
        if (b == 0xA1 && t == 0xA1) return ' ';
        return -1;
    };
    auto step = [&] { i += GbkCharLength(text, i); };
    int c = next();
    while (c == ' ' || c == '\t') {
        step();
        c = next();
    }
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        step();
        c = next();
    }
    long long value = 0;
    while (c >= '0' && c <= '9') {
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (c - '0');
        step();
        c = next();
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

Text ToDecimalText(long long value) {
    // Built from the unsigned magnitude so LLONG_MIN needs no special case.
    unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char buffer[24];
    char* p = buffer + sizeof buffer;
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    return Text(p, buffer + sizeof buffer);
}

// A negative number is shown as its 64-bit two's complement (-1 gives
// "FFFFFFFFFFFFFFFF").
Text ToHexText(long long value) {
    unsigned long long bits = static_cast<unsigned long long>(value);
    char buffer[16];
    char* p = buffer + sizeof buffer;
    do {
        *--p = "0123456789ABCDEF"[bits & 0xF];
        bits >>= 4;
    } while (bits != 0);
    return Text(p, buffer + sizeof buffer);
}

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int start, bool caseSensitive) {
    Text startText = Replace(startMarker, kQuoteMarker, "\"");
    Text endText = Replace(endMarker, kQuoteMarker, "\"");
    int found = Find(text, startText, start, !caseSensitive);
    if (found < 0) return {};
    int contentStart = found + static_cast<int>(startText.size());
    int end = Find(text, endText, contentStart, !caseSensitive);
    if (end < 0) return {};
    return Mid(text, contentStart, end - contentStart);
}

Text ReplaceEach(std::string_view text, std::initializer_list<ReplacePair> pairs, int start,
                 int count, bool caseSensitive) {
    Text out(text);
    for (const ReplacePair& pair : pairs)
        out = Replace(out, pair.sought, pair.replacement, start, count, caseSensitive);
    return out;
}

}  // namespace sorvix
