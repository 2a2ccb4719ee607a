// Process-wide double-byte table of gbk_map.h.
#include "text/regex/gbk_map.h"

#include <memory>

namespace sorvix::regex {

const uint16_t* DoubleByteToUnicode() {
    // A function-local static is initialised once even with concurrent callers.
    static const std::unique_ptr<uint16_t[]> table = [] {
        auto t = std::make_unique<uint16_t[]>(kDoubleByteCount);
        FillDoubleByteTable(t.get());
        return t;
    }();
    return table.get();
}

}  // namespace sorvix::regex
