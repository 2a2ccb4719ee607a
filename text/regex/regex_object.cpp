// RegexObject over our engine (text/regex/regex.h). See regex_object.h.
#include "text/regex/regex_object.h"

#include <memory>
#include <string>
#include <vector>

#include "text/regex/program_cache.h"

namespace sorvix {

namespace {

// Every "#引号" becomes a double quote, left to right, without rescanning.
std::string ReplaceQuoteMarkers(std::string_view pattern) {
    std::string out;
    out.reserve(pattern.size());
    size_t i = 0;
    while (i < pattern.size()) {
        if (pattern.compare(i, kQuoteMarker.size(), kQuoteMarker) == 0) {
            out.push_back('"');
            i += kQuoteMarker.size();
        } else {
            out.push_back(pattern[i++]);
        }
    }
    return out;
}

}  // namespace

bool RegexObject::Search(std::string_view pattern, std::string_view subject, bool caseSensitive,
                         bool multiLine, bool global, bool quoteMarker) {
    texts_.clear();
    groupCount_ = 0;
    spans_.clear();
    std::shared_ptr<const regex::Regex> re =
        quoteMarker ? regex::ProgramCache::Shared().Get(ReplaceQuoteMarkers(pattern), !caseSensitive, multiLine)
                    : regex::ProgramCache::Shared().Get(pattern, !caseSensitive, multiLine);
    if (!re) return false;
    groupCount_ = re->GroupCount();
    re->FindAll(scratch_, subject, global, spans_);
    // Keep each match's bytes and move its offsets onto them; every group
    // lies inside its match.
    const size_t per = 2 * (static_cast<size_t>(groupCount_) + 1);
    size_t total = 0;
    for (size_t m = 0; m < spans_.size(); m += per) total += static_cast<size_t>(spans_[m + 1] - spans_[m]);
    texts_.reserve(total);
    for (size_t m = 0; m < spans_.size(); m += per) {
        const int begin = spans_[m];
        const int shift = static_cast<int>(texts_.size()) - begin;
        texts_.append(subject.substr(static_cast<size_t>(begin), static_cast<size_t>(spans_[m + 1] - begin)));
        for (size_t k = m; k < m + per; ++k) {
            if (spans_[k] >= 0) spans_[k] += shift;
        }
    }
    return !spans_.empty();
}

int RegexObject::MatchCount() const {
    return static_cast<int>(spans_.size() / (2 * (static_cast<size_t>(groupCount_) + 1)));
}

Text RegexObject::MatchText(int index) const { return SpanText(index, 0); }

Text RegexObject::GroupText(int index, int group) const {
    return group < 1 ? Text() : SpanText(index, group);
}

Text RegexObject::SpanText(int index, int group) const {
    if (index < 1 || index > MatchCount() || group < 0 || group > groupCount_) return {};
    size_t base = (static_cast<size_t>(index) - 1) * 2 * (static_cast<size_t>(groupCount_) + 1) +
                  2 * static_cast<size_t>(group);
    int b = spans_[base], e = spans_[base + 1];
    if (b < 0 || e < b) return {};
    return texts_.substr(static_cast<size_t>(b), static_cast<size_t>(e - b));
}

}  // namespace sorvix
