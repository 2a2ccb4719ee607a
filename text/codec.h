// The code-page backend behind GbkToUtf8 and Utf8ToGbk: one small interface,
// two implementations. codec_win.cpp calls MultiByteToWideChar and
// WideCharToMultiByte naming code pages 936 and 65001 (never CP_ACP, so the
// system's ANSI code page cannot change a result); codec_posix.cpp uses glibc
// iconv for CP936 and plain code for UTF-8.
//
// The portable layer (codec.cpp) hands the backend only well-formed runs: GBK
// whose double-byte characters are complete and UTF-8 that is valid, each at
// most kMaxRun units long. Malformed bytes are replaced there, the same way on
// both platforms. Covered by tests/text/codec_test.cpp and gbk_parity_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvix::codec {

// Largest run handed to one backend call; keeps every count inside an int.
inline constexpr size_t kMaxRun = size_t{1} << 26;

inline constexpr char16_t kReplacementChar = 0xFFFD;

// GBK run without malformed pairs -> UTF-16. A well-formed code that the
// platform does not map (iconv rejects the user-defined areas) -> U+FFFD.
std::u16string DecodeGbkRun(std::string_view gbk);
// UTF-16 -> GBK. A character without a GBK form becomes "?", one per UTF-16
// unit. compositeCheck asks the platform to compose base + combining mark
// (WC_COMPOSITECHECK on Windows; the portable table has done it already).
std::string EncodeGbk(std::u16string_view wide, bool compositeCheck);
// Valid UTF-8 run -> UTF-16.
std::u16string DecodeUtf8Run(std::string_view utf8);
// UTF-16 -> UTF-8; a lone surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view wide);

// Portable: composes base character + combining mark into the precomposed
// character wherever GBK has that character (é, ǖ, が ...), repeatedly, so a
// base with two marks can become one character.
std::u16string ComposeForGbk(std::u16string_view wide);

// Fills out[] (kGbkDoubleByteCount entries, text/gbk.h) with the Unicode
// value of each double-byte code, 0 where the code page has none: the table
// behind GbkDoubleByteToUnicode().
void FillDoubleByteTable(uint16_t* out);

}  // namespace sorvix::codec
