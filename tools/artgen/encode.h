// File encoders of the artwork generator: zlib/deflate, PNG, animated GIF and
// Windows icon files, all written here so the bytes depend on nothing but this
// code (a system zlib of another version would compress differently and make
// the checked-in data drift).
//
// Guarantees: the output is a pure function of the input; PNGs are 8-bit RGBA,
// non-interlaced, with one IDAT chunk and no ancillary chunks; GIFs are GIF89a
// with a global palette, a looping extension and one graphic control block per
// frame. Covered by tests/art (PNG chunk CRCs and an inflate of the data, a GIF
// LZW decode, ICO directory checks).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sorvix::artgen {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc = 0);
std::uint32_t Adler32(std::span<const std::uint8_t> data);

// A complete zlib stream (RFC 1950) of deflate blocks (RFC 1951) with fixed
// Huffman codes and LZ77 matches.
Bytes ZlibCompress(std::span<const std::uint8_t> data);

// A complete PNG file of straight RGBA pixels, rows top-down.
Bytes EncodePng(int width, int height, std::span<const std::uint8_t> rgba);

struct GifFrame {
    std::vector<std::uint8_t> indices;  // width * height palette indices
    int delayCentiseconds = 0;
};
// `palette` holds r, g, b triples; its size is padded to a power of two.
Bytes EncodeGif(int width, int height, std::span<const std::uint8_t> palette,
                const std::vector<GifFrame>& frames);

struct IconImage {
    int size = 0;  // square, 1..256
    std::vector<std::uint8_t> rgba;
};
// A .ico file with one 32-bit DIB image (colour plus AND mask) per entry.
Bytes EncodeIco(const std::vector<IconImage>& images);

}  // namespace sorvix::artgen
