// The process-wide double-byte table of gbk.h, filled by the codec's
// platform backend (codec_win.cpp, codec_posix.cpp).
#include <memory>

#include "text/codec.h"
#include "text/gbk.h"

namespace sorvix {

const uint16_t* GbkDoubleByteToUnicode() {
    // A function-local static is initialised once even with concurrent callers.
    static const std::unique_ptr<uint16_t[]> table = [] {
        auto t = std::make_unique<uint16_t[]>(kGbkDoubleByteCount);
        codec::FillDoubleByteTable(t.get());
        return t;
    }();
    return table.get();
}

}  // namespace sorvix
