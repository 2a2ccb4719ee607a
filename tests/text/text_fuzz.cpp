// libFuzzer target over the codec and the text routines. Beyond "no crash,
// no sanitizer report" it checks the properties the rest of the program
// relies on: conversions never yield a zero byte, GbkToUtf8 yields valid
// UTF-8, Find and Replace agree with the character-by-character reference,
// casing keeps lengths, Trim is idempotent, percent-coding round-trips.
// Build with clang (see tests/text/CMakeLists.txt), run e.g.
//   build/fuzz/tests/text/text_fuzz -max_total_time=120 -max_len=256
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/text.h"
#include "text_reference.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace sorvix;
    FuzzedDataProvider in(data, size);
    const int start = in.ConsumeIntegralInRange<int>(-2, 40);
    const int count = in.ConsumeIntegralInRange<int>(-1, 3);
    const bool flag = in.ConsumeBool();
    const std::string sought = in.ConsumeRandomLengthString(6);
    const std::string replacement = in.ConsumeRandomLengthString(4);
    const std::string text = in.ConsumeRemainingBytesAsString();

    const std::string utf8 = GbkToUtf8(text);
    Check(utf8.find('\0') == std::string::npos && IsValidUtf8(utf8));
    const std::string gbk = Utf8ToGbk(text);
    Check(gbk.find('\0') == std::string::npos);
    const std::string decoded = UrlDecode(text);
    Check(decoded.find('\0') == std::string::npos);
    // GBK has no combining marks, so the composition step changes nothing here.
    Check(UrlDecode(UrlEncode(text)) == Utf8ToGbk(utf8));
    Base64Decode(text);
    Check(BytesToText(text).find('\0') == std::string::npos);

    Check(Find(text, sought, start, flag) == test::ReferenceFind(text, sought, start, flag));
    Check(Replace(text, sought, replacement, start, count, flag) ==
          test::ReferenceReplace(text, sought, replacement, start, count, flag));
    TextBetween(text, sought, replacement, start, flag);
    Split(text, sought);
    Check(ToUpper(text).size() == text.size() && ToLower(ToUpper(text)) == ToLower(text));
    const std::string trimmed = Trim(text);
    Check(Trim(trimmed) == trimmed && text.find(trimmed) != std::string::npos);
    ToInt(text);
    Mid(text, start, count * 7);
    return 0;
}
