// Parser and character sets of syntax.h. Recursive descent; the depth of
// nested groups is capped (kMaxNesting), so the recursion is bounded by a
// constant whatever the pattern.
#include "text/regex/syntax.h"

#include <algorithm>
#include <cstdio>

#include "text/gbk.h"

namespace sorvix::regex {

namespace {

constexpr int kMaxNesting = 200;

}  // namespace

// ---- CharSet -------------------------------------------------------------------

void CharSet::Add(uint32_t lo, uint32_t hi) {
    if (lo > hi) return;
    ranges_.emplace_back(lo, hi);
    Normalize();
}

void CharSet::Add(const CharSet& other) {
    ranges_.insert(ranges_.end(), other.ranges_.begin(), other.ranges_.end());
    Normalize();
}

void CharSet::Normalize() {
    std::sort(ranges_.begin(), ranges_.end());
    std::vector<std::pair<uint32_t, uint32_t>> merged;
    for (const auto& r : ranges_) {
        if (!merged.empty() && r.first <= merged.back().second + 1) {
            merged.back().second = std::max(merged.back().second, r.second);
        } else {
            merged.push_back(r);
        }
    }
    ranges_ = std::move(merged);
}

void CharSet::Negate() {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    uint32_t next = 0;
    for (const auto& r : ranges_) {
        if (r.first > 0xFFFF) break;
        if (r.first > next) out.emplace_back(next, r.first - 1);
        next = r.second + 1;
    }
    if (next <= 0xFFFF) out.emplace_back(next, 0xFFFF);
    ranges_ = std::move(out);
}

bool CharSet::Contains(uint32_t c) const {
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), std::make_pair(c, UINT32_MAX));
    if (it == ranges_.begin()) return false;
    --it;
    return c >= it->first && c <= it->second;
}

uint32_t SimpleUpper(uint32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    if (c >= 0x2170 && c <= 0x217F) return c - 16;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
    return c;
}

uint32_t SimpleLower(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1u;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x2160 && c <= 0x216F) return c + 16;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
    return c;
}

void CharSet::AddCaseVariants() {
    // Only these blocks hold letters with a case partner that GBK can encode.
    static constexpr std::pair<uint32_t, uint32_t> kCased[] = {
        {'A', 'Z'}, {'a', 'z'}, {0xC0, 0x17F}, {0x391, 0x3C9},
        {0x400, 0x45F}, {0x2160, 0x217F}, {0xFF21, 0xFF5A}};
    std::vector<std::pair<uint32_t, uint32_t>> extra;
    auto want = [&](uint32_t v) {
        if (!Contains(v)) extra.emplace_back(v, v);
    };
    for (const auto& r : ranges_) {
        for (const auto& block : kCased) {
            uint32_t lo = std::max(r.first, block.first), hi = std::min(r.second, block.second);
            for (uint32_t c = lo; c <= hi && lo <= hi; ++c) {
                uint32_t up = SimpleUpper(c);
                // ECMAScript never folds a non-ASCII letter onto an ASCII one.
                if (c >= 0x80 && up < 0x80) continue;
                want(up);
                want(SimpleLower(c));
                want(SimpleLower(up));
                if (up == 0x3A3) want(0x3C2);  // final sigma shares the capital
            }
        }
    }
    if (extra.empty()) return;
    ranges_.insert(ranges_.end(), extra.begin(), extra.end());
    Normalize();
}

CharSet DigitSet() {
    CharSet s;
    s.Add('0', '9');
    return s;
}

CharSet WordSet() {
    CharSet s;
    s.Add('0', '9');
    s.Add('A', 'Z');
    s.Add('_', '_');
    s.Add('a', 'z');
    return s;
}

CharSet SpaceSet() {
    CharSet s;
    s.Add(0x09, 0x0D);
    s.Add(0x20, 0x20);
    s.Add(0xA0, 0xA0);
    s.Add(0x1680, 0x1680);
    s.Add(0x2000, 0x200A);
    s.Add(0x2028, 0x2029);
    s.Add(0x202F, 0x202F);
    s.Add(0x205F, 0x205F);
    s.Add(0x3000, 0x3000);
    s.Add(0xFEFF, 0xFEFF);
    return s;
}

CharSet LineTerminatorSet() {
    CharSet s;
    s.Add('\n', '\n');
    s.Add('\r', '\r');
    s.Add(0x2028, 0x2029);
    return s;
}

CharSet DotSet() {
    CharSet s = LineTerminatorSet();
    s.Negate();
    return s;
}

std::u32string DecodePattern(std::string_view gbk) {
    const auto* s = reinterpret_cast<const unsigned char*>(gbk.data());
    const size_t n = gbk.size();
    const uint16_t* table = GbkDoubleByteToUnicode();
    std::u32string out;
    for (size_t i = 0; i < n;) {
        size_t len = GbkCharLength(s, i, n);
        if (len == 2) {
            uint16_t u = table[GbkDoubleByteIndex(s[i], s[i + 1])];
            out.push_back(u ? u : 0xFFFD);
        } else {
            out.push_back(GbkSingleByteToUnicode(s[i]));
        }
        i += len;
    }
    return out;
}

// ---- Parser -----------------------------------------------------------------------

namespace {

int HexValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

bool IsAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::unique_ptr<Node> MakeSet(const CharSet& set, bool negated = false) {
    auto n = std::make_unique<Node>();
    n->kind = Node::Kind::kSet;
    n->set = set;
    n->negated = negated;
    return n;
}

std::unique_ptr<Node> MakeChar(uint32_t c) {
    CharSet s;
    s.Add(c, c);
    return MakeSet(s);
}

class Parser {
public:
    explicit Parser(const std::u32string& p) : p_(p) {}

    ParseResult Run() {
        ParseResult r;
        auto root = ParseDisjunction(0);
        if (root && pos_ < p_.size()) Fail("unmatched )");
        if (!error_.empty()) {
            r.error = error_;
            return r;
        }
        r.root = std::move(root);
        r.groupCount = groups_;
        return r;
    }

private:
    bool AtEnd() const { return pos_ >= p_.size(); }
    char32_t Peek(size_t ahead = 0) const {
        return pos_ + ahead < p_.size() ? p_[pos_ + ahead] : 0xFFFFFFFF;
    }
    std::unique_ptr<Node> Fail(const char* why) {
        if (error_.empty()) error_ = why;
        return nullptr;
    }

    std::unique_ptr<Node> ParseDisjunction(int depth) {
        if (depth > kMaxNesting) return Fail("groups nested too deeply");
        std::vector<std::unique_ptr<Node>> alternatives;
        for (;;) {
            auto alt = ParseAlternative(depth);
            if (!alt) return nullptr;
            alternatives.push_back(std::move(alt));
            if (Peek() != '|') break;
            ++pos_;
        }
        if (alternatives.size() == 1) return std::move(alternatives[0]);
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::kAlternate;
        n->children = std::move(alternatives);
        return n;
    }

    std::unique_ptr<Node> ParseAlternative(int depth) {
        auto cat = std::make_unique<Node>();
        cat->kind = Node::Kind::kConcat;
        while (!AtEnd() && Peek() != '|' && Peek() != ')') {
            auto term = ParseTerm(depth);
            if (!term) return nullptr;
            cat->children.push_back(std::move(term));
        }
        if (cat->children.empty()) {
            cat->kind = Node::Kind::kEmpty;
        } else if (cat->children.size() == 1) {
            return std::move(cat->children[0]);
        }
        return cat;
    }

    // Reads {n}, {n,}, {n,m} at pos_ when it is one; pos_ moves past it.
    bool ReadBraces(int& min, int& max) {
        size_t p = pos_ + 1;
        auto number = [&](long long& v) {
            size_t start = p;
            v = 0;
            while (p < p_.size() && p_[p] >= '0' && p_[p] <= '9') {
                v = std::min<long long>(v * 10 + (p_[p] - '0'), 1LL << 40);
                ++p;
            }
            return p > start;
        };
        long long lo = 0, hi = 0;
        if (!number(lo)) return false;
        if (p < p_.size() && p_[p] == '}') {
            hi = lo;
        } else if (p < p_.size() && p_[p] == ',') {
            ++p;
            if (p < p_.size() && p_[p] == '}') {
                hi = -1;
            } else if (!number(hi) || p >= p_.size() || p_[p] != '}') {
                return false;
            }
        } else {
            return false;
        }
        pos_ = p + 1;
        min = static_cast<int>(std::min<long long>(lo, kMaxRepeat + 1));
        max = hi < 0 ? -1 : static_cast<int>(std::min<long long>(hi, kMaxRepeat + 1));
        if (hi >= 0 && lo > hi) error_ = "numbers out of order in {} quantifier";
        else if (lo > kMaxRepeat || hi > kMaxRepeat) error_ = "repeat count too large";
        return true;
    }

    bool AtQuantifier() {
        char32_t c = Peek();
        if (c == '*' || c == '+' || c == '?') return true;
        if (c == '{') {
            size_t save = pos_;
            int a, b;
            std::string saveErr = error_;
            bool q = ReadBraces(a, b);
            pos_ = save;
            error_ = saveErr;
            return q;
        }
        return false;
    }

    std::unique_ptr<Node> ParseTerm(int depth) {
        char32_t c = Peek();
        if (c == '^' || c == '$' || (c == '\\' && (Peek(1) == 'b' || Peek(1) == 'B'))) {
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::kAssert;
            if (c == '^') n->assertKind = AssertKind::kLineStart;
            else if (c == '$') n->assertKind = AssertKind::kLineEnd;
            else if (Peek(1) == 'b') n->assertKind = AssertKind::kWordBoundary;
            else n->assertKind = AssertKind::kNotWordBoundary;
            pos_ += (c == '\\') ? 2 : 1;
            if (AtQuantifier()) return Fail("nothing to repeat");
            return n;
        }
        auto atom = ParseAtom(depth);
        if (!atom) return nullptr;
        c = Peek();
        int min = -2, max = 0;
        if (c == '*') { min = 0; max = -1; ++pos_; }
        else if (c == '+') { min = 1; max = -1; ++pos_; }
        else if (c == '?') { min = 0; max = 1; ++pos_; }
        else if (c == '{' && ReadBraces(min, max)) {
            if (!error_.empty()) return nullptr;
        }
        if (min == -2) return atom;
        auto rep = std::make_unique<Node>();
        rep->kind = Node::Kind::kRepeat;
        rep->min = min;
        rep->max = max;
        if (Peek() == '?') {
            rep->greedy = false;
            ++pos_;
        }
        rep->children.push_back(std::move(atom));
        if (AtQuantifier()) return Fail("nothing to repeat");
        return rep;
    }

    std::unique_ptr<Node> ParseAtom(int depth) {
        char32_t c = Peek();
        switch (c) {
            case '*': case '+': case '?':
                return Fail("nothing to repeat");
            case '{':
                if (AtQuantifier()) return Fail("nothing to repeat");
                ++pos_;
                return MakeChar('{');
            case '.':
                ++pos_;
                return MakeSet(DotSet());
            case '[':
                return ParseClass();
            case ')':
                return Fail("unmatched )");
            case '(': {
                ++pos_;
                int group = 0;
                if (Peek() == '?') {
                    if (Peek(1) == ':') {
                        pos_ += 2;
                    } else if (Peek(1) == '=' || Peek(1) == '!' || Peek(1) == '<') {
                        return Fail("look-around and named groups are not supported");
                    } else {
                        return Fail("invalid group");
                    }
                } else {
                    group = ++groups_;
                }
                auto inner = ParseDisjunction(depth + 1);
                if (!inner) return nullptr;
                if (Peek() != ')') return Fail("unterminated group");
                ++pos_;
                if (group == 0) return inner;
                auto n = std::make_unique<Node>();
                n->kind = Node::Kind::kGroup;
                n->group = group;
                n->children.push_back(std::move(inner));
                return n;
            }
            case '\\':
                return ParseAtomEscape();
            default:
                ++pos_;
                return MakeChar(c);
        }
    }

    // Reads a character escape after "\" that is common to atoms and classes;
    // returns false when the escape is not one of them. Sets value.
    bool CharacterEscape(bool inClass, uint32_t& value) {
        char32_t c = Peek();
        switch (c) {
            case 'f': value = '\f'; ++pos_; return true;
            case 'n': value = '\n'; ++pos_; return true;
            case 'r': value = '\r'; ++pos_; return true;
            case 't': value = '\t'; ++pos_; return true;
            case 'v': value = '\v'; ++pos_; return true;
            case 'c':
                if (IsAsciiLetter(Peek(1)) ||
                    (inClass && ((Peek(1) >= '0' && Peek(1) <= '9') || Peek(1) == '_'))) {
                    value = Peek(1) % 32;
                    pos_ += 2;
                } else {
                    value = '\\';  // "\c" without a letter is a backslash and a "c"
                }
                return true;
            case 'x':
                if (HexValue(Peek(1)) >= 0 && HexValue(Peek(2)) >= 0) {
                    value = HexValue(Peek(1)) * 16 + HexValue(Peek(2));
                    pos_ += 3;
                } else {
                    value = 'x';
                    ++pos_;
                }
                return true;
            case 'u':
                if (HexValue(Peek(1)) >= 0 && HexValue(Peek(2)) >= 0 && HexValue(Peek(3)) >= 0 &&
                    HexValue(Peek(4)) >= 0) {
                    value = HexValue(Peek(1)) << 12 | HexValue(Peek(2)) << 8 |
                            HexValue(Peek(3)) << 4 | HexValue(Peek(4));
                    pos_ += 5;
                } else {
                    value = 'u';
                    ++pos_;
                }
                return true;
            case '0':
                if (Peek(1) >= '0' && Peek(1) <= '9') return false;  // octal: rejected
                value = 0;
                ++pos_;
                return true;
            default:
                if (c >= '1' && c <= '9') return false;  // back-reference or octal
                if (c == 0xFFFFFFFF) return false;
                value = c;  // identity escape
                ++pos_;
                return true;
        }
    }

    // Class escapes \d \D \w \W \s \S; true when one was read.
    bool ClassEscape(CharSet& set, bool& negated) {
        char32_t c = Peek();
        switch (c) {
            case 'd': set = DigitSet(); negated = false; break;
            case 'D': set = DigitSet(); negated = true; break;
            case 'w': set = WordSet(); negated = false; break;
            case 'W': set = WordSet(); negated = true; break;
            case 's': set = SpaceSet(); negated = false; break;
            case 'S': set = SpaceSet(); negated = true; break;
            default: return false;
        }
        ++pos_;
        return true;
    }

    std::unique_ptr<Node> ParseAtomEscape() {
        ++pos_;  // the backslash
        if (AtEnd()) return Fail("\\ at end of pattern");
        CharSet set;
        bool negated = false;
        if (ClassEscape(set, negated)) return MakeSet(set, negated);
        uint32_t value = 0;
        if (!CharacterEscape(false, value)) {
            return Fail("back-references and octal escapes are not supported");
        }
        return MakeChar(value);
    }

    std::unique_ptr<Node> ParseClass() {
        ++pos_;  // [
        bool negated = false;
        if (Peek() == '^') {
            negated = true;
            ++pos_;
        }
        CharSet set;
        // One class atom: either a single value or a set from a class escape.
        struct Atom {
            bool isSet = false;
            uint32_t value = 0;
            CharSet set;
        };
        auto readAtom = [&](Atom& a) -> bool {
            char32_t c = Peek();
            if (c != '\\') {
                a.value = c;
                ++pos_;
                return true;
            }
            ++pos_;
            if (AtEnd()) return false;
            if (Peek() == 'b') { a.value = 0x08; ++pos_; return true; }
            if (Peek() == 'B') { a.value = 'B'; ++pos_; return true; }
            if (Peek() == '-') { a.value = '-'; ++pos_; return true; }
            bool neg = false;
            if (ClassEscape(a.set, neg)) {
                a.isSet = true;
                if (neg) a.set.Negate();
                return true;
            }
            return CharacterEscape(true, a.value);
        };
        for (;;) {
            if (AtEnd()) return Fail("unterminated character class");
            if (Peek() == ']') {
                ++pos_;
                break;
            }
            Atom lo;
            if (!readAtom(lo)) return Fail("invalid escape in character class");
            if (Peek() == '-' && Peek(1) != ']' && Peek(1) != 0xFFFFFFFF) {
                ++pos_;
                Atom hi;
                if (!readAtom(hi)) return Fail("invalid escape in character class");
                if (lo.isSet || hi.isSet) {
                    // A class escape cannot bound a range: everything is literal.
                    lo.isSet ? set.Add(lo.set) : set.Add(lo.value, lo.value);
                    set.Add('-', '-');
                    hi.isSet ? set.Add(hi.set) : set.Add(hi.value, hi.value);
                    continue;
                }
                if (lo.value > hi.value) return Fail("range out of order in character class");
                set.Add(lo.value, hi.value);
                continue;
            }
            lo.isSet ? set.Add(lo.set) : set.Add(lo.value, lo.value);
        }
        return MakeSet(set, negated);
    }

    const std::u32string& p_;
    size_t pos_ = 0;
    int groups_ = 0;
    std::string error_;
};

void AppendCodePoint(std::string& out, uint32_t c) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
        out.push_back(static_cast<char>(c));
    } else {
        char buf[16];
        snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
        out += buf;
    }
}

void DumpTo(const Node& n, std::string& out) {
    auto list = [&](const char* name) {
        out += name;
        out += '(';
        for (size_t i = 0; i < n.children.size(); ++i) {
            if (i) out += ',';
            DumpTo(*n.children[i], out);
        }
        out += ')';
    };
    switch (n.kind) {
        case Node::Kind::kEmpty: out += "empty"; break;
        case Node::Kind::kSet: {
            const auto& r = n.set.Ranges();
            if (!n.negated && r.size() == 1 && r[0].first == r[0].second) {
                AppendCodePoint(out, r[0].first);
                break;
            }
            out += n.negated ? "[^" : "[";
            for (const auto& range : r) {
                AppendCodePoint(out, range.first);
                if (range.second != range.first) {
                    out += '-';
                    AppendCodePoint(out, range.second);
                }
            }
            out += ']';
            break;
        }
        case Node::Kind::kConcat: list("cat"); break;
        case Node::Kind::kAlternate: list("alt"); break;
        case Node::Kind::kGroup:
            out += "grp" + std::to_string(n.group);
            list("");
            break;
        case Node::Kind::kRepeat:
            out += "rep{" + std::to_string(n.min) + "," +
                   (n.max < 0 ? std::string("inf") : std::to_string(n.max)) + "}" +
                   (n.greedy ? "" : "?");
            list("");
            break;
        case Node::Kind::kAssert: {
            static const char* const kNames[] = {"^", "$", "\\b", "\\B"};
            out += kNames[static_cast<int>(n.assertKind)];
            break;
        }
    }
}

}  // namespace

ParseResult Parse(const std::u32string& pattern) { return Parser(pattern).Run(); }

std::string Dump(const Node& node) {
    std::string out;
    DumpTo(node, out);
    return out;
}

}  // namespace sorvix::regex
