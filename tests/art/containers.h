// Small, independent readers for the containers the artwork generator writes,
// used to check its output: PNG chunk structure with CRCs, GIF blocks with an
// LZW decoder written from the format's rules (not from the encoder), and
// the .ico directory. Each returns an error text instead of a value when the
// bytes break the format.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sorvix::test::art {

using Bytes = std::vector<std::uint8_t>;

struct PngInfo {
    std::string error;  // empty when the file is well formed
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    std::vector<std::string> chunkTypes;
    Bytes idat;  // the IDAT chunks' data, joined
};
// A complete PNG file (with its signature).
PngInfo ReadPng(std::span<const std::uint8_t> file);

struct GifFrameInfo {
    int delay = -1;  // hundredths of a second; -1 without a graphic control block
    int left = 0, top = 0, width = 0, height = 0;
    Bytes indices;
};
struct GifInfo {
    std::string error;
    int width = 0, height = 0;
    Bytes palette;  // r, g, b triples
    bool loops = false;
    std::vector<GifFrameInfo> frames;
};
GifInfo ReadGif(std::span<const std::uint8_t> file);

struct IcoEntry {
    int width = 0, height = 0, bitCount = 0;
    std::uint32_t size = 0, offset = 0;
    // From the image's BITMAPINFOHEADER.
    int dibWidth = 0, dibHeight = 0, dibBitCount = 0;
};
struct IcoInfo {
    std::string error;
    std::vector<IcoEntry> entries;
};
IcoInfo ReadIco(std::span<const std::uint8_t> file);

}  // namespace sorvix::test::art
