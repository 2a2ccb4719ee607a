// Element model: creation, handles, moves, tree order, event delivery and
// bindings, and the composed pixels where colours are fixed (ToArgb values,
// half alpha of disabled elements, children clipped to their parent).
#include "ui_fixture.h"

namespace sorvix::ui::test {
namespace {

class ElementTest : public HostFixture {};

TEST_F(ElementTest, ComposedPixelsCarryTheElementColour) {
    MakeHost();
    Block red;
    ASSERT_NE(red.Create(window, {50, 50, 40, 30}, ArgbAt(0x0000FF, 255)), 0u);
    Pump();
    uint32_t p = host->PixelAt(60, 60);
    // ToArgb stores 254 for alpha 255: red drawn at 254/255 over the grey
    // background, which is itself filled at 254.
    EXPECT_GE(R(p), 250);
    EXPECT_LE(G(p), 2);
    EXPECT_LE(B(p), 2);
    EXPECT_GE(A(p), 254);
    // Outside the element the background colour 0x606060 shows.
    uint32_t q = host->PixelAt(150, 150);
    EXPECT_NEAR(R(q), 0x60, 1);
    EXPECT_NEAR(G(q), 0x60, 1);
}

// An element that draws its own transitions: it paints green into the
// host's scratch surface and copies that to the composed picture.
class SelfFadingBlock : public Block {
public:
    bool sawScratch = false;
    PaintInfo last{};
    int customDraws = 0;

protected:
    LRESULT HandleMessage(UINT m, WPARAM wp, LPARAM lp) override {
        if (m != UIM_CUSTOMDRAW) return Block::HandleMessage(m, wp, lp);
        ++customDraws;
        last = *reinterpret_cast<PaintInfo*>(lp);
        if (!last.scratchDc || !last.scratchGraphics || !last.memoryDc) return kNotHandled;
        const UiRect& r = last.elementRect;
        Gdiplus::SolidBrush green{Gdiplus::Color(255, 0, 255, 0)};
        last.scratchGraphics->FillRectangle(&green, r.ToGdi());
        last.scratchGraphics->Flush(Gdiplus::FlushIntentionSync);
        last.target->Flush(Gdiplus::FlushIntentionSync);
        // The graphics draws on the scratch DC's own pixels.
        sawScratch = GetPixel(last.scratchDc, static_cast<int>(r.x) + 2, static_cast<int>(r.y) + 2) ==
                     RGB(0, 255, 0);
        BitBlt(last.memoryDc, static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.w),
               static_cast<int>(r.h), last.scratchDc, static_cast<int>(r.x), static_cast<int>(r.y),
               SRCCOPY);
        return 1;
    }
};

TEST_F(ElementTest, CustomDrawnTransitionGetsTheScratchSurfaceAndItsGraphics) {
    MakeBlackHost();
    SelfFadingBlock b;
    b.Create(window, {20, 20, 40, 40}, ArgbAt(0x0000FF, 255));
    b.Fade(4, 60);
    b.SetColour(ArgbAt(0xFF0000, 255));   // a transition starts
    SendMessageW(window, WM_TIMER, b.Handle() + 1, 0);
    ASSERT_GE(b.customDraws, 1);
    EXPECT_NE(b.last.scratchDc, nullptr);
    EXPECT_NE(b.last.scratchGraphics, nullptr);
    EXPECT_EQ(b.last.memoryDc, host->MemoryDc());
    EXPECT_EQ(b.last.steps, 4);
    EXPECT_TRUE(b.sawScratch);
    // Answered 1: the host drew nothing of its own over the element's work.
    uint32_t p = host->PixelAt(30, 30);
    EXPECT_GE(G(p), 250);
    EXPECT_LE(R(p), 2);
    EXPECT_LE(B(p), 2);
}

TEST_F(ElementTest, DisabledElementIsComposedAtHalfAlphaUnlessItAnswersOtherwise) {
    MakeBlackHost();   // the composed red is then the element's alpha
    Block a, b;
    a.Create(window, {20, 20, 40, 40}, ArgbAt(0x0000FF, 255));
    b.Create(window, {100, 20, 40, 40}, ArgbAt(0x0000FF, 255));
    b.answers[UIM_DRAWDISABLED] = 0;
    a.Disabled(true);
    b.Disabled(true);
    Pump();
    EXPECT_NEAR(R(host->PixelAt(30, 30)), 127, 3);
    EXPECT_GE(R(host->PixelAt(110, 30)), 250);
    // A disabled element is not hit.
    EXPECT_EQ(host->HitTest(30, 30), 0u);
}

TEST_F(ElementTest, ChildrenAreNeverDrawnOutsideTheirParent) {
    MakeHost();
    Block parent, child;
    parent.Create(window, {50, 50, 60, 60}, ArgbAt(0xFF0000, 255));      // blue
    child.Create(parent.Handle(), {90, 90, 60, 60}, ArgbAt(0x00FF00, 255));  // green, overhangs
    Pump();
    EXPECT_GE(G(host->PixelAt(100, 100)), 250);     // inside both: the child on top
    EXPECT_GE(B(host->PixelAt(60, 60)), 250);       // parent only
    uint32_t outside = host->PixelAt(130, 130);     // child's area outside the parent
    EXPECT_NEAR(G(outside), 0x60, 1);
    EXPECT_NEAR(R(outside), 0x60, 1);
    // Nor hit there.
    EXPECT_EQ(host->HitTest(130, 130), 0u);
    EXPECT_EQ(host->HitTest(100, 100), child.Handle());
}

TEST_F(ElementTest, AlphaPropertyFadesTheComposedElement) {
    MakeBlackHost();
    Block a;
    a.Create(window, {20, 20, 40, 40}, ArgbAt(0xFFFFFF, 255));
    a.Alpha(128);
    Pump();
    EXPECT_NEAR(G(host->PixelAt(30, 30)), 128, 3);
    EXPECT_EQ(a.Got(UIM_ALPHA), 1);
}

TEST_F(ElementTest, SecondCreateKeepsHandleRectangleAndChildren) {
    MakeHost();
    Block a, child;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF000000);
    child.Create(h, {12, 12, 5, 5}, 0xFF000000);
    EXPECT_EQ(a.Create(window, {100, 100, 5, 5}, 0xFF000000), h);
    EXPECT_TRUE(a.Rect().SameAs({10, 10, 50, 50}));
    EXPECT_EQ(child.Parent(), h);
    EXPECT_NE(h, 0u);
    EXPECT_EQ(h % 2, 0u);   // even: handle + 1 is the transition timer
}

TEST_F(ElementTest, MoveToTheSameRectangleSendsNothingAndMovesDescendants) {
    MakeHost();
    Block parent, child, grandchild;
    parent.Create(window, {10, 10, 100, 100}, 0xFF0000FF);
    child.Create(parent.Handle(), {20, 20, 50, 50}, 0xFF00FF00);
    grandchild.Create(child.Handle(), {30, 30, 10, 10}, 0xFFFF0000);
    parent.Move(10.00000001f, 10, 100, 100);
    EXPECT_EQ(parent.Got(UIM_MOVED), 0);
    parent.Move(40, 15);
    EXPECT_EQ(parent.Got(UIM_MOVED), 1);
    EXPECT_TRUE(child.Rect().SameAs({50, 25, 50, 50}));
    EXPECT_TRUE(grandchild.Rect().SameAs({60, 35, 10, 10}));
    EXPECT_EQ(child.Got(UIM_MOVED), 0);
    EXPECT_EQ(grandchild.Got(UIM_MOVED), 0);
    // A size change rebuilds the buffer and repaints.
    size_t paints = parent.Got(WM_PAINT);
    parent.Move({}, {}, 120, 80);
    EXPECT_EQ(parent.Got(UIM_SIZE), 1);
    EXPECT_EQ(static_cast<size_t>(parent.Got(WM_PAINT)), paints + 1);
    EXPECT_EQ(parent.BackBuffer()->GetWidth(), 120u);
}

TEST_F(ElementTest, DestroyOnANeverCreatedElementHasNoEffect) {
    Block never;
    never.Destroy();
    EXPECT_EQ(never.Handle(), 0u);
    EXPECT_EQ(never.Got(WM_DESTROY), 0);
}

TEST_F(ElementTest, DestroyDropsLaterMessagesThatNameTheElement) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 20, 20}, 0xFF000000);
    a.PostEvent(WM_USER + 5, 1, 2);          // queued while alive
    Send(WM_MOUSEMOVE, 0, 15, 15);
    ASSERT_EQ(host->Hovered(), h);
    host->SetFocus(h);
    a.Destroy();
    EXPECT_EQ(UiElement::FromHandle(h), nullptr);
    EXPECT_EQ(host->Hovered(), 0u);
    EXPECT_EQ(host->Focused(), 0u);
    Pump();                                   // the queued message is dropped
    EXPECT_EQ(a.Got(WM_USER + 5), 0);
    // Another element created afterwards never takes the old handle's messages.
    auto* block = new ElementMessage{WM_USER + 6, 0, 0};
    PostMessageW(window, UIM_ELEMENTMESSAGE, h, reinterpret_cast<LPARAM>(block));
    PostMessageW(window, WM_TIMER, h, 0);
    PostMessageW(window, WM_TIMER, h + 1, 0);
    Pump();
    EXPECT_EQ(host->HitTest(15, 15), 0u);
}

TEST_F(ElementTest, BoundHandlersGetTheParentAheadOfTheElement) {
    MakeHost();
    Block top, child;
    top.Create(window, {10, 10, 100, 100}, 0xFF000000);
    child.Create(top.Handle(), {20, 20, 10, 10}, 0xFF000000);
    std::vector<std::pair<ElementHandle, ElementHandle>> calls;
    auto record = [&](ElementHandle parent, ElementHandle element, UINT, WPARAM, LPARAM) {
        calls.emplace_back(parent, element);
    };
    top.BindEvent(WM_USER + 1, record);
    child.BindEvent(WM_USER + 1, record);
    top.SendEvent(WM_USER + 1, 0, 0);
    child.SendEvent(WM_USER + 1, 0, 0);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(ElementHandle(0), top.Handle()));
    EXPECT_EQ(calls[1], std::make_pair(top.Handle(), child.Handle()));
}

TEST_F(ElementTest, DoubleClickBindingMatchesOnlyTheMarkedPress) {
    MakeHost();
    Block a;
    a.Create(window, {10, 10, 50, 50}, 0xFF000000);
    int runs = 0;
    a.BindEvent(WM_LBUTTONDBLCLK, [&](ElementHandle, ElementHandle, UINT, WPARAM, LPARAM) { ++runs; });
    a.SendEvent(WM_LBUTTONDBLCLK, 0, 0);
    EXPECT_EQ(runs, 0);
    a.SendEvent(WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(runs, 0);
    a.SendEvent(WM_LBUTTONDOWN, kDoubleClickMarker, 0);
    EXPECT_EQ(runs, 1);
}

TEST_F(ElementTest, SendAndPostEventReachTheElementThroughTheHost) {
    MakeHost();
    Block a;
    a.Create(window, {10, 10, 50, 50}, 0xFF000000);
    a.answers[WM_USER + 2] = 77;
    EXPECT_EQ(a.SendEvent(WM_USER + 2, 0, 0), 77);
    a.PostEvent(WM_USER + 3, 0, 9);
    EXPECT_EQ(a.Got(WM_USER + 3), 0);
    Pump();
    EXPECT_EQ(a.Got(WM_USER + 3), 1);
    // A posted WM_TIMER whose id is the handle reaches the element.
    PostMessageW(window, WM_TIMER, a.Handle(), 0);
    Pump();
    EXPECT_EQ(a.Got(WM_TIMER), 1);
}

TEST_F(ElementTest, ZOrderDecidesDrawingAndHitOrder) {
    MakeHost();
    Block under, over;
    under.Create(window, {20, 20, 50, 50}, ArgbAt(0x0000FF, 255));
    over.Create(window, {40, 40, 50, 50}, ArgbAt(0x00FF00, 255));
    Pump();
    EXPECT_EQ(host->HitTest(50, 50), over.Handle());
    EXPECT_GE(G(host->PixelAt(50, 50)), 250);
    over.ZOrder(2);   // first in the list: drawn first, under the other
    Pump();
    EXPECT_EQ(host->HitTest(50, 50), under.Handle());
    EXPECT_GE(R(host->PixelAt(50, 50)), 250);
    // Hidden elements are neither drawn nor hit.
    under.Visible(false);
    Pump();
    EXPECT_EQ(host->HitTest(50, 50), over.Handle());
    EXPECT_EQ(under.Got(UIM_HIDE), 1);
}

// 0 or the host window makes an element top level again; another host's
// window or an element of another host is refused.
TEST_F(ElementTest, SetParentToNothingOrTheHostWindowMakesTheElementTopLevel) {
    MakeHost();
    HWND otherWindow = CreateHostWindow(nullptr, "other", 0, 0, 100, 100);
    UiHost other;
    AttachOptions oo;
    oo.styleFlags = 0;
    other.Attach(otherWindow, oo);
    Block foreign;
    foreign.Create(otherWindow, {0, 0, 10, 10}, 0xFF000000);
    struct Case {
        const char* name;
        UiParent parent;
        bool topLevel;
    };
    const Case cases[] = {
        {"element 0", UiParent(ElementHandle{0}), true},
        {"the host window", UiParent(window), true},
        {"another host's window", UiParent(otherWindow), false},
        {"an element of another host", UiParent(foreign.Handle()), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block parent, child;
        parent.Create(window, {10, 10, 50, 50}, 0xFF000000);
        child.Create(parent.Handle(), {20, 20, 100, 20}, ArgbAt(0x0000FF, 255));
        child.SetParent(c.parent);
        EXPECT_EQ(child.Parent(), c.topLevel ? 0u : parent.Handle());
        // Top level: hit and drawn outside the old parent's rectangle.
        Pump();
        EXPECT_EQ(host->HitTest(100, 25) == child.Handle(), c.topLevel);
        EXPECT_EQ(R(host->PixelAt(100, 25)) >= 250, c.topLevel);
    }
    other.Detach();
    DestroyWindow(otherWindow);
}

TEST_F(ElementTest, CreateUnderAnElementOfADetachedHostFails) {
    MakeHost();
    Block parent;
    ElementHandle h = parent.Create(window, {10, 10, 50, 50}, 0xFF000000);
    host->Detach();
    Block child;
    EXPECT_EQ(child.Create(h, {12, 12, 5, 5}, 0xFF000000), 0u);
    EXPECT_EQ(parent.Handle(), 0u);   // detaching destroyed the tree
}

}  // namespace
}  // namespace sorvix::ui::test
