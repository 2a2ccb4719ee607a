// The text routines the network layer needs (find, between, trim, lower-case,
// split, space removal), as 0-based adapters over the text layer's GBK-aware
// routines (text/text.h): positions are 0-based here and npos means "absent".
// As there, a match never starts on a trail byte and lower-casing never
// touches one. Covered by tests/net/url_cookie_test.cpp and tests/text/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvix::net_detail {

// ASCII letters lower-cased, double-byte characters left alone.
std::string Lower(std::string_view s);

// First occurrence of `needle` at or after byte `from` that starts on a
// character boundary; `ignoreCase` folds ASCII letters only. An empty needle
// is never found.
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

// Splits at every `sep` (character-aligned), keeping empty pieces; the
// empty text gives no pieces.
std::vector<std::string> Split(std::string_view s, std::string_view sep);

// Leading decimal digits as a number (after optional spaces); -1 when there
// are none or the value exceeds `limit`.
long long ParseDecimal(std::string_view s, long long limit);

}  // namespace sorvix::net_detail
