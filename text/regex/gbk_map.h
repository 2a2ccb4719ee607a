// The code-page 936 (GBK) character model the regex engine matches on.
//
// A character is one byte, or a lead byte 0x81-0xFE followed by a valid
// trail byte (0x40-0x7E, 0x80-0xFE); a lead byte without a valid trail is a
// character of its own. Matching compares Unicode values (for ranges, \uHHHH
// and letter case), so every double-byte code is given its Unicode value from
// the platform's code-page 936 conversion, built once per process.
// Covered by tests/regex/syntax_test.cpp (GBK cases) and the differential test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sorvix::regex {

inline bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
inline bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

inline constexpr int kTrailCount = 191;                     // 0x40..0xFE, 0x7F unused
inline constexpr int kDoubleByteCount = 126 * kTrailCount;  // leads 0x81..0xFE

// Index of a double-byte code in the tables below.
inline int DoubleByteIndex(unsigned char lead, unsigned char trail) {
    return (lead - 0x81) * kTrailCount + (trail - 0x40);
}

// Unicode value of each double-byte code (0 where the code page has none).
// Thread-safe; built on first use.
const uint16_t* DoubleByteToUnicode();

// Unicode value of a one-byte character: ASCII as is, 0x80 the euro sign,
// any other byte (a lone lead byte, 0xFF) U+FFFD.
inline uint32_t SingleByteToUnicode(unsigned char b) {
    if (b < 0x80) return b;
    if (b == 0x80) return 0x20AC;
    return 0xFFFD;
}

// Length in bytes of the character that starts at s[i] (i < n).
inline size_t CharLength(const unsigned char* s, size_t i, size_t n) {
    return (IsLead(s[i]) && i + 1 < n && IsTrail(s[i + 1])) ? 2 : 1;
}

// Fills out[] (kDoubleByteCount entries) with Unicode values; platform part.
void FillDoubleByteTable(uint16_t* out);

}  // namespace sorvix::regex
