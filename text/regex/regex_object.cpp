// RegexObject over our engine (text/regex/regex.h). See regex_object.h.
#include "text/regex/regex_object.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "text/regex/regex.h"

namespace sorvix {

namespace {

// Compiling costs far more than running over a result page (the character
// classes are built over every double-byte code), and the sites run the same
// few patterns page after page. So compiled patterns are kept in one
// process-wide pool: a search takes a compiled copy of its pattern out (or
// compiles one), runs it and puts it back. A Regex is not thread-safe, so a
// copy is only ever used by the one search that took it. The pool is not
// per-thread storage on purpose: objects with destructors in thread-local
// storage are freed at thread exit in an order the MinGW runtime does not
// keep (the storage can go before the destructor runs), which crashed search
// threads as they ended.
constexpr size_t kPooledPatterns = 16;   // distinct patterns kept
constexpr size_t kCopiesPerPattern = 4;  // idle copies kept per pattern

struct PoolKey {
    std::string pattern;
    bool ignoreCase;
    bool multiLine;
    bool operator==(const PoolKey& o) const {
        return ignoreCase == o.ignoreCase && multiLine == o.multiLine && pattern == o.pattern;
    }
};

struct PoolEntry {
    PoolKey key;
    bool rejected = false;
    std::vector<std::unique_ptr<regex::Regex>> idle;
};

class PatternPool {
public:
    // A compiled copy of the pattern, or null when the engine rejects it.
    std::unique_ptr<regex::Regex> Take(const PoolKey& key) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (size_t i = 0; i < entries_.size(); ++i) {
                PoolEntry& e = entries_[i];
                if (!(e.key == key)) continue;
                std::rotate(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(i),
                            entries_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                PoolEntry& front = entries_.front();
                if (front.rejected) return nullptr;
                if (!front.idle.empty()) {
                    std::unique_ptr<regex::Regex> re = std::move(front.idle.back());
                    front.idle.pop_back();
                    return re;
                }
                break;
            }
        }
        auto re = std::make_unique<regex::Regex>();
        if (re->Compile(key.pattern, key.ignoreCase, key.multiLine)) return re;
        std::lock_guard<std::mutex> lock(mutex_);
        PoolEntry& e = EntryLocked(key);
        e.rejected = true;
        return nullptr;
    }

    void Give(const PoolKey& key, std::unique_ptr<regex::Regex> re) {
        std::lock_guard<std::mutex> lock(mutex_);
        PoolEntry& e = EntryLocked(key);
        if (e.idle.size() < kCopiesPerPattern) e.idle.push_back(std::move(re));
    }

private:
    PoolEntry& EntryLocked(const PoolKey& key) {
        for (PoolEntry& e : entries_)
            if (e.key == key) return e;
        if (entries_.size() == kPooledPatterns) entries_.pop_back();
        entries_.insert(entries_.begin(), PoolEntry{key, false, {}});
        return entries_.front();
    }

    std::mutex mutex_;
    std::vector<PoolEntry> entries_;   // most recently used first
};

PatternPool& Pool() {
    static PatternPool* pool = new PatternPool;   // never destroyed: threads may still search at exit
    return *pool;
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
    PoolKey key{effective, !caseSensitive, multiLine};
    std::unique_ptr<regex::Regex> re = Pool().Take(key);
    if (!re) return false;
    groupCount_ = re->GroupCount();
    re->FindAll(subject_, global, spans_);
    Pool().Give(key, std::move(re));
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
