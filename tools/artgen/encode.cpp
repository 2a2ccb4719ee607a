// zlib/deflate, PNG, GIF and ICO writers of the artwork generator.
// The deflate writer uses fixed Huffman codes (no code tables to build) and a
// hash-chain LZ77 with one step of lazy matching; pictures of a few kilobytes
// compress well enough with it, and the bytes never change with the system.
#include "tools/artgen/encode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace sorvix::artgen {

namespace {

void Put16Le(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32Le(Bytes& out, std::uint32_t v) {
    Put16Le(out, v & 0xFFFF);
    Put16Le(out, v >> 16);
}

void Put32Be(Bytes& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>((v >> s) & 0xFF));
}

void PutText(Bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

// Bits are packed from the least significant bit of each byte up (deflate's
// and GIF's order).
class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void Put(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            acc_ |= ((value >> i) & 1u) << fill_;
            if (++fill_ == 8) Flush();
        }
    }
    // Huffman codes are defined most significant bit first.
    void PutReversed(std::uint32_t code, int count) {
        for (int i = count - 1; i >= 0; --i) Put((code >> i) & 1u, 1);
    }
    void Align() {
        if (fill_ > 0) Flush();
    }

private:
    void Flush() {
        out_.push_back(static_cast<std::uint8_t>(acc_));
        acc_ = 0;
        fill_ = 0;
    }
    Bytes& out_;
    std::uint32_t acc_ = 0;
    int fill_ = 0;
};

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                           33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void PutLiteralLength(BitWriter& bw, int sym) {
    if (sym < 144) {
        bw.PutReversed(0x30 + sym, 8);
    } else if (sym < 256) {
        bw.PutReversed(0x190 + (sym - 144), 9);
    } else if (sym < 280) {
        bw.PutReversed(sym - 256, 7);
    } else {
        bw.PutReversed(0xC0 + (sym - 280), 8);
    }
}

void PutMatch(BitWriter& bw, int length, int distance) {
    int li = 28;
    while (kLengthBase[li] > length) --li;
    PutLiteralLength(bw, 257 + li);
    bw.Put(static_cast<std::uint32_t>(length - kLengthBase[li]), kLengthExtra[li]);
    int di = 29;
    while (kDistBase[di] > distance) --di;
    bw.PutReversed(static_cast<std::uint32_t>(di), 5);
    bw.Put(static_cast<std::uint32_t>(distance - kDistBase[di]), kDistExtra[di]);
}

constexpr int kWindow = 32768;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kMaxChain = 256;
constexpr int kHashBits = 15;

class MatchFinder {
public:
    explicit MatchFinder(std::span<const std::uint8_t> data)
        : data_(data), head_(1u << kHashBits, -1), prev_(data.size(), -1) {}

    // Longest earlier match at `pos` (length 0 when none of at least 3 bytes).
    std::pair<int, int> Find(std::size_t pos) const {
        int bestLen = 0, bestDist = 0;
        if (pos + kMinMatch > data_.size()) return {0, 0};
        int maxLen = static_cast<int>(std::min<std::size_t>(kMaxMatch, data_.size() - pos));
        int cand = head_[Hash(pos)];
        for (int chain = 0; cand >= 0 && chain < kMaxChain; ++chain, cand = prev_[cand]) {
            int dist = static_cast<int>(pos) - cand;
            if (dist > kWindow) break;
            int len = 0;
            while (len < maxLen && data_[cand + len] == data_[pos + len]) ++len;
            if (len > bestLen) {
                bestLen = len;
                bestDist = dist;
                if (len == maxLen) break;
            }
        }
        return bestLen >= kMinMatch ? std::pair{bestLen, bestDist} : std::pair{0, 0};
    }

    void Insert(std::size_t pos) {
        if (pos + kMinMatch > data_.size()) return;
        std::uint32_t h = Hash(pos);
        prev_[pos] = head_[h];
        head_[h] = static_cast<int>(pos);
    }

private:
    std::uint32_t Hash(std::size_t pos) const {
        std::uint32_t v = (data_[pos] << 16) | (data_[pos + 1] << 8) | data_[pos + 2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    std::span<const std::uint8_t> data_;
    std::vector<int> head_;
    std::vector<int> prev_;
};

void Chunk(Bytes& png, std::string_view type, const Bytes& body) {
    Put32Be(png, static_cast<std::uint32_t>(body.size()));
    std::size_t start = png.size();
    PutText(png, type);
    png.insert(png.end(), body.begin(), body.end());
    Put32Be(png, Crc32(std::span(png).subspan(start)));
}

int PaethPredict(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(std::span<const std::uint8_t> data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : data) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

Bytes ZlibCompress(std::span<const std::uint8_t> data) {
    Bytes out = {0x78, 0x9C};  // deflate, 32 KiB window; 0x789C is a multiple of 31
    BitWriter bw(out);
    bw.Put(1, 1);  // final block
    bw.Put(1, 2);  // fixed Huffman codes
    MatchFinder finder(data);
    std::size_t pos = 0;
    while (pos < data.size()) {
        auto [len, dist] = finder.Find(pos);
        if (len == 0) {
            PutLiteralLength(bw, data[pos]);
            finder.Insert(pos);
            ++pos;
            continue;
        }
        // Positions must be looked up before they are inserted, or they would
        // match themselves at distance 0.
        finder.Insert(pos);
        if (len < kMaxMatch && pos + 1 < data.size()) {
            // Lazy step: when the match one byte on is longer, emit a literal
            // and let the next round take that match.
            auto next = finder.Find(pos + 1);
            if (next.first > len) {
                PutLiteralLength(bw, data[pos]);
                ++pos;
                continue;
            }
        }
        PutMatch(bw, len, dist);
        for (std::size_t i = pos + 1; i < pos + static_cast<std::size_t>(len); ++i) finder.Insert(i);
        pos += static_cast<std::size_t>(len);
    }
    PutLiteralLength(bw, 256);
    bw.Align();
    Put32Be(out, Adler32(data));
    return out;
}

Bytes EncodePng(int width, int height, std::span<const std::uint8_t> rgba) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    Bytes raw;
    raw.reserve((stride + 1) * height);
    std::vector<std::uint8_t> zero(stride, 0);
    std::array<Bytes, 5> trial;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = &rgba[y * stride];
        const std::uint8_t* up = y > 0 ? &rgba[(y - 1) * stride] : zero.data();
        // Each filter is tried; the row keeps the one whose bytes, read as
        // signed, sum to the least (the usual PNG heuristic).
        long best = -1;
        int bestFilter = 0;
        for (int f = 0; f < 5; ++f) {
            Bytes& t = trial[f];
            t.assign(stride, 0);
            long sum = 0;
            for (std::size_t i = 0; i < stride; ++i) {
                int a = i >= 4 ? row[i - 4] : 0;
                int b = up[i];
                int c = i >= 4 ? up[i - 4] : 0;
                int pred = f == 0 ? 0 : f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : PaethPredict(a, b, c);
                t[i] = static_cast<std::uint8_t>(row[i] - pred);
                sum += t[i] < 128 ? t[i] : 256 - t[i];
            }
            if (best < 0 || sum < best) {
                best = sum;
                bestFilter = f;
            }
        }
        raw.push_back(static_cast<std::uint8_t>(bestFilter));
        raw.insert(raw.end(), trial[bestFilter].begin(), trial[bestFilter].end());
    }

    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    Put32Be(ihdr, static_cast<std::uint32_t>(width));
    Put32Be(ihdr, static_cast<std::uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, adaptive filters, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", ZlibCompress(raw));
    Chunk(png, "IEND", {});
    return png;
}

Bytes EncodeGif(int width, int height, std::span<const std::uint8_t> palette, const std::vector<GifFrame>& frames) {
    int colours = static_cast<int>(palette.size() / 3);
    int bits = 1;
    while ((1 << bits) < colours) ++bits;

    Bytes out;
    PutText(out, "GIF89a");
    Put16Le(out, static_cast<unsigned>(width));
    Put16Le(out, static_cast<unsigned>(height));
    out.push_back(static_cast<std::uint8_t>(0x80 | 0x70 | (bits - 1)));  // global table, 8-bit source colour
    out.push_back(0);                                                      // background colour index
    out.push_back(0);                                                      // no aspect ratio
    for (int i = 0; i < (1 << bits) * 3; ++i) out.push_back(i < static_cast<int>(palette.size()) ? palette[i] : 0);

    // Loop forever.
    out.insert(out.end(), {0x21, 0xFF, 0x0B});
    PutText(out, "NETSCAPE2.0");
    out.insert(out.end(), {0x03, 0x01, 0x00, 0x00, 0x00});

    const int minCodeSize = std::max(2, bits);
    for (const GifFrame& frame : frames) {
        // Graphic control: disposal 1 (leave the frame), no transparency.
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x04});
        Put16Le(out, static_cast<unsigned>(frame.delayCentiseconds));
        out.insert(out.end(), {0x00, 0x00});
        out.push_back(0x2C);
        Put16Le(out, 0);
        Put16Le(out, 0);
        Put16Le(out, static_cast<unsigned>(width));
        Put16Le(out, static_cast<unsigned>(height));
        out.push_back(0);  // no local table, not interlaced

        // LZW: codes grow from minCodeSize + 1 bits up to 12; the table is
        // reset with a clear code when it is full.
        Bytes lzw;
        BitWriter bw(lzw);
        const int clearCode = 1 << minCodeSize;
        const int endCode = clearCode + 1;
        int codeSize = minCodeSize + 1;
        int nextCode = endCode + 1;
        std::unordered_map<std::uint32_t, int> table;
        auto key = [](int prefix, int byte) { return (static_cast<std::uint32_t>(prefix) << 8) | byte; };
        bw.Put(static_cast<std::uint32_t>(clearCode), codeSize);
        int prefix = -1;
        for (std::uint8_t px : frame.indices) {
            if (prefix < 0) {
                prefix = px;
                continue;
            }
            auto it = table.find(key(prefix, px));
            if (it != table.end()) {
                prefix = it->second;
                continue;
            }
            bw.Put(static_cast<std::uint32_t>(prefix), codeSize);
            // The decoder makes its entries one code later than the encoder,
            // so the width grows once the entry after 2^codeSize is made.
            table[key(prefix, px)] = nextCode++;
            if (nextCode > (1 << codeSize) && codeSize < 12) ++codeSize;
            if (nextCode == 4096) {
                bw.Put(static_cast<std::uint32_t>(clearCode), codeSize);
                table.clear();
                codeSize = minCodeSize + 1;
                nextCode = endCode + 1;
            }
            prefix = px;
        }
        if (prefix >= 0) bw.Put(static_cast<std::uint32_t>(prefix), codeSize);
        bw.Put(static_cast<std::uint32_t>(endCode), codeSize);
        bw.Align();

        out.push_back(static_cast<std::uint8_t>(minCodeSize));
        for (std::size_t i = 0; i < lzw.size(); i += 255) {
            std::size_t n = std::min<std::size_t>(255, lzw.size() - i);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), lzw.begin() + i, lzw.begin() + i + n);
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

Bytes EncodeIco(const std::vector<IconImage>& images) {
    Bytes out;
    Put16Le(out, 0);
    Put16Le(out, 1);  // icon
    Put16Le(out, static_cast<unsigned>(images.size()));
    std::vector<Bytes> bodies;
    for (const IconImage& img : images) {
        const int n = img.size;
        Bytes body;
        Put32Le(body, 40);
        Put32Le(body, static_cast<std::uint32_t>(n));
        Put32Le(body, static_cast<std::uint32_t>(n * 2));  // colour and mask stacked
        Put16Le(body, 1);
        Put16Le(body, 32);
        Put32Le(body, 0);  // BI_RGB
        const int maskStride = ((n + 31) / 32) * 4;
        Put32Le(body, static_cast<std::uint32_t>(n * n * 4 + maskStride * n));
        for (int i = 0; i < 4; ++i) Put32Le(body, 0);
        // Rows bottom-up, BGRA with straight alpha.
        for (int y = n - 1; y >= 0; --y) {
            for (int x = 0; x < n; ++x) {
                const std::uint8_t* p = &img.rgba[(static_cast<std::size_t>(y) * n + x) * 4];
                body.insert(body.end(), {p[2], p[1], p[0], p[3]});
            }
        }
        // The AND mask matters only where alpha is ignored (old displays):
        // mostly transparent pixels are masked out there.
        for (int y = n - 1; y >= 0; --y) {
            Bytes row(static_cast<std::size_t>(maskStride), 0);
            for (int x = 0; x < n; ++x) {
                if (img.rgba[(static_cast<std::size_t>(y) * n + x) * 4 + 3] < 128) row[x / 8] |= 0x80 >> (x % 8);
            }
            body.insert(body.end(), row.begin(), row.end());
        }
        bodies.push_back(std::move(body));
    }
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        int n = images[i].size;
        out.push_back(static_cast<std::uint8_t>(n >= 256 ? 0 : n));
        out.push_back(static_cast<std::uint8_t>(n >= 256 ? 0 : n));
        out.push_back(0);  // no palette
        out.push_back(0);
        Put16Le(out, 1);   // planes
        Put16Le(out, 32);  // bits per pixel
        Put32Le(out, static_cast<std::uint32_t>(bodies[i].size()));
        Put32Le(out, offset);
        offset += static_cast<std::uint32_t>(bodies[i].size());
    }
    for (const Bytes& b : bodies) out.insert(out.end(), b.begin(), b.end());
    return out;
}

}  // namespace sorvix::artgen
