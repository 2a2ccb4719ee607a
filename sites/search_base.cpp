// The stored form of the custom search page's address and its two
// directions.
//
// Decoding (the form the program keeps): decimal numbers separated by "O";
// each number laid out as a 32-bit little-endian value with its zero bytes
// dropped gives the bytes of an intermediate text; each pair (x, y) of
// intermediate characters, looked up in a 62-character alphabet, gives the
// byte ((y div 8) × 62 + x) XOR (y mod 8); those bytes are Base64.
// Encoding picks, for every Base64 character c at index i, r = i mod 6 and
// v = c XOR r, then x = v mod 62 and y = 8 × (v div 62) + r, which the
// decoder maps back to c. Covered by tests/sites/search_base_test.cpp.
#include <cstdint>

#include "sites/site_search.h"
#include "text/text.h"

namespace sorvix {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

Text Base64Encode(std::string_view bytes) {
    Text out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) |
                           uint32_t(uint8_t(bytes[i + 2]));
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += kBase64Alphabet[v & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (rest == 2) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

Text SearchBaseDecode(std::string_view encoded) {
    Text intermediate;
    for (const Text& piece : Split(encoded, "O")) {
        const uint32_t value = static_cast<uint32_t>(ToInt(piece));
        for (int shift = 0; shift < 32; shift += 8) {
            const char byte = static_cast<char>((value >> shift) & 0xFF);
            if (byte != 0) intermediate += byte;
        }
    }
    Text base64;
    for (size_t i = 0; i + 1 < intermediate.size(); i += 2) {
        const size_t x = kAlphabet.find(intermediate[i]);
        const size_t y = kAlphabet.find(intermediate[i + 1]);
        // A character outside the alphabet means the stored text is damaged.
        if (x == std::string_view::npos || y == std::string_view::npos) return {};
        base64 += static_cast<char>((((y / 8) * 62 + x) ^ (y % 8)) & 0xFF);
    }
    return BytesToText(Base64Decode(base64));
}

Text SearchBaseEncode(std::string_view address) {
    const Text base64 = Base64Encode(address);
    Text out;
    auto emit = [&out](char c) {
        if (!out.empty()) out += 'O';
        out += ToDecimalText(static_cast<unsigned char>(c));
    };
    for (size_t i = 0; i < base64.size(); ++i) {
        const unsigned r = static_cast<unsigned>(i % 6);
        const unsigned v = static_cast<unsigned char>(base64[i]) ^ r;
        emit(kAlphabet[v % 62]);
        emit(kAlphabet[(v / 62) * 8 + r]);
    }
    return out;
}

}  // namespace sorvix
