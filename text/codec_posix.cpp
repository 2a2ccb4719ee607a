// Linux backend of the codec: glibc iconv for CP936 (its table is Microsoft's
// code page 936 minus the user-defined areas, which it rejects), plain code
// for UTF-8. iconv descriptors are opened once per thread and reset before
// each use. Covered by tests/text/codec_test.cpp and gbk_parity_test.cpp.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "text/codec.h"
#include "text/text.h"

namespace sorvix::codec {
namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16LE is the in-memory form");

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~IconvHandle() { iconv_close(cd_); }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // One conversion step; returns iconv's result and leaves errno set.
    size_t Convert(const char** in, size_t* inLeft, char** out, size_t* outLeft) {
        return iconv(cd_, const_cast<char**>(in), inLeft, out, outLeft);
    }
    void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

IconvHandle& GbkDecoder() {
    thread_local IconvHandle handle("UTF-16LE", "CP936");
    return handle;
}

IconvHandle& GbkEncoder() {
    thread_local IconvHandle handle("CP936", "UTF-16LE");
    return handle;
}

}  // namespace

std::u16string DecodeGbkRun(std::string_view gbk) {
    IconvHandle& cd = GbkDecoder();
    cd.Reset();
    // Every byte or pair gives one UTF-16 unit at most.
    std::u16string out(gbk.size(), u'\0');
    const char* in = gbk.data();
    size_t inLeft = gbk.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (cd.Convert(&in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) break;  // cannot happen: one unit per byte is enough
        // EILSEQ or EINVAL: a code iconv does not map. The run is well formed,
        // so the character's length is known; it becomes U+FFFD.
        size_t skip = GbkCharLength(std::string_view(in, inLeft), 0);
        in += skip;
        inLeft -= skip;
        if (outLeft < sizeof(char16_t)) break;
        char16_t replacement = kReplacementChar;
        std::memcpy(outPtr, &replacement, sizeof replacement);
        outPtr += sizeof replacement;
        outLeft -= sizeof replacement;
        cd.Reset();
    }
    out.resize(out.size() - outLeft / sizeof(char16_t));
    return out;
}

std::string EncodeGbk(std::u16string_view wide, bool /*compositeCheck*/) {
    IconvHandle& cd = GbkEncoder();
    cd.Reset();
    // Each unit gives two bytes at most.
    std::string out(wide.size() * 2, '\0');
    const char* in = reinterpret_cast<const char*>(wide.data());
    size_t inLeft = wide.size() * sizeof(char16_t);
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (cd.Convert(&in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) break;
        // No GBK form (or a lone surrogate): "?" for each UTF-16 unit, as
        // WideCharToMultiByte does, so a surrogate pair gives "??".
        char16_t unit;
        std::memcpy(&unit, in, sizeof unit);
        size_t units = 1;
        if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 2 * sizeof(char16_t)) {
            char16_t next;
            std::memcpy(&next, in + sizeof unit, sizeof next);
            if (next >= 0xDC00 && next <= 0xDFFF) units = 2;
        }
        in += units * sizeof(char16_t);
        inLeft -= units * sizeof(char16_t);
        for (size_t k = 0; k < units && outLeft > 0; ++k) {
            *outPtr++ = '?';
            --outLeft;
        }
        cd.Reset();
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::u16string DecodeUtf8Run(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto b = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(utf8[i + k])); };
        char32_t c = b(0);
        if (c < 0x80) {
            i += 1;
        } else if (c < 0xE0) {
            c = ((c & 0x1F) << 6) | (b(1) & 0x3F);
            i += 2;
        } else if (c < 0xF0) {
            c = ((c & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
            i += 3;
        } else {
            c = ((c & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
            i += 4;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view wide) {
    std::string out(wide.size() * 3, '\0');  // a UTF-16 unit gives 3 bytes at most
    char* o = out.data();
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacementChar;
        }
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

// iconv's CP936 agrees with the Windows code page 936 on the characters
// pages hold; the codes it rejects (the user-defined areas) stay 0.
void FillDoubleByteTable(uint16_t* out) {
    std::memset(out, 0, sizeof(uint16_t) * kGbkDoubleByteCount);
    IconvHandle& cd = GbkDecoder();
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (!IsGbkTrailByte(static_cast<unsigned char>(trail))) continue;
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char result[8];
            const char* inPtr = in;
            char* outPtr = result;
            size_t inLeft = 2, outLeft = sizeof result;
            cd.Reset();
            if (cd.Convert(&inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
                sizeof result - outLeft == 2) {
                out[GbkDoubleByteIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))] =
                    static_cast<uint16_t>(static_cast<unsigned char>(result[0]) |
                                          static_cast<unsigned char>(result[1]) << 8);
            }
        }
    }
    cd.Reset();
}

}  // namespace sorvix::codec
