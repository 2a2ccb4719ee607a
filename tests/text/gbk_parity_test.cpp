// Every well-formed two-byte GBK code converts to the same character on both
// platforms. tests/text/gbk_table.inc holds what glibc iconv (CP936) makes of
// each code; natively this guards the iconv backend, under Wine it compares
// MultiByteToWideChar(936) with it.
//
// Where the platforms differ by design, the test names the codes:
//   - iconv rejects the user-defined areas (AA-AF A1-FE, F8-FE A1-FE,
//     A1-A7 40-A0) and the cells GBK leaves unassigned (in rows A2 and
//     A4-A9, D7 FA-FE, FE 50-A0); Windows maps all of them to the Private
//     Use Area. Natively they give U+FFFD, on Windows a PUA character.
//     Nothing in the pages the program reads uses them.
//   - the single byte FF: Windows maps it to U+F8F5 (PUA), iconv rejects it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/text.h"

namespace sorvix {
namespace {

struct Row { unsigned lead; const char* trails; };

const Row kTable[] = {
#include "gbk_table.inc"
};

std::string Utf8Of(uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Decodes UTF-8 of one BMP character; 0 when it is not exactly one.
uint32_t CodePointOf(const std::string& s) {
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i])); };
    if (s.size() == 1 && b(0) < 0x80) return b(0);
    if (s.size() == 2) return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    if (s.size() == 3) return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    return 0;
}

struct Expected { unsigned code; uint32_t point; };  // point 0: iconv rejects

std::vector<Expected> ExpandTable() {
    std::vector<Expected> out;
    for (const Row& row : kTable) {
        const char* p = row.trails;
        uint32_t previous = 0;
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            uint32_t point = 0;
            if (*p == '.') {
                ++p;
            } else if (*p == '+') {
                point = previous + 1;
                ++p;
            } else {
                point = static_cast<uint32_t>(std::stoul(std::string(p, 4), nullptr, 16));
                p += 4;
            }
            out.push_back({row.lead << 8 | trail, point});
            previous = point;
        }
        EXPECT_EQ(*p, '\0') << "row " << row.lead;
    }
    return out;
}

TEST(GbkParity, EveryTwoByteCodeConvertsAsTheTableSays) {
    std::vector<Expected> table = ExpandTable();
    ASSERT_EQ(table.size(), 126u * 190u);
    int mismatches = 0, rejected = 0, roundTripFailures = 0;
    for (const Expected& e : table) {
        const std::string gbk{static_cast<char>(e.code >> 8), static_cast<char>(e.code & 0xFF)};
        const std::string utf8 = GbkToUtf8(gbk);
        if (e.point == 0) {
            ++rejected;
            uint32_t got = CodePointOf(utf8);
#ifdef _WIN32
            EXPECT_TRUE(got >= 0xE000 && got <= 0xF8FF) << std::hex << e.code << " -> " << got;
#else
            EXPECT_EQ(got, 0xFFFDu) << std::hex << e.code;
#endif
            continue;
        }
        if (utf8 != Utf8Of(e.point)) {
            if (++mismatches <= 20)
                ADD_FAILURE() << std::hex << "GBK " << e.code << ": expected U+" << e.point
                              << ", got U+" << CodePointOf(utf8);
            continue;
        }
        // And back: every mapped code is the only GBK form of its character.
        if (Utf8ToGbk(utf8) != gbk && ++roundTripFailures <= 20)
            ADD_FAILURE() << std::hex << "GBK " << e.code << " does not round-trip";
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(roundTripFailures, 0);
    EXPECT_EQ(rejected, 126 * 190 - 21791);
}

TEST(GbkParity, SingleBytes) {
    for (unsigned b = 1; b < 0x80; ++b)
        EXPECT_EQ(GbkToUtf8(std::string(1, static_cast<char>(b))), std::string(1, static_cast<char>(b)));
    EXPECT_EQ(GbkToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign on both
    EXPECT_EQ(Utf8ToGbk("\xE2\x82\xAC"), "\x80");
#ifdef _WIN32
    EXPECT_EQ(GbkToUtf8("\xFF"), "\xEF\xA3\xB5");  // U+F8F5
#else
    EXPECT_EQ(GbkToUtf8("\xFF"), "\xEF\xBF\xBD");  // U+FFFD
#endif
}

}  // namespace
}  // namespace sorvix
