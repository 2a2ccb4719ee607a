// The network layer's 0-based searches over the text layer's 1-based
// routines, and its other small text helpers; see gbk_text.h.
#include "net/gbk_text.h"

#include "text/text.h"

namespace sorvix::net_detail {

namespace {

std::size_t ToIndex(int position) {
    return position < 1 ? std::string::npos : static_cast<std::size_t>(position - 1);
}

}  // namespace

std::size_t IndexOf(std::string_view hay, std::string_view needle, std::size_t from, bool ignoreCase) {
    if (from > hay.size()) return std::string::npos;
    return ToIndex(sorvix::Find(hay, needle, static_cast<int>(from) + 1, ignoreCase));
}

std::size_t LastIndexOf(std::string_view hay, std::string_view needle) {
    return ToIndex(sorvix::FindLast(hay, needle));
}

bool Contains(std::string_view hay, std::string_view needle) {
    return IndexOf(hay, needle) != std::string::npos;
}

std::string RemoveSpaces(std::string_view s) {
    // Full-width spaces first: removing an ASCII space first could join a
    // lone A1 byte on either side of it into a "space" that was never there.
    return sorvix::Replace(sorvix::Replace(s, "\xA1\xA1", ""), " ", "");
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
