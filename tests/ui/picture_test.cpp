// Picture element: GIF frame timing, still pictures, undecodable bytes,
// icon conversion keeping mask transparency, and rounded window regions.
#include "ui_fixture.h"

#include "ui/resources/art.h"

namespace sorvix::ui::test {
namespace {

// A 1 x 1 GIF89a of three frames with the given delays (hundredths), each
// frame's pixel a different palette colour, looping forever.
std::string ThreeFrameGif(int d1, int d2, int d3) {
    std::string g = "GIF89a";
    g += std::string("\x01\x00\x01\x00\xF1\x00\x00", 7);                 // 1x1, 4-colour table
    g += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\xFF", 12);
    g += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    int delays[3] = {d1, d2, d3};
    for (int i = 0; i < 3; ++i) {
        g += std::string("\x21\xF9\x04\x00", 4);
        g += static_cast<char>(delays[i] & 0xFF);
        g += static_cast<char>(delays[i] >> 8);
        g += std::string("\x00\x00", 2);
        g += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        // LZW, minimum code size 2: clear (4), index i, end (5) in 3-bit codes.
        unsigned bits = 4u | (static_cast<unsigned>(i) << 3) | (5u << 6);
        g += std::string("\x02\x02", 2);
        g += static_cast<char>(bits & 0xFF);
        g += static_cast<char>(bits >> 8);
        g += std::string("\x00", 1);
    }
    g += ";";
    return g;
}

std::string StillPng() {
    Gdiplus::Bitmap bmp(4, 4, PixelFormat32bppARGB);
    return EncodeImage(bmp, L"image/png");
}

class PictureTest : public HostFixture {
protected:
    // A host holding a 20 x 20 picture of ThreeFrameGif(d1, d2, d3).
    ElementHandle MakeGifPicture(UiPicture& pic, const PictureOptions& options, int d1, int d2, int d3) {
        MakeHost();
        return pic.CreateFromBytes(window, {10, 10, 20, 20}, ThreeFrameGif(d1, d2, d3), options);
    }
};

TEST_F(PictureTest, EachGifFrameStaysForTheDelayOfTheFrameThatFollows) {
    UiPicture pic;
    PictureOptions po;
    po.replaceZeroDelays = true;
    ElementHandle h = MakeGifPicture(pic, po, 5, 0, 20);
    ASSERT_NE(h, 0u);
    ASSERT_EQ(pic.FrameCount(), 3);
    EXPECT_EQ(pic.FrameDelays(), (std::vector<int>{5, 10, 20}));
    // Creation painted frame 1: it stays for frame 2's delay.
    EXPECT_EQ(pic.LastTimerDelay(), 100);
    EXPECT_EQ(pic.CurrentFrame(), 2);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        SendMessageW(window, WM_TIMER, h, 0);
        shown.push_back(pic.LastTimerDelay());
    }
    // Frame 2 for 200 ms, frame 3 for 50, and round again.
    EXPECT_EQ(shown, (std::vector<int>{200, 50, 100, 200}));
}

TEST_F(PictureTest, TheBuiltInLoadingGifPlaysWithItsDelays) {
    MakeHost();
    auto bytes = art::LoadingGif();
    UiPicture pic;
    ElementHandle h = pic.CreateFromBytes(
        window, {10, 10, 48, 16}, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    ASSERT_EQ(pic.FrameCount(), art::kLoadingGifFrames);
    EXPECT_EQ(pic.FrameDelays(), (std::vector<int>{5, 10, 20}));
    std::vector<int> shown{pic.LastTimerDelay()};
    for (int i = 0; i < 3; ++i) {
        SendMessageW(window, WM_TIMER, h, 0);
        shown.push_back(pic.LastTimerDelay());
    }
    EXPECT_EQ(shown, (std::vector<int>{100, 200, 50, 100}));
    // It also runs on its own window timer.
    int before = pic.CurrentFrame();
    PumpFor(260);
    EXPECT_NE(pic.CurrentFrame(), before);
}

TEST_F(PictureTest, StoppedPictureStaysOnTheFirstFrame) {
    UiPicture pic;
    PictureOptions po;
    po.playing = false;
    ElementHandle h = MakeGifPicture(pic, po, 5, 5, 5);
    SendMessageW(window, WM_TIMER, h, 0);
    EXPECT_EQ(pic.CurrentFrame(), 1);
    EXPECT_EQ(pic.LastTimerDelay(), 0);
}

TEST_F(PictureTest, StillPngNeverStartsATimer) {
    MakeHost();
    UiPicture pic;
    pic.CreateFromBytes(window, {10, 10, 20, 20}, StillPng());
    EXPECT_EQ(pic.FrameCount(), 1);
    EXPECT_EQ(pic.FrameDelays(), std::vector<int>{10});
    pic.Redraw();
    EXPECT_EQ(pic.LastTimerDelay(), 0);
}

TEST_F(PictureTest, UndecodableBytesPaintNothing) {
    MakeHost();
    UiPicture pic;
    ASSERT_NE(pic.CreateFromBytes(window, {10, 10, 20, 20}, "garbage"), 0u);
    EXPECT_FALSE(pic.HasImage());
    EXPECT_EQ(pic.FrameCount(), 0);
    EXPECT_EQ(pic.CurrentFrame(), 0);
    pic.Redraw();
    EXPECT_EQ(pic.CurrentFrame(), 0);
}

TEST_F(PictureTest, IconWithoutAlphaKeepsItsMaskTransparency) {
    // A 16 x 16 monochrome icon: the left half is masked out (transparent),
    // the right half opaque white.
    BYTE andBits[16 * 2], xorBits[16 * 2];
    for (int row = 0; row < 16; ++row) {
        andBits[row * 2] = 0xFF;   // pixels 0..7 transparent
        andBits[row * 2 + 1] = 0x00;
        xorBits[row * 2] = 0x00;
        xorBits[row * 2 + 1] = 0xFF;   // pixels 8..15 white
    }
    HICON icon = CreateIcon(GetModuleHandleW(nullptr), 16, 16, 1, 1, andBits, xorBits);
    ASSERT_NE(icon, nullptr);
    std::unique_ptr<Gdiplus::Bitmap> bmp(IconToBitmap(icon));
    DestroyIcon(icon);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->GetWidth(), 16u);
    Gdiplus::Color left, right;
    bmp->GetPixel(2, 8, &left);
    bmp->GetPixel(12, 8, &right);
    EXPECT_EQ(left.GetA(), 0);
    EXPECT_EQ(right.GetA(), 255);
    EXPECT_EQ(right.GetR(), 255);
}

TEST_F(PictureTest, RoundRegionIsInsetSixOrFiveWhenMaximised) {
    MakeHost({}, 300, 200, WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX, true);
    SetRoundWindowRegion(window, 300, 200, 6, 5);
    RECT box{};
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(window, rgn);
    GetRgnBox(rgn, &box);
    EXPECT_EQ(box.left, 6);
    EXPECT_EQ(box.top, 6);
    EXPECT_EQ(box.right, 300 - 6);   // a round-rectangle region leaves out its right and bottom edge
    EXPECT_EQ(box.bottom, 200 - 6);
    ShowWindow(window, SW_MAXIMIZE);
    PumpFor(30);
    ASSERT_TRUE(IsZoomed(window));
    SetRoundWindowRegion(window, 300, 200, 6, 5);
    GetWindowRgn(window, rgn);
    GetRgnBox(rgn, &box);
    EXPECT_EQ(box.left, 5);
    DeleteObject(rgn);
}

}  // namespace
}  // namespace sorvix::ui::test
