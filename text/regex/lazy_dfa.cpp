// Lazy DFA: whether a leftmost-first match starts at or after a position,
// and where it ends. Guarantees: one table step per subject character, so
// linear time; states are subsets of the program's instructions in priority
// order, cut after the first Match, which gives the leftmost-first end
// (not the longest). States are built as the subject reaches them and kept
// in the search's Scratch (at most kDfaMaxStates states and
// kDfaMaxTransitions transitions); when the cache would outgrow that, the
// search gives up on the DFA and the PikeVM answers. Only assertion-free
// programs run here. Between matches, the literal prefix skips dead text.
#include "text/regex/regex.h"

#include "text/regex/search_state.h"

namespace sorvix::regex {

using detail::kNpos;

long long Regex::DfaEnd(State& st, std::string_view subject, size_t from) const {
    detail::Dfa& d = st.dfa;
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
        d.trans.resize(d.states.size() * classes, detail::Dfa::kUnknown);
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
    constexpr uint32_t kSpecial = detail::Dfa::kSpecial;
    long long lastEnd = d.isMatch[d.start] ? static_cast<long long>(from) : -1;
    // Local copies: the compiler cannot keep the vectors' data in registers
    // across the stores of the loop. Refreshed whenever a state is added.
    const uint32_t* trans = d.trans.data();
    const uint16_t* byteClass = prog.byteClass;
    const uint32_t startRow = static_cast<uint32_t>(d.start) * static_cast<uint32_t>(classes);
    uint32_t row = startRow;
    size_t p = from;
    if (usePrefix) {
        p = NextCandidate(s, n, p);
        if (p == kNpos) return lastEnd;
    }
    while (p < n) {
        // The common step: a one-byte character, a known ordinary state.
        // Four at a time while the subject lasts.
        while (p + 4 <= n) {
            const unsigned char b0 = s[p], b1 = s[p + 1], b2 = s[p + 2], b3 = s[p + 3];
            if ((b0 | b1 | b2 | b3) >= 0x80) break;
            uint32_t next = trans[row + byteClass[b0]];
            if (next >= kSpecial) break;
            row = next;
            next = trans[row + byteClass[b1]];
            if (next >= kSpecial) { p += 1; break; }
            row = next;
            next = trans[row + byteClass[b2]];
            if (next >= kSpecial) { p += 2; break; }
            row = next;
            next = trans[row + byteClass[b3]];
            if (next >= kSpecial) { p += 3; break; }
            row = next;
            p += 4;
        }
        if (p >= n) break;
        size_t len;
        int cls;
        const unsigned char b = s[p];
        if (b < 0x81) {
            cls = byteClass[b];
            len = 1;
        } else {
            cls = prog.ClassAt(s, p, n, len);
        }
        uint32_t next = trans[row + static_cast<uint32_t>(cls)];
        if (next < kSpecial) {
            row = next;
            p += len;
            continue;
        }
        if (next == detail::Dfa::kUnknown) {
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
            if (id < 0) {
                next = detail::Dfa::kDead;
            } else {
                next = static_cast<uint32_t>(static_cast<size_t>(id) * classes);
                if (d.isMatch[static_cast<size_t>(id)] || (usePrefix && id == d.start)) next |= kSpecial;
            }
            d.trans[row + static_cast<uint32_t>(cls)] = next;
            trans = d.trans.data();
        }
        if (next == detail::Dfa::kDead) break;
        row = next & ~kSpecial;
        p += len;
        if (d.isMatch[row / classes]) lastEnd = static_cast<long long>(p);
        if (usePrefix && row == startRow) {
            p = NextCandidate(s, n, p);
            if (p == kNpos) break;
        }
    }
    return lastEnd;
}

}  // namespace sorvix::regex
