// The message box driven by real window messages: sizes from the text and
// centring on the owner, the buttons' result codes, Esc and the close button,
// icon and beep, the owner's look, input for the owner dropped while the box
// is up, and a box opened on a worker thread while the main window keeps
// answering and lends it its background picture.
#include "ui_fixture.h"

#include "ui/msgbox.h"

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace sorvix::ui::test {
namespace {

constexpr UINT kStepMessage = WM_APP + 7;
constexpr UINT kPingMessage = WM_APP + 8;

// Texts in GBK.
const Text kShortText = "\xB2\xE2\xCA\xD4\xCE\xC4\xD7\xD6";   // 测试文字

std::mutex gBeepLock;
std::vector<UINT> gBeeps;
BOOL WINAPI RecordBeep(UINT sound) {
    std::lock_guard<std::mutex> guard(gBeepLock);
    gBeeps.push_back(sound);
    return TRUE;
}

// A premultiplied pixel that is text-dark: every channel low, mostly opaque.
bool Dark(uint32_t p) {
    return (p >> 24) > 150 && ((p >> 16) & 0xFF) < 90 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90;
}

class MsgBoxTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        previousBeep = SetMessageBoxBeep(&RecordBeep);
        std::lock_guard<std::mutex> guard(gBeepLock);
        gBeeps.clear();
    }
    void TearDown() override {
        SetMessageBoxBeep(previousBeep);
        HostFixture::TearDown();
    }

    std::vector<UINT> Beeps() {
        std::lock_guard<std::mutex> guard(gBeepLock);
        return gBeeps;
    }

    // The owner: a large red host, so that widened boxes still fit on it.
    // Its hook runs the test's steps inside the box's modal loop.
    void MakeOwner(AttachOptions options = {}) {
        if (!options.colour) options.colour = 0x0000FF;
        options.alpha = 255;
        MakeHost(options, 900, 600);
        host->SetMessageHook([this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            if (m == kPingMessage) {
                pings.push_back({GetTickCount(), boxWindow && IsWindow(boxWindow)});
                return 0;
            }
            if (m != kStepMessage) return kNotHandled;
            if (!steps.empty()) {
                auto step = std::move(steps.front());
                steps.pop_front();
                step();
            }
            return 0;
        });
    }

    // Shows a box on this thread; once it is up, runs the steps one per
    // message through the box's own loop. Returns the box's result.
    int Run(const Text& text, MessageBoxOptions o, std::deque<std::function<void()>> script) {
        steps = std::move(script);
        o.onCreated = [this](HWND box, int w, int h) {
            boxWindow = box;
            boxSize = {w, h};
            GetWindowRect(box, &boxRect);
            PostMessageW(window, kStepMessage, 0, 0);
        };
        return UiMessageBox(window, text, o);
    }
    void Next() { PostMessageW(window, kStepMessage, 0, 0); }
    void PressEsc() { PostMessageW(boxWindow, WM_KEYDOWN, VK_ESCAPE, 0); }
    UiHost* Box() const { return UiHost::FromWindow(boxWindow); }

    // Button at position (1 = rightmost) of the open box, clicked with the
    // mouse messages a user's click makes.
    void ClickButton(int position) {
        int x = boxSize.cx - 75 * position - 8 + 35, y = boxSize.cy - 35 + 12;
        SendMessageW(boxWindow, WM_MOUSEMOVE, 0, Point(x, y));
        SendMessageW(boxWindow, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
        SendMessageW(boxWindow, WM_LBUTTONUP, 0, Point(x, y));
    }

    // First column in [x0, x1) with a dark pixel in rows [y0, y1); -1 if none.
    int FirstDarkColumn(int x0, int x1, int y0, int y1) const {
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                if (Dark(Box()->PixelAt(x, y))) return x;
        return -1;
    }

    struct Ping {
        DWORD tick;
        bool boxUp;
    };
    MessageBoxBeepFn previousBeep = nullptr;
    std::deque<std::function<void()>> steps;
    HWND boxWindow = nullptr;
    SIZE boxSize{0, 0};
    RECT boxRect{};
    std::vector<Ping> pings;
};

TEST_F(MsgBoxTest, BoxSizeFollowsTheTextAndStaysCentredOnTheOwner) {
    const Text longLine(60, 'W');
    const Text manyLines = "1\n2\n3\n4\n5\n6\n7\n8";
    struct Case {
        const char* name;
        Text text;
        int icon;
        bool wider, taller;
    } cases[] = {
        {"one line", kShortText, 0, false, false},
        {"one line with icon", kShortText, kBoxIconQuestion, false, false},
        {"long unbroken line", longLine, 0, true, false},
        {"long line with icon", longLine, kBoxIconError, true, false},
        {"many lines", manyLines, 0, false, true},
    };
    MakeOwner();
    RECT owner{};
    GetWindowRect(window, &owner);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageBoxOptions o;
        o.icon = c.icon;
        int rightmostKind = 0;
        EXPECT_EQ(Run(c.text, o, {[&] {
                                       ElementHandle b = Box()->HitTest(boxSize.cx - 75 - 8 + 35, boxSize.cy - 35 + 12);
                                       if (UiElement* e = UiElement::FromHandle(b)) rightmostKind = e->Kind();
                                       PressEsc();
                                   }}),
                  kBoxCancel);
        if (c.wider) EXPECT_GT(boxSize.cx, 320);
        else EXPECT_EQ(boxSize.cx, 320);
        if (c.taller) EXPECT_GT(boxSize.cy, 150);
        else EXPECT_EQ(boxSize.cy, 150);
        EXPECT_EQ(boxRect.right - boxRect.left, boxSize.cx);
        EXPECT_EQ(boxRect.bottom - boxRect.top, boxSize.cy);
        EXPECT_NEAR(boxRect.left + boxRect.right, owner.left + owner.right, 1);
        EXPECT_NEAR(boxRect.top + boxRect.bottom, owner.top + owner.bottom, 1);
        // The buttons keep to the box's lower right corner.
        EXPECT_EQ(rightmostKind, 23);
    }
}

TEST_F(MsgBoxTest, EscAndTheCloseButtonGiveCancelForEverySet) {
    MakeOwner();
    for (int set = 0; set < kBoxButtonSets; ++set) {
        SCOPED_TRACE(set);
        MessageBoxOptions o;
        o.buttonSet = set;
        EXPECT_EQ(Run(kShortText, o, {[&] { PressEsc(); }}), kBoxCancel);
        EXPECT_FALSE(IsWindow(boxWindow));
    }
    // The caption's close button, 39 wide, 12 pixels in from the right edge.
    MessageBoxOptions o;
    EXPECT_EQ(Run(kShortText, o, {[&] {
                      int x = boxSize.cx - 12 - 20, y = 15;
                      SendMessageW(boxWindow, WM_MOUSEMOVE, 0, Point(x, y));
                      SendMessageW(boxWindow, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
                      SendMessageW(boxWindow, WM_LBUTTONUP, 0, Point(x, y));
                  }}),
              kBoxCancel);
}

TEST_F(MsgBoxTest, EachButtonGivesItsSetsCode) {
    struct Case {
        int set, position, code;
        bool skinned;
    } cases[] = {
        {0, 1, kBoxOk, true},      {1, 1, kBoxCancel, true}, {1, 2, kBoxOk, false},
        {2, 1, kBoxIgnore, true},  {2, 2, kBoxRetry, true},  {2, 3, kBoxAbort, false},
        {3, 1, kBoxCancel, true},  {3, 2, kBoxNo, true},     {3, 3, kBoxYes, true},
        {4, 1, kBoxNo, false},     {4, 2, kBoxYes, true},    {5, 1, kBoxCancel, true},
        {5, 2, kBoxRetry, true},
    };
    MakeOwner();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "set " << c.set << " position " << c.position);
        MessageBoxOptions o;
        o.buttonSet = c.set;
        o.skinnedButtons = c.skinned;
        int kind = 0;
        EXPECT_EQ(Run(kShortText, o, {[&] {
                          int x = boxSize.cx - 75 * c.position - 8 + 35, y = boxSize.cy - 35 + 12;
                          if (UiElement* e = UiElement::FromHandle(Box()->HitTest(x, y))) kind = e->Kind();
                          ClickButton(c.position);
                      }}),
                  c.code);
        EXPECT_EQ(kind, c.skinned ? 23 : 2);
    }
}

TEST_F(MsgBoxTest, CallerCaptionsKeepTheSetsCodesAndEnterPressesTheDefaultButton) {
    MakeOwner();
    const Text gotIt = "\xD6\xAA\xB5\xC0\xC1\xCB";   // 知道了
    MessageBoxOptions o;
    o.captions = {gotIt};
    o.icon = kBoxIconQuestion;
    Text caption;
    EXPECT_EQ(Run(kShortText, o, {[&] {
                      auto* b = dynamic_cast<UiTextElement*>(UiElement::FromHandle(Box()->Focused()));
                      if (b) caption = b->Caption();
                      ClickButton(1);
                  }}),
              kBoxOk);
    EXPECT_EQ(caption, gotIt);

    // Set 3 with the focus on "是(&Y)" (position 3): Enter answers Yes.
    MessageBoxOptions yesNo;
    yesNo.buttonSet = 3;
    yesNo.defaultButton = 3;
    EXPECT_EQ(Run(kShortText, yesNo, {[&] { PostMessageW(boxWindow, WM_KEYDOWN, VK_RETURN, 0); }}), kBoxYes);
}

TEST_F(MsgBoxTest, IconDecidesTheBeepAndWhereTheTextStarts) {
    struct Case {
        const char* name;
        int icon;
        bool playSound;
        std::vector<UINT> beeps;
        int textLeft;
    } cases[] = {
        {"no icon", kBoxIconNone, true, {}, 30},
        {"question", kBoxIconQuestion, true, {32}, 85},
        {"error, sound off", kBoxIconError, false, {}, 85},
    };
    MakeOwner();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard<std::mutex> guard(gBeepLock);
            gBeeps.clear();
        }
        MessageBoxOptions o;
        o.icon = c.icon;
        o.playSound = c.playSound;
        int firstDark = -2;
        intptr_t flags = 0, iconProperty = -1;
        uint32_t iconPixel = 0;
        Run(kShortText, o, {[&] {
                // The one line sits 4 pixels below the text area's top (43).
                firstDark = FirstDarkColumn(8, 200, 47, 70);
                flags = reinterpret_cast<intptr_t>(GetPropW(boxWindow, L"Kv_Wnd_Flags"));
                iconProperty = reinterpret_cast<intptr_t>(GetPropW(boxWindow, L"Kelvane_MsgBox"));
                iconPixel = Box()->PixelAt(36, 60);   // inside the badge, left of its mark
                PressEsc();
            }});
        EXPECT_EQ(Beeps(), c.beeps);
        EXPECT_GE(firstDark, c.textLeft);
        EXPECT_LE(firstDark, c.textLeft + 10);   // label inset and the glyph's bearing
        EXPECT_EQ(flags, 3);
        EXPECT_EQ(iconProperty, c.icon);
        if (c.icon == kBoxIconQuestion) {
            EXPECT_GT(B(iconPixel), R(iconPixel) + 60);   // the blue badge
        }
    }
}

TEST_F(MsgBoxTest, BoxTakesTheOwnersLookOrTheDefaultWithoutOne) {
    MakeOwner();
    Colour colour = 0;
    int alpha = 0;
    MessageBoxOptions o;
    Run(kShortText, o, {[&] {
            colour = Box()->ThemeColour();
            alpha = Box()->Alpha();
            PressEsc();
        }});
    EXPECT_EQ(colour, 0x0000FFu);
    EXPECT_EQ(alpha, 255);

    // A dead owner: centred on the work area with the default look.
    HWND gone = CreateHostWindow(nullptr, "gone", 0, 0, 100, 100);
    DestroyWindow(gone);
    o.onCreated = [&](HWND box, int w, int h) {
        UiHost* h0 = UiHost::FromWindow(box);
        colour = h0->ThemeColour();
        alpha = h0->Alpha();
        GetWindowRect(box, &boxRect);
        boxSize = {w, h};
        PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(UiMessageBox(gone, kShortText, o), kBoxCancel);
    EXPECT_EQ(colour, 0xFF8800u);
    EXPECT_EQ(alpha, 210);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(boxRect.left + boxRect.right, work.left + work.right, 1);
}

TEST_F(MsgBoxTest, InputForTheOwnerIsDroppedWhileTheBoxIsUp) {
    MakeOwner();
    Block target;
    ElementHandle t = target.Create(window, {20, 20, 60, 40}, 0xFF00FF00);
    host->SetFocus(t);
    auto postClick = [&] {
        PostMessageW(window, WM_MOUSEMOVE, 0, Point(40, 40));
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(40, 40));
        PostMessageW(window, WM_LBUTTONUP, 0, Point(40, 40));
        PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);   // Space clicks the focused element
    };
    MessageBoxOptions o;
    int clicksDuringBox = -1;
    Run(kShortText, o, {[&] {
                            postClick();
                            Next();   // runs after the loop has taken the input
                        },
                        [&] {
                            clicksDuringBox = Count(HostEvent::Click);
                            PressEsc();
                        }});
    EXPECT_EQ(clicksDuringBox, 0);
    PumpFor(50);
    EXPECT_EQ(Count(HostEvent::Click), 0);   // not delivered later either
    EXPECT_EQ(target.Got(WM_LBUTTONDOWN), 0);
    // The same input once the box is gone reaches the owner.
    postClick();
    PumpFor(50);
    EXPECT_EQ(Count(HostEvent::Click, t), 2);
}

TEST_F(MsgBoxTest, QuitEndsTheBoxAndReachesTheThreadsLoop) {
    MakeOwner();
    MessageBoxOptions o;
    o.buttonSet = 1;
    EXPECT_EQ(Run(kShortText, o, {[&] { PostQuitMessage(3); }}), kBoxCancel);
    EXPECT_FALSE(IsWindow(boxWindow));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

// A box asked for by a worker thread is a window of that thread; the main
// window keeps answering while it is up.
TEST_F(MsgBoxTest, BoxOnAWorkerThreadLeavesTheMainWindowAnswering) {
    MakeOwner();
    std::atomic<HWND> box{nullptr};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        MessageBoxOptions o;
        o.icon = kBoxIconQuestion;
        o.onCreated = [&](HWND b, int, int) { box = b; };
        result = UiMessageBox(window, kShortText, o);
    });
    DWORD end = GetTickCount() + 5000;
    while (!(box.load() && IsWindowVisible(box.load())) && static_cast<LONG>(end - GetTickCount()) > 0) PumpFor(5);
    ASSERT_NE(box.load(), nullptr);
    boxWindow = box.load();
    EXPECT_NE(GetWindowThreadProcessId(boxWindow, nullptr), GetCurrentThreadId());

    DWORD sent = GetTickCount();
    PostMessageW(window, kPingMessage, 0, 0);
    end = GetTickCount() + 2000;
    while (pings.empty() && static_cast<LONG>(end - GetTickCount()) > 0) PumpFor(1);
    ASSERT_EQ(pings.size(), 1u);
    EXPECT_TRUE(pings[0].boxUp);
    std::printf("main window answered in %lu ms while the worker's box was up\n",
                static_cast<unsigned long>(pings[0].tick - sent));

    // The main window still paints: a new element shows in its buffer.
    Block late;
    late.Create(window, {300, 300, 20, 20}, 0xFF00FF00);
    EXPECT_GE(G(host->PixelAt(310, 310)), 250);

    PostMessageW(boxWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    end = GetTickCount() + 5000;
    while (result.load() == -1 && static_cast<LONG>(end - GetTickCount()) > 0) PumpFor(5);
    worker.join();
    EXPECT_EQ(result.load(), kBoxCancel);
    EXPECT_FALSE(IsWindow(boxWindow));
}

// The owner's background picture is a GDI+ object of the main thread: the box
// copies it there (so it waits while the main thread is busy) and shows it.
TEST_F(MsgBoxTest, WorkerBoxCopiesTheOwnersPictureOnTheOwnersThread) {
    AttachOptions options;
    options.background = SolidPicture(900, 600, Gdiplus::Color(255, 0, 255, 0));
    options.colour = 0x606060;
    MakeOwner(options);

    std::atomic<HWND> box{nullptr};
    std::atomic<int> result{-1};
    std::atomic<uint32_t> middle{0};
    std::thread worker([&] {
        MessageBoxOptions o;
        o.onCreated = [&](HWND b, int w, int) {
            middle = UiHost::FromWindow(b)->PixelAt(w / 2, 105);
            box = b;
            PostMessageW(b, WM_KEYDOWN, VK_ESCAPE, 0);
        };
        result = UiMessageBox(window, kShortText, o);
    });
    // While this thread takes no messages, the box cannot read the picture.
    Sleep(300);
    EXPECT_EQ(box.load(), nullptr);
    DWORD end = GetTickCount() + 5000;
    while (result.load() == -1 && static_cast<LONG>(end - GetTickCount()) > 0) PumpFor(5);
    worker.join();
    ASSERT_NE(box.load(), nullptr);
    EXPECT_EQ(result.load(), kBoxCancel);
    // The green picture shows through the box's glass.
    uint32_t p = middle.load();
    EXPECT_GT(G(p), R(p) + 30);
    EXPECT_GT(G(p), B(p) + 30);
}

// The same at the host level: a host on another thread that shares its
// owner's background takes the picture through the owner's thread, never by
// drawing the owner's GDI+ image itself.
TEST_F(MsgBoxTest, OwnedHostOnAnotherThreadCopiesThePictureOnTheOwnersThread) {
    AttachOptions options;
    options.background = SolidPicture(400, 300, Gdiplus::Color(255, 0, 255, 0));
    options.colour = 0x606060;
    MakeHost(options);

    std::atomic<bool> attached{false};
    std::atomic<uint32_t> pixel{0};
    std::thread worker([&] {
        HWND w = CreateHostWindow(nullptr, "owned", 0, 0, 200, 120);
        UiHost owned;
        AttachOptions o;
        o.styleFlags = 0;
        o.ownerWindow = window;
        o.tint = false;
        owned.Attach(w, o);
        pixel = owned.PixelAt(100, 60);
        attached = true;
        owned.Detach();
        DestroyWindow(w);
    });
    Sleep(300);   // this thread takes no messages meanwhile
    EXPECT_FALSE(attached.load());
    DWORD end = GetTickCount() + 5000;
    while (!attached.load() && static_cast<LONG>(end - GetTickCount()) > 0) PumpFor(5);
    worker.join();
    EXPECT_TRUE(attached.load());
    EXPECT_GE(G(pixel.load()), 250);
    EXPECT_LE(R(pixel.load()), 5);
}

}  // namespace
}  // namespace sorvix::ui::test
