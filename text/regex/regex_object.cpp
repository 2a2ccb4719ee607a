// RegexObject over our engine (text/regex/regex.h). See regex_object.h.
#include "text/regex/regex_object.h"

#include <memory>
#include <mutex>
#include <utility>
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

// Idle search states, lent to one Search at a time. A state last used with
// the same program is preferred (its DFA states are built already); the pool
// is a plain process-wide list, not thread-local storage (see
// program_cache.h).
class ScratchPool {
public:
    std::unique_ptr<regex::Scratch> Take(uint64_t program) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = idle_.size(); i-- > 0;) {
            if (idle_[i].first != program) continue;
            std::unique_ptr<regex::Scratch> s = std::move(idle_[i].second);
            idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
            return s;
        }
        return std::make_unique<regex::Scratch>();
    }
    void Give(uint64_t program, std::unique_ptr<regex::Scratch> s) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (idle_.size() >= kIdle) idle_.erase(idle_.begin());   // the oldest goes
        idle_.emplace_back(program, std::move(s));
    }

private:
    static constexpr size_t kIdle = 16;
    std::mutex mutex_;
    std::vector<std::pair<uint64_t, std::unique_ptr<regex::Scratch>>> idle_;
};

ScratchPool& Scratches() {
    static ScratchPool* pool = new ScratchPool;   // never destroyed: threads may still search at exit
    return *pool;
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
    std::unique_ptr<regex::Scratch> scratch = Scratches().Take(re->Id());
    re->FindAll(*scratch, subject, global, spans_);
    Scratches().Give(re->Id(), std::move(scratch));
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
