// ProgramCache: compiled patterns kept for the whole process, shared by
// every thread that searches with them.
//
// A compiled Regex is immutable and safe to search with from many threads at
// once (each search brings its own Scratch), so one copy per pattern serves
// the process. Compiling costs far more than running over a result page (the
// character classes are built over every double-byte code), and every site
// search runs on a thread of its own, so a per-thread cache would start cold
// each time; this one compiles each pattern once.
//
// Guarantees: Get() compiles a key at most once while it stays cached, even
// when several threads ask for it at the same moment (the others wait for the
// one compiling); a rejected pattern is remembered as rejected. At most
// `capacity` keys are kept, the least recently used one going first; a
// program handed out stays alive while its holder keeps it. Nothing lives in
// thread-local storage (the MinGW runtime frees that in an order that crashed
// threads as they ended).
// Covered by tests/regex/program_cache_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "text/regex/regex.h"

namespace sorvix::regex {

class ProgramCache {
public:
    explicit ProgramCache(size_t capacity);
    ~ProgramCache();
    ProgramCache(const ProgramCache&) = delete;
    ProgramCache& operator=(const ProgramCache&) = delete;

    // The compiled pattern, or null when the engine rejects it.
    std::shared_ptr<const Regex> Get(std::string_view pattern, bool ignoreCase, bool multiLine);

    // Compiles this cache has run (successful or not), for tests.
    uint64_t Compilations() const;
    size_t Size() const;

    // The process-wide cache RegexObject uses; never destroyed, since
    // threads may still search while the process ends.
    static ProgramCache& Shared();

private:
    struct Slot;
    struct Entry;

    const size_t capacity_;
    mutable std::mutex mutex_;
    std::list<Entry> entries_;   // most recently used first
    uint64_t compilations_ = 0;
};

}  // namespace sorvix::regex
