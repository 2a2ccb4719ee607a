// The built-in artwork: the checked-in arrays must be exactly what the
// generator draws now (in this build: the windows build thereby also proves the
// drawing is bit-identical under MinGW), every container must be well formed at
// its stated size, and the pictures must honour the cell layouts of art.h with
// visibly different states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "containers.h"
#include "test_paths.h"
#include "tools/artgen/artwork.h"
#include "tools/artgen/encode.h"
#include "ui/resources/art.h"

namespace {

namespace art = sorvix::ui::art;
namespace gen = sorvix::artgen;
using sorvix::test::art::Bytes;

struct Accessor {
    const char* symbol;
    std::span<const unsigned char> (*get)();
    const char* format;
    int width, height;
    bool withoutSignature;
};

const Accessor kAccessors[] = {
    {"kSkinStrip", art::SkinStrip, "png", 729, 20, true},
    {"kOptionGlyphStrip", art::OptionGlyphStrip, "png", 68, 17, true},
    {"kMessageBoxBackground", art::MessageBoxBackground, "png", 2, 160, false},
    {"kMessageBoxIcons", art::MessageBoxIcons, "png", 200, 40, false},
    {"kImageButtonSkin", art::ImageButtonSkin, "png", 70, 130, false},
    {"kMenuCheck", art::MenuCheck, "png", 16, 16, false},
    {"kAppIcon16", art::AppIcon16, "png", 16, 16, false},
    {"kAppIcon32", art::AppIcon32, "png", 32, 32, false},
    {"kAppIconFile", art::AppIconFile, "ico", 48, 48, false},
    {"kLoadingGif", art::LoadingGif, "gif", 48, 16, false},
};

const std::vector<gen::Picture>& Generated() {
    static const std::vector<gen::Picture> pictures = gen::Generate();
    return pictures;
}

const gen::Picture& PictureOf(const std::string& symbol) {
    for (const gen::Picture& p : Generated()) {
        if (p.symbol == symbol) return p;
    }
    ADD_FAILURE() << "no generated picture " << symbol;
    static const gen::Picture none;
    return none;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

Bytes WithSignature(std::span<const unsigned char> data) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes b(8 + data.size());
    std::copy(kSignature, kSignature + 8, b.begin());
    std::copy(data.begin(), data.end(), b.begin() + 8);
    return b;
}

// ---- The data cannot drift from its generator -------------------------------

TEST(ArtData, CheckedInArraysAreWhatTheGeneratorDraws) {
    ASSERT_EQ(Generated().size(), std::size(kAccessors)) << "every picture needs an accessor in art.h";
    for (const Accessor& a : kAccessors) {
        SCOPED_TRACE(a.symbol);
        const gen::Picture& p = PictureOf(a.symbol);
        std::span<const unsigned char> stored = a.get();
        EXPECT_EQ(p.format, a.format);
        EXPECT_EQ(p.withoutSignature, a.withoutSignature);
        EXPECT_EQ(p.width, a.width);
        EXPECT_EQ(p.height, a.height);
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), p.bytes.begin(), p.bytes.end()))
            << "ui/resources/art_data.inc is stale: run the artgen_update target";
    }
}

TEST(ArtData, DataFileAndIconFileAreCurrent) {
    EXPECT_EQ(ReadFile(sorvix::test::SourcePath("ui/resources/art_data.inc")), gen::RenderDataFile(Generated()))
        << "run the artgen_update target";
    std::string ico = ReadFile(sorvix::test::SourcePath("ui/resources/sorvix.ico"));
    std::span<const unsigned char> stored = art::AppIconFile();
    EXPECT_TRUE(std::equal(ico.begin(), ico.end(), stored.begin(), stored.end(),
                           [](char c, unsigned char u) { return static_cast<unsigned char>(c) == u; }));
}

TEST(ArtData, GenerationIsRepeatable) {
    std::vector<gen::Picture> again = gen::Generate();
    ASSERT_EQ(again.size(), Generated().size());
    for (std::size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i].bytes, Generated()[i].bytes) << again[i].symbol;
}

// ---- Containers -----------------------------------------------------------------

TEST(ArtPng, EveryPngIsWellFormedAtItsStatedSize) {
    for (const Accessor& a : kAccessors) {
        if (std::string(a.format) != "png") continue;
        SCOPED_TRACE(a.symbol);
        std::span<const unsigned char> stored = a.get();
        ASSERT_GE(stored.size(), 8u);
        Bytes file;
        if (a.withoutSignature) {
            // Stored from the IHDR chunk on: length 13, then the type.
            const unsigned char ihdrStart[8] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
            EXPECT_TRUE(std::equal(ihdrStart, ihdrStart + 8, stored.begin()));
            EXPECT_NE(sorvix::test::art::ReadPng(Bytes(stored.begin(), stored.end())).error, "")
                << "data stored without a signature must not read as a complete PNG";
            file = WithSignature(stored);
        } else {
            file.assign(stored.begin(), stored.end());
        }
        sorvix::test::art::PngInfo info = sorvix::test::art::ReadPng(file);
        ASSERT_EQ(info.error, "");
        EXPECT_EQ(info.width, static_cast<std::uint32_t>(a.width));
        EXPECT_EQ(info.height, static_cast<std::uint32_t>(a.height));
        EXPECT_EQ(info.bitDepth, 8);
        EXPECT_EQ(info.colourType, 6) << "RGBA";
        EXPECT_EQ(info.interlace, 0);
        EXPECT_EQ(info.chunkTypes, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    }
}

TEST(ArtPng, ReaderCatchesDamage) {
    Bytes good = WithSignature(art::OptionGlyphStrip());
    ASSERT_EQ(sorvix::test::art::ReadPng(good).error, "");
    struct Case {
        const char* name;
        Bytes bytes;
        const char* error;
    };
    Bytes flipped = good;
    flipped[60] ^= 0x01;  // inside the IDAT data
    Bytes truncated(good.begin(), good.end() - 5);
    Bytes badSig = good;
    badSig[1] = 'Q';
    const Case cases[] = {
        {"flipped IDAT byte", flipped, "bad CRC in IDAT"},
        {"cut short", truncated, "truncated chunk header"},
        {"bad signature", badSig, "no PNG signature"},
    };
    for (const Case& c : cases) EXPECT_EQ(sorvix::test::art::ReadPng(c.bytes).error, c.error) << c.name;
}

TEST(ArtGif, LoadingGifHasThreeLoopingFramesWithTheirDelays) {
    std::span<const unsigned char> stored = art::LoadingGif();
    sorvix::test::art::GifInfo gif = sorvix::test::art::ReadGif(Bytes(stored.begin(), stored.end()));
    ASSERT_EQ(gif.error, "");
    EXPECT_EQ(gif.width, art::kLoadingGifWidth);
    EXPECT_EQ(gif.height, art::kLoadingGifHeight);
    EXPECT_TRUE(gif.loops);
    ASSERT_EQ(gif.frames.size(), static_cast<std::size_t>(art::kLoadingGifFrames));
    const int delays[] = {5, 0, 20};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(gif.frames[i].delay, delays[i]);
        EXPECT_EQ(gif.frames[i].width, gif.width);
        EXPECT_EQ(gif.frames[i].height, gif.height);
    }
    EXPECT_NE(gif.frames[0].indices, gif.frames[1].indices);
    EXPECT_NE(gif.frames[1].indices, gif.frames[2].indices);
    EXPECT_NE(gif.frames[0].indices, gif.frames[2].indices);

    // The first frame, through the palette, is the picture the generator drew.
    const gen::Picture& p = PictureOf("kLoadingGif");
    Bytes rgba;
    for (std::uint8_t i : gif.frames[0].indices) {
        ASSERT_LT(i * 3u + 2, gif.palette.size());
        rgba.insert(rgba.end(), {gif.palette[i * 3], gif.palette[i * 3 + 1], gif.palette[i * 3 + 2], 255});
    }
    EXPECT_EQ(rgba, p.rgba);
}

// The LZW writer's hard spots: the smallest code size, widening codes, and a
// full table that forces clear codes.
TEST(ArtGif, EncoderRoundTripsThroughAnIndependentDecoder) {
    struct Case {
        const char* name;
        int width, height, colours;
        int pattern;  // 0 one colour, 1 checkerboard, 2 noise, 3 long runs
    };
    const Case cases[] = {
        {"single pixel", 1, 1, 2, 0},
        {"two-colour checkerboard", 64, 64, 2, 1},
        {"256-colour noise fills the table", 120, 120, 256, 2},
        {"16-colour runs", 200, 30, 16, 3},
        {"odd size, 5 colours", 37, 23, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes palette;
        for (int i = 0; i < c.colours; ++i) palette.insert(palette.end(), {std::uint8_t(i), std::uint8_t(255 - i), 7});
        gen::GifFrame frame;
        frame.delayCentiseconds = 3;
        std::uint32_t seed = 2463534242u;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
                int v = c.pattern == 0 ? 1 : c.pattern == 1 ? (x + y) % 2 : c.pattern == 2 ? int(seed % c.colours) : (x / 9 + y) % c.colours;
                frame.indices.push_back(static_cast<std::uint8_t>(v));
            }
        }
        Bytes file = gen::EncodeGif(c.width, c.height, palette, {frame, frame});
        sorvix::test::art::GifInfo gif = sorvix::test::art::ReadGif(file);
        ASSERT_EQ(gif.error, "");
        ASSERT_EQ(gif.frames.size(), 2u);
        EXPECT_EQ(gif.frames[0].indices, frame.indices);
        EXPECT_EQ(gif.frames[1].indices, frame.indices);
        EXPECT_EQ(gif.frames[1].delay, 3);
    }
}

TEST(ArtIco, IconFileHolds16_32And48PixelImagesWithAlpha) {
    std::span<const unsigned char> stored = art::AppIconFile();
    sorvix::test::art::IcoInfo ico = sorvix::test::art::ReadIco(Bytes(stored.begin(), stored.end()));
    ASSERT_EQ(ico.error, "");
    ASSERT_EQ(ico.entries.size(), 3u);
    std::uint32_t expectedOffset = 6 + 16 * 3;
    const int sizes[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        const sorvix::test::art::IcoEntry& e = ico.entries[i];
        const int n = sizes[i];
        EXPECT_EQ(e.width, n);
        EXPECT_EQ(e.height, n);
        EXPECT_EQ(e.bitCount, 32);
        EXPECT_EQ(e.dibWidth, n);
        EXPECT_EQ(e.dibHeight, 2 * n) << "colour and mask stacked";
        EXPECT_EQ(e.dibBitCount, 32);
        const std::uint32_t maskStride = (n + 31) / 32 * 4;
        EXPECT_EQ(e.size, 40 + std::uint32_t(n * n * 4) + maskStride * n);
        EXPECT_EQ(e.offset, expectedOffset) << "images follow each other without gaps";
        expectedOffset += e.size;
    }
    EXPECT_EQ(expectedOffset, stored.size());
}

// ---- Layout ---------------------------------------------------------------------

TEST(ArtLayout, SkinStripCellsTileTheStripWithoutOverlap) {
    std::vector<art::Cell> cells;
    for (int g = 0; g <= static_cast<int>(art::CaptionGlyph::Help); ++g) {
        for (int s = 0; s <= static_cast<int>(art::CaptionState::Pressed); ++s) {
            cells.push_back(art::CaptionButtonCell(static_cast<art::CaptionGlyph>(g), static_cast<art::CaptionState>(s)));
        }
    }
    for (int a = 0; a <= static_cast<int>(art::ScrollArrow::Right); ++a) {
        cells.push_back(art::ScrollArrowCell(static_cast<art::ScrollArrow>(a)));
    }
    std::sort(cells.begin(), cells.end(), [](const art::Cell& a, const art::Cell& b) { return a.x < b.x; });
    int x = 0;
    for (const art::Cell& c : cells) {
        EXPECT_EQ(c.x, x) << "gap or overlap";
        EXPECT_EQ(c.y, 0);
        EXPECT_LE(c.height, art::kSkinStripHeight);
        x = c.x + c.width;
    }
    EXPECT_EQ(x, art::kSkinStripWidth);
    EXPECT_EQ(art::CaptionButtonCell(art::CaptionGlyph::Close, art::CaptionState::Hot).width, 39);
    EXPECT_EQ(art::CaptionButtonCell(art::CaptionGlyph::Minimise, art::CaptionState::Normal).width, 28);
    EXPECT_EQ(art::CaptionButtonCell(art::CaptionGlyph::Close, art::CaptionState::Normal).height, 19);
}

TEST(ArtLayout, CodesMapToTheirCells) {
    const std::pair<int, art::CaptionGlyph> kinds[] = {
        {4, art::CaptionGlyph::Close},    {8, art::CaptionGlyph::Maximise},     {16, art::CaptionGlyph::Minimise},
        {32, art::CaptionGlyph::Menu},    {64, art::CaptionGlyph::Appearance}, {128, art::CaptionGlyph::Pin},
        {256, art::CaptionGlyph::Help},
    };
    for (auto [kind, glyph] : kinds) EXPECT_EQ(art::CaptionGlyphForKind(kind), glyph) << kind;

    const std::pair<int, int> icons[] = {{16, 0}, {48, 40}, {32, 80}, {64, 120}, {128, 160}};
    for (auto [icon, x] : icons) {
        art::Cell c = art::MessageBoxIconCell(icon);
        EXPECT_EQ(c.x, x) << icon;
        EXPECT_EQ(c.width, 40) << icon;
        EXPECT_EQ(c.height, 40) << icon;
    }
    for (int icon : {0, 1, 33, 256}) EXPECT_EQ(art::MessageBoxIconCell(icon).width, 0) << icon;

    const std::pair<std::pair<bool, bool>, int> glyphs[] = {
        {{false, false}, 0}, {{false, true}, 17}, {{true, false}, 34}, {{true, true}, 51}};
    for (auto [state, x] : glyphs) EXPECT_EQ(art::OptionGlyphCell(state.first, state.second).x, x);
}

// ---- Pixels -----------------------------------------------------------------------

struct View {
    const gen::Picture& p;
    const std::uint8_t* At(int x, int y) const { return &p.rgba[(static_cast<std::size_t>(y) * p.width + x) * 4]; }
    int Alpha(int x, int y) const { return At(x, y)[3]; }
};

// Mean absolute difference per channel between two equal-sized cells.
double CellDifference(const View& v, const art::Cell& a, const art::Cell& b) {
    double sum = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int k = 0; k < 4; ++k) sum += std::abs(v.At(a.x + x, a.y + y)[k] - v.At(b.x + x, b.y + y)[k]);
        }
    }
    return sum / (a.width * a.height * 4.0);
}

int MaxAlpha(const View& v, const art::Cell& c) {
    int m = 0;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) m = std::max(m, v.Alpha(c.x + x, c.y + y));
    }
    return m;
}

TEST(ArtPixels, CaptionButtonsShowTheirGlyphAndStatesDiffer) {
    View v{PictureOf("kSkinStrip")};
    for (int g = 0; g <= static_cast<int>(art::CaptionGlyph::Help); ++g) {
        SCOPED_TRACE(g);
        auto cell = [g](art::CaptionState s) { return art::CaptionButtonCell(static_cast<art::CaptionGlyph>(g), s); };
        art::Cell normal = cell(art::CaptionState::Normal), hot = cell(art::CaptionState::Hot),
                  pressed = cell(art::CaptionState::Pressed);
        for (const art::Cell& c : {normal, hot, pressed}) {
            EXPECT_GE(MaxAlpha(v, c), 220) << "glyph missing at x " << c.x;
            for (int x = 0; x < c.width; ++x) EXPECT_EQ(v.Alpha(c.x + x, 19), 0) << "row 19 must stay empty";
        }
        EXPECT_GT(CellDifference(v, normal, hot), 8.0);
        EXPECT_GT(CellDifference(v, hot, pressed), 5.0);
        EXPECT_GT(CellDifference(v, normal, pressed), 8.0);
    }
    // The glyphs themselves differ: no two kinds share a picture.
    std::set<std::vector<std::uint8_t>> seen;
    for (int g = 0; g <= static_cast<int>(art::CaptionGlyph::Help); ++g) {
        art::Cell c = art::CaptionButtonCell(static_cast<art::CaptionGlyph>(g), art::CaptionState::Normal);
        std::vector<std::uint8_t> alpha;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) alpha.push_back(static_cast<std::uint8_t>(v.Alpha(c.x + x, c.y + y)));
        }
        EXPECT_TRUE(seen.insert(alpha).second) << "glyph " << g << " repeats another";
    }
    for (int a = 0; a <= static_cast<int>(art::ScrollArrow::Right); ++a) {
        EXPECT_GE(MaxAlpha(v, art::ScrollArrowCell(static_cast<art::ScrollArrow>(a))), 180) << "arrow " << a;
    }
}

TEST(ArtPixels, OptionGlyphsAreDistinctAndCheckedOnesCarryTheAccent) {
    View v{PictureOf("kOptionGlyphStrip")};
    const art::Cell cells[] = {art::OptionGlyphCell(false, false), art::OptionGlyphCell(false, true),
                               art::OptionGlyphCell(true, false), art::OptionGlyphCell(true, true)};
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) EXPECT_GT(CellDifference(v, cells[i], cells[j]), 3.0) << i << " vs " << j;
    }
    // At the box's centre-left (clear of the tick) unchecked is near white and checked is blue.
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t* p = v.At(cells[i].x + 4, cells[i].y + 12);
        if (i < 2) {
            EXPECT_GT(p[0], 200) << i;
        } else {
            EXPECT_LT(p[0], 140) << i;
            EXPECT_GT(p[2], p[0] + 60) << i;
        }
        EXPECT_EQ(p[3], 255) << i;
    }
}

TEST(ArtPixels, MessageBoxStripBandsStretchCleanly) {
    View v{PictureOf("kMessageBoxBackground")};
    // The middle band is one colour, so any slice of it stretches alike.
    for (int y = art::kMessageBoxMiddleBand.y; y < art::kMessageBoxMiddleBand.y + art::kMessageBoxMiddleBand.height; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_TRUE(std::equal(v.At(x, y), v.At(x, y) + 4, v.At(0, art::kMessageBoxMiddleBand.y))) << y;
        }
    }
    // Every row is translucent, never empty and never fully opaque: glass
    // below the caption, and behind the caption clear enough for the theme
    // colour to carry the white title.
    for (int y = 0; y < art::kMessageBoxStripHeight; ++y) {
        EXPECT_GT(v.Alpha(0, y), y < art::kMessageBoxCaptionRows ? 0 : 100) << y;
        EXPECT_LT(v.Alpha(0, y), y < art::kMessageBoxCaptionRows ? 128 : 255) << y;
    }
}

TEST(ArtPixels, IconsAndButtonsAreDrawnInTheirCells) {
    View icons{PictureOf("kMessageBoxIcons")};
    for (int icon : {16, 48, 32, 64, 128}) {
        art::Cell c = art::MessageBoxIconCell(icon);
        EXPECT_EQ(icons.Alpha(c.x + 20, c.y + 24), 255) << icon;
        EXPECT_EQ(icons.Alpha(c.x, c.y), 0) << icon;
    }
    View button{PictureOf("kImageButtonSkin")};
    using S = art::ImageButtonState;
    const S states[] = {S::Normal, S::Hot, S::Pressed, S::Disabled, S::FocusGlow};
    for (int i = 0; i < 5; ++i) {
        for (int j = i + 1; j < 5; ++j) {
            EXPECT_GT(CellDifference(button, art::ImageButtonCell(states[i]), art::ImageButtonCell(states[j])), 2.0)
                << i << " vs " << j;
        }
    }
    art::Cell glow = art::ImageButtonCell(S::FocusGlow);
    EXPECT_EQ(button.Alpha(glow.x + 35, glow.y + 13), 0) << "the glow leaves the caption area clear";
    EXPECT_GT(button.Alpha(glow.x + 35, glow.y), 150);
    View icon{PictureOf("kAppIcon16")};
    EXPECT_GT(MaxAlpha(icon, {0, 0, 16, 16}), 240);
    EXPECT_EQ(icon.Alpha(15, 0), 0) << "the mark leaves the top-right corner clear";
}

}  // namespace
