// The artwork generator's pictures: draws every embedded picture of the
// program and renders the C++ data file that holds them.
//
// Guarantees: Generate() is a pure function (same bytes on every run and in
// both builds); the pictures follow the cell layouts of ui/resources/art.h.
// Covered by tests/art.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/artgen/encode.h"

namespace sorvix::artgen {

struct Picture {
    std::string symbol;    // array name in art_data.inc, e.g. "kSkinStrip"
    std::string fileName;  // file name for previews and for files written beside the data
    std::string format;    // "png", "gif" or "ico"
    bool withoutSignature = false;  // PNG stored from IHDR on (the 8-byte signature left off)
    int width = 0, height = 0;
    Bytes bytes;  // exactly what goes into the array
    // First frame (GIF) or largest image (ICO), straight RGBA, for previews.
    std::vector<std::uint8_t> rgba;
};

std::vector<Picture> Generate();

// The text of art_data.inc for these pictures.
std::string RenderDataFile(const std::vector<Picture>& pictures);

// A complete file for a picture (signature put back in front of stored PNG data).
Bytes CompleteFile(const Picture& picture);

}  // namespace sorvix::artgen
