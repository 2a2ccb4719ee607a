// ProgramCache (see program_cache.h).
#include "text/regex/program_cache.h"

#include <utility>

namespace sorvix::regex {

// One key's compiled program. The slot's own mutex is held while it
// compiles, so a second thread asking for the key waits for that result
// instead of compiling again; the cache's mutex is not held meanwhile, so
// other keys are not held up.
struct ProgramCache::Slot {
    std::mutex mutex;
    bool done = false;
    std::shared_ptr<const Regex> program;  // null when rejected
};

struct ProgramCache::Entry {
    std::string pattern;
    bool ignoreCase;
    bool multiLine;
    std::shared_ptr<Slot> slot;
};

ProgramCache::ProgramCache(size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}
ProgramCache::~ProgramCache() = default;

std::shared_ptr<const Regex> ProgramCache::Get(std::string_view pattern, bool ignoreCase, bool multiLine) {
    std::shared_ptr<Slot> slot;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->ignoreCase == ignoreCase && it->multiLine == multiLine && it->pattern == pattern) {
                entries_.splice(entries_.begin(), entries_, it);
                slot = it->slot;
                break;
            }
        }
        if (!slot) {
            if (entries_.size() >= capacity_) entries_.pop_back();
            slot = std::make_shared<Slot>();
            entries_.push_front(Entry{std::string(pattern), ignoreCase, multiLine, slot});
        }
    }
    std::lock_guard<std::mutex> lock(slot->mutex);
    if (!slot->done) {
        auto re = std::make_shared<Regex>();
        if (re->Compile(pattern, ignoreCase, multiLine)) slot->program = std::move(re);
        slot->done = true;
        std::lock_guard<std::mutex> count(mutex_);
        ++compilations_;
    }
    return slot->program;
}

uint64_t ProgramCache::Compilations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return compilations_;
}

size_t ProgramCache::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

ProgramCache& ProgramCache::Shared() {
    static ProgramCache* cache = new ProgramCache(32);
    return *cache;
}

}  // namespace sorvix::regex
