// Regex: our linear-time regular-expression engine over GBK text.
//
// Semantics are those of the ECMAScript-3 / VBScript RegExp object: leftmost
// match, alternatives and quantifiers by priority (leftmost-first), groups
// that did not take part report -1, "." never matches \n or \r, ignore-case
// folds letters, "^"/"$" see line breaks in multi-line mode. Characters are
// GBK characters; spans are byte offsets into the subject.
//
// Guarantees: no backtracking over the subject. A search costs
// O(subject length x program size) time and memory bounded by the program
// (plus at most kBacktrackBudgetBits of scratch), independent of the
// subject. A global search never re-runs a failed attempt from later start
// positions. Paths, in order of preference for assertion-free patterns:
//   0. required literals (derived at compile time: every match contains
//      them): where one occurs nowhere in the rest of the subject, the
//      search ends there;
//   1. literal-prefix scan (LiteralFinder: a two-byte SIMD filter) to skip
//      dead text;
//   2. the straight attempt from that candidate: only the first choice at
//      each step, lazy gaps passed by one scan for their exit's literal or a
//      byte that stops them, literal runs compared eight bytes at a time.
//      When it matches, that is the leftmost-first match; this is the usual
//      case on a result page. Else
//   3. speculative backtracker from the candidate, with visited bits
//      (each join point and position explored once), lazy gaps skipped by
//      the same scan, a window of at most kBacktrackBudgetBits; if it
//      reaches its window's edge, its answer is discarded and
//   4. the lazy DFA (leftmost-first) finds whether and where the match ends,
//      then the backtracker over just that window recovers the captures
//      (the PikeVM when the window is too big for the bit budget).
// Paths 2 and 3 share a step budget per FindAll proportional to the
// subject; once it is spent, only path 4 runs, so the whole search stays
// linear. Patterns with assertions, or whose DFA outgrows its cache, run
// the PikeVM.
// Sharing: after Compile a Regex is never written again; a search keeps
// everything it writes (DFA states, visited bits, budgets, memos) in a
// Scratch. Many threads may search with one Regex at once, each with its
// own Scratch. Each matcher lives in its own file: pike_vm.cpp, lazy_dfa.cpp,
// backtracker.cpp, straight_attempt.cpp; analysis.cpp derives the compile-time
// facts they use, regex.cpp chooses among them.
// Covered by tests/regex/engine_test.cpp, the differential tests against Node
// and the test-tree backtracker, and tests/regex/fuzz.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/regex/literal_finder.h"
#include "text/regex/program.h"

namespace sorvix::regex {

inline constexpr size_t kBacktrackBudgetBits = size_t{32} << 20;  // 4 MB of visited bits
// Window of the speculative backtracker: a result entry is far smaller; a
// search that runs past it (no match ahead, as on a page of unclosed
// openings) is answered by the DFA, which is faster there.
inline constexpr size_t kSpeculativeWindow = size_t{64} << 10;
inline constexpr size_t kDfaMaxStates = 4096;
inline constexpr size_t kDfaMaxTransitions = size_t{2} << 20;  // 8 MB of transitions

// Which path a search may take; tests force each one to compare them.
enum class Strategy { kAuto, kPikeVm, kDfaPikeVm, kDfaBacktrack };

class Regex;

// What one search writes. Reusable across searches (the DFA states it has
// built stay warm for the next search with the same Regex); sized for the
// Regex it last served and re-sized when handed another. Not thread-safe:
// one thread at a time.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(Scratch&&) noexcept;
    Scratch& operator=(Scratch&&) noexcept;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

private:
    friend class Regex;
    struct State;
    std::unique_ptr<State> state_;
};

namespace detail {

// Backtracker helpers, computed at compile time. Only join points
// (instructions with several predecessors, every loop head among them)
// get visited bits; that is enough to explore each state once.
struct Gap {
    std::vector<uint8_t> stopClass;  // per class: the exit may start here,
                                     // or the loop cannot go on
    uint8_t stopByte[256] = {};      // the same for one-byte characters
    // Fast form, when the exit must begin with an ASCII literal and the
    // loop is stopped only by at most two ASCII bytes below 0x40: the
    // literal finder for the exit and memchr for the stopping bytes.
    LiteralFinder exit;
    bool fast = false;
    std::vector<unsigned char> blockBytes;
    int block[2] = {-1, -1};  // blockBytes when fast; -1 for none
    // The literal run the exit begins with (after empty steps), and how
    // many of its bytes a hit of `exit` has already compared.
    int exitRun = -1;
    size_t exitRunKnown = 0;
};

// A run of one-character ASCII literals with no join point after its
// first instruction: the backtracker compares it in one go.
struct Run {
    std::string lit;   // lower case where a letter may match either case
    std::string fold;  // per byte: 0x20 where the case is ignored, else 0
    int next = -1;     // instruction after the run
};

// What a fast gap search learnt: neither an exit nor a blocking byte
// begins in [clearFrom, clearTo).
struct GapMemo {
    size_t clearFrom = 0, clearTo = 0;
};

// The straight attempt's path, laid out at compile time: the first
// choice at every step is fixed, whatever the subject.
struct StraightOp {
    enum Kind : uint8_t { kSave, kReset, kRun, kGap, kConsume, kMatch, kGiveUp };
    Kind kind = kGiveUp;
    int a = 0;          // slot, first slot, run, gap or set
    int b = 0;          // kReset: end slot
    size_t known = 0;   // kRun: bytes a literal hit just before compared
};

}  // namespace detail

// A compiled pattern: immutable once Compile has returned.
class Regex {
public:
    Regex();
    ~Regex();
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    // Returns false (and sets error) when the pattern is rejected. Not to be
    // called while another thread searches with this Regex.
    bool Compile(std::string_view pattern, bool ignoreCase, bool multiLine,
                 std::string* error = nullptr);
    bool Ok() const { return ok_; }
    int GroupCount() const { return program_.groupCount; }
    int SlotCount() const { return program_.slotCount; }
    const Program& GetProgram() const { return program_; }
    // Distinct for every successful Compile in the process (0 before).
    uint64_t Id() const { return id_; }

    // Every match (global) or the first; appends SlotCount() ints per match.
    // An empty match moves the next search one character on. Returns the
    // number of matches. The first form uses a scratch of its own.
    int FindAll(std::string_view subject, bool global, std::vector<int>& slots,
                Strategy strategy = Strategy::kAuto) const;
    int FindAll(Scratch& scratch, std::string_view subject, bool global, std::vector<int>& slots,
                Strategy strategy = Strategy::kAuto) const;

private:
    using State = Scratch::State;
    using Gap = detail::Gap;
    using Run = detail::Run;
    using GapMemo = detail::GapMemo;
    using StraightOp = detail::StraightOp;

    // Sizes st for this program (when it served another) and resets what
    // one FindAll measures.
    void Prepare(State& st) const;

    // Leftmost-first match starting at or after `from` (a character
    // boundary); hint is any character boundary <= from (used to find the
    // character before from). Fills slots (SlotCount() entries). Only
    // within FindAll, which sets up the search budget and memos.
    bool Find(State& st, std::string_view subject, size_t from, size_t hint, int* slots,
              Strategy strategy) const;

    bool FindPike(State& st, std::string_view subject, size_t from, size_t hint, size_t end,
                  int* slots) const;
    // Backtracks over [from, end]. With trustEnd the caller knows no match
    // goes past end; otherwise reaching end (before the subject's end), or
    // running out of the speculative budget, makes the answer unknown.
    enum class Outcome { kFound, kNone, kUnknown };
    Outcome FindBacktrack(State& st, std::string_view subject, size_t from, size_t end, int* slots,
                          bool trustEnd) const;
    // End of the leftmost-first match at or after from; -1 none, -2 gave up.
    long long DfaEnd(State& st, std::string_view subject, size_t from) const;
    // Next position >= from (a boundary) where the literal prefix begins, or
    // npos. Keeps char-boundary alignment.
    size_t NextCandidate(const unsigned char* s, size_t n, size_t from) const;

    // The ASCII literals every match must contain (besides its prefix).
    void PrepareRequired();
    // False when some required literal occurs nowhere at or after from (a
    // boundary), so no match starts there or later. Positions found are
    // kept in st for the rest of the FindAll, so a subject is scanned once
    // per literal however many candidates ask.
    // Asks for the first count literals only (the likeliest missing first).
    bool MayMatchFrom(State& st, const unsigned char* s, size_t n, size_t from,
                      size_t count = static_cast<size_t>(-1)) const;

    void PrepareBacktracker();
    void PrepareRuns();
    void PrepareStraight();

    // First position >= p (a boundary) where the loop of gap g stops or its
    // exit may begin, or end. With exitHit, tells whether the exit's
    // literal was found there (fast gaps only). With scanned, tells how many
    // bytes this call read (the memo spares the ones seen before).
    size_t GapStop(const Gap& g, const unsigned char* s, size_t n, size_t p, size_t end, GapMemo* memo,
                   bool* exitHit = nullptr, size_t* scanned = nullptr) const;
    // The literal run reached from pc through empty steps, and how many of
    // its leading bytes equal those of lit (compared folded): a hit of lit
    // there has compared them already.
    void KnownRun(int pc, const LiteralFinder& lit, int& run, size_t& known) const;
    // Follows only the first choice at each step from start, passing lazy
    // gaps by GapStop; kFound when that path matches, else kUnknown.
    // Spends the speculative budget.
    Outcome TryStraight(State& st, std::string_view subject, size_t start, int* slots) const;

    Program program_;
    std::vector<int> joinSlot_;   // per instruction: visited-bit row, or -1
    int joinCount_ = 0;
    std::vector<int> gapIndex_;   // per instruction: lazy gap split, or -1
    std::vector<Gap> gaps_;
    std::vector<int> runIndex_;   // per instruction: literal run starting here, or -1
    std::vector<Run> runs_;
    int prefixRun_ = -1;          // the run a match begins with, and how many
    size_t prefixRunKnown_ = 0;   // of its bytes a prefix hit has compared
    std::vector<StraightOp> straight_;
    bool ok_ = false;
    bool useDfa_ = false;         // assertion-free: the DFA and backtracker apply
    uint64_t id_ = 0;
    LiteralFinder prefixFinder_;  // the literal every match begins with
    std::vector<LiteralFinder> required_;  // literals every match contains
};

}  // namespace sorvix::regex
