// The scroll bar: thumb geometry, dragging, track and arrow presses and
// their auto-repeat (driven by the element's timer messages, and once by
// the real timer), and the list view scrolled through its own bar.
#include "ui_fixture.h"

#include "ui/listview.h"

namespace sorvix::ui::test {
namespace {

class ScrollBarTest : public HostFixture {
protected:
    // A vertical bar at (20, 20), 12 wide: its track runs 200 pixels
    // between the two arrows.
    void MakeBar(int maximum = 200, int pageStep = 25, int lineStep = 3) {
        MakeHost();
        ScrollBarOptions o;
        o.horizontal = false;
        o.maximum = maximum;
        o.pageStep = pageStep;
        o.lineStep = lineStep;
        ASSERT_NE(bar.Create(window, {20, 20, 12, 220}, o), 0u);
        bar.SetScrollHandler([this](int p) { reported.push_back(p); });
    }
    // Host y of a point `a` pixels down the bar.
    static int At(float a) { return 20 + static_cast<int>(a); }
    void Down(float a) { Send(WM_LBUTTONDOWN, MK_LBUTTON, 26, At(a)); }
    void MoveTo(float a) { Send(WM_MOUSEMOVE, MK_LBUTTON, 26, At(a)); }
    void Up(float a) { Send(WM_LBUTTONUP, 0, 26, At(a)); }
    void Tick() { SendMessageW(window, WM_TIMER, bar.Handle(), 0); }

    UiScrollBar bar;
    std::vector<int> reported;
};

TEST_F(ScrollBarTest, ThumbLengthAndPointToValue) {
    MakeHost();
    struct Case {
        float length;
        int maximum;
        int thumb;
    };
    // Track L = length - 20; thumb = L * L / (maximum + L), at least 30.
    const Case cases[] = {{120, 100, 50}, {120, 10, 90}, {120, 1000, 30}, {120, 0, 0}, {220, 200, 100}};
    for (const Case& c : cases) {
        UiScrollBar b;
        ScrollBarOptions o;
        o.horizontal = true;
        o.maximum = c.maximum;
        b.Create(window, {0, 0, c.length, 12}, o);
        EXPECT_FLOAT_EQ(b.TrackLength(), c.length - 20);
        EXPECT_EQ(b.ThumbLength(), c.thumb) << c.length << " " << c.maximum;
    }
    UiScrollBar b;
    ScrollBarOptions o;
    o.maximum = 200;
    b.Create(window, {0, 0, 220, 12}, o);   // track 10..210, thumb 100: free run 100
    struct Point {
        float p;
        int value;
    };
    for (Point pt : {Point{0, 0}, Point{10, 0}, Point{35, 50}, Point{60, 100}, Point{109, 198}, Point{110, 200},
                     Point{300, 200}}) {
        EXPECT_EQ(b.ValueAt(pt.p), pt.value) << pt.p;
    }
    b.Position(100);
    EXPECT_FLOAT_EQ(b.ThumbStart(), 60);
    b.Position(500);
    EXPECT_EQ(b.Position(), 200);                 // clamped
    EXPECT_FLOAT_EQ(b.ThumbStart(), 110);
}

TEST_F(ScrollBarTest, DraggingTheThumbFollowsThePointer) {
    MakeBar();
    ASSERT_EQ(bar.ThumbLength(), 100);
    Send(WM_MOUSEMOVE, 0, 26, At(60));
    Down(60);                                     // 50 pixels into the thumb
    EXPECT_TRUE(bar.Dragging());
    MoveTo(85);
    EXPECT_EQ(bar.Position(), 50);
    MoveTo(110);
    EXPECT_EQ(bar.Position(), 100);
    MoveTo(400);                                  // far past the end: the maximum
    EXPECT_EQ(bar.Position(), 200);
    MoveTo(-100);
    EXPECT_EQ(bar.Position(), 0);
    MoveTo(110);
    Up(110);
    EXPECT_FALSE(bar.Dragging());
    Send(WM_MOUSEMOVE, 0, 26, At(200));           // released: moving changes nothing
    EXPECT_EQ(bar.Position(), 100);
    EXPECT_EQ(reported, (std::vector<int>{50, 100, 200, 0, 100}));
}

TEST_F(ScrollBarTest, TrackPressPagesUntilTheThumbReachesThePointer) {
    MakeBar(200, 25);
    Send(WM_MOUSEMOVE, 0, 26, At(200));
    Down(200);                                    // below the thumb (10..110)
    EXPECT_EQ(bar.Position(), 25);
    EXPECT_TRUE(bar.Repeating());
    for (int i = 0; i < 10; ++i) Tick();
    // Pages stop once the thumb covers the pointer: thumb 10+p/2 .. +100.
    EXPECT_GE(bar.ThumbStart() + bar.ThumbLength(), 200.0f);
    EXPECT_LE(bar.ThumbStart(), 200.0f);
    int reached = bar.Position();
    Tick();
    EXPECT_EQ(bar.Position(), reached);
    Up(200);
    EXPECT_FALSE(bar.Repeating());
    Down(15);                                     // above the thumb now: back one page
    EXPECT_EQ(bar.Position(), reached - 25);
    Up(15);
}

TEST_F(ScrollBarTest, ArrowsStepAndRepeatWhileHeld) {
    MakeBar(200, 25, 3);
    Send(WM_MOUSEMOVE, 0, 26, At(215));
    Down(215);                                    // the forward arrow (last 10 pixels)
    EXPECT_EQ(bar.Position(), 3);
    Tick();
    Tick();
    EXPECT_EQ(bar.Position(), 9);
    MoveTo(100);                                  // off the arrow, still held: paused
    Tick();
    EXPECT_EQ(bar.Position(), 9);
    MoveTo(214);                                  // back on it: goes on
    Tick();
    EXPECT_EQ(bar.Position(), 12);
    Up(214);
    Tick();                                       // released: no more steps
    EXPECT_EQ(bar.Position(), 12);
    Down(4);                                      // the back arrow
    EXPECT_EQ(bar.Position(), 9);
    Up(4);
    EXPECT_EQ(reported, (std::vector<int>{3, 6, 9, 12, 9}));

    // With the real timer: held for 700 ms, the arrow keeps stepping.
    Send(WM_MOUSEMOVE, 0, 26, At(215));
    Down(215);
    PumpFor(700);
    Up(215);
    EXPECT_GE(bar.Position(), 9 + 3 * 3);
    int after = bar.Position();
    PumpFor(150);
    EXPECT_EQ(bar.Position(), after);
}

class ListScrollTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        AttachOptions o;
        o.colour = 0xFFFFFF;
        MakeHost(o, 869, 550);
        list.Create(window, {51, 130, 768, 344});
        list.InsertColumn(0, "No", 40);
        list.InsertColumn(0, "Name", 280);
        for (int i = 0; i < 100; ++i) list.SetItemText(list.InsertItem(0), 2, "row");
        Pump();
    }
    UiListView list;
};

TEST_F(ListScrollTest, TheListScrollsThroughItsBar) {
    UiScrollBar& v = list.VScroll();
    ASSERT_TRUE(v.Visible());
    float viewH = list.ViewRect().Height;
    EXPECT_EQ(v.Maximum(), static_cast<int>(std::ceil(list.ContentHeight() - viewH)));
    UiRect r = v.Rect();
    EXPECT_FLOAT_EQ(r.Right(), 51 + 768 - 2);
    EXPECT_FLOAT_EQ(r.y, 130 + list.ViewRect().Y);
    EXPECT_FLOAT_EQ(r.h, viewH);
    int x = static_cast<int>(r.x + 6);

    // The forward arrow: one row down.
    int arrow = static_cast<int>(r.Bottom()) - 4;
    Send(WM_MOUSEMOVE, 0, x, arrow);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, arrow);
    Send(WM_LBUTTONUP, 0, x, arrow);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), -list.RowHeight());
    EXPECT_EQ(list.FirstVisible(), 2);
    EXPECT_EQ(host->Focused(), list.Handle());     // pressing the bar focuses its list

    // Dragging the thumb to the end shows the last row.
    int grab = static_cast<int>(r.y + v.ThumbStart() + 5);
    Send(WM_MOUSEMOVE, 0, x, grab);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, grab);
    Send(WM_MOUSEMOVE, MK_LBUTTON, x, grab + 1000);
    Send(WM_LBUTTONUP, 0, x, grab + 1000);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), -static_cast<float>(v.Maximum()));
    EXPECT_EQ(list.LastVisible(), 100);

    // The wheel moves the thumb too.
    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), Point(400, 300));
    EXPECT_EQ(v.Position(), static_cast<int>(std::lround(-list.ScrollOffset())));
}

}  // namespace
}  // namespace sorvix::ui::test
