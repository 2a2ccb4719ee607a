// Bounded backtracker: depth-first over the program in priority order, so
// the first Match it reaches is the leftmost-first match with its captures.
// Guarantees: each (join point, position) pair is explored once (visited
// bits), so time is linear in the window times the program, and memory is
// the window's bits (at most kBacktrackBudgetBits). Lazy gaps are passed by
// one scan, remembered per gap so a later arrival inside a scanned span is
// not scanned again. Run speculatively (window kSpeculativeWindow, steps
// from the search's budget) its answer may be "unknown"; run over a window
// the DFA has shown to hold the match's end it is exact.
#include "text/regex/regex.h"

#include <algorithm>
#include <cstring>

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

Regex::Outcome Regex::FindBacktrack(State& st, std::string_view subject, size_t from, size_t end,
                                    int* slots, bool trustEnd) const {
    const Program& prog = program_;
    State& sc = st;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    const size_t joins = static_cast<size_t>(joinCount_);
    // Visited bits, position-major, so only the prefix a search touched
    // needs clearing before the next one.
    const size_t words = ((end - from + 1) * joins + 63) / 64;
    std::fill(sc.visited.begin(), sc.visited.begin() + std::min(sc.dirtyWords, sc.visited.size()), 0);
    if (sc.visited.size() < words) sc.visited.resize(words, 0);
    size_t furthest = from;
    bool truncated = false;
    long long steps = 0;
    const bool counted = !trustEnd;
    auto gapStop = [&](const Gap& g, size_t p) { return GapStop(g, s, n, p, end, nullptr); };
    sc.gapSpans.resize(gaps_.size());
    for (auto& spans : sc.gapSpans) spans.clear();
    // True when a scan of gap g already passed through p (so p leads to the
    // stop of that scan, which was explored then).
    auto passedThrough = [&](int g, size_t p) {
        const auto& spans = sc.gapSpans[g];
        auto it = std::upper_bound(spans.begin(), spans.end(), std::make_pair(p, kNpos));
        if (it == spans.begin()) return false;
        --it;
        return p >= it->first && p < it->second;
    };
    auto addSpan = [&](int g, size_t lo, size_t hi) {
        auto& spans = sc.gapSpans[g];
        auto it = std::upper_bound(spans.begin(), spans.end(), std::make_pair(lo, kNpos));
        spans.insert(it, {lo, hi});
    };
    auto visit = [&](int row, size_t p) {  // true when (row, p) was new
        size_t bit = (p - from) * joins + static_cast<size_t>(row);
        uint64_t mask = uint64_t{1} << (bit % 64);
        if (sc.visited[bit / 64] & mask) return false;
        sc.visited[bit / 64] |= mask;
        return true;
    };

    auto explore = [&](size_t start) -> Outcome {
        std::fill(sc.work.begin(), sc.work.end(), -1);
        sc.stack.clear();
        sc.stack.push_back({prog.start, 0, static_cast<long long>(start)});
        detail::Job j;
        while (sc.stack.NextExplore(j, sc.work.data())) {
            int pc = j.pc;
            size_t p = static_cast<size_t>(j.pos);
            for (;;) {
                if (counted && ++steps > sc.specBudget) return Outcome::kUnknown;
                if (p > furthest) furthest = p;
                const int row = joinSlot_[pc];
                if (row >= 0 && !visit(row, p)) break;
                const Inst& in = prog.insts[pc];
                if (const int g = gapIndex_[pc]; g >= 0) {
                    // Positions before the stop only pass through the loop:
                    // their exits fail on the first character. Go straight to
                    // the stop, and remember the span so that a later arrival
                    // inside it is known to lead there too.
                    if (passedThrough(g, p)) break;
                    size_t r = gapStop(gaps_[g], p);
                    if (r > p) {
                        steps += static_cast<long long>((r - p) / 16);
                        if (r > furthest) furthest = r;
                        addSpan(g, p, r);
                        p = r;
                        continue;
                    }
                }
                if (const int r = runIndex_[pc]; r >= 0 && p + runs_[r].lit.size() <= end) {
                    // ASCII literals from a character boundary: byte by byte,
                    // and every byte is a whole character.
                    const Run& run = runs_[r];
                    const size_t m = run.lit.size();
                    if (!SameFolded(s + p, run.lit.data(), run.fold.data(), m)) break;
                    p += m;
                    pc = run.next;
                    continue;
                }
                if (in.op == Inst::Op::kConsume) {
                    if (p >= end) {
                        if (p < n && !trustEnd) truncated = true;
                        break;
                    }
                    size_t len;
                    int cls = prog.ClassAt(s, p, n, len);
                    if (!prog.Member(in.arg, cls)) break;
                    p += len;
                    pc = in.out;
                } else if (in.op == Inst::Op::kSplit) {
                    sc.stack.push_back({in.out1, 0, static_cast<long long>(p)});
                    pc = in.out;
                } else if (in.op == Inst::Op::kJmp) {
                    pc = in.out;
                } else if (in.op == Inst::Op::kSave) {
                    sc.stack.push_back({-1, in.arg, sc.work[in.arg]});
                    sc.work[in.arg] = static_cast<int>(p);
                    pc = in.out;
                } else if (in.op == Inst::Op::kReset) {
                    for (int k = in.arg; k < in.out1; ++k) {
                        sc.stack.push_back({-1, k, sc.work[k]});
                        sc.work[k] = -1;
                    }
                    pc = in.out;
                } else if (in.op == Inst::Op::kMatch) {
                    // A higher-priority path that was cut at the window's
                    // edge might have matched: then this one proves nothing.
                    if (truncated) return Outcome::kUnknown;
                    std::copy(sc.work.begin(), sc.work.end(), slots);
                    return Outcome::kFound;
                } else {
                    break;  // kFail; assertions never reach this path
                }
            }
        }
        return truncated ? Outcome::kUnknown : Outcome::kNone;
    };

    Outcome result = Outcome::kNone;
    size_t start = from;
    while (start != kNpos && start <= end) {
        result = explore(start);
        if (result != Outcome::kNone) break;
        if (start >= n) break;
        start += GbkCharLength(s, start, n);
        if (!prefixFinder_.Empty()) start = NextCandidate(s, n, start);
    }
    if (counted) sc.specBudget -= steps;
    sc.dirtyWords = std::min(words, ((furthest - from + 1) * joins + 63) / 64);
    return result;
}

}  // namespace sorvix::regex
