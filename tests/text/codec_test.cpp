// Conversions of the text model: GBK <-> UTF-8, percent-encoding and
// -decoding with its composition step, Base64, bytes to text. The same cases
// run natively (iconv backend) and under Wine with ANSI code pages 1252 and
// 936 (Windows backend): results must not depend on the system code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "text/compose_table.h"
#include "text/gbk.h"
#include "text/text.h"
#include "text_test_support.h"

namespace sorvix {
namespace {

using std::string_literals::operator""s;

using test::ExpectConversions;
using test::Hex;
using test::OneWay;

struct Pair { const char* name; std::string gbk; std::string utf8; };

// Characters that convert both ways, one to one.
const Pair kBothWays[] = {
    {"empty", "", ""},
    {"ascii", "abc<>\"=/ 09", "abc<>\"=/ 09"},
    {"zhong", "\xD6\xD0", "\xE4\xB8\xAD"},
    {"sentence", "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4 ok", "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95 ok"},
    {"first code 81 40", "\x81\x40", "\xE4\xB8\x82"},
    {"full-width space", "\xA1\xA1", "\xE3\x80\x80"},
    {"euro 80", "\x80", "\xE2\x82\xAC"},
    {"middle dot A1 A4", "\xA1\xA4", "\xC2\xB7"},
    {"em dash A1 AA", "\xA1\xAA", "\xE2\x80\x94"},
    {"e acute A8 A6", "\xA8\xA6", "\xC3\xA9"},
    {"quote marker", std::string(kQuoteMarker), "#\xE5\xBC\x95\xE5\x8F\xB7"},
};

TEST(Codec, ConvertsBothWays) {
    for (const Pair& c : kBothWays) {
        EXPECT_EQ(Hex(GbkToUtf8(c.gbk)), Hex(c.utf8)) << c.name;
        EXPECT_EQ(Hex(Utf8ToGbk(c.utf8)), Hex(c.gbk)) << c.name;
    }
}

// The Windows build runs under code page 1252 and under 936; Chinese must come
// through the same in both, since every conversion names its code page.
TEST(Codec, ChineseRoundTripsWhateverTheAnsiCodePage) {
#ifdef _WIN32
    const char* lang = std::getenv("LANG");
    const unsigned acp = GetACP();
    RecordProperty("ansi_code_page", static_cast<int>(acp));
    const std::string locale = lang ? lang : "";
    if (locale.rfind("zh_CN", 0) == 0) {
        EXPECT_EQ(acp, 936u);
    } else if (locale.rfind("en_US", 0) == 0) {
        EXPECT_EQ(acp, 1252u);
    }
#endif
    // "搜索神器：中文测试，全角　空格" and its UTF-8.
    const std::string gbk =
        "\xCB\xD1\xCB\xF7\xC9\xF1\xC6\xF7\xA3\xBA\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\xA3\xAC"
        "\xC8\xAB\xBD\xC7\xA1\xA1\xBF\xD5\xB8\xF1";
    const std::string utf8 =
        "\xE6\x90\x9C\xE7\xB4\xA2\xE7\xA5\x9E\xE5\x99\xA8\xEF\xBC\x9A\xE4\xB8\xAD\xE6\x96\x87"
        "\xE6\xB5\x8B\xE8\xAF\x95\xEF\xBC\x8C\xE5\x85\xA8\xE8\xA7\x92\xE3\x80\x80\xE7\xA9\xBA"
        "\xE6\xA0\xBC";
    EXPECT_EQ(Hex(GbkToUtf8(gbk)), Hex(utf8));
    EXPECT_EQ(Hex(Utf8ToGbk(utf8)), Hex(gbk));
    EXPECT_EQ(Hex(UrlDecode(UrlEncode(gbk))), Hex(gbk));
}

// Malformed GBK: a lead byte without a trail byte is U+FFFD, and the byte
// after it stays itself (a quote or a digit is not swallowed).
const OneWay kBadGbk[] = {
    {"lone lead at end", "A\x81", "A\xEF\xBF\xBD"},
    {"only a lead", "\x81", "\xEF\xBF\xBD"},
    {"lead before 7F", "\x81\x7F", "\xEF\xBF\xBD\x7F"},
    {"lead before quote", "\x81\"x", "\xEF\xBF\xBD\"x"},
    {"lead before digit", "\xD6" "0\xD6\xD0", "\xEF\xBF\xBD" "0\xE4\xB8\xAD"},
    {"lead before space", "\x81 \xD6\xD0", "\xEF\xBF\xBD \xE4\xB8\xAD"},
};

TEST(Codec, MalformedGbkKeepsTheFollowingByte) {
    ExpectConversions(kBadGbk, [](const std::string& s) { return GbkToUtf8(s); });
}

// Invalid UTF-8: one "?" per maximal ill-formed subsequence; what follows is
// converted as usual. Characters without a GBK form are "?" per UTF-16 unit.
const OneWay kToGbk[] = {
    {"FF", "\xFF", "?"},
    {"truncated at end", "a\xC3", "a?"},
    {"truncated before ASCII", "\xE4\xB8" "A", "?A"},
    {"overlong C0 80", "\xC0\x80", "??"},
    {"encoded surrogate", "\xED\xA0\x80", "???"},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
    {"stray continuation", "\x80x", "?x"},
    {"emoji outside the BMP", "\xF0\x9F\x98\x80", "??"},
    {"no GBK form (U+0E01 Thai)", "\xE0\xB8\x81", "?"},
    {"replacement char", "\xEF\xBF\xBD", "?"},
    {"combining mark kept apart", "e\xCC\x81", "e?"},
    {"zero ends the text", "a\0b"s, "a"},
};

TEST(Codec, Utf8ToGbkReplacesWhatItCannotConvert) {
    ExpectConversions(kToGbk, [](const std::string& s) { return Utf8ToGbk(s); });
}

TEST(Codec, UrlEncodeEscapesEveryUtf8Byte) {
    const OneWay cases[] = {
        {"empty", "", ""},
        {"A", "A", "%41"},
        {"tab", "\t", "%09"},
        {"zhong", "\xD6\xD0", "%E4%B8%AD"},
        {"unreserved bytes too", "a b-.~", "%61%20%62%2D%2E%7E"},
        {"lone lead byte", "\x81", "%EF%BF%BD"},
    };
    ExpectConversions(cases, [](const std::string& s) { return UrlEncode(s); });
}

// "%" without two hex digits after it stays a literal "%"; decoding goes on.
TEST(Codec, UrlDecode) {
    const OneWay cases[] = {
        {"upper-case escapes", "%E4%B8%AD", "\xD6\xD0"},
        {"lower-case escapes", "%e4%b8%ad", "\xD6\xD0"},
        {"plus stays plus", "a+b", "a+b"},
        {"plain text", "abc", "abc"},
        {"percent at end", "100%", "100%"},
        {"percent and one digit at end", "x%4", "x%4"},
        {"percent alone", "%", "%"},
        {"non-hex after percent", "%zz%41", "%zzA"},
        {"one hex digit then non-hex", "%4G", "%4G"},
        {"percent escaping a percent", "%%41", "%A"},
        {"escaped percent", "%2541", "%41"},
        {"invalid UTF-8 escape", "%FF", "?"},
        {"truncated UTF-8", "%E4%B8", "?"},
        {"raw GBK bytes are not UTF-8", "\xD6\xD0", "??"},
        {"zero byte ends the text", "a%00b", "a"},
        // The composition step: base + combining mark -> the GBK character.
        {"e + acute", "e%CC%81", "\xA8\xA6"},
        {"u + diaeresis + macron", "u%CC%88%CC%84", "\xA8\xB5"},
        {"ka + voiced mark", "%E3%81%8B%E3%82%99", "\xA4\xAC"},
        {"no precomposed form", "x%CC%81", "x?"},
        {"mark without base", "%CC%81", "?"},
    };
    ExpectConversions(cases, [](const std::string& s) { return UrlDecode(s); });
}

// Every pair of the composition table yields a character GBK can hold, on
// this platform's backend too.
TEST(Codec, EveryComposedCharacterHasAGbkForm) {
    for (const codec::ComposePair& p : codec::kComposePairs) {
        const std::u16string wide{p.composed};
        std::string utf8;
        char32_t c = p.composed;
        if (c < 0x800) {
            utf8 = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        }
        std::string gbk = Utf8ToGbk(utf8);
        EXPECT_EQ(gbk.size(), 2u) << std::hex << static_cast<unsigned>(c);
        EXPECT_NE(gbk.find('?'), 0u) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Codec, UrlDecodeUndoesUrlEncode) {
    const std::string texts[] = {"", "abc", "\xD6\xD0\xCE\xC4 a+b&c=d%", "\xA8\xA6\xA8\xB5\xA4\xAC"};
    for (const std::string& t : texts) EXPECT_EQ(Hex(UrlDecode(UrlEncode(t))), Hex(t));
}

// Strict: length a positive multiple of four, "=" only as final padding, no
// byte outside the alphabet.
TEST(Codec, Base64Decode) {
    const OneWay cases[] = {
        {"one byte", "QQ==", "A"},
        {"two bytes", "QUI=", "AB"},
        {"three bytes", "QUJD", "ABC"},
        {"zeros stay", "AAAA", "\0\0\0"s},
        {"high bytes", "/+8=", "\xFF\xEF"},
        {"two groups", "QUJDRA==", "ABCD"},
        {"empty", "", ""},
        {"length 5", "QUJDR", ""},
        {"length 3", "QUJ", ""},
        {"padding inside", "QQ=A", ""},
        {"three pads", "Q===", ""},
        {"padding in the first group", "QQ==QUJD", ""},
        {"line break", "QUJD\nQUJD", ""},
        {"url-safe alphabet", "-_8=", ""},
    };
    ExpectConversions(cases, [](const std::string& s) { return Base64Decode(s); });
}

// UTF-16 of well-formed UTF-8 (the cases' expected forms).
std::u16string Utf16Of(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(utf8[i + k])); };
        uint32_t cp;
        size_t len;
        if (b(0) < 0x80) { cp = b(0); len = 1; }
        else if (b(0) < 0xE0) { cp = (b(0) & 0x1F) << 6 | (b(1) & 0x3F); len = 2; }
        else if (b(0) < 0xF0) { cp = (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F); len = 3; }
        else { cp = (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F); len = 4; }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

// The wide forms the window library draws and reads follow the same rules as
// the UTF-8 ones: same characters, malformed GBK replaced the same way.
TEST(Codec, Utf16FormsFollowTheUtf8Rules) {
    for (const Pair& c : kBothWays) {
        EXPECT_EQ(GbkToUtf16(c.gbk), Utf16Of(c.utf8)) << c.name;
        EXPECT_EQ(Hex(Utf16ToGbk(Utf16Of(c.utf8))), Hex(c.gbk)) << c.name;
    }
    for (const OneWay& c : kBadGbk) EXPECT_EQ(GbkToUtf16(c.input), Utf16Of(c.expected)) << c.name;
    EXPECT_EQ(GbkToUtf16("a\0b"s), u"a");

    struct WideCase { const char* name; std::u16string wide; std::string gbk; };
    const WideCase kToGbk[] = {
        {"lone high surrogate", u"\xD800", "?"},
        {"lone low surrogate before ASCII", u"\xDC00" u"a", "?a"},
        {"pair outside the BMP", u"\xD83D\xDE00", "??"},
        {"replacement char", u"\xFFFD", "?"},
        {"zero ends the text", u"a\0b"s, "a"},
        {"euro", u"\x20AC", "\x80"},
    };
    for (const WideCase& c : kToGbk) EXPECT_EQ(Hex(Utf16ToGbk(c.wide)), Hex(c.gbk)) << c.name;
}

// The table the regex engine matches on gives every code the character the
// codec makes of it, so a pattern and the converted page agree.
TEST(Codec, DoubleByteTableAgreesWithTheCodec) {
    const uint16_t* table = GbkDoubleByteToUnicode();
    ASSERT_EQ(table, GbkDoubleByteToUnicode());  // built once
    int mapped = 0, disagreeing = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const int index = GbkDoubleByteIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (!IsGbkTrailByte(static_cast<unsigned char>(trail))) {
                EXPECT_EQ(table[index], 0) << std::hex << lead << " " << trail;
                continue;
            }
            if (table[index] == 0) continue;  // the code page has no character there
            ++mapped;
            const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
            if (GbkToUtf16(code) != std::u16string(1, static_cast<char16_t>(table[index])) && ++disagreeing < 5)
                ADD_FAILURE() << "code " << Hex(code) << " table " << std::hex << table[index];
        }
    }
    EXPECT_EQ(disagreeing, 0);
    EXPECT_GT(mapped, 21000);  // GBK has 21886 characters
}

// Texts over a megabyte convert a slice at a time; the slices must join to
// exactly what each small piece gives. Each unit starts with a byte that
// cannot join the unit before it (not a hex digit, not a mark), so the big
// text's result is the unit's result repeated; odd unit lengths put the cuts
// at every kind of place: inside escapes, marks, sequences and junk.
TEST(Codec, BigTextsConvertAsTheirPiecesDo) {
    struct {
        const char* name;
        std::string unit;
    } cases[] = {
        {"escapes and marks", "x%E4%B8%89e\xCC\x81 \xE4\xB8\x89%zz%4"},
        {"junk and cut sequences", "x\xFF\xE4\xB8 \xC3\xA9\xF0\x9F\x98\x80\xED\xA0\x80%"},
        {"no ASCII for long stretches", "x"},
    };
    // A slice can only end before an ASCII byte: 1.1 MB of CJK characters.
    while (cases[2].unit.size() < 1'100'000) cases[2].unit += "\xE4\xB8\x89\xC3\xA9";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string big;
        std::size_t copies = 0;
        while (big.size() < 1'200'000) {
            big += c.unit;
            ++copies;
        }
        auto repeated = [&](const std::string& piece) {
            std::string out;
            for (std::size_t i = 0; i < copies; ++i) out += piece;
            return out;
        };
        EXPECT_EQ(UrlDecode(big), repeated(UrlDecode(c.unit)));
        EXPECT_EQ(Utf8ToGbk(big), repeated(Utf8ToGbk(c.unit)));
    }
    // A zero anywhere still ends the whole text, also in a later slice.
    std::string zeroLate = std::string(1'500'000, 'a') + '\0' + std::string(1'500'000, 'b');
    EXPECT_EQ(Utf8ToGbk(zeroLate), std::string(1'500'000, 'a'));
    EXPECT_EQ(UrlDecode(std::string(1'500'000, 'a') + "%00" + std::string(1'500'000, 'b')),
              std::string(1'500'000, 'a'));
}

TEST(Codec, BytesToTextEndsAtTheFirstZero) {
    const OneWay cases[] = {
        {"no zero", "abc", "abc"},
        {"zero inside", "ab\0cd"s, "ab"},
        {"zero first", "\0abc"s, ""},
        {"empty", "", ""},
        {"GBK kept", "\xD6\xD0\0\xD6\xD0"s, "\xD6\xD0"},
    };
    ExpectConversions(cases, [](const std::string& s) { return BytesToText(s); });
    for (const auto& c : cases) EXPECT_EQ(BytesToText(Bytes(c.input)), c.expected) << c.name << ", moved in";
}

// A large page, full of Chinese and of every kind of damage, converts in both
// directions without a crash and round-trips where it is well formed.
TEST(Codec, TenMegabytesConvert) {
    std::string unit = "<td>\xD6\xD0\xCE\xC4</td>%E4%B8%AD%\x81";
    std::string big;
    while (big.size() < 10'000'000) big += unit;
    std::string utf8 = GbkToUtf8(big);
    EXPECT_GT(utf8.size(), big.size());
    std::string clean;
    std::string cleanUnit = "<td>\xD6\xD0\xCE\xC4</td> ";
    while (clean.size() < 10'000'000) clean += cleanUnit;
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(clean)), clean);
    std::string decoded = UrlDecode(big);
    EXPECT_FALSE(decoded.empty());
    EXPECT_EQ(UrlEncode(clean).size(), GbkToUtf8(clean).size() * 3);
    std::string junk(10'000'000, '\xFF');
    EXPECT_EQ(Utf8ToGbk(junk), std::string(junk.size(), '?'));
}

}  // namespace
}  // namespace sorvix
