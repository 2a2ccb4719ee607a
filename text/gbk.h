// The GBK (code page 936) character model every layer steps and maps text by.
//
// A character is one byte, or a lead byte 0x81-0xFE followed by a valid trail
// byte (0x40-0x7E, 0x80-0xFE); a lead byte followed by anything else (or by
// nothing) is a character of its own, so a malformed pair never swallows the
// ASCII byte after it. The double-byte table gives each well-formed code its
// Unicode value as the codec's platform conversion does, built once per
// process; the regex engine matches on it. Covered by tests/text/codec_test.cpp
// (the table against the codec) and gbk_parity_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sorvix {

// True when byte b opens a double-byte character.
inline bool IsGbkLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
// True when byte b can close a double-byte character (40-7E, 80-FE).
inline bool IsGbkTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Length in bytes (1 or 2) of the character that starts at s[i] (i < n).
inline size_t GbkCharLength(const unsigned char* s, size_t i, size_t n) {
    return (IsGbkLeadByte(s[i]) && i + 1 < n && IsGbkTrailByte(s[i + 1])) ? 2 : 1;
}
// The same for index i (0-based, i < size) of a text.
inline size_t GbkCharLength(std::string_view text, size_t i) {
    return GbkCharLength(reinterpret_cast<const unsigned char*>(text.data()), i, text.size());
}

inline constexpr int kGbkTrailCount = 191;                        // 0x40..0xFE, 0x7F unused
inline constexpr int kGbkDoubleByteCount = 126 * kGbkTrailCount;  // leads 0x81..0xFE

// Index of a double-byte code in GbkDoubleByteToUnicode().
inline int GbkDoubleByteIndex(unsigned char lead, unsigned char trail) {
    return (lead - 0x81) * kGbkTrailCount + (trail - 0x40);
}

// Unicode value of each double-byte code, kGbkDoubleByteCount entries, 0
// where the platform's code page 936 has none (and at the unused trail 0x7F).
// Thread-safe; built on first use.
const uint16_t* GbkDoubleByteToUnicode();

// Unicode value of a one-byte character: ASCII as is, 0x80 the euro sign,
// any other byte (a lone lead byte, 0xFF) U+FFFD.
inline uint32_t GbkSingleByteToUnicode(unsigned char b) {
    if (b < 0x80) return b;
    if (b == 0x80) return 0x20AC;
    return 0xFFFD;
}

}  // namespace sorvix
