// PikeVM: the Thompson simulation with captures. Guarantees: linear time
// (each instruction is taken at most once per subject position), memory
// bounded by the program (two thread lists and their captures), every
// pattern our syntax accepts, assertions included. Threads keep priority
// order and a Match cuts the lower-priority ones, so the answer is the
// leftmost-first match with its captures. The fallback of every other path.
#include "text/regex/regex.h"

#include <algorithm>

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

bool Regex::FindPike(State& st, std::string_view subject, size_t from, size_t hint, size_t end,
                     int* slots) const {
    const Program& prog = program_;
    State& sc = st;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    const int ns = prog.slotCount;

    auto classAt = [&](size_t i) -> int {
        if (i >= n) return -1;
        size_t len;
        return prog.ClassAt(s, i, n, len);
    };
    // Class of the character that ends at pos, walking from boundary b <= pos.
    auto classBefore = [&](size_t b, size_t pos) -> int {
        if (pos == 0) return -1;
        int cls = -1;
        while (b < pos) {
            size_t len;
            cls = prog.ClassAt(s, b, n, len);
            b += len;
        }
        return cls;
    };
    auto holds = [&](int kind, size_t p, int prev, int next) {
        switch (static_cast<AssertKind>(kind)) {
            case AssertKind::kLineStart:
                return p == 0 || (prog.multiLine && prev >= 0 && prog.isLineBreakClass[prev]);
            case AssertKind::kLineEnd:
                return p == n || (prog.multiLine && next >= 0 && prog.isLineBreakClass[next]);
            case AssertKind::kWordBoundary:
            case AssertKind::kNotWordBoundary: {
                bool a = prev >= 0 && prog.isWordClass[prev];
                bool b = next >= 0 && prog.isWordClass[next];
                return (a != b) == (static_cast<AssertKind>(kind) == AssertKind::kWordBoundary);
            }
        }
        return false;
    };
    // Follows empty transitions from pc at position p with captures in
    // sc.work; adds every Consume and Match reached to list, in priority order.
    auto addThread = [&](detail::SparseSet& list, std::vector<int>& caps, int pc0, size_t p, int prev, int next) {
        sc.stack.push_back({pc0, 0, 0});
        detail::Job j;
        while (sc.stack.NextExplore(j, sc.work.data())) {
            int pc = j.pc;
            while (pc >= 0 && !list.Contains(pc)) {
                list.Insert(pc);
                const Inst& in = prog.insts[pc];
                switch (in.op) {
                    case Inst::Op::kJmp:
                        pc = in.out;
                        break;
                    case Inst::Op::kSplit:
                        sc.stack.push_back({in.out1, 0, 0});
                        pc = in.out;
                        break;
                    case Inst::Op::kSave:
                        sc.stack.push_back({-1, in.arg, sc.work[in.arg]});
                        sc.work[in.arg] = static_cast<int>(p);
                        pc = in.out;
                        break;
                    case Inst::Op::kReset:
                        for (int k = in.arg; k < in.out1; ++k) {
                            sc.stack.push_back({-1, k, sc.work[k]});
                            sc.work[k] = -1;
                        }
                        pc = in.out;
                        break;
                    case Inst::Op::kAssert:
                        pc = holds(in.arg, p, prev, next) ? in.out : -1;
                        break;
                    case Inst::Op::kFail:
                        pc = -1;
                        break;
                    case Inst::Op::kConsume:
                    case Inst::Op::kMatch:
                        std::copy(sc.work.begin(), sc.work.end(), caps.begin() + static_cast<size_t>(pc) * ns);
                        pc = -1;
                        break;
                }
            }
        }
    };

    bool matched = false;
    size_t p = from;
    int prev = prog.hasAssertions ? classBefore(hint, from) : -1;
    sc.clist.Clear();
    // The work stack is shared with the backtracker, which leaves its
    // unexplored jobs behind when it finds a match.
    sc.stack.clear();
    for (;;) {
        if (!matched) {
            if (sc.clist.Empty() && !prefixFinder_.Empty()) {
                size_t q = NextCandidate(s, n, p);
                if (q == kNpos || q > end) break;
                if (q != p && prog.hasAssertions) prev = classBefore(p, q);
                p = q;
            }
            std::fill(sc.work.begin(), sc.work.end(), -1);
            addThread(sc.clist, sc.ccaps, prog.start, p, prev, prog.hasAssertions ? classAt(p) : -1);
        }
        if (sc.clist.Empty()) break;
        const bool atEnd = p >= end;
        size_t len = 0;
        int cls = atEnd ? -1 : prog.ClassAt(s, p, n, len);
        int after = (!atEnd && prog.hasAssertions) ? classAt(p + len) : -1;
        sc.nlist.Clear();
        for (int pc : sc.clist.Dense()) {
            const Inst& in = prog.insts[pc];
            if (in.op == Inst::Op::kConsume) {
                if (!atEnd && prog.Member(in.arg, cls)) {
                    const int* c = &sc.ccaps[static_cast<size_t>(pc) * ns];
                    std::copy(c, c + ns, sc.work.begin());
                    addThread(sc.nlist, sc.ncaps, in.out, p + len, cls, after);
                }
            } else if (in.op == Inst::Op::kMatch) {
                const int* c = &sc.ccaps[static_cast<size_t>(pc) * ns];
                std::copy(c, c + ns, slots);
                matched = true;
                break;  // lower-priority threads are cut off
            }
        }
        std::swap(sc.clist, sc.nlist);
        std::swap(sc.ccaps, sc.ncaps);
        if (atEnd) break;
        prev = cls;
        p += len;
    }
    return matched;
}

}  // namespace sorvix::regex
