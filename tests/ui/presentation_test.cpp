// Presentation: the background cross-fade of a layered host (five 50 ms
// steps, input ignored meanwhile), show and close animations, the redraw
// queue and the window region of a host that is not layered.
#include "ui_fixture.h"

namespace sorvix::ui::test {
namespace {

class PresentationTest : public HostFixture {};

TEST_F(PresentationTest, BackgroundChangeOnALayeredHostFadesInFiveSteps) {
    AttachOptions o;
    o.alpha = 255;
    o.colour = 0x000000;
    MakeHost(o, 300, 200, WS_POPUP, true);
    Block a;
    a.Create(window, {100, 100, 30, 30}, 0xFF0000FF);
    host->SetBackground({}, 0xFFFFFF, 1);
    EXPECT_TRUE(host->Busy());
    Send(WM_MOUSEMOVE, 0, 110, 110);   // ignored while the fade runs
    EXPECT_EQ(host->Hovered(), 0u);
    for (int tick = 1; tick <= 4; ++tick) {
        SendMessageW(window, WM_TIMER, UiHost::kBackgroundFadeTimer, 0);
        EXPECT_EQ(host->BackgroundFadeLevel(), 51 * tick);
        EXPECT_TRUE(host->Busy());
    }
    SendMessageW(window, WM_TIMER, UiHost::kBackgroundFadeTimer, 0);
    EXPECT_EQ(host->BackgroundFadeLevel(), 255);
    EXPECT_FALSE(host->Busy());
    EXPECT_GE(R(host->PixelAt(50, 50)), 250);   // the new background, opaque
    EXPECT_GE(A(host->PixelAt(50, 50)), 254);
    Send(WM_MOUSEMOVE, 0, 110, 110);
    EXPECT_EQ(host->Hovered(), a.Handle());
}

TEST_F(PresentationTest, BackgroundFadeRunsOnItsOwnTimer) {
    AttachOptions o;
    o.alpha = 255;
    MakeHost(o, 300, 200, WS_POPUP, true);
    host->SetBackground({}, 0x2080FF, 1);
    PumpFor(400);
    EXPECT_EQ(host->BackgroundFadeLevel(), 255);
    EXPECT_FALSE(host->Busy());
}

// The surfaces of a background fade and of the close animation follow the
// window's size: a window grown after a fade (or during one) closes and fades
// without writing a window of pixels into a buffer of the old size.
TEST_F(PresentationTest, ResizeAfterOrDuringABackgroundFadeKeepsEverySurfaceInBounds) {
    for (bool resizeMidFade : {false, true}) {
        SCOPED_TRACE(resizeMidFade ? "resized during the fade" : "resized after the fade");
        AttachOptions o;
        o.alpha = 255;
        o.colour = 0x000000;
        MakeHost(o, 300, 200, WS_POPUP | WS_SYSMENU, true);
        host->SetBackground({}, 0xFFFFFF, 1);
        auto tick = [&] { SendMessageW(window, WM_TIMER, UiHost::kBackgroundFadeTimer, 0); };
        tick();
        tick();
        if (!resizeMidFade) {
            tick();
            tick();
            tick();
            ASSERT_EQ(host->BackgroundFadeLevel(), 255);
        }
        SetWindowPos(window, nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        ASSERT_EQ(host->Size().cx, 1000);
        for (int i = 0; i < 5; ++i) tick();
        EXPECT_FALSE(host->Busy());
        EXPECT_GE(R(host->PixelAt(800, 600)), 250);   // the new background fills the grown window
        host->SetCloseEffect(1);
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(host->ClosingFrames(), 15);
        host.reset();
        window = nullptr;
    }
}

TEST_F(PresentationTest, CloseKindOneFadesOutInFifteenFramesThenDestroys) {
    for (int kind : {1, 7, 2}) {
        AttachOptions o;
        o.alpha = 255;
        MakeHost(o, 200, 150, WS_POPUP | WS_SYSMENU, true);
        host->SetCloseEffect(kind);
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window)) << kind;
        EXPECT_EQ(host->ClosingFrames(), kind == 2 ? 20 : 15) << kind;
        const std::vector<int>& alphas = host->AnimationAlphas();
        ASSERT_FALSE(alphas.empty());
        EXPECT_EQ(alphas.back(), 0) << kind;   // ends fully transparent
        if (kind == 1) {
            for (int k = 1; k <= 15; ++k) EXPECT_EQ(alphas[k - 1], 255 - 17 * k);
        }
        if (kind == 7) {
            for (int i = 1; i <= 15; ++i) EXPECT_EQ(alphas[i - 1], 255 - 17 * (i - 1));
        }
        host.reset();
        window = nullptr;
    }
}

TEST_F(PresentationTest, ShowKindSevenMakesTheWindowLayeredAndVisible) {
    MakeHost({}, 300, 200, WS_POPUP);
    ASSERT_FALSE(host->Layered());
    host->Show(7, 50);
    // A transparent first frame, then ten frames fading in by 25.
    std::vector<int> expected{0};
    for (int k = 1; k <= 10; ++k) expected.push_back(25 * (k - 1));
    EXPECT_EQ(host->AnimationAlphas(), expected);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(host->Layered());
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(PresentationTest, HostThatIsNotLayeredGetsARoundedRegion) {
    MakeHost({}, 300, 200);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, rgn), ERROR);
    RECT box{};
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    EXPECT_EQ(box.left, 6);
    EXPECT_EQ(box.right, 294);
    // Its frame margin stays transparent in the buffer and the frame line is drawn.
    EXPECT_EQ(A(host->PixelAt(2, 100)), 0);
}

TEST_F(PresentationTest, OwnedHostTakesItsOwnersLook) {
    AttachOptions o;
    o.colour = 0x0000FF;   // red owner
    MakeHost(o);
    HWND boxWindow = CreateHostWindow(window, "box", 0, 0, 200, 120);
    UiHost box;
    AttachOptions bo;
    bo.styleFlags = 0;
    bo.colour = 0x00FF00;   // ignored: the owner decides
    bo.ownerWindow = window;
    box.Attach(boxWindow, bo);
    EXPECT_EQ(box.ThemeColour(), 0x0000FFu);
    EXPECT_GE(R(box.PixelAt(100, 60)), 250);
    box.Detach();
    DestroyWindow(boxWindow);
}

TEST_F(PresentationTest, SkinModeCutsThePictureAlongTheSkinRectangle) {
    // A 30 x 30 skin: a 10-pixel blue border around a green centre.
    Gdiplus::Bitmap skin(30, 30, PixelFormat32bppARGB);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            bool centre = x >= 10 && x < 20 && y >= 10 && y < 20;
            skin.SetPixel(x, y, centre ? Gdiplus::Color(255, 0, 255, 0) : Gdiplus::Color(255, 0, 0, 255));
        }

    AttachOptions o;
    o.frameMargin = 1;
    o.background = EncodeImage(skin, L"image/bmp");
    o.skinRect = {10, 10, 10, 10};
    MakeHost(o, 200, 100);
    EXPECT_GE(B(host->PixelAt(5, 50)), 250);     // left edge keeps its 10 pixels
    EXPECT_GE(B(host->PixelAt(195, 50)), 250);   // so does the right edge
    EXPECT_GE(G(host->PixelAt(100, 50)), 250);   // the centre stretches
    EXPECT_GE(G(host->PixelAt(12, 50)), 250);    // ... from x 10 on
}

TEST_F(PresentationTest, QueuedRedrawsAreAllComposed) {
    MakeBlackHost();
    Block a, b;
    a.Create(window, {20, 20, 20, 20}, ArgbAt(0x0000FF, 255));
    b.Create(window, {60, 20, 20, 20}, ArgbAt(0x0000FF, 255));
    host->Freeze(true);
    a.SetColour(ArgbAt(0x00FF00, 255));
    b.SetColour(ArgbAt(0x00FF00, 255));
    host->Freeze(false);
    EXPECT_GE(R(host->PixelAt(25, 25)), 250);   // not recomposed while frozen
    host->RequestRedraw(a.Rect(), 0);
    host->RequestRedraw(b.Rect(), 2);
    EXPECT_GE(G(host->PixelAt(25, 25)), 250);
    EXPECT_GE(G(host->PixelAt(65, 25)), 250);
}

TEST_F(PresentationTest, PostedRedrawsAreComposedAtOnceAndShownInOneUpdate) {
    AttachOptions o;
    o.alpha = 255;
    o.colour = 0x000000;
    MakeHost(o, 300, 200, WS_POPUP, true);
    Block a, b;
    a.Create(window, {20, 20, 20, 20}, ArgbAt(0x0000FF, 255));
    b.Create(window, {60, 20, 20, 20}, ArgbAt(0x0000FF, 255));
    Pump();
    int before = host->PresentCount();
    for (int i = 0; i < 10; ++i) {
        a.PostRedraw();
        b.PostRedraw();
    }
    Pump();
    EXPECT_EQ(host->PresentCount(), before + 1);   // twenty redraws, one layered update
    EXPECT_FALSE(host->PresentPending());

    // Composed now, shown with the next frame.
    host->Freeze(true);
    a.SetColour(ArgbAt(0x00FF00, 255));
    host->Freeze(false);
    before = host->PresentCount();
    host->RecomposeSoon(a.Rect());
    EXPECT_GE(G(host->PixelAt(25, 25)), 250);
    EXPECT_TRUE(host->PresentPending());
    EXPECT_EQ(host->PresentCount(), before);
    host->RecomposeSoon(b.Rect());
    Pump();
    EXPECT_EQ(host->PresentCount(), before + 1);
    EXPECT_FALSE(host->PresentPending());
}

TEST_F(PresentationTest, HostThatIsNotLayeredShowsARecomposedAreaAtOnce) {
    MakeBlackHost();
    Block c;
    c.Create(window, {20, 20, 20, 20}, ArgbAt(0x0000FF, 255));
    host->RecomposeSoon(c.Rect());
    EXPECT_FALSE(host->PresentPending());
    EXPECT_GE(R(host->PixelAt(25, 25)), 250);   // 0x0000FF is red (0xBBGGRR)
}

// An element on whole pixels is blended into the back buffer directly, one
// between pixels (or near the rounded frame) through GDI+; both give the
// same source-over result.
TEST_F(PresentationTest, ElementsComposeAlikeOnWholeAndFractionalPixels) {
    AttachOptions o;
    o.colour = 0x2060A0;
    MakeHost(o, 300, 200);
    struct Case {
        UiRect rect;
        Argb colour;
    };
    const Case cases[] = {
        {{40, 40, 30, 30}, ArgbAt(0xFF8000, 255)},      // opaque, whole pixels
        {{90, 40, 30, 30}, ArgbAt(0xFF8000, 128)},      // half transparent, whole pixels
        {{140.5f, 40.5f, 30, 30}, ArgbAt(0xFF8000, 128)},  // between pixels
        {{3, 100, 30, 30}, ArgbAt(0xFF8000, 128)},      // over the frame's clip
        {{190, 40, 30, 30}, ArgbAt(0x00FF00, 0)},       // fully transparent
    };
    std::vector<std::unique_ptr<Block>> blocks;
    uint32_t under = host->PixelAt(60, 150);   // plain background
    for (const Case& c : cases) {
        blocks.push_back(std::make_unique<Block>());
        blocks.back()->Create(window, c.rect, c.colour);
    }
    Pump();
    for (const Case& c : cases) {
        int x = static_cast<int>(c.rect.x) + 15, y = static_cast<int>(c.rect.y) + 15;
        uint32_t p = host->PixelAt(x, y);
        int a = static_cast<int>(c.colour >> 24);
        auto mix = [&](int src, int dst) { return (src * a + dst * (255 - a) + 127) / 255; };
        EXPECT_NEAR(R(p), mix(static_cast<int>((c.colour >> 16) & 0xFF), R(under)), 2) << x;
        EXPECT_NEAR(G(p), mix(static_cast<int>((c.colour >> 8) & 0xFF), G(under)), 2) << x;
        EXPECT_NEAR(B(p), mix(static_cast<int>(c.colour & 0xFF), B(under)), 2) << x;
        EXPECT_NEAR(A(p), 255, 2) << x;
    }
    // Nothing of an element shows outside its own rectangle.
    EXPECT_EQ(host->PixelAt(39, 55), under);
    EXPECT_EQ(host->PixelAt(70, 55), under);
}

}  // namespace
}  // namespace sorvix::ui::test
