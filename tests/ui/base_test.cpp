// Library start, text conversion, fonts, images from bytes and colours. Run
// under both ANSI code pages: conversions must not depend on it.
#include "ui_fixture.h"

#include <vector>

namespace sorvix::ui::test {
namespace {

std::string SampleImage(const wchar_t* mime) {
    Gdiplus::Bitmap bmp(6, 4, PixelFormat32bppARGB);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) bmp.SetPixel(x, y, Gdiplus::Color(255, 200, 10, 10));
    return EncodeImage(bmp, mime);
}

TEST(Colours, ToArgbSwapsRedAndBlueAndStores254ForOpaque) {
    struct Case {
        Colour colour;
        int alpha;
        bool given;
        Argb expected;
    } cases[] = {
        {0x0000FF, 255, true, 0xFEFF0000},
        {0x0000FF, 128, true, 0x80FF0000},
        {0x0000FF, 0, false, 0xFEFF0000},
        {0x123456, 0, true, 0x00563412},
        {0xFFFFFF, 254, true, 0xFEFFFFFF},
    };
    for (auto& c : cases) EXPECT_EQ(ToArgb(c.colour, c.alpha, c.given), c.expected) << std::hex << c.colour;
}

TEST(Colours, IsDarkUsesTheLuminanceThreshold) {
    EXPECT_TRUE(IsDark(0x000000));
    EXPECT_TRUE(IsDark(0x606060));
    EXPECT_FALSE(IsDark(0xFFFFFF));
    EXPECT_FALSE(IsDark(0xC0C0C0));   // 192 is not below 192
    EXPECT_TRUE(IsDark(0xBFBFBF));
    EXPECT_TRUE(IsDark(0xFF0000));    // pure blue is dark
    EXPECT_FALSE(IsDark(0x00FFFF));   // yellow is light
}

TEST(Text, ConversionUsesCodePage936WhateverTheAnsiCodePage) {
    EXPECT_EQ(GbkToWide("\xD6\xD0\xCE\xC4"), L"\u4E2D\u6587");
    EXPECT_EQ(WideToGbk(L"\u4E2D\u6587A"), "\xD6\xD0\xCE\xC4" "A");
    EXPECT_EQ(GbkToWide(""), L"");
}

TEST(Fonts, DefaultFontExistsAndMissingFamiliesFallBackToIt) {
    ASSERT_NE(Lib().defaultFont, nullptr);
    std::unique_ptr<Gdiplus::Font> f(CreateFontByName("No Such Family 123", 20.0f, 1));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FontFamilyName(f.get()), FontFamilyName(Lib().defaultFont));
    EXPECT_FLOAT_EQ(f->GetSize(), 20.0f);
    EXPECT_EQ(f->GetStyle(), 1);
    EXPECT_EQ(f->GetUnit(), Gdiplus::UnitPixel);
}

TEST(Fonts, SystemFaceReplacesTahomaAndUnusableFacesWithSimSun) {
    const std::string simsun = "\xCB\xCE\xCC\xE5";
    EXPECT_EQ(ChooseSystemFace("Tahoma"), simsun);
    EXPECT_EQ(ChooseSystemFace("No Such Face 42"), simsun);
    EXPECT_EQ(ChooseSystemFace(""), simsun);
    Text def = FontFamilyName(Lib().defaultFont);
    EXPECT_EQ(ChooseSystemFace(def), def);
    EXPECT_FALSE(SystemFontFace().empty());
}

TEST(Images, PngWithoutSignatureNeedsTheSignatureAdded) {
    std::string png = SampleImage(L"image/png");
    ASSERT_GT(png.size(), 8u);
    std::string bare = png.substr(8);
    EXPECT_EQ(ImageFromBytes(bare), nullptr);
    Gdiplus::Image* img = ImageFromBytes(bare, true);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(ImageWidth(img), 6);
    EXPECT_EQ(ImageHeight(img), 4);
    ImageFree(img);
    EXPECT_EQ(img, nullptr);
}

TEST(Images, CompletePngJpegAndBmpDecodeWithoutTheSignature) {
    for (const wchar_t* mime : {L"image/png", L"image/jpeg", L"image/bmp"}) {
        std::string bytes = SampleImage(mime);
        Gdiplus::Image* img = ImageFromBytes(bytes);
        ASSERT_NE(img, nullptr) << static_cast<int>(bytes.size());
        EXPECT_EQ(ImageWidth(img), 6);
        ImageFree(img);
    }
}

TEST(Images, CopiedBitmapOutlivesTheSourceBytes) {
    Gdiplus::Image* img = nullptr;
    {
        std::string bytes = SampleImage(L"image/png");
        img = ImageFromBytes(bytes);
        bytes.assign(bytes.size(), '\0');
    }
    ASSERT_NE(img, nullptr);
    Gdiplus::Color c;
    ASSERT_EQ(static_cast<Gdiplus::Bitmap*>(img)->GetPixel(2, 2, &c), Gdiplus::Ok);
    EXPECT_EQ(c.GetR(), 200);
    ImageFree(img);
}

TEST(Images, KeepSourceHandsMemoryAndStreamToTheCaller) {
    std::string bytes = SampleImage(L"image/png");
    ImageSource src;
    Gdiplus::Image* img = ImageFromBytes(bytes, false, true, &src);
    ASSERT_NE(img, nullptr);
    EXPECT_NE(src.memory, nullptr);
    EXPECT_NE(src.stream, nullptr);
    ImageFree(img, &src);
    EXPECT_EQ(src.memory, nullptr);
    EXPECT_EQ(src.stream, nullptr);
}

TEST(Images, EmptyAndBrokenBytesGiveNull) {
    EXPECT_EQ(ImageFromBytes(""), nullptr);
    EXPECT_EQ(ImageFromBytes("not a picture at all", true), nullptr);
    ImageSource src;
    EXPECT_EQ(ImageFromBytes("GIF89a", false, true, &src), nullptr);
    EXPECT_EQ(src.memory, nullptr);
}

TEST(Start, HostClassIsRegisteredWithDoubleClicks) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Kelvane", &wc));
    EXPECT_EQ(wc.style & CS_DBLCLKS, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(wc.lpfnWndProc, PassThroughWindowProc());
    EXPECT_NE(Lib().skinImage, nullptr);
    EXPECT_EQ(Lib().skinImage->GetWidth(), 729u);
    EXPECT_EQ(Lib().skinImage->GetHeight(), 20u);
    EXPECT_NE(Lib().defaultCursor, nullptr);
}

}  // namespace
}  // namespace sorvix::ui::test
