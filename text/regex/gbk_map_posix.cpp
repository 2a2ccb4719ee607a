// Double-byte table through iconv's CP936, which agrees with the Windows
// code page 936 on the characters pages hold.
#include <iconv.h>

#include <cstring>

#include "text/regex/gbk_map.h"

namespace sorvix::regex {

void FillDoubleByteTable(uint16_t* out) {
    std::memset(out, 0, sizeof(uint16_t) * kDoubleByteCount);
    iconv_t cd = iconv_open("UTF-16LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (!IsTrail(static_cast<unsigned char>(trail))) continue;
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char result[8];
            char* inPtr = in;
            char* outPtr = result;
            size_t inLeft = 2, outLeft = sizeof result;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
                inLeft == 0 && sizeof result - outLeft == 2) {
                uint16_t u = static_cast<uint16_t>(static_cast<unsigned char>(result[0]) |
                                                   static_cast<unsigned char>(result[1]) << 8);
                out[DoubleByteIndex(static_cast<unsigned char>(lead),
                                    static_cast<unsigned char>(trail))] = u;
            }
        }
    }
    iconv_close(cd);
}

}  // namespace sorvix::regex
