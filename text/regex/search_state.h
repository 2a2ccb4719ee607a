// Per-search state of the matchers (internal to text/regex). A Scratch holds
// everything a search writes: the PikeVM's thread lists, the lazy DFA's state
// cache, the backtracker's visited bits and work stack, the gap memos and the
// speculative step budget. The compiled Regex is never written during a
// search, so one Regex serves many threads, each with its own Scratch.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/regex/regex.h"

namespace sorvix::regex::detail {

constexpr size_t kNpos = static_cast<size_t>(-1);


// Set of instruction indices that remembers insertion order (priority).
class SparseSet {
public:
    void Resize(size_t n) {
        sparse_.assign(n, 0);
        dense_.clear();
        dense_.reserve(n);
    }
    bool Contains(int v) const {
        unsigned i = sparse_[v];
        return i < dense_.size() && dense_[i] == v;
    }
    void Insert(int v) {
        sparse_[v] = static_cast<unsigned>(dense_.size());
        dense_.push_back(v);
    }
    void Clear() { dense_.clear(); }
    bool Empty() const { return dense_.empty(); }
    const std::vector<int>& Dense() const { return dense_; }

private:
    std::vector<unsigned> sparse_;
    std::vector<int> dense_;
};

inline bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

struct Job {
    int pc;     // >= 0: explore pc at pos; -1: restore slot to value
    int slot;
    long long pos;  // pos for explore; the old value for restore
};

// The backtracker's and PikeVM's work stack: a vector whose push stays
// inline (growth, rare, goes out of line).
class JobStack {
public:
    void push_back(const Job& j) {
        if (size_ == jobs_.size()) Grow();
        jobs_[size_++] = j;
    }
    // Pops jobs, carrying out slot restores, up to the next job that
    // explores; false when none is left.
    bool NextExplore(Job& j, int* work) {
        while (size_ != 0) {
            j = jobs_[--size_];
            if (j.pc >= 0) return true;
            work[j.slot] = static_cast<int>(j.pos);
        }
        return false;
    }
    void clear() { size_ = 0; }

private:
    [[gnu::noinline]] void Grow() { jobs_.resize(std::max<size_t>(64, jobs_.size() * 2)); }
    std::vector<Job> jobs_;
    size_t size_ = 0;
};

// The lazy DFA's cache: states built as a search meets them. It grows
// during a search, so it lives in the scratch, never in the program.
struct Dfa {
    std::vector<std::vector<int>> states;
    std::unordered_map<std::string, int> index;
    // states x classCount: the next state's row (its id times classCount),
    // so that a step is one add and one load. A row that needs a look on
    // arrival (a match state, or the start state when a literal prefix can
    // skip ahead from it) carries kSpecial; kDead and kUnknown are above
    // it too, so the common step is a single compare.
    static constexpr uint32_t kSpecial = 1u << 30;
    static constexpr uint32_t kUnknown = 0xFFFFFFFEu;
    static constexpr uint32_t kDead = 0xFFFFFFFFu;
    std::vector<uint32_t> trans;
    std::vector<uint8_t> isMatch;   // per state id
    SparseSet seen;
    std::vector<int> stack;
    std::vector<int> list;
    int start = -1;
    bool failed = false;
};

}  // namespace sorvix::regex::detail

namespace sorvix::regex {

struct Scratch::State {
    uint64_t owner = 0;  // Regex::Id() of the program the buffers are sized for
    detail::SparseSet clist, nlist;
    std::vector<int> ccaps, ncaps;  // per instruction: slotCount ints
    std::vector<int> work;
    detail::JobStack stack;
    std::vector<uint64_t> visited;
    size_t dirtyWords = 0;          // visited words the last backtrack touched
    // Per lazy gap: the position ranges its scans passed through, sorted.
    std::vector<std::vector<std::pair<size_t, size_t>>> gapSpans;
    std::vector<detail::GapMemo> gapMemo;  // per lazy gap, for straight attempts of one FindAll
    long long specBudget = 0;       // steps left for speculative backtracking
    // Per required literal: where it next occurs at or after the last
    // position asked about; kNpos once it occurs nowhere further; kUnscanned
    // before the first question of a FindAll.
    static constexpr size_t kUnscanned = detail::kNpos - 1;
    std::vector<size_t> requiredAt;
    bool hasDfa = false;
    detail::Dfa dfa;
};

}  // namespace sorvix::regex
