// artgen: draws the program's built-in pictures.
//
//   artgen --out DIR       write DIR/art_data.inc and DIR/sorvix.ico
//   artgen --preview DIR   write every picture as a complete file, plus for
//                          each one an enlarged view over the three backgrounds
//                          the pictures meet (theme blue, grey, white)
//
// Exit status 0 on success, 1 when a file cannot be written, 2 on bad usage.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/artgen/artwork.h"
#include "tools/artgen/encode.h"

namespace {

using sorvix::artgen::Bytes;
using sorvix::artgen::Picture;

bool WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    f.close();
    if (!f) {
        std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The picture at `scale` times its size over three background bands.
Bytes PreviewSheet(const Picture& p, int scale) {
    const unsigned backgrounds[3] = {0x0088FF, 0x606060, 0xF4F4F4};
    const int w = p.width * scale + 16, band = p.height * scale + 16, h = band * 3;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        unsigned bg = backgrounds[y / band];
        for (int x = 0; x < w; ++x) {
            int r = (bg >> 16) & 0xFF, g = (bg >> 8) & 0xFF, b = bg & 0xFF;
            int sx = (x - 8) / scale, sy = (y % band - 8) / scale;
            if (x >= 8 && y % band >= 8 && sx < p.width && sy < p.height) {
                const std::uint8_t* s = &p.rgba[(static_cast<std::size_t>(sy) * p.width + sx) * 4];
                int a = s[3];
                r = (s[0] * a + r * (255 - a)) / 255;
                g = (s[1] * a + g * (255 - a)) / 255;
                b = (s[2] * a + b * (255 - a)) / 255;
            }
            std::uint8_t* d = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            d[0] = static_cast<std::uint8_t>(r);
            d[1] = static_cast<std::uint8_t>(g);
            d[2] = static_cast<std::uint8_t>(b);
            d[3] = 255;
        }
    }
    return sorvix::artgen::EncodePng(w, h, rgba);
}

const Picture* Find(const std::vector<Picture>& pictures, const std::string& symbol) {
    for (const Picture& p : pictures) {
        if (p.symbol == symbol) return &p;
    }
    return nullptr;
}

// A 320 x 150 message box as the library paints it over the default theme
// colour: the background strip's three bands stretched inside the 7-pixel
// margin, the question icon at (30, 40) and one skinned button (hot).
Bytes MessageBoxMock(const std::vector<Picture>& pictures) {
    const int w = 320, h = 150;
    const Picture* strip = Find(pictures, "kMessageBoxBackground");
    const Picture* icons = Find(pictures, "kMessageBoxIcons");
    const Picture* button = Find(pictures, "kImageButtonSkin");
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
    auto over = [&](int x, int y, const std::uint8_t* s) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        std::uint8_t* d = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
        for (int k = 0; k < 3; ++k) d[k] = static_cast<std::uint8_t>((s[k] * s[3] + d[k] * (255 - s[3])) / 255);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* d = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            d[0] = 0x00, d[1] = 0x88, d[2] = 0xFF, d[3] = 255;
        }
    }
    // Target bands: (7, 96) from rows 0-95, (103, h - 145) from 97-128, (h - 42, 35) from 129-159.
    struct Band { int y, height, srcY, srcHeight; };
    const Band bands[3] = {{7, 96, 0, 96}, {103, h - 145, 97, 32}, {h - 42, 35, 129, 31}};
    for (const Band& b : bands) {
        for (int y = 0; y < b.height; ++y) {
            int sy = b.srcY + y * b.srcHeight / b.height;
            for (int x = 7; x < w - 7; ++x) over(x, b.y + y, &strip->rgba[static_cast<std::size_t>(sy) * 2 * 4]);
        }
    }
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) over(30 + x, 40 + y, &icons->rgba[(static_cast<std::size_t>(y) * 200 + 80 + x) * 4]);
    }
    for (int y = 0; y < 26; ++y) {
        for (int x = 0; x < 70; ++x) {
            over(w - 83 + x, h - 35 + y, &button->rgba[(static_cast<std::size_t>(26 + y) * 70 + x) * 4]);
        }
    }
    return sorvix::artgen::EncodePng(w, h, rgba);
}

int Usage() {
    std::fprintf(stderr, "usage: artgen --out DIR | --preview DIR\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    const std::string mode = argv[1], dir = argv[2];
    const std::vector<Picture> pictures = sorvix::artgen::Generate();
    if (mode == "--out") {
        const std::string inc = sorvix::artgen::RenderDataFile(pictures);
        if (!WriteFile(dir + "/art_data.inc", inc.data(), inc.size())) return 1;
        for (const Picture& p : pictures) {
            if (p.format == "ico" && !WriteFile(dir + "/" + p.fileName, p.bytes.data(), p.bytes.size())) return 1;
        }
        return 0;
    }
    if (mode == "--preview") {
        for (const Picture& p : pictures) {
            Bytes file = sorvix::artgen::CompleteFile(p);
            if (!WriteFile(dir + "/" + p.fileName, file.data(), file.size())) return 1;
            int scale = p.width * p.height > 4000 ? 3 : 8;
            Bytes sheet = PreviewSheet(p, scale);
            if (!WriteFile(dir + "/preview_" + p.fileName + ".png", sheet.data(), sheet.size())) return 1;
        }
        Bytes mock = MessageBoxMock(pictures);
        if (!WriteFile(dir + "/preview_msgbox_mock.png", mock.data(), mock.size())) return 1;
        return 0;
    }
    return Usage();
}
