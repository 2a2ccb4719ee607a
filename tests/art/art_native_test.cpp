// Native-only checks of the artwork generator: the system zlib, an independent
// inflater, must unpack every PNG to exactly the pixels that were drawn, and
// our deflate writer must survive its edge cases; the artgen tool itself must
// rewrite the checked-in files byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "containers.h"
#include "test_paths.h"
#include "tools/artgen/artwork.h"
#include "tools/artgen/encode.h"

namespace {

namespace gen = sorvix::artgen;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

bool Inflate(const Bytes& z, std::size_t expected, Bytes& out) {
    out.assign(expected + 1, 0);  // one spare byte shows an overlong stream
    uLongf len = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &len, z.data(), static_cast<uLong>(z.size())) != Z_OK) return false;
    out.resize(len);
    return true;
}

int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the PNG row filters of 8-bit RGBA data.
Bytes Unfilter(const Bytes& raw, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    Bytes out(stride * height);
    for (int y = 0; y < height; ++y) {
        int filter = raw[y * (stride + 1)];
        EXPECT_LE(filter, 4) << "row " << y;
        for (std::size_t i = 0; i < stride; ++i) {
            int a = i >= 4 ? out[y * stride + i - 4] : 0;
            int b = y > 0 ? out[(y - 1) * stride + i] : 0;
            int c = i >= 4 && y > 0 ? out[(y - 1) * stride + i - 4] : 0;
            int pred = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2 : Paeth(a, b, c);
            out[y * stride + i] = static_cast<std::uint8_t>(raw[y * (stride + 1) + 1 + i] + pred);
        }
    }
    return out;
}

TEST(ArtNative, EveryPngInflatesToThePixelsThatWereDrawn) {
    for (const gen::Picture& p : gen::Generate()) {
        if (p.format != "png") continue;
        SCOPED_TRACE(p.symbol);
        sorvix::test::art::PngInfo info = sorvix::test::art::ReadPng(gen::CompleteFile(p));
        ASSERT_EQ(info.error, "");
        Bytes raw;
        ASSERT_TRUE(Inflate(info.idat, static_cast<std::size_t>(p.height) * (1 + p.width * 4), raw));
        ASSERT_EQ(raw.size(), static_cast<std::size_t>(p.height) * (1 + p.width * 4));
        EXPECT_EQ(Unfilter(raw, p.width, p.height), p.rgba);
    }
}

TEST(ArtNative, DeflateWriterRoundTripsItsEdgeCases) {
    std::uint32_t seed = 88172645u;
    auto noise = [&](std::size_t n) {
        Bytes b(n);
        for (auto& v : b) {
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            v = static_cast<std::uint8_t>(seed);
        }
        return b;
    };
    // A block of noise repeated at a given distance: the match must reach back
    // exactly that far (32768 is the deflate window's limit, 32769 beyond it).
    auto repeatAt = [&](std::size_t distance) {
        Bytes b = noise(distance);
        Bytes copy(b.begin(), b.begin() + 600);
        b.insert(b.end(), copy.begin(), copy.end());
        return b;
    };
    struct Case {
        const char* name;
        Bytes data;
    };
    Bytes text;
    for (int i = 0; i < 1000; ++i) text.insert(text.end(), {'a', 'b', 'c', static_cast<std::uint8_t>('0' + i % 7)});
    const Case cases[] = {
        {"empty", {}},
        {"one byte", {0x42}},
        {"two bytes", {0x00, 0xFF}},
        {"run of 1000 zeros (longest matches)", Bytes(1000, 0)},
        {"run of 259 (one past the longest match)", Bytes(259, 7)},
        {"repetitive text", text},
        {"noise without matches", noise(70000)},
        {"repeat at distance 32768", repeatAt(32768)},
        {"repeat at distance 32769", repeatAt(32769)},
        {"every byte value", [] {
             Bytes b;
             for (int i = 0; i < 256 * 3; ++i) b.push_back(static_cast<std::uint8_t>(i * 37));
             return b;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes z = gen::ZlibCompress(c.data);
        Bytes out;
        ASSERT_TRUE(Inflate(z, c.data.size(), out));
        EXPECT_EQ(out, c.data);
        EXPECT_EQ(adler32(adler32(0, nullptr, 0), c.data.data(), static_cast<uInt>(c.data.size())), gen::Adler32(c.data));
    }
    EXPECT_EQ(gen::Crc32(Bytes{'I', 'E', 'N', 'D'}), 0xAE426082u);
}

class ArtgenTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("artgen-test-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static int Run(const std::string& args) {
        int status = std::system((std::string(ARTGEN_PATH) + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream f(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    fs::path dir_;
};

TEST_F(ArtgenTool, OutRewritesTheCheckedInFilesExactly) {
    ASSERT_EQ(Run("--out " + dir_.string()), 0);
    for (const char* name : {"art_data.inc", "sorvix.ico"}) {
        std::string fresh = Read(dir_ / name);
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_EQ(fresh, Read(sorvix::test::SourcePath(std::string("ui/resources/") + name)))
            << name << " is stale: run the artgen_update target";
    }
}

TEST_F(ArtgenTool, PreviewWritesCompleteFiles) {
    ASSERT_EQ(Run("--preview " + dir_.string()), 0);
    std::string strip = Read(dir_ / "skin_strip.png");
    sorvix::test::art::PngInfo info = sorvix::test::art::ReadPng(Bytes(strip.begin(), strip.end()));
    EXPECT_EQ(info.error, "") << "the preview of a signature-less picture gets its signature back";
    EXPECT_EQ(info.width, 729u);
    EXPECT_TRUE(fs::exists(dir_ / "loading.gif"));
    EXPECT_TRUE(fs::exists(dir_ / "preview_msgbox_mock.png"));
}

TEST_F(ArtgenTool, ReportsBadUsageAndUnwritableFolders) {
    const std::pair<std::string, int> cases[] = {
        {"", 2},
        {"--out", 2},
        {"--frobnicate " + dir_.string(), 2},
        {"--out " + (dir_ / "missing" / "folder").string(), 1},
    };
    for (const auto& [args, status] : cases) EXPECT_EQ(Run(args), status) << "artgen " << args;
}

}  // namespace
