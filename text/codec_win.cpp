// Windows backend of the codec: MultiByteToWideChar / WideCharToMultiByte with
// code pages 936 and 65001 named explicitly, so the result never depends on
// the system's ANSI code page. Each conversion counts first, then converts.
// Inputs arrive well formed and at most kMaxRun units long (codec.cpp), so
// every count fits an int. Covered by tests/text/codec_test.cpp and
// gbk_parity_test.cpp, run under Wine with ANSI code pages 1252 and 936.
#include <windows.h>

#include <cstring>

#include "text/codec.h"
#include "text/gbk.h"

namespace sorvix::codec {
namespace {

constexpr UINT kGbkCodePage = 936;
constexpr UINT kUtf8CodePage = 65001;

std::u16string ToWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int count = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
    if (count <= 0) return {};
    std::u16string out(static_cast<size_t>(count), u'\0');
    count = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                reinterpret_cast<wchar_t*>(out.data()), count);
    out.resize(count > 0 ? static_cast<size_t>(count) : 0);
    return out;
}

std::string FromWide(UINT codePage, DWORD flags, std::u16string_view wide) {
    if (wide.empty()) return {};
    auto source = reinterpret_cast<const wchar_t*>(wide.data());
    int count = WideCharToMultiByte(codePage, flags, source, static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
    if (count <= 0) return {};
    std::string out(static_cast<size_t>(count), '\0');
    count = WideCharToMultiByte(codePage, flags, source, static_cast<int>(wide.size()), out.data(),
                                count, nullptr, nullptr);
    out.resize(count > 0 ? static_cast<size_t>(count) : 0);
    return out;
}

}  // namespace

std::u16string DecodeGbkRun(std::string_view gbk) { return ToWide(kGbkCodePage, gbk); }

std::string EncodeGbk(std::u16string_view wide, bool compositeCheck) {
    // The default character of code page 936 is "?".
    return FromWide(kGbkCodePage, compositeCheck ? WC_COMPOSITECHECK : 0, wide);
}

std::u16string DecodeUtf8Run(std::string_view utf8) { return ToWide(kUtf8CodePage, utf8); }

std::string EncodeUtf8(std::u16string_view wide) { return FromWide(kUtf8CodePage, 0, wide); }

void FillDoubleByteTable(uint16_t* out) {
    std::memset(out, 0, sizeof(uint16_t) * kGbkDoubleByteCount);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (!IsGbkTrailByte(static_cast<unsigned char>(trail))) continue;
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            wchar_t w[4];
            if (MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, in, 2, w, 4) == 1) {
                out[GbkDoubleByteIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))] =
                    static_cast<uint16_t>(w[0]);
            }
        }
    }
}

}  // namespace sorvix::codec
