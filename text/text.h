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

#include "text/gbk.h"
#include "text/text_types.h"

namespace sorvix {

// "#引号": written in markers and patterns where a double quote is meant.
inline constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

// ---- Conversions ------------------------------------------------------------
// Results never hold a zero byte: a conversion ends before the first U+0000.
// Malformed GBK (a lead byte without its trail byte) becomes U+FFFD and the
// byte after it is converted on its own; each ill-formed UTF-8 sequence
// becomes one "?". The system's ANSI code page never matters.
Text GbkToUtf8(std::string_view gbk);                 // UTF-8 bytes
Text Utf8ToGbk(std::string_view utf8);                // GBK; unmappable -> "?"
// Every byte of the UTF-8 form as "%XX" (upper-case hex), letters included.
Text UrlEncode(std::string_view text);
// "%XX" (either case) -> byte, "+" stays "+", then UTF-8 -> GBK, composing a
// base character and combining mark into the precomposed GBK character
// (e + U+0301 -> é). A "%" without two hex digits after it is kept literally.
Text UrlDecode(std::string_view text);                // with the composition step
// RFC 4648 standard alphabet, strict: length a positive multiple of 4, "="
// only as final padding, nothing else outside the alphabet; else empty.
Bytes Base64Decode(std::string_view text);
Text BytesToText(std::string_view bytes);             // up to the first zero byte
// GBK <-> UTF-16 for platform interfaces that take wide text (the window
// library): the rules of GbkToUtf8 and Utf8ToGbk, a UTF-16 unit without a
// GBK form (a lone surrogate among them) becoming one "?".
std::u16string GbkToUtf16(std::string_view gbk);
Text Utf16ToGbk(std::u16string_view wide);
Text BytesToText(Bytes&& bytes);                      // the same, cut in place (no copy)

// ---- Text operations --------------------------------------------------------
// Positions are 1-based byte positions; a start below 1 acts as 1. Matches
// start on character boundaries only. Ignore-case folds ASCII letters only.
// 1-based position of the first occurrence at or after start, or -1; an empty
// sought text is never found.
int  Find(std::string_view text, std::string_view sought, int start = 1, bool ignoreCase = false);
// 1-based position of the last occurrence that starts on a character
// boundary, or -1 (an address's last ":", say).
int  FindLast(std::string_view text, std::string_view sought, bool ignoreCase = false);
// At most length bytes from start; length <= 0 or start past the end: empty.
Text Mid(std::string_view text, int start, int length);
// Left to right, never rescanning inserted text; bytes before start are kept.
// count 0 replaces nothing; an empty sought text changes nothing.
Text Replace(std::string_view text, std::string_view sought, std::string_view replacement = {},
             int start = 1, int count = -1, bool caseSensitive = true);   // count -1 = all
Text ToUpper(std::string_view text);
Text ToLower(std::string_view text);
// Removes leading and trailing ASCII spaces (0x20) and full-width spaces (A1 A1).
Text Trim(std::string_view text);
// Pieces between separators, empty ones kept ("a;" gives "a" and ""). The
// empty text gives no pieces; an empty separator gives the whole text.
std::vector<Text> Split(std::string_view text, std::string_view separator);
// Leading spaces/tabs, a sign, digits; full-width forms count as ASCII;
// 0 when there is no number; saturates at the int range.
int  ToInt(std::string_view text);
Text ToDecimalText(long long value);
// Upper-case, no leading zeros; a negative value as its 64-bit two's complement.
Text ToHexText(long long value);
// The text between the two markers (kQuoteMarker in them stands for "\""),
// or empty when either is missing.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int start = 1, bool caseSensitive = false);
struct ReplacePair { std::string_view sought; std::string_view replacement; };
// Replace with each pair in turn, each on the previous result.
Text ReplaceEach(std::string_view text, std::initializer_list<ReplacePair> pairs,
                 int start = 1, int count = -1, bool caseSensitive = false);   // up to five pairs

// GBK character stepping (IsGbkLeadByte, GbkCharLength, ...) is in text/gbk.h.
// True when index i (0-based, i <= size) begins a character, counting
// characters from the start of the text. Looks back only to the nearest byte
// that can never be a trail byte (every ASCII byte below "@" is one), so in
// page text it costs a few bytes, not a scan from the start.
bool IsGbkCharStart(std::string_view text, size_t i);

}  // namespace sorvix
