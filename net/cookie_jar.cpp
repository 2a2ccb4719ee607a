// CookieJar::Merge: the answer's cookies first, then the old ones it did not
// set; deleted cookies dropped; exact repeats removed. The cookie text is the
// whole state. Covered by url_cookie_test.cpp.
#include <algorithm>

#include "net/gbk_text.h"
#include "net/http_client.h"
#include "text/text.h"

namespace sorvix {

using namespace net_detail;

namespace {

std::string CookieName(const std::string& item) {
    std::size_t eq = IndexOf(item, "=");
    return Trim(eq == std::string::npos ? item : item.substr(0, eq));
}

bool IsDeleted(const std::string& item) {
    static constexpr std::string_view kDeleted = "=deleted";
    return item.size() >= kDeleted.size() &&
           item.compare(item.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0;
}

// Empty pieces (from ";;" or a trailing ";") are not cookies: dropping them
// keeps an empty name from ever being sent as a cookie.
std::vector<std::string> Items(const std::string& text) {
    std::vector<std::string> items;
    for (std::string& piece : Split(text, ";")) {
        if (!piece.empty()) items.push_back(std::move(piece));
    }
    return items;
}

}  // namespace

Text CookieJar::Merge(Text& oldCookies, Text& newCookies) {
    oldCookies = RemoveSpaces(oldCookies);
    newCookies = RemoveSpaces(newCookies);

    std::vector<std::string> working = Items(newCookies);
    for (std::string& item : Items(oldCookies)) {
        std::string name = CookieName(item);
        bool present = std::any_of(working.begin(), working.end(),
                                   [&](const std::string& w) { return CookieName(w) == name; });
        if (!present) working.push_back(std::move(item));
    }

    std::vector<std::string> kept;
    for (std::string& item : working) {
        if (IsDeleted(item)) continue;
        if (std::find(kept.begin(), kept.end(), item) == kept.end()) kept.push_back(std::move(item));
    }
    Text merged;
    for (const std::string& item : kept) {
        if (!merged.empty()) merged += "; ";
        merged += item;
    }
    oldCookies = merged;
    return merged;
}

}  // namespace sorvix
