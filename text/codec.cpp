// Conversions of the text model: GBK <-> UTF-8, percent-encoding, Base64.
//
// Malformed input is handled here, before any platform call, so both backends
// give the same result for it:
//   - GBK: a lead byte without a valid trail byte becomes U+FFFD and the byte
//     after it is converted on its own (81 22 keeps the quote).
//   - UTF-8: each maximal ill-formed subsequence becomes one U+FFFD (the
//     practice the Unicode standard recommends), which then turns into "?" in
//     GBK.
// A Text never holds a zero byte: a conversion result ends before the first
// U+0000 it would contain, as a zero-terminated text would.
// Covered by tests/text/codec_test.cpp and gbk_parity_test.cpp.
#include <algorithm>
#include <array>
#include <cstdint>

#include "text/codec.h"
#include "text/compose_table.h"
#include "text/text.h"

namespace sorvix {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// Cuts a conversion result before its first zero byte.
Text EndAtZero(std::string s) {
    size_t zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
    return s;
}

std::u16string DecodeGbk(std::string_view gbk) {
    std::u16string wide;
    size_t runStart = 0;
    size_t i = 0;
    auto flush = [&](size_t end) {
        if (end <= runStart) return;
        std::u16string part = codec::DecodeGbkRun(gbk.substr(runStart, end - runStart));
        if (wide.empty()) {
            wide = std::move(part);  // the usual case: one run, no copy
        } else {
            wide += part;
        }
    };
    while (i < gbk.size()) {
        unsigned char b = static_cast<unsigned char>(gbk[i]);
        if (IsGbkLeadByte(b) && GbkCharLength(gbk, i) == 1) {
            flush(i);
            wide += codec::kReplacementChar;
            runStart = ++i;
            continue;
        }
        i += GbkCharLength(gbk, i);
        if (i - runStart >= codec::kMaxRun) {
            flush(i);
            runStart = i;
        }
    }
    flush(i);
    return wide;
}

// Length of the valid UTF-8 sequence at i, or 0 when the bytes there are ill
// formed; then *bad is the length of the maximal ill-formed subpart (>= 1).
size_t Utf8SequenceLength(std::string_view s, size_t i, size_t* bad) {
    auto at = [&](size_t k) -> int {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : -1;
    };
    int b0 = at(0);
    if (b0 < 0x80) return 1;
    int need;
    int lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;  // no encoded surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        *bad = 1;
        return 0;
    }
    for (int k = 1; k <= need; ++k) {
        int b = at(k);
        int kLo = k == 1 ? lo : 0x80, kHi = k == 1 ? hi : 0xBF;
        if (b < kLo || b > kHi) {
            *bad = static_cast<size_t>(k);
            return 0;
        }
    }
    return static_cast<size_t>(need) + 1;
}

std::u16string DecodeUtf8(std::string_view utf8) {
    std::u16string wide;
    size_t runStart = 0;
    size_t i = 0;
    auto flush = [&](size_t end) {
        if (end <= runStart) return;
        std::u16string part = codec::DecodeUtf8Run(utf8.substr(runStart, end - runStart));
        if (wide.empty()) {
            wide = std::move(part);
        } else {
            wide += part;
        }
    };
    while (i < utf8.size()) {
        size_t bad = 0;
        size_t len = Utf8SequenceLength(utf8, i, &bad);
        if (len == 0) {
            flush(i);
            wide += codec::kReplacementChar;
            i += bad;
            runStart = i;
            continue;
        }
        i += len;
        if (i - runStart >= codec::kMaxRun) {
            flush(i);
            runStart = i;
        }
    }
    flush(i);
    return wide;
}

// Splits a UTF-16 text into chunks no longer than kMaxRun that never part a
// surrogate pair, and concatenates what convert makes of each.
template <class Convert>
std::string ConvertWideInChunks(std::u16string_view wide, Convert convert) {
    if (wide.size() <= codec::kMaxRun) return convert(wide);
    std::string out;
    size_t i = 0;
    while (i < wide.size()) {
        size_t n = std::min(codec::kMaxRun, wide.size() - i);
        if (i + n < wide.size() && wide[i + n - 1] >= 0xD800 && wide[i + n - 1] <= 0xDBFF) --n;
        out += convert(wide.substr(i, n));
        i += n;
    }
    return out;
}

// U+FFFD, which every invalid UTF-8 sequence becomes, is written as "?" here
// rather than by the backend: a page of binary junk would otherwise cost one
// failing iconv call per byte.
Text Utf8ToGbkSlice(std::string_view utf8, bool compose) {
    std::u16string wide = DecodeUtf8(utf8);
    if (compose) wide = codec::ComposeForGbk(wide);
    std::string out;
    std::u16string_view rest = wide;
    while (!rest.empty()) {
        size_t bad = rest.find(codec::kReplacementChar);
        std::u16string_view run = rest.substr(0, bad);
        auto encode = [&](std::u16string_view w) { return codec::EncodeGbk(w, compose); };
        if (out.empty()) {
            out = ConvertWideInChunks(run, encode);  // the usual case: no copy
        } else {
            out += ConvertWideInChunks(run, encode);
        }
        if (bad == std::u16string_view::npos) break;
        out += '?';
        rest.remove_prefix(bad + 1);
    }
    return out;
}

// A big text is converted a slice at a time, so that its UTF-16 forms (two
// bytes a character, twice when composing) exist for one slice only and the
// peak stays near input plus output. A slice ends just before an ASCII byte:
// no UTF-8 sequence, ill-formed part or base-and-mark pair spans an ASCII
// byte, so the slices convert exactly as the whole would. Without an ASCII
// byte in sight a slice grows until one comes (or the text ends).
constexpr size_t kSliceBytes = size_t{1} << 20;

// Where the slice starting at `from` ends: the first position at or after
// from + kSliceBytes that `cuttable` accepts, or the end.
template <class Cuttable>
size_t SliceEnd(std::string_view s, size_t from, Cuttable cuttable) {
    size_t at = from + kSliceBytes;
    while (at < s.size() && !cuttable(at)) ++at;
    return std::min(at, s.size());
}

Text Utf8ToGbkImpl(std::string_view utf8, bool compose) {
    if (utf8.size() <= kSliceBytes) return EndAtZero(Utf8ToGbkSlice(utf8, compose));
    std::string out;
    out.reserve(utf8.size());  // GBK never takes more bytes than UTF-8
    auto ascii = [&](size_t at) { return static_cast<unsigned char>(utf8[at]) < 0x80; };
    for (size_t from = 0; from < utf8.size();) {
        const size_t end = SliceEnd(utf8, from, ascii);
        const Text part = Utf8ToGbkSlice(utf8.substr(from, end - from), compose);
        out += part;
        if (part.find('\0') != std::string::npos) break;  // the text ends there
        from = end;
    }
    return EndAtZero(std::move(out));
}

// Percent-decoding, then UTF-8 to GBK with the composition step.
Text UrlDecodeSlice(std::string_view text) {
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    Bytes collected;
    collected.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                collected += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        collected += text[i];
    }
    return Utf8ToGbkSlice(collected, true);
}

}  // namespace

namespace codec {

std::u16string ComposeForGbk(std::u16string_view wide) {
    auto lookup = [](char16_t base, char16_t mark) -> char16_t {
        const ComposePair* first = std::begin(kComposePairs);
        const ComposePair* last = std::end(kComposePairs);
        auto it = std::lower_bound(first, last, std::pair{base, mark},
                                   [](const ComposePair& p, std::pair<char16_t, char16_t> key) {
                                       return p.base != key.first ? p.base < key.first
                                                                  : p.mark < key.second;
                                   });
        return it != last && it->base == base && it->mark == mark ? it->composed : 0;
    };
    std::u16string out;
    out.reserve(wide.size());
    for (char16_t c : wide) {
        if (!out.empty()) {
            if (char16_t composed = lookup(out.back(), c)) {
                out.back() = composed;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace codec

Text GbkToUtf8(std::string_view gbk) {
    std::u16string wide = DecodeGbk(gbk);
    return EndAtZero(ConvertWideInChunks(wide, codec::EncodeUtf8));
}

Text Utf8ToGbk(std::string_view utf8) { return Utf8ToGbkImpl(utf8, false); }

std::u16string GbkToUtf16(std::string_view gbk) {
    std::u16string wide = DecodeGbk(gbk);
    wide.resize(std::min(wide.find(u'\0'), wide.size()));
    return wide;
}

Text Utf16ToGbk(std::u16string_view wide) {
    return EndAtZero(ConvertWideInChunks(wide, [](std::u16string_view w) { return codec::EncodeGbk(w, false); }));
}

Text UrlEncode(std::string_view text) {
    Text utf8 = GbkToUtf8(text);
    Text out;
    out.reserve(utf8.size() * 3);
    for (unsigned char b : utf8) {
        out += '%';
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
    }
    return out;
}

// A "%" that is not followed by two hexadecimal digits (at the end of the
// text, or "%zz", or "100%") is kept as a literal "%" and decoding goes on
// with the next byte, so no byte of the input is lost or invented.
// Long texts go slice by slice (see Utf8ToGbkImpl): a slice ends before an
// ASCII byte that is not "%" and has no "%" in the two bytes before it, so
// no escape spans the cut and the decoded bytes there are ASCII too.
Text UrlDecode(std::string_view text) {
    if (text.size() <= kSliceBytes) return EndAtZero(UrlDecodeSlice(text));
    std::string out;
    out.reserve(text.size());
    auto cuttable = [&](size_t at) {
        return static_cast<unsigned char>(text[at]) < 0x80 && text[at] != '%' && text[at - 1] != '%' &&
               text[at - 2] != '%';
    };
    for (size_t from = 0; from < text.size();) {
        const size_t end = SliceEnd(text, from, cuttable);
        const Text part = UrlDecodeSlice(text.substr(from, end - from));
        out += part;
        if (part.find('\0') != std::string::npos) break;
        from = end;
    }
    return EndAtZero(std::move(out));
}


// Strict RFC 4648: the length must be a positive multiple of four, "=" may
// only pad the last one or two places, and any other byte outside the
// alphabet (line breaks included) makes the whole input invalid: empty bytes.
Bytes Base64Decode(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) return {};
    static constexpr auto kValues = [] {
        std::array<int8_t, 256> v{};
        v.fill(-1);
        constexpr std::string_view alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (size_t i = 0; i < alphabet.size(); ++i)
            v[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
        return v;
    }();
    size_t padding = 0;
    if (text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    Bytes out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            size_t pos = i + k;
            int v = kValues[static_cast<unsigned char>(text[pos])];
            if (v < 0) {
                if (text[pos] != '=' || pos < text.size() - padding) return {};
                v = 0;  // padding counts as "A"
            }
            group = (group << 6) | static_cast<uint32_t>(v);
        }
        out += static_cast<char>(group >> 16);
        out += static_cast<char>((group >> 8) & 0xFF);
        out += static_cast<char>(group & 0xFF);
    }
    out.resize(out.size() - padding);
    return out;
}

Text BytesToText(std::string_view bytes) {
    return Text(bytes.substr(0, std::min(bytes.find('\0'), bytes.size())));
}

Text BytesToText(Bytes&& bytes) {
    Text text = std::move(bytes);
    text.resize(std::min(text.find('\0'), text.size()));
    return text;
}

}  // namespace sorvix
