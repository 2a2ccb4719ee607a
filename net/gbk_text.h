// The few text helpers the network layer needs beyond the text layer's own
// GBK-aware routines (text/text.h, which net code calls directly for
// lower-casing, trimming, splitting and TextBetween): searches with 0-based
// positions, where npos means "absent", space removal and a bounded decimal
// parse. As in the text layer, a match never starts on a trail byte.
// Covered by tests/net/url_cookie_test.cpp and tests/text/.
#pragma once

#include <string>
#include <string_view>

namespace sorvix::net_detail {

// First occurrence of `needle` at or after byte `from` that starts on a
// character boundary; `ignoreCase` folds ASCII letters only. An empty needle
// is never found.
std::size_t IndexOf(std::string_view hay, std::string_view needle, std::size_t from = 0,
                    bool ignoreCase = false);
// Last occurrence starting on a character boundary.
std::size_t LastIndexOf(std::string_view hay, std::string_view needle);

bool Contains(std::string_view hay, std::string_view needle);

// Removes every ASCII space and GBK full-width space.
std::string RemoveSpaces(std::string_view s);

// Leading decimal digits as a number (after optional spaces); -1 when there
// are none or the value exceeds `limit`.
long long ParseDecimal(std::string_view s, long long limit);

}  // namespace sorvix::net_detail
