// Regular-expression syntax of the ECMAScript-3 / VBScript family, parsed
// into a small tree whose characters are Unicode values.
//
// Accepted: literals and escapes (\n \t \r \f \v \0 \cX \xHH \uHHHH, escaped
// metacharacters and identity escapes), ".", classes with ranges and
// negation, \d \D \w \W \s \S, \b \B, ^ $, capturing and (?:) groups,
// alternation, greedy and lazy * + ? {n} {n,} {n,m}. Rejected (the parse
// fails): back-references and octal escapes \1-\9, look-around, named groups,
// quantifiers with nothing to repeat, {n,m} with n > m, unbalanced brackets,
// repeat counts above kMaxRepeat. The parser keeps its own stack of open
// groups, so nesting depth costs heap memory, not machine stack.
// Covered by tests/regex/syntax_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvix::regex {

inline constexpr int kMaxRepeat = 100000;

// Sorted, non-overlapping, non-adjacent ranges of Unicode values.
class CharSet {
public:
    void Add(uint32_t lo, uint32_t hi);
    void Add(const CharSet& other);
    void Negate();           // over 0..0xFFFF, the values a character can have
    void AddCaseVariants();  // closes the set under simple letter case mapping
    bool Contains(uint32_t c) const;
    bool Empty() const { return ranges_.empty(); }
    const std::vector<std::pair<uint32_t, uint32_t>>& Ranges() const { return ranges_; }
    bool operator==(const CharSet&) const = default;

private:
    void Normalize();
    std::vector<std::pair<uint32_t, uint32_t>> ranges_;
};

// Case mapping ECMAScript uses for ignore-case over the letters GBK can hold:
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic, Roman numerals, fullwidth.
uint32_t SimpleUpper(uint32_t c);
uint32_t SimpleLower(uint32_t c);

enum class AssertKind { kLineStart, kLineEnd, kWordBoundary, kNotWordBoundary };

struct Node {
    enum class Kind { kEmpty, kSet, kConcat, kAlternate, kRepeat, kGroup, kAssert };
    Kind kind = Kind::kEmpty;
    CharSet set;                                // kSet (case variants not yet added)
    bool negated = false;                       // kSet: matches what set does not hold
    std::vector<std::unique_ptr<Node>> children;  // kConcat, kAlternate; one for kRepeat, kGroup
    int min = 0, max = 0;                       // kRepeat; max -1 = unbounded
    bool greedy = true;                         // kRepeat
    int group = 0;                              // kGroup: 1-based capture index
    AssertKind assertKind = AssertKind::kLineStart;  // kAssert
};

struct ParseResult {
    std::unique_ptr<Node> root;  // null when the pattern was rejected
    int groupCount = 0;
    std::string error;           // why, for tests and diagnostics
};

// Parses a pattern given as Unicode values (see DecodePattern).
ParseResult Parse(const std::u32string& pattern);

// GBK pattern text to Unicode values, one per character.
std::u32string DecodePattern(std::string_view gbk);

// One-line dump of a tree for tests, e.g. "cat(a,star(grp1(alt(b,c))))".
std::string Dump(const Node& node);

// Predefined sets.
CharSet DigitSet();
CharSet WordSet();
CharSet SpaceSet();
CharSet LineTerminatorSet();  // \n \r U+2028 U+2029
CharSet DotSet();             // everything but a line terminator

}  // namespace sorvix::regex
