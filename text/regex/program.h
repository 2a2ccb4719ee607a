// A compiled regular expression: an immutable Thompson program over
// character classes, plus the facts the matchers use for fast paths.
//
// Characters are GBK characters (text/gbk.h). Every set of the pattern is
// turned into membership over a small number of character classes: one table
// for one-byte characters and, only when some set tells double-byte
// characters apart, one for double-byte codes. Compile() rejects patterns
// whose program would exceed kMaxInstructions.
// Covered by tests/regex/engine_test.cpp and the differential tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/gbk.h"
#include "text/regex/syntax.h"

namespace sorvix::regex {

inline constexpr int kMaxInstructions = 200000;

struct Inst {
    enum class Op : uint8_t { kConsume, kSplit, kJmp, kSave, kReset, kAssert, kMatch, kFail };
    Op op = Op::kMatch;
    int arg = 0;    // kConsume: set; kSave: slot; kReset: first slot; kAssert: AssertKind
    int out = -1;   // next instruction; kSplit: the preferred branch
    int out1 = -1;  // kSplit: the other branch; kReset: end slot (exclusive)
};

struct Program {
    std::vector<Inst> insts;
    int start = 0;             // anchored entry: Save 0, the pattern, Save 1, Match
    int unanchoredStart = 0;   // lazy any-character loop in front of start
    int groupCount = 0;
    int slotCount = 2;         // 2 * (groupCount + 1)
    bool multiLine = false;
    bool hasAssertions = false;
    bool canMatchEmpty = true;

    // Character classes.
    int classCount = 0;
    uint16_t byteClass[256] = {};    // one-byte characters (incl. a lone lead byte)
    uint16_t doubleByteUniformClass = 0;
    std::vector<uint16_t> doubleByteClass;  // empty when every double-byte code
                                            // falls in doubleByteUniformClass
    int setCount = 0;
    std::vector<uint8_t> member;     // member[set * classCount + class]
    std::vector<int16_t> setLiteral; // per set: its ASCII byte when the set is one
                                     // character (with ignore-case, either case), else -1
    std::vector<uint8_t> isWordClass;    // per class: an ASCII word character
    std::vector<uint8_t> isLineBreakClass;  // per class: \n or \r

    // Literal the match must begin with (ASCII bytes); empty when unknown.
    std::string prefix;
    bool prefixIgnoreCase = false;

    bool Member(int set, int cls) const { return member[static_cast<size_t>(set) * classCount + cls] != 0; }

    // Class of the character at s[i] (i < n); len receives its byte length.
    int ClassAt(const unsigned char* s, size_t i, size_t n, size_t& len) const {
        unsigned char b = s[i];
        if (IsGbkLeadByte(b) && i + 1 < n && IsGbkTrailByte(s[i + 1])) {
            len = 2;
            return doubleByteClass.empty() ? doubleByteUniformClass
                                           : doubleByteClass[GbkDoubleByteIndex(b, s[i + 1])];
        }
        len = 1;
        return byteClass[b];
    }
};

struct CompileResult {
    bool ok = false;
    std::string error;
};

// Parses and compiles a GBK pattern.
CompileResult Compile(std::string_view pattern, bool ignoreCase, bool multiLine, Program& out);

}  // namespace sorvix::regex
