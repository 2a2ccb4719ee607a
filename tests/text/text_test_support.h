// Helpers shared by the text tests: bytes shown as hex, so that a failure
// names the byte that went wrong, and a table runner for the many conversions
// that take one text to another.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

namespace sorvix::test {

// "D6 D0 41" for "\xD6\xD0" "A".
inline std::string Hex(std::string_view s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : s) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// One case of a conversion: the input and what the conversion must give.
struct OneWay {
    const char* name;
    std::string input;
    std::string expected;
};

// Checks convert(input) == expected for every case, comparing hex so that the
// message shows the differing bytes, and naming the case.
template <class Convert>
void ExpectConversions(std::span<const OneWay> cases, Convert convert) {
    for (const OneWay& c : cases) EXPECT_EQ(Hex(convert(c.input)), Hex(c.expected)) << c.name;
}

}  // namespace sorvix::test
