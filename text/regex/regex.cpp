// Regex: compiling, and the choice among the matchers for each search (see
// regex.h for the order of preference). The matchers themselves live in
// pike_vm.cpp, lazy_dfa.cpp, backtracker.cpp and straight_attempt.cpp; the
// compile-time facts they share are derived in analysis.cpp.
#include "text/regex/regex.h"

#include <algorithm>
#include <atomic>

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

namespace {
std::atomic<uint64_t> g_nextId{1};
}  // namespace

Scratch::Scratch() = default;
Scratch::~Scratch() = default;
Scratch::Scratch(Scratch&&) noexcept = default;
Scratch& Scratch::operator=(Scratch&&) noexcept = default;

Regex::Regex() = default;
Regex::~Regex() = default;

bool Regex::Compile(std::string_view pattern, bool ignoreCase, bool multiLine, std::string* error) {
    ok_ = false;
    useDfa_ = false;
    id_ = 0;
    prefixFinder_ = LiteralFinder();
    CompileResult r = regex::Compile(pattern, ignoreCase, multiLine, program_);
    if (!r.ok) {
        if (error) *error = r.error;
        return false;
    }
    // Per-instruction capture storage of the PikeVM must stay modest.
    if (program_.insts.size() * static_cast<size_t>(program_.slotCount) > (size_t{8} << 20)) {
        if (error) *error = "pattern too large";
        return false;
    }
    prefixFinder_ = LiteralFinder(program_.prefix, program_.prefixIgnoreCase);
    PrepareRequired();
    if (!program_.hasAssertions) {
        useDfa_ = true;
        PrepareBacktracker();
    }
    id_ = g_nextId.fetch_add(1, std::memory_order_relaxed);
    ok_ = true;
    return true;
}

void Regex::Prepare(State& st) const {
    if (st.owner == id_) return;
    // Another program's buffers (or none yet): size them for this one. The
    // DFA starts empty; its states then stay for later searches.
    const size_t ni = program_.insts.size();
    st.owner = id_;
    st.clist.Resize(ni);
    st.nlist.Resize(ni);
    st.ccaps.assign(ni * program_.slotCount, -1);
    st.ncaps.assign(ni * program_.slotCount, -1);
    st.work.assign(program_.slotCount, -1);
    st.visited.clear();
    st.dirtyWords = 0;
    st.gapSpans.clear();
    st.dfa = detail::Dfa();
    if (useDfa_) st.dfa.seen.Resize(ni);
}

// ---- Search entry points ------------------------------------------------------------

bool Regex::Find(State& st, std::string_view subject, size_t from, size_t hint, int* slots,
                 Strategy strategy) const {
    if (!ok_ || from > subject.size() || subject.size() > 0x7FFFFFF0u) return false;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    const bool useDfa = useDfa_ && !st.dfa.failed && strategy != Strategy::kPikeVm;
    const size_t joins = std::max<size_t>(1, static_cast<size_t>(joinCount_));
    const size_t maxWidth = kBacktrackBudgetBits / joins;
    bool mayMatchChecked = false;
    if (useDfa_ && strategy == Strategy::kAuto && st.specBudget > 0) {
        size_t c = !prefixFinder_.Empty() ? NextCandidate(s, n, from) : from;
        // The path of first choices succeeds on most entries of a result
        // page; when it does, it is the leftmost-first match (nothing starts
        // before c, and it is the first path the backtracker would take).
        // When it shows that nothing starts at c, the next candidate is
        // tried the same way: a decoy costs one straight attempt.
        // The first search of a subject asks for the likeliest missing
        // required literal at once: on a page that holds it, it is found
        // within the first entry, and a page that lacks it (minified, or
        // hostile) costs one scan in all. The others wait for a failure.
        if (c != kNpos && !required_.empty() && st.requiredAt[0] == State::kUnscanned) {
            if (!MayMatchFrom(st, s, n, c, 1)) return false;
        }
        for (;;) {
            if (c == kNpos) return false;
            const Outcome o = TryStraight(st, subject, c, slots);
            if (o == Outcome::kFound) return true;
            if (o != Outcome::kNone || st.specBudget <= 0) break;
            if (c >= n) return false;
            c = NextCandidate(s, n, c + GbkCharLength(s, c, n));
        }
        // Only now ask for the required literals: on a page whose entries
        // match, the straight attempt answers and their scans are never paid.
        if (!MayMatchFrom(st, s, n, c)) return false;
        mayMatchChecked = true;
        size_t end = std::min({n, c + maxWidth - 1, c + kSpeculativeWindow});
        Outcome o = FindBacktrack(st, subject, c, end, slots, false);
        if (o == Outcome::kFound) return true;
        if (o == Outcome::kNone && end == n) return false;
        from = c;  // nothing starts before c
    }
    if (!mayMatchChecked && !MayMatchFrom(st, s, n, from)) return false;
    if (useDfa) {
        long long e = DfaEnd(st, subject, from);
        if (e == -1) return false;
        if (e >= 0) {
            size_t end = static_cast<size_t>(e);
            size_t ws = !prefixFinder_.Empty() ? NextCandidate(s, n, from) : from;
            if (ws == kNpos || ws > end) ws = from;  // cannot happen; stay correct
            bool backtrack = strategy == Strategy::kDfaBacktrack ||
                             (strategy == Strategy::kAuto && end - ws + 1 <= maxWidth);
            if (backtrack) return FindBacktrack(st, subject, ws, end, slots, true) == Outcome::kFound;
            return FindPike(st, subject, ws, ws, end, slots);
        }
    }
    return FindPike(st, subject, from, hint, n, slots);
}

int Regex::FindAll(std::string_view subject, bool global, std::vector<int>& slots, Strategy strategy) const {
    Scratch scratch;
    return FindAll(scratch, subject, global, slots, strategy);
}

int Regex::FindAll(Scratch& scratch, std::string_view subject, bool global, std::vector<int>& slots,
                   Strategy strategy) const {
    if (!ok_) return 0;
    if (!scratch.state_) scratch.state_ = std::make_unique<State>();
    State& st = *scratch.state_;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    std::vector<int> one(program_.slotCount);
    // Speculative backtracking may spend a few steps per subject byte in all;
    // past that the DFA answers, so the whole search stays linear.
    Prepare(st);
    st.specBudget = 8 * static_cast<long long>(n) + (1 << 16);
    st.gapMemo.assign(gaps_.size(), GapMemo{});
    st.requiredAt.assign(required_.size(), State::kUnscanned);
    int count = 0;
    size_t pos = 0, hint = 0;
    while (pos <= n) {
        if (!Find(st, subject, pos, hint, one.data(), strategy)) break;
        slots.insert(slots.end(), one.begin(), one.end());
        ++count;
        if (!global) break;
        size_t b = static_cast<size_t>(one[0]), e = static_cast<size_t>(one[1]);
        hint = b;
        if (e == b) {
            // An empty match: the next search starts one character on.
            if (e >= n) break;
            hint = e;
            pos = e + GbkCharLength(s, e, n);
        } else {
            pos = e;
        }
    }
    return count;
}

}  // namespace sorvix::regex
