// Compiler of program.h: tree to Thompson program, sets to character classes.
#include "text/regex/program.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace sorvix::regex {

namespace {

// Sorted Unicode values of all mapped double-byte codes, and how many codes
// have no mapping (they match as U+FFFD).
struct DoubleByteIndexOfValues {
    std::vector<uint16_t> sorted;
    int unmapped = 0;
};

const DoubleByteIndexOfValues& ValuesOfDoubleBytes() {
    static const DoubleByteIndexOfValues values = [] {
        DoubleByteIndexOfValues v;
        const uint16_t* t = GbkDoubleByteToUnicode();
        for (int i = 0; i < kGbkDoubleByteCount; ++i) {
            if (!IsGbkTrailByte(static_cast<unsigned char>(0x40 + i % kGbkTrailCount))) continue;
            if (t[i]) v.sorted.push_back(t[i]);
            else ++v.unmapped;
        }
        std::sort(v.sorted.begin(), v.sorted.end());
        return v;
    }();
    return values;
}

// For each Unicode value below 0x10000, the double-byte code index that
// maps to it, or -1 (first code wins when two map to one value).
const std::vector<int32_t>& CodesByValue() {
    static const std::vector<int32_t> codes = [] {
        std::vector<int32_t> v(0x10000, -1);
        const uint16_t* t = GbkDoubleByteToUnicode();
        for (int i = 0; i < kGbkDoubleByteCount; ++i) {
            if (t[i] && v[t[i]] < 0) v[t[i]] = i;
        }
        return v;
    }();
    return codes;
}

// Codes in the table whose Unicode value lies in set (for uniformity tests).
size_t CountDoubleBytesIn(const CharSet& set) {
    const auto& v = ValuesOfDoubleBytes();
    size_t count = 0;
    for (const auto& r : set.Ranges()) {
        auto lo = std::lower_bound(v.sorted.begin(), v.sorted.end(), r.first);
        auto hi = std::upper_bound(v.sorted.begin(), v.sorted.end(), r.second);
        count += static_cast<size_t>(hi - lo);
    }
    if (set.Contains(0xFFFD)) count += static_cast<size_t>(v.unmapped);
    return count;
}

// Can n match the empty text? (Assertions count as empty.)
bool CanBeEmpty(const Node& n) {
    switch (n.kind) {
        case Node::Kind::kEmpty: case Node::Kind::kAssert: return true;
        case Node::Kind::kSet: return false;
        case Node::Kind::kConcat:
            for (const auto& c : n.children) {
                if (!CanBeEmpty(*c)) return false;
            }
            return true;
        case Node::Kind::kAlternate:
            for (const auto& c : n.children) {
                if (CanBeEmpty(*c)) return true;
            }
            return false;
        case Node::Kind::kGroup: return CanBeEmpty(*n.children[0]);
        case Node::Kind::kRepeat: return n.min == 0 || CanBeEmpty(*n.children[0]);
    }
    return true;
}

class Compiler {
public:
    Compiler(Program& prog, bool ignoreCase) : prog_(prog), ignoreCase_(ignoreCase) {}

    bool Run(const Node& root) {
        // Entry: Save 0, pattern, Save 1, Match.
        int match = Add({Inst::Op::kMatch, 0, -1, -1});
        int save1 = Add({Inst::Op::kSave, 1, match, -1});
        int body = Emit(root, save1);
        if (body < 0) return false;
        prog_.start = Add({Inst::Op::kSave, 0, body, -1});
        // Unanchored entry: prefer starting here, else consume any character
        // and try again; lowest priority, so a match cuts it off.
        CharSet all;
        all.Add(0, 0xFFFF);
        int anySet = SetId(all, false);
        int split = Add({Inst::Op::kSplit, 0, prog_.start, -1});
        int consume = Add({Inst::Op::kConsume, anySet, split, -1});
        prog_.insts[split].out1 = consume;
        prog_.unanchoredStart = split;
        return !tooBig_;
    }

    std::vector<CharSet> sets;

private:
    int Add(Inst inst) {
        if (prog_.insts.size() >= static_cast<size_t>(kMaxInstructions)) {
            tooBig_ = true;
            return 0;
        }
        prog_.insts.push_back(inst);
        return static_cast<int>(prog_.insts.size() - 1);
    }

    int SetId(const CharSet& raw, bool negated) {
        CharSet s = raw;
        if (ignoreCase_) s.AddCaseVariants();
        if (negated) s.Negate();
        for (size_t i = 0; i < sets.size(); ++i) {
            if (sets[i] == s) return static_cast<int>(i);
        }
        sets.push_back(std::move(s));
        return static_cast<int>(sets.size() - 1);
    }

    static void GroupRange(const Node& n, int& lo, int& hi) {
        if (n.kind == Node::Kind::kGroup) {
            lo = std::min(lo, n.group);
            hi = std::max(hi, n.group);
        }
        for (const auto& c : n.children) GroupRange(*c, lo, hi);
    }

    // Emits one iteration of a repeated node, clearing the captures inside it
    // first as ECMAScript does at the start of each iteration.
    int EmitIteration(const Node& n, int next) {
        int lo = 1 << 30, hi = -1;
        GroupRange(n, lo, hi);
        int body = Emit(n, next);
        return WithReset(lo, hi, body);
    }
    // The same for an iteration whose empty match must fail (see EmitPair).
    int EmitIterationPair(const Node& n, int ifEmpty, int ifConsumed) {
        int lo = 1 << 30, hi = -1;
        GroupRange(n, lo, hi);
        int body = EmitPair(n, ifEmpty, ifConsumed);
        return WithReset(lo, hi, body);
    }
    int WithReset(int lo, int hi, int body) {
        if (hi < 0 || tooBig_) return body;
        return Add({Inst::Op::kReset, 2 * lo, body, 2 * hi + 2});
    }

    int Fail() {
        if (failPc_ < 0) failPc_ = Add({Inst::Op::kFail, 0, -1, -1});
        return failPc_;
    }

    // Emits code for n that continues at next; returns its entry.
    int Emit(const Node& n, int next) {
        if (tooBig_) return 0;
        switch (n.kind) {
            case Node::Kind::kEmpty:
                return next;
            case Node::Kind::kSet:
                return Add({Inst::Op::kConsume, SetId(n.set, n.negated), next, -1});
            case Node::Kind::kConcat:
                for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) {
                    next = Emit(**it, next);
                }
                return next;
            case Node::Kind::kAlternate: {
                int entry = Emit(*n.children.back(), next);
                for (size_t i = n.children.size() - 1; i-- > 0;) {
                    int alt = Emit(*n.children[i], next);
                    entry = Add({Inst::Op::kSplit, 0, alt, entry});
                }
                return entry;
            }
            case Node::Kind::kGroup: {
                int close = Add({Inst::Op::kSave, 2 * n.group + 1, next, -1});
                int body = Emit(*n.children[0], close);
                return Add({Inst::Op::kSave, 2 * n.group, body, -1});
            }
            case Node::Kind::kAssert:
                prog_.hasAssertions = true;
                return Add({Inst::Op::kAssert, static_cast<int>(n.assertKind), next, -1});
            case Node::Kind::kRepeat:
                return EmitRepeat(n, -1, next, false).second;
        }
        return next;
    }

    // ECMAScript fails an iteration beyond the minimum that matched the empty
    // text. Whether an iteration has consumed anything so far is finite
    // state, so it is kept in the program counter: EmitPair emits code for n
    // that has not consumed yet and continues at ifEmpty when n matched
    // empty, at ifConsumed otherwise (that part is ordinary Emit code).
    int EmitPair(const Node& n, int ifEmpty, int ifConsumed) {
        if (tooBig_) return 0;
        switch (n.kind) {
            case Node::Kind::kEmpty:
                return ifEmpty;
            case Node::Kind::kSet:
                return Add({Inst::Op::kConsume, SetId(n.set, n.negated), ifConsumed, -1});
            case Node::Kind::kAssert:
                prog_.hasAssertions = true;
                return Add({Inst::Op::kAssert, static_cast<int>(n.assertKind), ifEmpty, -1});
            case Node::Kind::kConcat: {
                int e = ifEmpty, c = ifConsumed;
                for (size_t i = n.children.size(); i-- > 0;) {
                    int ne = EmitPair(*n.children[i], e, c);
                    if (i > 0) c = Emit(*n.children[i], c);
                    e = ne;
                }
                return e;
            }
            case Node::Kind::kAlternate: {
                int entry = EmitPair(*n.children.back(), ifEmpty, ifConsumed);
                for (size_t i = n.children.size() - 1; i-- > 0;) {
                    int alt = EmitPair(*n.children[i], ifEmpty, ifConsumed);
                    entry = Add({Inst::Op::kSplit, 0, alt, entry});
                }
                return entry;
            }
            case Node::Kind::kGroup: {
                int closeE = Add({Inst::Op::kSave, 2 * n.group + 1, ifEmpty, -1});
                int closeC = Add({Inst::Op::kSave, 2 * n.group + 1, ifConsumed, -1});
                int body = EmitPair(*n.children[0], closeE, closeC);
                return Add({Inst::Op::kSave, 2 * n.group, body, -1});
            }
            case Node::Kind::kRepeat:
                return EmitRepeat(n, ifEmpty, ifConsumed, true).first;
        }
        return ifEmpty;
    }

    // A repetition; returns (entry before anything was consumed, entry
    // after). Without pairMode only the second is built, continuing at next.
    std::pair<int, int> EmitRepeat(const Node& n, int ifEmpty, int next, bool pairMode) {
        const Node& child = *n.children[0];
        const bool emptyBody = CanBeEmpty(child);
        auto iteration = [&](int cont) {
            return emptyBody ? EmitIterationPair(child, Fail(), cont) : EmitIteration(child, cont);
        };
        int e = ifEmpty, c = next;
        if (n.max < 0) {
            int loop = Add({Inst::Op::kSplit, 0, -1, -1});
            int it = iteration(loop);
            if (tooBig_) return {0, 0};
            prog_.insts[loop].out = n.greedy ? it : next;
            prog_.insts[loop].out1 = n.greedy ? next : it;
            c = loop;
            if (pairMode) e = n.greedy ? Add({Inst::Op::kSplit, 0, it, ifEmpty}) : Add({Inst::Op::kSplit, 0, ifEmpty, it});
        } else {
            for (int i = n.min; i < n.max && !tooBig_; ++i) {
                int it = iteration(c);
                if (pairMode && i + 1 == n.max) {
                    e = n.greedy ? Add({Inst::Op::kSplit, 0, it, ifEmpty}) : Add({Inst::Op::kSplit, 0, ifEmpty, it});
                }
                c = n.greedy ? Add({Inst::Op::kSplit, 0, it, next}) : Add({Inst::Op::kSplit, 0, next, it});
            }
        }
        for (int i = 0; i < n.min && !tooBig_; ++i) {
            if (pairMode) e = EmitIterationPair(child, e, c);
            c = EmitIteration(child, c);
        }
        return {e, c};
    }

    Program& prog_;
    bool ignoreCase_;
    bool tooBig_ = false;
    int failPc_ = -1;
};

// ASCII literal the pattern must begin with: the leading single characters
// of the top-level sequence.
std::string LiteralPrefix(const Node& root) {
    std::string out;
    auto single = [](const Node& n, uint32_t& c) {
        if (n.kind != Node::Kind::kSet || n.negated) return false;
        const auto& r = n.set.Ranges();
        if (r.size() != 1 || r[0].first != r[0].second || r[0].first >= 0x80) return false;
        c = r[0].first;
        return true;
    };
    uint32_t c = 0;
    if (root.kind == Node::Kind::kConcat) {
        for (const auto& child : root.children) {
            if (!single(*child, c)) break;
            out.push_back(static_cast<char>(c));
        }
    } else if (single(root, c)) {
        out.push_back(static_cast<char>(c));
    }
    return out;
}

// Splits all characters into classes with the same membership in every set.
// One-byte characters: by signature. Double-byte codes: by refinement, one
// mixed set at a time, over plain arrays (no per-code signatures).
bool BuildClasses(const std::vector<CharSet>& sets, Program& prog) {
    const size_t k = sets.size();
    const size_t words = (k + 63) / 64;
    std::map<std::vector<uint64_t>, int> ids;
    std::vector<uint32_t> representative;  // a Unicode value of each class
    std::vector<uint64_t> sig(words);
    for (int b = 0; b < 256; ++b) {
        std::fill(sig.begin(), sig.end(), 0);
        uint32_t u = GbkSingleByteToUnicode(static_cast<unsigned char>(b));
        for (size_t i = 0; i < k; ++i) {
            if (sets[i].Contains(u)) sig[i / 64] |= uint64_t{1} << (i % 64);
        }
        auto [it, inserted] = ids.emplace(sig, static_cast<int>(representative.size()));
        if (inserted) representative.push_back(u);
        prog.byteClass[b] = static_cast<uint16_t>(it->second);
    }
    const size_t total = ValuesOfDoubleBytes().sorted.size() + ValuesOfDoubleBytes().unmapped;
    std::vector<size_t> mixed;
    for (size_t i = 0; i < k; ++i) {
        size_t count = CountDoubleBytesIn(sets[i]);
        if (count != total && count != 0) mixed.push_back(i);
    }
    const uint16_t* table = GbkDoubleByteToUnicode();
    auto valueOf = [&](int code) -> uint32_t { return table[code] ? table[code] : 0xFFFD; };
    const int firstDouble = static_cast<int>(representative.size());
    if (mixed.empty()) {
        // Every double-byte code behaves alike; any mapped one represents them.
        int code = 0;
        while (!table[code]) ++code;
        prog.doubleByteUniformClass = static_cast<uint16_t>(firstDouble);
        representative.push_back(table[code]);
    } else {
        std::vector<int> cls(kGbkDoubleByteCount, 0);  // local class ids, refined per set
        int classes = 1;
        std::vector<uint8_t> in(kGbkDoubleByteCount);
        const std::vector<int32_t>& byValue = CodesByValue();
        std::vector<int> split;
        for (size_t i : mixed) {
            std::fill(in.begin(), in.end(), 0);
            for (const auto& r : sets[i].Ranges()) {
                for (uint32_t u = r.first; u <= r.second && u <= 0xFFFF; ++u) {
                    if (byValue[u] >= 0) in[byValue[u]] = 1;
                }
            }
            if (sets[i].Contains(0xFFFD)) {
                for (int code = 0; code < kGbkDoubleByteCount; ++code) {
                    if (!table[code]) in[code] = 1;
                }
            }
            // Codes of one class that are in the set move to a new class.
            split.assign(classes, -1);
            for (int code = 0; code < kGbkDoubleByteCount; ++code) {
                if (!in[code]) continue;
                int& target = split[cls[code]];
                if (target < 0) target = classes++;
                cls[code] = target;
            }
            if (firstDouble + classes > 65535) return false;
        }
        // Classes that lost every code to their splits stay unused; compact.
        std::vector<int> final(classes, -1);
        prog.doubleByteClass.assign(kGbkDoubleByteCount, 0);
        for (int code = 0; code < kGbkDoubleByteCount; ++code) {
            if (!IsGbkTrailByte(static_cast<unsigned char>(0x40 + code % kGbkTrailCount))) continue;
            int& f = final[cls[code]];
            if (f < 0) {
                f = static_cast<int>(representative.size());
                representative.push_back(valueOf(code));
            }
            prog.doubleByteClass[code] = static_cast<uint16_t>(f);
        }
        prog.doubleByteUniformClass = prog.doubleByteClass[0];
    }
    prog.classCount = static_cast<int>(representative.size());
    prog.setCount = static_cast<int>(k);
    prog.member.assign(k * representative.size(), 0);
    for (size_t c = 0; c < representative.size(); ++c) {
        for (size_t i = 0; i < k; ++i) {
            prog.member[i * representative.size() + c] = sets[i].Contains(representative[c]);
        }
    }
    prog.isWordClass.assign(representative.size(), 0);
    prog.isLineBreakClass.assign(representative.size(), 0);
    return true;
}

}  // namespace

CompileResult Compile(std::string_view pattern, bool ignoreCase, bool multiLine, Program& out) {
    CompileResult result;
    out = Program();
    out.multiLine = multiLine;
    ParseResult parsed = Parse(DecodePattern(pattern));
    if (!parsed.root) {
        result.error = parsed.error;
        return result;
    }
    out.groupCount = parsed.groupCount;
    out.slotCount = 2 * (parsed.groupCount + 1);
    Compiler compiler(out, ignoreCase);
    if (!compiler.Run(*parsed.root)) {
        result.error = "pattern too large";
        return result;
    }
    // Assertions look at the characters around a position; give word
    // characters and line breaks sets of their own so their classes are pure.
    std::vector<CharSet> sets = compiler.sets;
    if (out.hasAssertions) {
        sets.push_back(WordSet());
        CharSet breaks;
        breaks.Add('\n', '\n');
        breaks.Add('\r', '\r');
        sets.push_back(breaks);
    }
    if (!BuildClasses(sets, out)) {
        result.error = "too many character classes";
        return result;
    }
    if (out.hasAssertions) {
        const int wordSet = static_cast<int>(sets.size() - 2);
        const int breakSet = static_cast<int>(sets.size() - 1);
        for (int c = 0; c < out.classCount; ++c) {
            out.isWordClass[c] = out.Member(wordSet, c);
            out.isLineBreakClass[c] = out.Member(breakSet, c);
        }
    }
    out.setLiteral.assign(out.setCount, -1);
    for (int i = 0; i < out.setCount; ++i) {
        const auto& r = sets[i].Ranges();
        auto ascii = [](uint32_t c) { return c < 0x80; };
        if (r.size() == 1 && r[0].first == r[0].second && ascii(r[0].first)) {
            out.setLiteral[i] = static_cast<int16_t>(r[0].first);
        } else if (ignoreCase && r.size() == 2 && r[0].first == r[0].second && r[1].first == r[1].second &&
                   ascii(r[1].first) && r[0].first + 32 == r[1].first && r[1].first >= 'a' && r[1].first <= 'z') {
            out.setLiteral[i] = static_cast<int16_t>(r[1].first);
        }
    }
    out.canMatchEmpty = CanBeEmpty(*parsed.root);
    out.prefix = LiteralPrefix(*parsed.root);
    out.prefixIgnoreCase = ignoreCase;
    result.ok = true;
    return result;
}

}  // namespace sorvix::regex
