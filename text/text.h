// The program's text model and the routines that take pages apart.
//
// Text is GBK (code page 936) bytes without zero bytes; positions and lengths
// count bytes and are 1-based. Bytes are explicit-length and may hold zeros.
// Every routine is a pure function; none fails: bad input gives an empty or
// best-effort result. Searching routines step over GBK double-byte characters,
// so a match never starts on the trail byte of a character (trail bytes
// include ASCII letters and "@"). Covered by tests/text/.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace sorvix {

using Text = std::string;    // GBK bytes, never holds a zero byte
using Bytes = std::string;   // explicit-length bytes, may hold zero bytes

// "#引号": written in markers and patterns where a double quote is meant.
inline constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

// ---- Conversions ------------------------------------------------------------
Text GbkToUtf8(std::string_view gbk);                 // UTF-8 bytes
Text Utf8ToGbk(std::string_view utf8);                // GBK; unmappable -> "?"
Text UrlEncode(std::string_view text);
Text UrlDecode(std::string_view text);                // with the composition step
Bytes Base64Decode(std::string_view text);
Text BytesToText(std::string_view bytes);             // up to the first zero byte

// ---- Text operations --------------------------------------------------------
// 1-based position of the first occurrence at or after start, or -1.
int  Find(std::string_view text, std::string_view sought, int start = 1, bool ignoreCase = false);
Text Mid(std::string_view text, int start, int length);
Text Replace(std::string_view text, std::string_view sought, std::string_view replacement = {},
             int start = 1, int count = -1, bool caseSensitive = true);   // count -1 = all
Text ToUpper(std::string_view text);
Text ToLower(std::string_view text);
Text Trim(std::string_view text);
std::vector<Text> Split(std::string_view text, std::string_view separator);
int  ToInt(std::string_view text);
Text ToDecimalText(long long value);
Text ToHexText(long long value);
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int start = 1, bool caseSensitive = false);
struct ReplacePair { std::string_view sought; std::string_view replacement; };
Text ReplaceEach(std::string_view text, std::initializer_list<ReplacePair> pairs,
                 int start = 1, int count = -1, bool caseSensitive = false);   // up to five pairs

// GBK character stepping: true when byte b opens a double-byte character.
inline bool IsGbkLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
// True when byte b can close a double-byte character (40-7E, 80-FE).
inline bool IsGbkTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }
// Length in bytes (1 or 2) of the character that starts at index i (0-based).
// A lead byte followed by a byte that cannot be a trail byte, or by nothing,
// is a character of its own, so a malformed pair never swallows the ASCII
// byte after it.
inline size_t GbkCharLength(std::string_view text, size_t i) {
    return (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
            IsGbkTrailByte(static_cast<unsigned char>(text[i + 1])))
               ? 2
               : 1;
}
// True when index i (0-based, i <= size) begins a character, counting
// characters from the start of the text. Looks back only to the nearest byte
// that can never be a trail byte (every ASCII byte below "@" is one), so in
// page text it costs a few bytes, not a scan from the start.
bool IsGbkCharStart(std::string_view text, size_t i);

}  // namespace sorvix
