// Buttons, options, labels and image buttons: states and their cross-fades
// (observed in composed pixels, driven by the transition timer's messages),
// option toggling, label captions, a red caption in red pixels, and captions
// set from another thread.
#include "ui_fixture.h"

#include <atomic>
#include <thread>

namespace sorvix::ui::test {
namespace {

// A colour block that cross-fades its repaints in 4 steps.
class FadingBlock : public Block {
public:
    ElementHandle Make(HWND w, const UiRect& r, Argb c) {
        ElementHandle h = Create(w, r, c);
        Fade(4, 60);
        return h;
    }
};

class TextElementTest : public HostFixture {
protected:
    void Tick(UiElement& e) { SendMessageW(window, WM_TIMER, e.Handle() + 1, 0); }

    // On a black host, a red 40 x 40 block at (20, 20) starts fading to blue.
    void StartRedToBlueFade(FadingBlock& b) {
        MakeBlackHost();
        b.Make(window, {20, 20, 40, 40}, ArgbAt(0x0000FF, 255));
        b.SetColour(ArgbAt(0xFF0000, 255));
    }
};

TEST_F(TextElementTest, CrossFadeBlendsPreviousAndNewImageStepByStep) {
    FadingBlock b;
    StartRedToBlueFade(b);
    EXPECT_EQ(b.Got(UIM_FADESTART), 1);
    EXPECT_GE(R(host->PixelAt(30, 30)), 250);                    // step 0: still red
    Tick(b);
    Tick(b);
    uint32_t mid = host->PixelAt(30, 30);
    EXPECT_NEAR(R(mid), 127, 12);
    EXPECT_NEAR(B(mid), 127, 12);
    Tick(b);
    Tick(b);
    EXPECT_EQ(b.Got(UIM_FADEEND), 1);
    EXPECT_EQ(b.FadeStep(), 0);
    uint32_t end = host->PixelAt(30, 30);
    EXPECT_GE(B(end), 250);
    EXPECT_LE(R(end), 3);
}

TEST_F(TextElementTest, RepaintDuringAFadeJumpsToTheFinishedImageFirst) {
    FadingBlock b;
    StartRedToBlueFade(b);
    Tick(b);
    b.SetColour(ArgbAt(0x00FF00, 255));                          // then to green
    uint32_t p = host->PixelAt(30, 30);
    EXPECT_GE(B(p), 250);   // the blue image, finished, is where the new fade starts
    EXPECT_LE(R(p), 3);
    EXPECT_EQ(b.FadeStep(), 0);
}

TEST_F(TextElementTest, ButtonHoverFadesAndPressSwitchesAtOnce) {
    MakeHost();
    UiButton button;
    ElementHandle h = button.Create(window, {20, 20, 80, 26}, "OK");
    EXPECT_EQ(button.Kind(), 2);
    EXPECT_EQ(button.FadeInterval(), 60);
    Send(WM_MOUSEMOVE, 0, 30, 30);
    EXPECT_EQ(button.State(), 1);
    EXPECT_EQ(button.FadeSteps(), 4);
    for (int i = 0; i < 4; ++i) Tick(button);
    EXPECT_EQ(button.FadeSteps(), 0);   // reset by the end of the fade
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 30, 30);
    EXPECT_EQ(button.State(), 2);
    EXPECT_EQ(button.FadeSteps(), 0);   // no transition for a press
    Send(WM_LBUTTONUP, 0, 30, 30);
    EXPECT_EQ(button.State(), 1);
    EXPECT_EQ(Count(HostEvent::Click, h), 1);
    // Enter within the fade time and leave again: the fade restarts from the
    // finished hover image toward the normal one.
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(button.State(), 0);
    EXPECT_EQ(button.FadeSteps(), 4);
    EXPECT_EQ(button.FadeStep(), 0);
}

TEST_F(TextElementTest, PressDuringTheHoverFadeCrossFadesToThePressedImage) {
    MakeHost();
    UiButton button;
    button.Create(window, {20, 20, 80, 26}, "OK");
    Send(WM_MOUSEMOVE, 0, 30, 30);
    Tick(button);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 30, 30);
    EXPECT_EQ(button.State(), 2);
    EXPECT_EQ(button.FadeSteps(), 4);   // still fading: this paint fades too
    EXPECT_EQ(button.FadeStep(), 0);
}

TEST_F(TextElementTest, PressedButtonShiftsItsTextOnePixelRightAndDown) {
    MakeBlackHost();
    UiButton button;
    TextOptions to;
    to.colour = 0x0000FF;   // red text, easy to find
    to.alpha = 255;
    to.size = 16;
    button.Create(window, {20, 20, 100, 30}, "HH", to);
    // The top-left red-dominant pixel of the composed button.
    auto textCorner = [&] {
        for (int y = 20; y < 50; ++y)
            for (int x = 20; x < 120; ++x) {
                uint32_t p = host->PixelAt(x, y);
                if (R(p) > 150 && R(p) > G(p) + 80) return std::make_pair(x, y);
            }
        return std::make_pair(-1, -1);
    };
    Send(WM_MOUSEMOVE, 0, 30, 30);
    for (int i = 0; i < 4; ++i) Tick(button);
    auto hot = textCorner();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 30, 30);
    auto pressed = textCorner();
    ASSERT_NE(hot.first, -1);
    EXPECT_EQ(pressed.first, hot.first + 1);
    EXPECT_EQ(pressed.second, hot.second + 1);
    Send(WM_LBUTTONUP, 0, 30, 30);
    EXPECT_EQ(textCorner(), hot);
}

TEST_F(TextElementTest, ButtonLooksDifferByStateAndDisabledHalvesIt) {
    MakeBlackHost();
    UiButton a, b;
    a.Create(window, {20, 20, 80, 26}, "");
    b.Create(window, {120, 20, 80, 26}, "");
    Pump();
    uint32_t normal = host->PixelAt(60, 25);
    // State 0 fills colour 1 (0xECECEC at 204, so 188 over black), then the
    // theme gradient (black here) from alpha 0 to 102 darkens row 5 of 26 by
    // about a twelfth.
    EXPECT_NEAR(R(normal), 188 * (255 - 102 * 5.5 / 26) / 255, 8);
    b.Disabled(true);
    Pump();
    uint32_t disabled = host->PixelAt(160, 25);
    // Disabled: colour 1 is white at 51, composed at half alpha.
    EXPECT_LT(R(disabled), 40);
    EXPECT_GT(R(disabled), 5);
}

TEST_F(TextElementTest, OptionsToggleOnEveryClickAndNeverClearEachOther) {
    MakeHost();
    UiOption one, two;
    ElementHandle h1 = one.Create(window, {20, 20, 100, 24}, "one");
    two.Create(window, {20, 60, 100, 24}, "two");
    EXPECT_EQ(one.Kind(), 10);
    Click(30, 30);
    EXPECT_TRUE(one.Checked());
    Click(30, 70);
    EXPECT_TRUE(two.Checked());
    EXPECT_TRUE(one.Checked());
    Click(30, 30);
    EXPECT_FALSE(one.Checked());
    EXPECT_EQ(Count(HostEvent::Click, h1), 2);
    EXPECT_EQ(events.back().elementKind, 10);
    one.Checked(true);
    EXPECT_TRUE(one.Checked());
}

TEST_F(TextElementTest, OptionGlyphShowsTheCheckedCell) {
    MakeBlackHost();
    UiOption opt;
    opt.Create(window, {20, 20, 100, 25}, "");
    Pump();
    // The glyph box is (4, 4, 20, h - 8): its 17 x 17 cell lies at (26..42, 24..40).
    auto glyph = [&] {
        std::vector<uint32_t> px;
        for (int y = 24; y < 41; ++y)
            for (int x = 26; x < 43; ++x) px.push_back(host->PixelAt(x, y));
        return px;
    };
    std::vector<uint32_t> unchecked = glyph();
    opt.Checked(true);
    Pump();
    std::vector<uint32_t> checked = glyph();
    int differing = 0;
    for (size_t i = 0; i < checked.size(); ++i) differing += checked[i] != unchecked[i];
    EXPECT_GT(differing, 10);   // the check mark of the checked cell
    // The glyph is drawn at all: the cell is not the plain background.
    int drawn = 0;
    for (uint32_t p : unchecked) drawn += R(p) > 40;
    EXPECT_GT(drawn, 20);
}

TEST_F(TextElementTest, LabelEqualCaptionChangesNothing) {
    MakeHost();
    UiLabel label;
    label.Create(window, {20, 20, 200, 20}, "status");
    int paints = label.PaintCount(), layouts = label.LayoutCount();
    EXPECT_EQ(label.Caption(std::string("status")), "status");
    EXPECT_EQ(label.PaintCount(), paints);
    EXPECT_EQ(label.LayoutCount(), layouts);
    label.Caption(std::string("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(label.PaintCount(), paints + 1);
    EXPECT_EQ(label.LayoutCount(), layouts + 1);
    EXPECT_EQ(label.Caption(), "\xD6\xD0\xCE\xC4");
    EXPECT_FALSE(label.Focusable());
    EXPECT_EQ(label.Kind(), 3);
}

TEST_F(TextElementTest, AnimatedCaptionCrossFadesInItsOwnSteps) {
    MakeHost();
    UiLabel label;
    label.Create(window, {20, 20, 200, 20}, "old");
    EXPECT_EQ(label.FadeSteps(), 0);   // labels have no transitions of their own
    label.Caption(std::string("new"), true, 0, 3, 40);
    EXPECT_EQ(label.FadeSteps(), 3);
    EXPECT_EQ(label.FadeInterval(), 40);
    for (int i = 0; i < 3; ++i) Tick(label);
    EXPECT_EQ(label.FadeSteps(), 0);   // cleared when the fade ended
    EXPECT_EQ(label.FadeInterval(), 0);
    int paints = label.PaintCount();
    label.Caption(std::string("newer"));
    EXPECT_EQ(label.PaintCount(), paints + 1);
    EXPECT_EQ(label.FadeSteps(), 0);   // a plain caption shows at once
}

TEST_F(TextElementTest, RedCaptionIsDrawnInRedPixels) {
    MakeBlackHost();
    UiLabel label;
    LabelOptions lo;
    lo.colour = 0x0000FF;
    lo.alpha = 255;
    lo.size = 20;
    label.Create(window, {20, 20, 200, 30}, "\xD6\xD0\xCE\xC4 HHH", lo);
    Pump();
    int red = 0, other = 0;
    for (int y = 20; y < 50; ++y)
        for (int x = 20; x < 220; ++x) {
            uint32_t p = host->PixelAt(x, y);
            if (R(p) > 150 && G(p) < 60 && B(p) < 60) ++red;
            else if (G(p) > 60 || B(p) > 60) ++other;
        }
    EXPECT_GT(red, 30);
    EXPECT_EQ(other, 0);
}

TEST_F(TextElementTest, CaptionSetFromAnotherThreadIsCarriedToTheWindowThread) {
    MakeHost();
    UiLabel label;
    label.Create(window, {20, 20, 200, 20}, "a");
    UiOption opt;
    opt.Create(window, {20, 50, 100, 24}, "o");
    int paints = label.PaintCount();
    std::atomic<bool> done{false};
    DWORD workerThread = 0;
    std::thread worker([&] {
        workerThread = GetCurrentThreadId();
        label.Caption(std::string("from worker"));
        opt.Checked(true);
        opt.Move(30, 60);
        label.Visible(false);
        done = true;
    });
    while (!done) {
        Pump();
        Sleep(1);
    }
    worker.join();
    EXPECT_EQ(label.Caption(), "from worker");
    EXPECT_EQ(label.PaintCount(), paints + 1);
    EXPECT_TRUE(opt.Checked());
    EXPECT_TRUE(opt.Rect().SameAs({30, 60, 100, 24}));
    EXPECT_EQ(host->HitTest(35, 65), opt.Handle());
    EXPECT_FALSE(label.Visible());
    EXPECT_EQ(host->HitTest(30, 25), 0u);
    EXPECT_NE(workerThread, GetCurrentThreadId());
}

// A background picture decides the automatic text colour: nine samples under
// the element, dark when more than four are dark.
TEST_F(TextElementTest, BackgroundPictureDecidesWhetherTheBackgroundIsDark) {
    struct Case {
        const char* name;
        Gdiplus::Color picture;
        bool withPicture;
        Colour theme;
        bool dark;
    };
    const Case cases[] = {
        {"dark picture on a light theme", Gdiplus::Color(255, 10, 10, 30), true, 0xFFFFFF, true},
        {"light picture on a dark theme", Gdiplus::Color(255, 240, 240, 230), true, 0x000000, false},
        {"no picture, dark theme", {}, false, 0x202020, true},
        {"no picture, light theme", {}, false, 0xF0F0F0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AttachOptions o;
        o.colour = c.theme;
        o.tint = false;
        if (c.withPicture) {
            Gdiplus::Bitmap picture(400, 300, PixelFormat32bppARGB);
            Gdiplus::Graphics pg(&picture);
            pg.Clear(c.picture);
            for (const wchar_t* mime : {L"image/png", L"image/jpeg"}) {
                o.background = EncodeImage(picture, mime);
                MakeHost(o);
                UiLabel label;
                label.Create(window, {40, 40, 120, 30}, "x");
                EXPECT_EQ(BackgroundIsDark(&label), c.dark) << (mime[6] == 'p' ? "png" : "jpeg");
                host.reset();
                DestroyWindow(window);
                window = nullptr;
            }
        } else {
            MakeHost(o);
            UiLabel label;
            label.Create(window, {40, 40, 120, 30}, "x");
            EXPECT_EQ(BackgroundIsDark(&label), c.dark);
            host.reset();
            DestroyWindow(window);
            window = nullptr;
        }
    }
}

// A worker thread reads and writes captions while the window's thread keeps
// changing them: every value read must be one of the captions ever set, never
// a mix of two (the fields are only touched on the window's thread).
TEST_F(TextElementTest, CaptionsReadFromAWorkerAreNeverTorn) {
    MakeHost();
    UiLabel label;
    UiButton button;
    const Text shortText(40, 'a'), longText(3000, 'b'), workerText(2000, 'c');
    label.Create(window, {10, 10, 200, 20}, shortText);
    button.Create(window, {10, 40, 200, 20}, shortText);
    std::atomic<bool> stop{false}, done{false};
    std::atomic<int> torn{0};
    auto valid = [&](const Text& t) { return t == shortText || t == longText || t == workerText; };
    std::thread worker([&] {
        for (int i = 0; i < 200 && !stop; ++i) {
            if (!valid(label.Caption())) ++torn;
            if (!valid(button.Caption())) ++torn;
            if (!valid(label.Caption(i % 2 ? workerText : shortText))) ++torn;
            if (!valid(button.Caption(i % 2 ? workerText : shortText))) ++torn;
        }
        done = true;
    });
    // The window's thread keeps changing the captions and answers the
    // worker's requests until the worker is through.
    DWORD deadline = GetTickCount() + 30000;
    for (int i = 0; !done; ++i) {
        if (static_cast<LONG>(deadline - GetTickCount()) <= 0) stop = true;
        if (!stop) {
            label.Caption(i % 2 ? longText : shortText);
            button.Caption(i % 2 ? longText : shortText);
        }
        Pump();
    }
    worker.join();
    EXPECT_FALSE(stop.load()) << "the worker did not finish in time";
    EXPECT_EQ(torn.load(), 0);
}

TEST_F(TextElementTest, ImageButtonGlowsWhileFocused) {
    MakeHost();
    UiImageButton b;
    ElementHandle h = b.Create(window, {20, 20, 80, 26}, "Yes");
    EXPECT_EQ(b.Kind(), 23);
    host->SetFocus(h);
    SendMessageW(window, WM_TIMER, h, 0);
    EXPECT_EQ(b.GlowPhase(), 1);
    host->SetFocus(0);
    EXPECT_EQ(b.GlowPhase(), 0);
}

TEST_F(TextElementTest, FocusedButtonShowsTheFocusState) {
    MakeHost();
    UiButton b;
    ElementHandle h = b.Create(window, {20, 20, 80, 26}, "Go");
    host->SetFocus(h);
    EXPECT_EQ(b.State(), 3);
    EXPECT_TRUE(b.HasFocus());
}

}  // namespace
}  // namespace sorvix::ui::test
