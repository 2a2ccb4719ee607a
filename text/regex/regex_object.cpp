// RegexObject over our engine (text/regex/regex.h). See regex_object.h.
#include "text/regex/regex_object.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "text/regex/regex.h"

namespace sorvix {

namespace {

// Compiling costs far more than running over a result page (the character
// classes are built over every double-byte code), and the sites run the same
// few patterns page after page. So each thread keeps its last few compiled
// patterns, most recent first; a rejected pattern is kept as null so that it
// is not parsed again. Regex is not thread-safe, hence one cache per thread.
constexpr size_t kCachedPatterns = 8;

struct CachedPattern {
    std::string pattern;
    bool ignoreCase;
    bool multiLine;
    std::unique_ptr<regex::Regex> re;  // null: rejected
};

regex::Regex* CompiledPattern(const std::string& pattern, bool ignoreCase, bool multiLine) {
    thread_local std::vector<CachedPattern> cache;
    for (size_t i = 0; i < cache.size(); ++i) {
        CachedPattern& c = cache[i];
        if (c.ignoreCase == ignoreCase && c.multiLine == multiLine && c.pattern == pattern) {
            std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                        cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return cache.front().re.get();
        }
    }
    auto re = std::make_unique<regex::Regex>();
    if (!re->Compile(pattern, ignoreCase, multiLine)) re.reset();
    if (cache.size() == kCachedPatterns) cache.pop_back();
    cache.insert(cache.begin(), CachedPattern{pattern, ignoreCase, multiLine, std::move(re)});
    return cache.front().re.get();
}

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
    subject_.assign(subject);
    groupCount_ = 0;
    spans_.clear();
    const std::string effective = quoteMarker ? ReplaceQuoteMarkers(pattern) : std::string(pattern);
    regex::Regex* re = CompiledPattern(effective, !caseSensitive, multiLine);
    if (!re) return false;
    groupCount_ = re->GroupCount();
    re->FindAll(subject_, global, spans_);
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
    return subject_.substr(static_cast<size_t>(b), static_cast<size_t>(e - b));
}

}  // namespace sorvix
