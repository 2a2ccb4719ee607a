// See reference_matcher.h. Works on decoded characters; positions are
// character indices, turned into byte offsets at the end.
#include "reference_matcher.h"

#include <functional>

#include "text/gbk.h"
#include "text/regex/syntax.h"

namespace sorvix::test {
namespace {

using regex::AssertKind;
using regex::Node;

struct State {
    int end;
    std::vector<int> caps;  // character indices, -1 = undefined
};
using Cont = std::function<bool(const State&)>;
using Matcher = std::function<bool(const State&, const Cont&)>;

struct Ref {
    std::vector<uint32_t> chars;
    bool ignoreCase = false, multiLine = false;
    State result;

    static uint32_t Canon(uint32_t c) {
        uint32_t u = regex::SimpleUpper(c);
        return (c >= 0x80 && u < 0x80) ? c : u;
    }
    bool InSet(const Node& n, uint32_t ch) const {
        bool in = n.set.Contains(ch);
        if (!in && ignoreCase) {
            for (uint32_t a : {regex::SimpleUpper(ch), regex::SimpleLower(ch),
                               regex::SimpleLower(regex::SimpleUpper(ch))}) {
                if (n.set.Contains(a) && Canon(a) == Canon(ch)) in = true;
            }
        }
        return in != n.negated;
    }
    static bool IsWord(uint32_t c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    }
    static bool IsBreak(uint32_t c) { return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029; }

    static void Groups(const Node& n, int& lo, int& hi) {
        if (n.kind == Node::Kind::kGroup) {
            lo = std::min(lo, n.group);
            hi = std::max(hi, n.group);
        }
        for (const auto& c : n.children) Groups(*c, lo, hi);
    }

    bool Repeat(const Node& n, int min, int max, const State& x, const Cont& c) {
        if (max == 0) return c(x);
        Cont d = [&, min, max, x](const State& y) {
            if (min == 0 && y.end == x.end) return false;
            return Repeat(n, min == 0 ? 0 : min - 1, max < 0 ? -1 : max - 1, y, c);
        };
        State xr = x;
        int lo = 1 << 30, hi = -1;
        Groups(*n.children[0], lo, hi);
        for (int g = lo; g <= hi; ++g) xr.caps[2 * g] = xr.caps[2 * g + 1] = -1;
        if (min != 0) return M(*n.children[0], xr, d);
        if (!n.greedy) {
            if (c(x)) return true;
            return M(*n.children[0], xr, d);
        }
        if (M(*n.children[0], xr, d)) return true;
        return c(x);
    }

    bool Seq(const Node& n, size_t i, const State& x, const Cont& c) {
        if (i == n.children.size()) return c(x);
        return M(*n.children[i], x, [&, i](const State& y) { return Seq(n, i + 1, y, c); });
    }

    bool M(const Node& n, const State& x, const Cont& c) {
        const int len = static_cast<int>(chars.size());
        switch (n.kind) {
            case Node::Kind::kEmpty: return c(x);
            case Node::Kind::kSet: {
                if (x.end >= len || !InSet(n, chars[x.end])) return false;
                State y = x;
                ++y.end;
                return c(y);
            }
            case Node::Kind::kConcat: return Seq(n, 0, x, c);
            case Node::Kind::kAlternate:
                for (const auto& alt : n.children) {
                    if (M(*alt, x, c)) return true;
                }
                return false;
            case Node::Kind::kGroup:
                return M(*n.children[0], x, [&](const State& y) {
                    State z = y;
                    z.caps[2 * n.group] = x.end;
                    z.caps[2 * n.group + 1] = y.end;
                    return c(z);
                });
            case Node::Kind::kRepeat: return Repeat(n, n.min, n.max, x, c);
            case Node::Kind::kAssert: {
                const int e = x.end;
                bool ok = false;
                switch (n.assertKind) {
                    case AssertKind::kLineStart: ok = e == 0 || (multiLine && IsBreak(chars[e - 1])); break;
                    case AssertKind::kLineEnd: ok = e == len || (multiLine && IsBreak(chars[e])); break;
                    case AssertKind::kWordBoundary:
                    case AssertKind::kNotWordBoundary: {
                        bool a = e > 0 && IsWord(chars[e - 1]);
                        bool b = e < len && IsWord(chars[e]);
                        ok = (a != b) == (n.assertKind == AssertKind::kWordBoundary);
                        break;
                    }
                }
                return ok && c(x);
            }
        }
        return false;
    }
};

}  // namespace

bool ReferenceFindAll(std::string_view pattern, std::string_view subject, bool ignoreCase,
                      bool multiLine, bool global, std::vector<int>& spans) {
    regex::ParseResult parsed = regex::Parse(regex::DecodePattern(pattern));
    if (!parsed.root) return false;
    Ref ref;
    ref.ignoreCase = ignoreCase;
    ref.multiLine = multiLine;
    // Decode the subject; offsets[i] is the byte offset of character i.
    std::vector<int> offsets;
    const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
    const uint16_t* table = GbkDoubleByteToUnicode();
    for (size_t i = 0; i < subject.size();) {
        size_t len = GbkCharLength(s, i, subject.size());
        offsets.push_back(static_cast<int>(i));
        if (len == 2) {
            uint16_t u = table[GbkDoubleByteIndex(s[i], s[i + 1])];
            ref.chars.push_back(u ? u : 0xFFFD);
        } else {
            ref.chars.push_back(GbkSingleByteToUnicode(s[i]));
        }
        i += len;
    }
    offsets.push_back(static_cast<int>(subject.size()));
    const int slots = 2 * (parsed.groupCount + 1);
    const int len = static_cast<int>(ref.chars.size());
    int from = 0;
    while (from <= len) {
        bool found = false;
        for (int start = from; start <= len && !found; ++start) {
            State x{start, std::vector<int>(slots, -1)};
            found = ref.M(*parsed.root, x, [&](const State& y) {
                ref.result = y;
                ref.result.caps[0] = start;
                ref.result.caps[1] = y.end;
                return true;
            });
        }
        if (!found) break;
        for (int v : ref.result.caps) spans.push_back(v < 0 ? -1 : offsets[v]);
        if (!global) break;
        from = ref.result.caps[1] == ref.result.caps[0] ? ref.result.caps[1] + 1 : ref.result.caps[1];
    }
    return true;
}

}  // namespace sorvix::test
