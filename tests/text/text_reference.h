// Obviously correct, slow versions of Find and Replace for the tests and the
// fuzz target to compare with: they walk the text character by character from
// its start and compare at each character start.
#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace sorvix::test {

inline int ReferenceFind(const std::string& text, const std::string& sought, int start, bool ignoreCase) {
    if (sought.empty()) return -1;
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    std::vector<bool> fold(sought.size(), false);
    for (size_t k = 0; k < sought.size(); k += GbkCharLength(sought, k))
        fold[k] = ignoreCase && GbkCharLength(sought, k) == 1;
    for (size_t p = 0; p < text.size(); p += GbkCharLength(text, p)) {
        if (p < from || p + sought.size() > text.size()) continue;
        bool same = true;
        for (size_t k = 0; k < sought.size() && same; ++k) {
            char a = text[p + k], b = sought[k];
            if (fold[k]) {
                if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
                if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
            }
            same = a == b;
        }
        if (same) return static_cast<int>(p) + 1;
    }
    return -1;
}

inline std::string ReferenceReplace(const std::string& text, const std::string& sought,
                             const std::string& replacement, int start, int count, bool caseSensitive) {
    if (sought.empty() || count == 0) return text;
    std::string out;
    size_t copied = 0;
    int pos = start < 1 ? 1 : start, done = 0;
    while ((pos = ReferenceFind(text, sought, pos, !caseSensitive)) > 0) {
        out += text.substr(copied, static_cast<size_t>(pos - 1) - copied) + replacement;
        copied = static_cast<size_t>(pos - 1) + sought.size();
        pos = static_cast<int>(copied) + 1;
        if (count > 0 && ++done == count) break;
    }
    return out + text.substr(copied);
}

}  // namespace sorvix::test
