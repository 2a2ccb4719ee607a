// Matchers of regex.h: PikeVM, lazy DFA, bounded backtracker, prefix scan.
// None recurses; every work list is sized from the program, never from the
// subject (the backtracker's visited bits are sized from the window and
// capped by kBacktrackBudgetBits).
#include "text/regex/regex.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace sorvix::regex {

namespace {

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

}  // namespace

struct Regex::Scratch {
    SparseSet clist, nlist;
    std::vector<int> ccaps, ncaps;  // per instruction: slotCount ints
    std::vector<int> work;
    JobStack stack;
    std::vector<uint64_t> visited;
    // Per lazy gap: the position ranges its scans passed through, sorted.
    std::vector<std::vector<std::pair<size_t, size_t>>> gapSpans;
    std::vector<GapMemo> gapMemo;  // per lazy gap, for straight attempts of one FindAll
};

struct Regex::Dfa {
    std::vector<std::vector<int>> states;
    std::unordered_map<std::string, int> index;
    // states x classCount: the next state's row (its id times classCount),
    // so that a step is one add and one load; -2 unknown, -1 dead.
    std::vector<int32_t> trans;
    std::vector<uint8_t> isMatch;   // per state id
    std::vector<uint8_t> rowMatch;  // like trans: isMatch at each row's start
    SparseSet seen;
    std::vector<int> stack;
    std::vector<int> list;
    int start = -1;
    bool failed = false;
};

Regex::Regex() = default;
Regex::~Regex() = default;

bool Regex::Compile(std::string_view pattern, bool ignoreCase, bool multiLine, std::string* error) {
    ok_ = false;
    dfa_.reset();
    scratch_.reset();
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
    scratch_ = std::make_unique<Scratch>();
    const size_t ni = program_.insts.size();
    scratch_->clist.Resize(ni);
    scratch_->nlist.Resize(ni);
    scratch_->ccaps.assign(ni * program_.slotCount, -1);
    scratch_->ncaps.assign(ni * program_.slotCount, -1);
    scratch_->work.assign(program_.slotCount, -1);
    if (!program_.hasAssertions) {
        dfa_ = std::make_unique<Dfa>();
        dfa_->seen.Resize(ni);
        PrepareBacktracker();
    }
    ok_ = true;
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
            const bool fold = prog.prefixIgnoreCase && IsAsciiLetter(c);
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

// ---- Lazy DFA ---------------------------------------------------------------------

long long Regex::DfaEnd(std::string_view subject, size_t from) {
    Dfa& d = *dfa_;
    const Program& prog = program_;
    const size_t classes = static_cast<size_t>(prog.classCount);

    // Epsilon closure of pc, appended to d.list in priority order.
    auto closure = [&](int pc0) {
        d.stack.push_back(pc0);
        while (!d.stack.empty()) {
            int pc = d.stack.back();
            d.stack.pop_back();
            while (pc >= 0 && !d.seen.Contains(pc)) {
                d.seen.Insert(pc);
                const Inst& in = prog.insts[pc];
                switch (in.op) {
                    case Inst::Op::kJmp: case Inst::Op::kSave: case Inst::Op::kReset:
                        pc = in.out;
                        continue;
                    case Inst::Op::kSplit:
                        d.stack.push_back(in.out1);
                        pc = in.out;
                        continue;
                    case Inst::Op::kConsume: case Inst::Op::kMatch:
                        d.list.push_back(pc);
                        pc = -1;
                        continue;
                    case Inst::Op::kAssert:  // never here: patterns with assertions have no DFA
                    case Inst::Op::kFail:
                        pc = -1;
                        continue;
                }
            }
        }
    };
    // Registers d.list as a state (cut after its first Match); returns its id
    // or -1 when the cache is full.
    auto intern = [&]() -> int {
        for (size_t i = 0; i < d.list.size(); ++i) {
            if (prog.insts[d.list[i]].op == Inst::Op::kMatch) {
                d.list.resize(i + 1);
                break;
            }
        }
        if (d.list.empty()) return -1;  // dead; callers check before
        std::string key(reinterpret_cast<const char*>(d.list.data()), d.list.size() * sizeof(int));
        auto it = d.index.find(key);
        if (it != d.index.end()) return it->second;
        if (d.states.size() >= kDfaMaxStates || (d.states.size() + 1) * classes > kDfaMaxTransitions) {
            return -2;
        }
        int id = static_cast<int>(d.states.size());
        d.states.push_back(d.list);
        d.isMatch.push_back(prog.insts[d.list.back()].op == Inst::Op::kMatch);
        d.trans.resize(d.states.size() * classes, -2);
        d.rowMatch.resize(d.states.size() * classes, 0);
        d.rowMatch[static_cast<size_t>(id) * classes] = d.isMatch.back();
        d.index.emplace(std::move(key), id);
        return id;
    };

    if (d.start < 0) {
        d.seen.Clear();
        d.list.clear();
        closure(prog.unanchoredStart);
        d.start = intern();
        if (d.start < 0) {
            d.failed = true;
            return -2;
        }
    }
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    const bool usePrefix = !prefixFinder_.Empty();
    long long lastEnd = d.isMatch[d.start] ? static_cast<long long>(from) : -1;
    // Local copies: the compiler cannot keep the vectors' data in registers
    // across the stores of the loop. Refreshed whenever a state is added.
    const int32_t* trans = d.trans.data();
    const uint8_t* rowMatch = d.rowMatch.data();
    const uint16_t* byteClass = prog.byteClass;
    const size_t startRow = static_cast<size_t>(d.start) * classes;
    size_t row = startRow;
    size_t p = from;
    while (p < n) {
        if (row == startRow && usePrefix) {
            size_t q = NextCandidate(s, n, p);
            if (q == kNpos) break;
            p = q;
        }
        size_t len;
        int cls;
        unsigned char b = s[p];
        if (b < 0x81) {
            cls = byteClass[b];
            len = 1;
        } else {
            cls = prog.ClassAt(s, p, n, len);
        }
        int32_t next = trans[row + static_cast<size_t>(cls)];
        if (next == -2) {
            const size_t state = row / classes;
            d.seen.Clear();
            d.list.clear();
            for (int pc : d.states[state]) {
                const Inst& in = prog.insts[pc];
                if (in.op == Inst::Op::kMatch) break;
                if (in.op == Inst::Op::kConsume && prog.Member(in.arg, cls)) closure(in.out);
            }
            const int id = d.list.empty() ? -1 : intern();
            if (id == -2) {
                d.failed = true;
                return -2;
            }
            next = id < 0 ? -1 : static_cast<int32_t>(static_cast<size_t>(id) * classes);
            d.trans[row + static_cast<size_t>(cls)] = next;
            trans = d.trans.data();
            rowMatch = d.rowMatch.data();
        }
        if (next < 0) break;
        row = static_cast<size_t>(next);
        p += len;
        if (rowMatch[row]) lastEnd = static_cast<long long>(p);
    }
    return lastEnd;
}

// ---- PikeVM -----------------------------------------------------------------------

bool Regex::FindPike(std::string_view subject, size_t from, size_t hint, size_t end, int* slots) {
    const Program& prog = program_;
    Scratch& sc = *scratch_;
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
    auto addThread = [&](SparseSet& list, std::vector<int>& caps, int pc0, size_t p, int prev, int next) {
        sc.stack.push_back({pc0, 0, 0});
        Job j;
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

// ---- Lazy gaps ----------------------------------------------------------------------

size_t Regex::GapStop(const Gap& g, const unsigned char* s, size_t n, size_t p, size_t end, GapMemo* memo,
                      bool* exitHit) const {
    if (exitHit) *exitHit = false;
    if (g.fast) {
        // The loop cannot pass a blocking byte; those are below 0x40, so
        // never trail bytes, and where one is found a character begins. One
        // pass looks for both, so the cost is the distance to the stop.
        // An earlier search from at or before p saw neither an exit nor a
        // blocking byte up to memo->clearTo: carry on from there.
        size_t lo = p;
        if (memo && p >= memo->clearFrom && p < memo->clearTo) lo = std::min(memo->clearTo, end);
        size_t r = end;
        if (g.block[0] >= 0) {
            r = g.exit.FindOrStop(s, n, lo, end, p, exitHit);
        } else if (lo < end) {
            // Nothing stops the loop: the widest literal scan serves.
            r = std::min(end, g.exit.Find(s, n, lo, end - 1, p));
            if (exitHit) *exitHit = r < end;
        }
        if (r < end) return r;
        if (memo) {
            if (!(p >= memo->clearFrom && p <= memo->clearTo)) memo->clearFrom = p;
            memo->clearTo = end;
        }
        return end;
    }
    const Program& prog = program_;
    while (p < end) {
        unsigned char b = s[p];
        if (b < 0x81) {
            if (g.stopByte[b]) break;
            ++p;
            continue;
        }
        size_t len;
        if (g.stopClass[prog.ClassAt(s, p, n, len)]) break;
        p += len;
    }
    return p;
}

// ---- Straight attempt -------------------------------------------------------------

Regex::Outcome Regex::TryStraight(std::string_view subject, size_t start, int* slots) {
    const Program& prog = program_;
    Scratch& sc = *scratch_;
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
    for (const StraightOp* op = straight_.data(); steps <= specBudget_; ++op) {
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
                if (p + m > n || !SameFolded(s + p + v, run.lit.data() + v, run.fold.data() + v, m - v)) break;
                p += m;
                hit = false;
                continue;
            }
            case StraightOp::kGap: {
                // The first choice at every position before the stop is
                // the exit, which fails there; at the stop it is the exit.
                const size_t g = static_cast<size_t>(op->a);
                const size_t r = GapStop(gaps_[g], s, n, p, n, &sc.gapMemo[g], &hit);
                steps += static_cast<long long>((r - p) / 16);
                p = r;
                continue;
            }
            case StraightOp::kConsume: {
                size_t len;
                if (p >= n || !prog.Member(op->a, prog.ClassAt(s, p, n, len))) break;
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
    specBudget_ -= steps;
    return result;
}

// ---- Bounded backtracker ----------------------------------------------------------

Regex::Outcome Regex::FindBacktrack(std::string_view subject, size_t from, size_t end, int* slots,
                                    bool trustEnd) {
    const Program& prog = program_;
    Scratch& sc = *scratch_;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    const size_t joins = static_cast<size_t>(joinCount_);
    // Visited bits, position-major, so only the prefix a search touched
    // needs clearing before the next one.
    const size_t words = ((end - from + 1) * joins + 63) / 64;
    std::fill(sc.visited.begin(), sc.visited.begin() + std::min(dirtyWords_, sc.visited.size()), 0);
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
        Job j;
        while (sc.stack.NextExplore(j, sc.work.data())) {
            int pc = j.pc;
            size_t p = static_cast<size_t>(j.pos);
            for (;;) {
                if (counted && ++steps > specBudget_) return Outcome::kUnknown;
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
    if (counted) specBudget_ -= steps;
    dirtyWords_ = std::min(words, ((furthest - from + 1) * joins + 63) / 64);
    return result;
}

// ---- Search entry points ------------------------------------------------------------

bool Regex::Find(std::string_view subject, size_t from, size_t hint, int* slots, Strategy strategy) {
    if (!ok_ || from > subject.size() || subject.size() > 0x7FFFFFF0u) return false;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    const bool useDfa = dfa_ && !dfa_->failed && strategy != Strategy::kPikeVm;
    const size_t joins = std::max<size_t>(1, static_cast<size_t>(joinCount_));
    const size_t maxWidth = kBacktrackBudgetBits / joins;
    if (dfa_ && strategy == Strategy::kAuto && specBudget_ > 0) {
        size_t c = !prefixFinder_.Empty() ? NextCandidate(s, n, from) : from;
        if (c == kNpos) return false;
        // The path of first choices succeeds on most entries of a result
        // page; when it does, it is the leftmost-first match (nothing starts
        // before c, and it is the first path the backtracker would take).
        if (TryStraight(subject, c, slots) == Outcome::kFound) return true;
        size_t end = std::min({n, c + maxWidth - 1, c + kSpeculativeWindow});
        Outcome o = FindBacktrack(subject, c, end, slots, false);
        if (o == Outcome::kFound) return true;
        if (o == Outcome::kNone && end == n) return false;
        from = c;  // nothing starts before c
    }
    if (useDfa) {
        long long e = DfaEnd(subject, from);
        if (e == -1) return false;
        if (e >= 0) {
            size_t end = static_cast<size_t>(e);
            size_t ws = !prefixFinder_.Empty() ? NextCandidate(s, n, from) : from;
            if (ws == kNpos || ws > end) ws = from;  // cannot happen; stay correct
            bool backtrack = strategy == Strategy::kDfaBacktrack ||
                             (strategy == Strategy::kAuto && end - ws + 1 <= maxWidth);
            if (backtrack) return FindBacktrack(subject, ws, end, slots, true) == Outcome::kFound;
            return FindPike(subject, ws, ws, end, slots);
        }
    }
    return FindPike(subject, from, hint, n, slots);
}

int Regex::FindAll(std::string_view subject, bool global, std::vector<int>& slots, Strategy strategy) {
    if (!ok_) return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const size_t n = subject.size();
    std::vector<int> one(program_.slotCount);
    // Speculative backtracking may spend a few steps per subject byte in all;
    // past that the DFA answers, so the whole search stays linear.
    specBudget_ = 8 * static_cast<long long>(n) + (1 << 16);
    scratch_->gapMemo.assign(gaps_.size(), GapMemo{});
    int count = 0;
    size_t pos = 0, hint = 0;
    while (pos <= n) {
        if (!Find(subject, pos, hint, one.data(), strategy)) break;
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
