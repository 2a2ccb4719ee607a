// Small GBK-aware text routines the network layer needs (find, between,
// trim, lower-case, split, space removal). Positions are 0-based here and
// npos means "absent". GBK trail bytes include ASCII letters and symbols
// (0x40..0x7E), so every search walks whole characters: a match never starts
// on a trail byte, and lower-casing never touches a trail byte.
// Covered by tests/net/url_cookie_test.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvix::net_detail {

inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the character starting at `i` (1 or 2).
inline std::size_t CharLen(std::string_view s, std::size_t i) {
    return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// ASCII letters lower-cased, double-byte characters left alone.
std::string Lower(std::string_view s);

// First occurrence of `needle` at or after byte `from` that starts on a
// character boundary; `ignoreCase` folds ASCII letters only.
std::size_t Find(std::string_view hay, std::string_view needle, std::size_t from = 0,
                 bool ignoreCase = false);
// Last occurrence starting on a character boundary.
std::size_t FindLast(std::string_view hay, std::string_view needle);

bool Contains(std::string_view hay, std::string_view needle);

// The text after the first `start` up to the next `end`; empty when either is
// missing. Searches ignore case, as the text layer's default does.
std::string TextBetween(std::string_view s, std::string_view start, std::string_view end);

// Removes leading and trailing ASCII spaces and GBK full-width spaces (A1 A1).
std::string Trim(std::string_view s);
// Removes every ASCII space and GBK full-width space.
std::string RemoveSpaces(std::string_view s);

// Splits at every `sep` (character-aligned), keeping empty pieces.
std::vector<std::string> Split(std::string_view s, std::string_view sep);

// Leading decimal digits as a number (after optional spaces); -1 when there
// are none or the value exceeds `limit`.
long long ParseDecimal(std::string_view s, long long limit);

}  // namespace sorvix::net_detail
