// GBK-aware helpers of the network layer; see gbk_text.h.
#include "net/gbk_text.h"

namespace sorvix::net_detail {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchesAt(std::string_view hay, std::size_t at, std::string_view needle, bool ignoreCase) {
    if (hay.size() - at < needle.size()) return false;
    for (std::size_t k = 0; k < needle.size(); ++k) {
        char a = hay[at + k];
        char b = needle[k];
        if (ignoreCase) {
            a = FoldAscii(a);
            b = FoldAscii(b);
        }
        if (a != b) return false;
    }
    return true;
}

bool IsFullWidthSpaceAt(std::string_view s, std::size_t i) {
    return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xA1 &&
           static_cast<unsigned char>(s[i + 1]) == 0xA1;
}

}  // namespace

std::string Lower(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t n = CharLen(out, i);
        if (n == 1) out[i] = FoldAscii(out[i]);
        i += n;
    }
    return out;
}

std::size_t Find(std::string_view hay, std::string_view needle, std::size_t from, bool ignoreCase) {
    // Case folding of the needle is ASCII-only; a needle with GBK bytes is
    // compared byte for byte except for its single-byte letters, which is the
    // same thing because trail bytes only occur after lead bytes.
    for (std::size_t i = 0; i < hay.size(); i += CharLen(hay, i)) {
        if (i < from) continue;
        if (MatchesAt(hay, i, needle, ignoreCase)) return i;
    }
    if (needle.empty() && from <= hay.size()) return from;
    return std::string::npos;
}

std::size_t FindLast(std::string_view hay, std::string_view needle) {
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < hay.size(); i += CharLen(hay, i)) {
        if (MatchesAt(hay, i, needle, false)) found = i;
    }
    return found;
}

bool Contains(std::string_view hay, std::string_view needle) {
    return Find(hay, needle) != std::string::npos;
}

std::string TextBetween(std::string_view s, std::string_view start, std::string_view end) {
    std::size_t a = Find(s, start, 0, true);
    if (a == std::string::npos) return {};
    a += start.size();
    std::size_t b = Find(s, end, a, true);
    if (b == std::string::npos) return {};
    return std::string(s.substr(a, b - a));
}

std::string Trim(std::string_view s) {
    // Walk characters so that "A1 A1" is only taken as a space when it is a
    // whole character, never the trail of one character and the lead of next.
    std::size_t first = std::string::npos;
    std::size_t endPos = 0;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = CharLen(s, i);
        bool space = (n == 1 && s[i] == ' ') || (n == 2 && IsFullWidthSpaceAt(s, i));
        if (!space) {
            if (first == std::string::npos) first = i;
            endPos = i + n;
        }
        i += n;
    }
    if (first == std::string::npos) return {};
    return std::string(s.substr(first, endPos - first));
}

std::string RemoveSpaces(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = CharLen(s, i);
        bool space = (n == 1 && s[i] == ' ') || (n == 2 && IsFullWidthSpaceAt(s, i));
        if (!space) out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

std::vector<std::string> Split(std::string_view s, std::string_view sep) {
    std::vector<std::string> parts;
    if (sep.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t at = Find(s, sep, start);
        if (at == std::string::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, at - start));
        start = at + sep.size();
    }
}

long long ParseDecimal(std::string_view s, long long limit) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > limit) return -1;
    }
    return value;
}

}  // namespace sorvix::net_detail
