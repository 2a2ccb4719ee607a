// Readers for PNG, GIF and ICO containers; see containers.h.
#include "containers.h"

#include <cstring>

namespace sorvix::test::art {

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (std::uint32_t(p[1]) << 8); }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

// Bit-at-a-time CRC-32 (polynomial 0xEDB88320), deliberately unlike the
// table-driven one of the generator.
std::uint32_t Crc(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

}  // namespace

PngInfo ReadPng(std::span<const std::uint8_t> f) {
    PngInfo info;
    static const std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (f.size() < 8 || std::memcmp(f.data(), kSig, 8) != 0) {
        info.error = "no PNG signature";
        return info;
    }
    std::size_t pos = 8;
    bool ended = false;
    while (pos < f.size()) {
        if (ended) {
            info.error = "bytes after IEND";
            return info;
        }
        if (f.size() - pos < 12) {
            info.error = "truncated chunk header";
            return info;
        }
        std::uint32_t len = Be32(&f[pos]);
        if (len > f.size() - pos - 12) {
            info.error = "chunk longer than the file";
            return info;
        }
        std::string type(reinterpret_cast<const char*>(&f[pos + 4]), 4);
        const std::uint8_t* body = &f[pos + 8];
        if (Crc(&f[pos + 4], len + 4) != Be32(body + len)) {
            info.error = "bad CRC in " + type;
            return info;
        }
        if (info.chunkTypes.empty()) {
            if (type != "IHDR" || len != 13) {
                info.error = "first chunk is not a 13-byte IHDR";
                return info;
            }
            info.width = Be32(body);
            info.height = Be32(body + 4);
            info.bitDepth = body[8];
            info.colourType = body[9];
            info.interlace = body[12];
            if (body[10] != 0 || body[11] != 0) {
                info.error = "unknown compression or filter method";
                return info;
            }
        }
        if (type == "IDAT") info.idat.insert(info.idat.end(), body, body + len);
        if (type == "IEND") ended = true;
        info.chunkTypes.push_back(type);
        pos += 12 + len;
    }
    if (!ended) info.error = "no IEND";
    return info;
}

namespace {

// LZW as the GIF format defines it: the decoder adds one entry per code after
// the first following a clear code, and widens its codes when the next free
// entry reaches 2^size (up to 12 bits).
bool DecodeLzw(int minCodeSize, const Bytes& data, std::size_t pixelCount, Bytes& out, std::string& error) {
    if (minCodeSize < 2 || minCodeSize > 8) {
        error = "bad LZW minimum code size";
        return false;
    }
    std::size_t bitPos = 0;
    auto read = [&](int size, int& code) {
        if (bitPos + size > data.size() * 8) return false;
        code = 0;
        for (int i = 0; i < size; ++i, ++bitPos) code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << i;
        return true;
    };
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<Bytes> dict;
    int size = 0, prev = -1;
    auto reset = [&] {
        dict.assign(end + 1, {});
        for (int i = 0; i < clear; ++i) dict[i] = {static_cast<std::uint8_t>(i)};
        size = minCodeSize + 1;
        prev = -1;
    };
    reset();
    for (;;) {
        int code;
        if (!read(size, code)) {
            error = "LZW data ends without an end code";
            return false;
        }
        if (code == clear) {
            reset();
            continue;
        }
        if (code == end) break;
        Bytes entry;
        if (prev < 0) {
            if (code >= clear) {
                error = "first code after clear is not a literal";
                return false;
            }
            entry = dict[code];
        } else {
            if (code < static_cast<int>(dict.size()) && code != clear && code != end) {
                entry = dict[code];
            } else if (code == static_cast<int>(dict.size())) {
                entry = dict[prev];
                entry.push_back(dict[prev][0]);
            } else {
                error = "LZW code beyond the table";
                return false;
            }
            if (dict.size() < 4096) {
                Bytes added = dict[prev];
                added.push_back(entry[0]);
                dict.push_back(std::move(added));
                if (static_cast<int>(dict.size()) == (1 << size) && size < 12) ++size;
            }
        }
        out.insert(out.end(), entry.begin(), entry.end());
        prev = code;
    }
    if (out.size() != pixelCount) {
        error = "frame decodes to " + std::to_string(out.size()) + " pixels, expected " + std::to_string(pixelCount);
        return false;
    }
    return true;
}

}  // namespace

GifInfo ReadGif(std::span<const std::uint8_t> f) {
    GifInfo info;
    auto fail = [&](const std::string& e) {
        info.error = e;
        return info;
    };
    if (f.size() < 13 || std::memcmp(f.data(), "GIF89a", 6) != 0) return fail("no GIF89a header");
    info.width = static_cast<int>(Le16(&f[6]));
    info.height = static_cast<int>(Le16(&f[8]));
    std::size_t pos = 13;
    if (f[10] & 0x80) {
        std::size_t n = 3u << ((f[10] & 7) + 1);
        if (f.size() < pos + n) return fail("truncated colour table");
        info.palette.assign(f.begin() + pos, f.begin() + pos + n);
        pos += n;
    }
    // Sub-blocks until a zero length; returns false when they run off the end.
    auto subBlocks = [&](Bytes* into) {
        while (pos < f.size()) {
            std::size_t n = f[pos++];
            if (n == 0) return true;
            if (f.size() - pos < n) return false;
            if (into) into->insert(into->end(), f.begin() + pos, f.begin() + pos + n);
            pos += n;
        }
        return false;
    };
    int pendingDelay = -1;
    for (;;) {
        if (pos >= f.size()) return fail("no trailer");
        std::uint8_t b = f[pos++];
        if (b == 0x3B) break;
        if (b == 0x21) {
            if (pos >= f.size()) return fail("truncated extension");
            std::uint8_t label = f[pos++];
            Bytes body;
            if (!subBlocks(&body)) return fail("truncated extension data");
            if (label == 0xF9 && body.size() == 4) pendingDelay = static_cast<int>(Le16(&body[1]));
            if (label == 0xFF && body.size() >= 11 && std::memcmp(body.data(), "NETSCAPE2.0", 11) == 0) info.loops = true;
            continue;
        }
        if (b != 0x2C) return fail("unknown block");
        if (f.size() - pos < 10) return fail("truncated image descriptor");
        GifFrameInfo frame;
        frame.left = static_cast<int>(Le16(&f[pos]));
        frame.top = static_cast<int>(Le16(&f[pos + 2]));
        frame.width = static_cast<int>(Le16(&f[pos + 4]));
        frame.height = static_cast<int>(Le16(&f[pos + 6]));
        std::uint8_t flags = f[pos + 8];
        pos += 9;
        if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
        if (pos >= f.size()) return fail("truncated image data");
        int minCodeSize = f[pos++];
        Bytes data;
        if (!subBlocks(&data)) return fail("truncated image data");
        std::string error;
        if (!DecodeLzw(minCodeSize, data, static_cast<std::size_t>(frame.width) * frame.height, frame.indices, error)) {
            return fail(error);
        }
        frame.delay = pendingDelay;
        pendingDelay = -1;
        info.frames.push_back(std::move(frame));
    }
    return info;
}

IcoInfo ReadIco(std::span<const std::uint8_t> f) {
    IcoInfo info;
    if (f.size() < 6 || Le16(&f[0]) != 0 || Le16(&f[2]) != 1) {
        info.error = "no icon directory";
        return info;
    }
    std::uint32_t count = Le16(&f[4]);
    if (f.size() < 6 + 16 * count) {
        info.error = "truncated directory";
        return info;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* d = &f[6 + 16 * i];
        IcoEntry e;
        e.width = d[0] == 0 ? 256 : d[0];
        e.height = d[1] == 0 ? 256 : d[1];
        e.bitCount = static_cast<int>(Le16(d + 6));
        e.size = Le32(d + 8);
        e.offset = Le32(d + 12);
        if (e.offset > f.size() || e.size > f.size() - e.offset || e.size < 40) {
            info.error = "image " + std::to_string(i) + " lies outside the file";
            return info;
        }
        const std::uint8_t* h = &f[e.offset];
        if (Le32(h) != 40) {
            info.error = "image " + std::to_string(i) + " has no BITMAPINFOHEADER";
            return info;
        }
        e.dibWidth = static_cast<int>(Le32(h + 4));
        e.dibHeight = static_cast<int>(Le32(h + 8));
        e.dibBitCount = static_cast<int>(Le16(h + 14));
        info.entries.push_back(e);
    }
    return info;
}

}  // namespace sorvix::test::art
