// The built-in pictures as the platform reads them: GDI+ must decode every
// PNG (the signature-less ones only once the signature is put back, as the
// library's loader does), see the GIF's three frames and their delays, and
// the icon file must give real icons. Windows only (runs under Wine).
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <vector>

#include "tools/artgen/artwork.h"
#include "ui/resources/art.h"

namespace {

namespace art = sorvix::ui::art;
namespace gen = sorvix::artgen;
using namespace Gdiplus;
using Bytes = std::vector<unsigned char>;

class GdiplusSession : public ::testing::Environment {
public:
    void SetUp() override {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};
const auto* const kSession = ::testing::AddGlobalTestEnvironment(new GdiplusSession);

// Decodes bytes the way the library does: a global block, a stream on it,
// GdipLoadImageFromStream. The image keeps the stream; both are released by
// the holder.
class Decoded {
public:
    explicit Decoded(const Bytes& data) {
        HGLOBAL block = GlobalAlloc(GHND, data.size());
        void* p = GlobalLock(block);
        std::memcpy(p, data.data(), data.size());
        GlobalUnlock(block);
        if (CreateStreamOnHGlobal(block, TRUE, &stream_) != S_OK) {
            GlobalFree(block);
            return;
        }
        if (DllExports::GdipLoadImageFromStream(stream_, &image_) != Ok) image_ = nullptr;
    }
    ~Decoded() {
        if (image_) DllExports::GdipDisposeImage(image_);
        if (stream_) stream_->Release();
    }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;

    GpImage* Image() const { return image_; }
    UINT Width() const {
        UINT w = 0;
        DllExports::GdipGetImageWidth(image_, &w);
        return w;
    }
    UINT Height() const {
        UINT h = 0;
        DllExports::GdipGetImageHeight(image_, &h);
        return h;
    }
    ARGB Pixel(int x, int y) const {
        ARGB c = 0;
        DllExports::GdipBitmapGetPixel(static_cast<GpBitmap*>(image_), x, y, &c);
        return c;
    }

private:
    IStream* stream_ = nullptr;
    GpImage* image_ = nullptr;
};

Bytes ToBytes(std::span<const unsigned char> s) { return Bytes(s.begin(), s.end()); }

Bytes WithSignature(std::span<const unsigned char> s) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    b.resize(8 + s.size());
    std::memcpy(b.data() + 8, s.data(), s.size());
    return b;
}

TEST(ArtGdiplus, EveryPngDecodesAtItsSizeWithItsPixels) {
    struct Case {
        const char* symbol;
        std::span<const unsigned char> (*get)();
        bool withoutSignature;
    };
    const Case cases[] = {
        {"kSkinStrip", art::SkinStrip, true},
        {"kOptionGlyphStrip", art::OptionGlyphStrip, true},
        {"kMessageBoxBackground", art::MessageBoxBackground, false},
        {"kMessageBoxIcons", art::MessageBoxIcons, false},
        {"kImageButtonSkin", art::ImageButtonSkin, false},
        {"kMenuCheck", art::MenuCheck, false},
        {"kAppIcon16", art::AppIcon16, false},
        {"kAppIcon32", art::AppIcon32, false},
    };
    const std::vector<gen::Picture> pictures = gen::Generate();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        const gen::Picture* p = nullptr;
        for (const gen::Picture& q : pictures) {
            if (q.symbol == c.symbol) p = &q;
        }
        ASSERT_NE(p, nullptr);
        if (c.withoutSignature) {
            Decoded bare(ToBytes(c.get()));
            EXPECT_EQ(bare.Image(), nullptr) << "without its signature the data must not decode";
        }
        Decoded d(c.withoutSignature ? WithSignature(c.get()) : ToBytes(c.get()));
        ASSERT_NE(d.Image(), nullptr);
        EXPECT_EQ(d.Width(), static_cast<UINT>(p->width));
        EXPECT_EQ(d.Height(), static_cast<UINT>(p->height));
        // Straight alpha survives: a grid of pixels matches what was drawn.
        int compared = 0;
        for (int y = 0; y < p->height; y += 2) {
            for (int x = 0; x < p->width; x += 3) {
                const unsigned char* s = &p->rgba[(static_cast<std::size_t>(y) * p->width + x) * 4];
                ARGB got = d.Pixel(x, y);
                EXPECT_EQ(got >> 24, s[3]) << x << "," << y;
                // Colour of translucent pixels may be rounded through a
                // premultiplied form; it must stay within 2 levels.
                if (s[3] >= 32) {
                    for (int k = 0; k < 3; ++k) {
                        int channel = static_cast<int>((got >> (16 - 8 * k)) & 0xFF);
                        EXPECT_NEAR(channel, s[k], s[3] == 255 ? 0 : 2) << x << "," << y << " channel " << k;
                    }
                }
                ++compared;
            }
        }
        EXPECT_GT(compared, 0);
    }
}

TEST(ArtGdiplus, GifHasThreeTimeFramesWithTheirDelays) {
    Decoded d(ToBytes(art::LoadingGif()));
    ASSERT_NE(d.Image(), nullptr);
    // FrameDimensionTime, {6AEDBD6D-3FB5-418A-83A6-7F45229DC872}.
    const GUID time = {0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};
    UINT frames = 0;
    ASSERT_EQ(DllExports::GdipImageGetFrameCount(d.Image(), &time, &frames), Ok);
    EXPECT_EQ(frames, 3u);
    UINT size = 0;
    ASSERT_EQ(DllExports::GdipGetPropertyItemSize(d.Image(), 0x5100, &size), Ok);
    std::vector<unsigned char> buffer(size);
    auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
    ASSERT_EQ(DllExports::GdipGetPropertyItem(d.Image(), 0x5100, size, item), Ok);
    EXPECT_EQ(item->type, 4) << "PropertyTagTypeLong";
    ASSERT_EQ(item->length, 12u);
    const LONG* delays = static_cast<const LONG*>(item->value);
    EXPECT_EQ(delays[0], 5);
    EXPECT_EQ(delays[1], 0);
    EXPECT_EQ(delays[2], 20);
    EXPECT_EQ(DllExports::GdipImageSelectActiveFrame(d.Image(), &time, 2), Ok);
}

TEST(ArtGdiplus, IconFileGivesIconsOfEverySize) {
    Bytes ico = ToBytes(art::AppIconFile());
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        // The directory entry of that size, then the image it points to.
        const unsigned char* dir = ico.data() + 6;
        int count = ico[4];
        int found = -1;
        for (int i = 0; i < count; ++i) {
            if (dir[16 * i] == size) found = i;
        }
        ASSERT_GE(found, 0);
        DWORD bytes, offset;
        std::memcpy(&bytes, dir + 16 * found + 8, 4);
        std::memcpy(&offset, dir + 16 * found + 12, 4);
        HICON icon = CreateIconFromResourceEx(ico.data() + offset, bytes, TRUE, 0x00030000, size, size, 0);
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

}  // namespace
