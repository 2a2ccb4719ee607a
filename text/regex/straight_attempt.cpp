// Straight attempt: from a candidate start, follows only the first choice
// at every step (the path laid out at compile time in analysis.cpp),
// passing lazy gaps by one scan and literal runs by one comparison.
// Guarantees: when it reaches Match, that is the leftmost-first match from
// this start (the first path any backtracker would take). It answers "no
// match from this start" only when the path it followed had no other
// choice: every gap on it ended at a byte the loop cannot pass (or at the
// subject's end) with no exit there, and then a literal or character failed.
// Otherwise it answers "unknown" and another path decides. Its
// steps are charged to the search's speculative budget, so it cannot make a
// search superlinear.
#include "text/regex/regex.h"

#include <algorithm>

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

Regex::Outcome Regex::TryStraight(State& st, std::string_view subject, size_t start, int* slots) const {
    const Program& prog = program_;
    State& sc = st;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    int* const work = sc.work.data();
    const int slotCount = prog.slotCount;
    for (int k = 0; k < slotCount; ++k) work[k] = -1;
    long long steps = static_cast<long long>(straight_.size());
    Outcome result = Outcome::kUnknown;
    size_t p = start;
    // True right after a literal hit (the prefix, where callers start, or
    // a gap's exit): the next run skips the bytes the hit compared.
    bool hit = !prefixFinder_.Empty();
    // Whether the path passed a place with another choice left (a gap that
    // stopped at its exit, or a gap whose stop cannot tell), and whether it
    // ended on a failed literal or character.
    bool open = false, failed = false;
    for (const StraightOp* op = straight_.data(); steps <= sc.specBudget; ++op) {
        switch (op->kind) {
            case StraightOp::kSave:
                work[op->a] = static_cast<int>(p);
                continue;
            case StraightOp::kReset:
                for (int k = op->a; k < op->b; ++k) work[k] = -1;
                continue;
            case StraightOp::kRun: {
                const Run& run = runs_[static_cast<size_t>(op->a)];
                const size_t m = run.lit.size();
                const size_t v = hit ? op->known : 0;
                if (p + m > n || !SameFolded(s + p + v, run.lit.data() + v, run.fold.data() + v, m - v)) {
                    failed = true;
                    break;
                }
                p += m;
                hit = false;
                continue;
            }
            case StraightOp::kGap: {
                // The first choice at every position before the stop is
                // the exit, which fails there; at the stop it is the exit.
                const size_t g = static_cast<size_t>(op->a);
                size_t scanned = 0;
                const size_t r = GapStop(gaps_[g], s, n, p, n, &sc.gapMemo[g], &hit, &scanned);
                // A fast gap stopped without its exit stopped at a byte its
                // loop cannot pass: no other way on from here.
                if (hit || !gaps_[g].fast) open = true;
                steps += static_cast<long long>(scanned / 16);
                p = r;
                continue;
            }
            case StraightOp::kConsume: {
                size_t len;
                if (p >= n || !prog.Member(op->a, prog.ClassAt(s, p, n, len))) {
                    failed = true;
                    break;
                }
                p += len;
                hit = false;
                continue;
            }
            case StraightOp::kMatch:
                for (int k = 0; k < slotCount; ++k) slots[k] = work[k];
                result = Outcome::kFound;
                break;
            case StraightOp::kGiveUp:
                break;
        }
        break;
    }
    sc.specBudget -= steps;
    if (result == Outcome::kUnknown && failed && !open) result = Outcome::kNone;
    return result;
}

}  // namespace sorvix::regex
