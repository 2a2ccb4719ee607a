// SearchBaseDecode / SearchBaseEncode.
#include <gtest/gtest.h>

#include "app/core/config.h"
#include "sites/site_search.h"

namespace sorvix {
namespace {

TEST(SearchBase, CompiledInDefaultDecodesToTheLoopbackSearchPage) {
    EXPECT_EQ(SearchBaseDecode(kDefaultSearchBaseEncoded), "http://127.0.0.1:8933/cse?q=");
}

TEST(SearchBase, RoundTrips) {
    const char* addresses[] = {
        "http://127.0.0.1:8933/cse?q=",
        "https://search.example.com/cse?cx=0123:abc&ie=utf-8&q=",
        "a", "ab", "abc",   // every Base64 padding length
        "",
    };
    for (const char* address : addresses) {
        const Text encoded = SearchBaseEncode(address);
        EXPECT_EQ(encoded.find_first_not_of("0123456789O"), Text::npos) << address;
        EXPECT_EQ(SearchBaseDecode(encoded), address) << address;
    }
}

TEST(SearchBase, DecodesHandMadeForms) {
    // "QQ==" (Base64 of "A") written pair by pair with r = 0: each character c
    // becomes alphabet[c % 62], alphabet[8 * (c / 62)].
    //   'Q' = 81 -> x = 19 ('T'), y = 8 ('I'); '=' = 61 -> x = 61 ('z'), y = 0 ('A')
    // Numbers may pack several bytes (little-endian, zero bytes dropped).
    struct Case {
        const char* encoded;
        const char* decoded;
    };
    const Case cases[] = {
        {"84O73O84O73O122O65O122O65", "A"},
        {"18772O18772O16762O16762", "A"},          // "TI" "TI" "zA" "zA" as 16-bit pairs
        {"1230260564O1098531194", "A"},           // four characters per number
        {"84O0O73O84O73O122O65O122O65", "A"},     // a zero contributes nothing
    };
    for (const Case& c : cases) EXPECT_EQ(SearchBaseDecode(c.encoded), c.decoded) << c.encoded;
}

TEST(SearchBase, DamagedFormsGiveEmptyOrGarbageButNeverCrash) {
    const char* damaged[] = {"", "O", "OOOO", "abc", "84O73O84", "33O33O33O33", "-1O-1O-1O-1",
                             "99999999999999999999O1", "84O73O84O73O122O65O122"};
    for (const char* text : damaged) {
        const Text decoded = SearchBaseDecode(text);
        EXPECT_LE(decoded.size(), 64u) << text;
    }
    EXPECT_EQ(SearchBaseDecode("33O33O33O33"), "");   // "!" is outside the alphabet
}

}  // namespace
}  // namespace sorvix
