// Double-byte table through the platform's code page 936 conversion.
#include <windows.h>

#include <cstring>

#include "text/regex/gbk_map.h"

namespace sorvix::regex {

void FillDoubleByteTable(uint16_t* out) {
    std::memset(out, 0, sizeof(uint16_t) * kDoubleByteCount);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (!IsTrail(static_cast<unsigned char>(trail))) continue;
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t w[4];
            int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in, 2, w, 4);
            if (n == 1) {
                out[DoubleByteIndex(static_cast<unsigned char>(lead),
                                    static_cast<unsigned char>(trail))] = static_cast<uint16_t>(w[0]);
            }
        }
    }
}

}  // namespace sorvix::regex
