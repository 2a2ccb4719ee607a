// Compile-time facts for the matchers, derived once from the program and
// never changed by a search: the join points that get visited bits, the lazy
// gaps "X*?" and what stops them, the runs of ASCII literals compared in one
// go, the straight attempt's fixed path of first choices, and the literals
// every match must contain.
#include "text/regex/regex.h"

#include <algorithm>
#include <cstring>

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

namespace {

// Immediate dominators of the instructions reachable from start (-1 for the
// others): idom[x] is the last instruction every path from start to x
// passes through. The iterative algorithm over reverse postorder, which
// settles in a few passes on the graphs patterns make.
std::vector<int> Dominators(const Program& prog) {
    const int ni = static_cast<int>(prog.insts.size());
    auto successors = [&](int pc, int out[2]) {
        const Inst& in = prog.insts[pc];
        int k = 0;
        if (in.op == Inst::Op::kMatch || in.op == Inst::Op::kFail) return 0;
        if (in.out >= 0) out[k++] = in.out;
        if (in.op == Inst::Op::kSplit && in.out1 >= 0) out[k++] = in.out1;
        return k;
    };
    // Postorder by an explicit stack (no recursion on the program's size).
    std::vector<int> order, rpoIndex(ni, -1);
    std::vector<uint8_t> state(ni, 0);  // 0 new, 1 on the stack, 2 done
    std::vector<std::pair<int, int>> stack{{prog.start, 0}};
    state[prog.start] = 1;
    while (!stack.empty()) {
        auto& [pc, next] = stack.back();
        int succ[2];
        const int k = successors(pc, succ);
        if (next < k) {
            const int q = succ[next++];
            if (state[q] == 0) {
                state[q] = 1;
                stack.push_back({q, 0});
            }
            continue;
        }
        state[pc] = 2;
        order.push_back(pc);
        stack.pop_back();
    }
    std::reverse(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i) rpoIndex[order[i]] = static_cast<int>(i);
    std::vector<std::vector<int>> preds(ni);
    for (int pc : order) {
        int succ[2];
        const int k = successors(pc, succ);
        for (int i = 0; i < k; ++i) preds[succ[i]].push_back(pc);
    }
    std::vector<int> idom(ni, -1);
    idom[prog.start] = prog.start;
    auto intersect = [&](int a, int b) {
        while (a != b) {
            while (rpoIndex[a] > rpoIndex[b]) a = idom[a];
            while (rpoIndex[b] > rpoIndex[a]) b = idom[b];
        }
        return a;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 1; i < order.size(); ++i) {
            const int pc = order[i];
            int d = -1;
            for (int p : preds[pc]) {
                if (idom[p] < 0) continue;
                d = d < 0 ? p : intersect(p, d);
            }
            if (d != idom[pc]) {
                idom[pc] = d;
                changed = true;
            }
        }
    }
    return idom;
}

}  // namespace

void Regex::PrepareRequired() {
    required_.clear();
    const Program& prog = program_;
    const int ni = static_cast<int>(prog.insts.size());
    const std::vector<int> idom = Dominators(prog);
    int match = -1;
    for (int pc = 0; pc < ni; ++pc) {
        if (prog.insts[pc].op != Inst::Op::kMatch || idom[pc] < 0) continue;
        if (match >= 0) return;  // several ends: keep it simple, require nothing
        match = pc;
    }
    if (match < 0) return;
    // Every match passes the dominators of Match, in this order.
    std::vector<int> chain;
    for (int pc = match; pc != prog.start; pc = idom[pc]) chain.push_back(pc);
    std::reverse(chain.begin(), chain.end());
    // Where a path from a Consume goes before it consumes again: through
    // empty steps with one way out, it cannot go anywhere else.
    auto forcedNext = [&](int pc) {
        int q = prog.insts[pc].out;
        for (int steps = 0; q >= 0 && steps < 64; ++steps) {
            const Inst::Op op = prog.insts[q].op;
            if (op != Inst::Op::kSave && op != Inst::Op::kJmp && op != Inst::Op::kReset && op != Inst::Op::kAssert) break;
            q = prog.insts[q].out;
        }
        return q;
    };
    // Dominating literal characters, joined where one forcibly follows the
    // other, give literals every match holds.
    std::vector<std::string> literals;
    std::string current;
    int last = -1;
    for (int pc : chain) {
        const Inst& in = prog.insts[pc];
        if (in.op != Inst::Op::kConsume) continue;
        const int16_t lit = prog.setLiteral[in.arg];
        if (lit < 0) {
            if (!current.empty()) literals.push_back(current);
            current.clear();
            last = -1;
            continue;
        }
        if (current.empty() || last < 0 || forcedNext(last) != pc || current.size() >= 32) {
            if (!current.empty()) literals.push_back(current);
            current.clear();
        }
        current.push_back(static_cast<char>(lit));
        last = pc;
    }
    if (!current.empty()) literals.push_back(current);
    // The prefix is what candidates are found by already.
    std::vector<std::pair<int, std::string>> ranked;
    for (const std::string& l : literals) {
        if (!prog.prefix.empty() && prog.prefix.compare(0, l.size(), l) == 0) continue;
        int best = 1 << 20, second = 1 << 20;
        for (char ch : l) {
            const int r = ByteRank(static_cast<unsigned char>(ch), prog.prefixIgnoreCase);
            if (r < best) {
                second = best;
                best = r;
            } else if (r < second) {
                second = r;
            }
        }
        // Line feeds and tabs are what minifiers and reformatted templates
        // drop, so a literal holding one is the likeliest to be missing.
        const bool layout = l.find_first_of("\n\r\t") != std::string::npos;
        ranked.push_back({(layout ? 0 : 1000) + best + (second == (1 << 20) ? 100 : second), l});
    }
    // Likeliest missing first, so that the scan most likely to end a search
    // comes first.
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < ranked.size() && i < 4; ++i) {
        required_.emplace_back(ranked[i].second, prog.prefixIgnoreCase);
    }
}

bool Regex::MayMatchFrom(State& st, const unsigned char* s, size_t n, size_t from, size_t count) const {
    for (size_t i = 0; i < required_.size() && i < count; ++i) {
        size_t& at = st.requiredAt[i];
        if (at == kNpos) return false;
        if (at != State::kUnscanned && at >= from) continue;
        at = required_[i].Find(s, n, from);
        if (at == kNpos) return false;
    }
    return true;
}

void Regex::PrepareBacktracker() {
    const Program& prog = program_;
    const int ni = static_cast<int>(prog.insts.size());
    std::vector<int> indegree(ni, 0);
    ++indegree[prog.start];
    for (const Inst& in : prog.insts) {
        if (in.op == Inst::Op::kMatch || in.op == Inst::Op::kFail) continue;
        if (in.out >= 0) ++indegree[in.out];
        if (in.op == Inst::Op::kSplit && in.out1 >= 0) ++indegree[in.out1];
    }
    joinSlot_.assign(ni, -1);
    joinCount_ = 0;
    for (int pc = 0; pc < ni; ++pc) {
        if (indegree[pc] > 1) joinSlot_[pc] = joinCount_++;
    }
    // Lazy gaps "X*?" where X is one set: L: Split(exit, C), C: Consume(X) -> L.
    gapIndex_.assign(ni, -1);
    gaps_.clear();
    std::vector<int> stack;
    std::vector<uint8_t> seen(ni);
    for (int pc = 0; pc < ni; ++pc) {
        const Inst& in = prog.insts[pc];
        if (in.op != Inst::Op::kSplit || in.out1 < 0) continue;
        const Inst& loop = prog.insts[in.out1];
        if (loop.op != Inst::Op::kConsume || loop.out != pc) continue;
        // Sets the exit can begin with; give up if it can succeed or assert
        // without consuming, or lead back here.
        Gap gap;
        gap.stopClass.assign(prog.classCount, 0);
        std::fill(seen.begin(), seen.end(), 0);
        stack.assign(1, in.out);
        bool usable = true;
        while (!stack.empty() && usable) {
            int q = stack.back();
            stack.pop_back();
            if (q < 0 || seen[q]) continue;
            seen[q] = 1;
            const Inst& e = prog.insts[q];
            switch (e.op) {
                case Inst::Op::kConsume:
                    for (int c = 0; c < prog.classCount; ++c) {
                        if (prog.Member(e.arg, c)) gap.stopClass[c] = 1;
                    }
                    break;
                case Inst::Op::kSplit:
                    if (q == pc) usable = false;
                    stack.push_back(e.out);
                    stack.push_back(e.out1);
                    break;
                case Inst::Op::kJmp: case Inst::Op::kSave: case Inst::Op::kReset:
                    stack.push_back(e.out);
                    break;
                case Inst::Op::kFail:
                    break;
                case Inst::Op::kMatch: case Inst::Op::kAssert:
                    usable = false;
                    break;
            }
        }
        if (!usable) continue;
        for (int c = 0; c < prog.classCount; ++c) {
            if (!prog.Member(loop.arg, c)) gap.stopClass[c] = 1;
        }
        for (int b = 0; b < 256; ++b) gap.stopByte[b] = gap.stopClass[prog.byteClass[b]];
        // The exit's literal: consuming single characters after empty steps.
        std::string literal;
        for (int q = in.out; q >= 0 && literal.size() < 32;) {
            const Inst& e = prog.insts[q];
            if (e.op == Inst::Op::kSave || e.op == Inst::Op::kJmp || e.op == Inst::Op::kReset) {
                q = e.out;
            } else if (e.op == Inst::Op::kConsume && prog.setLiteral[e.arg] >= 0) {
                literal.push_back(static_cast<char>(prog.setLiteral[e.arg]));
                q = e.out;
            } else {
                break;
            }
        }
        gap.exit = LiteralFinder(literal, prog.prefixIgnoreCase);
        // Only ASCII bytes may stop the loop, at most two of them.
        bool asciiOnly = true;
        for (int b = 0x80; b < 256; ++b) {
            if (!prog.Member(loop.arg, prog.byteClass[b])) asciiOnly = false;
        }
        if (prog.doubleByteClass.empty()) {
            if (!prog.Member(loop.arg, prog.doubleByteUniformClass)) asciiOnly = false;
        } else {
            for (int code = 0; code < kGbkDoubleByteCount && asciiOnly; ++code) {
                if (IsGbkTrailByte(static_cast<unsigned char>(0x40 + code % kGbkTrailCount)) &&
                    !prog.Member(loop.arg, prog.doubleByteClass[code])) {
                    asciiOnly = false;
                }
            }
        }
        for (int b = 0; b < 0x80; ++b) {
            if (!prog.Member(loop.arg, prog.byteClass[b])) gap.blockBytes.push_back(static_cast<unsigned char>(b));
        }
        gap.fast = asciiOnly && gap.blockBytes.size() <= 2 && !gap.exit.Empty();
        for (size_t i = 0; i < gap.blockBytes.size() && i < 2; ++i) gap.block[i] = gap.blockBytes[i];
        gap.exit = LiteralFinder(literal, prog.prefixIgnoreCase, gap.block[0], gap.block[1]);
        for (unsigned char b : gap.blockBytes) {
            if (b >= 0x40) gap.fast = false;  // could be a trail byte: not a stop
        }
        gapIndex_[pc] = static_cast<int>(gaps_.size());
        gaps_.push_back(std::move(gap));
    }
    PrepareRuns();
}

void Regex::PrepareRuns() {
    const Program& prog = program_;
    const int ni = static_cast<int>(prog.insts.size());
    runIndex_.assign(ni, -1);
    runs_.clear();
    auto literalAt = [&](int q) {
        const Inst& in = prog.insts[q];
        return in.op == Inst::Op::kConsume ? prog.setLiteral[in.arg] : int16_t{-1};
    };
    for (int pc = 0; pc < ni; ++pc) {
        if (literalAt(pc) < 0) continue;
        Run run;
        int q = pc;
        while (q >= 0 && literalAt(q) >= 0 && (q == pc || joinSlot_[q] < 0)) {
            const unsigned char c = static_cast<unsigned char>(literalAt(q));
            // A one-character letter set under ignore-case holds both cases.
            const bool fold = prog.prefixIgnoreCase && detail::IsAsciiLetter(c);
            run.lit.push_back(static_cast<char>(fold ? (c | 0x20) : c));
            run.fold.push_back(static_cast<char>(fold ? 0x20 : 0));
            q = prog.insts[q].out;
        }
        if (run.lit.size() < 2) continue;
        run.next = q;
        runIndex_[pc] = static_cast<int>(runs_.size());
        runs_.push_back(std::move(run));
    }
    KnownRun(prog.start, prefixFinder_, prefixRun_, prefixRunKnown_);
    for (size_t pc = 0; pc < gapIndex_.size(); ++pc) {
        if (gapIndex_[pc] < 0) continue;
        Gap& g = gaps_[static_cast<size_t>(gapIndex_[pc])];
        if (g.fast) KnownRun(prog.insts[pc].out, g.exit, g.exitRun, g.exitRunKnown);
    }
    PrepareStraight();
}

void Regex::PrepareStraight() {
    const Program& prog = program_;
    constexpr size_t kMaxOps = 4096;
    straight_.clear();
    int pc = prog.start;
    // The run a literal hit has partly compared, if the next run is it.
    int knownRun = prefixFinder_.Empty() ? -1 : prefixRun_;
    size_t knownBytes = prefixRunKnown_;
    while (straight_.size() < kMaxOps) {
        StraightOp op;
        const Inst& in = prog.insts[pc];
        if (const int g = gapIndex_[pc]; g >= 0) {
            op.kind = StraightOp::kGap;
            op.a = g;
            const Gap& gap = gaps_[static_cast<size_t>(g)];
            knownRun = gap.fast ? gap.exitRun : -1;
            knownBytes = gap.exitRunKnown;
            pc = in.out;
        } else if (const int r = runIndex_[pc]; r >= 0) {
            op.kind = StraightOp::kRun;
            op.a = r;
            op.known = r == knownRun ? knownBytes : 0;
            knownRun = -1;
            pc = runs_[static_cast<size_t>(r)].next;
        } else if (in.op == Inst::Op::kSave) {
            op.kind = StraightOp::kSave;
            op.a = in.arg;
            pc = in.out;
        } else if (in.op == Inst::Op::kReset) {
            op.kind = StraightOp::kReset;
            op.a = in.arg;
            op.b = in.out1;
            pc = in.out;
        } else if (in.op == Inst::Op::kJmp) {
            pc = in.out;
            continue;
        } else if (in.op == Inst::Op::kConsume) {
            op.kind = StraightOp::kConsume;
            op.a = in.arg;
            knownRun = -1;
            pc = in.out;
        } else if (in.op == Inst::Op::kMatch) {
            op.kind = StraightOp::kMatch;
        }  // else another choice point or a failure: give up there
        straight_.push_back(op);
        if (op.kind == StraightOp::kMatch || op.kind == StraightOp::kGiveUp) return;
    }
    straight_.push_back(StraightOp{});  // too long a path: give up at its end
}

void Regex::KnownRun(int pc, const LiteralFinder& lit, int& run, size_t& known) const {
    run = -1;
    known = 0;
    const Program& prog = program_;
    for (int steps = 0; pc >= 0 && steps < 64; ++steps) {
        if (runIndex_[pc] >= 0) break;
        const Inst& in = prog.insts[pc];
        if (in.op != Inst::Op::kSave && in.op != Inst::Op::kJmp && in.op != Inst::Op::kReset) return;
        pc = in.out;
    }
    if (pc < 0 || runIndex_[pc] < 0) return;
    const Run& r = runs_[static_cast<size_t>(runIndex_[pc])];
    size_t k = 0;
    while (k < r.lit.size() && k < lit.Size() && r.lit[k] == lit.Folded()[k] && r.fold[k] == lit.FoldMask()[k]) ++k;
    run = runIndex_[pc];
    known = k;
}

size_t Regex::NextCandidate(const unsigned char* s, size_t n, size_t from) const {
    return prefixFinder_.Empty() ? from : prefixFinder_.Find(s, n, from);
}

}  // namespace sorvix::regex
