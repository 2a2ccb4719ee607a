// Host message routing driven by real window messages: hover, press, click,
// release elsewhere, double click, right button, mouse leave, Tab walk,
// Enter/Space, Alt accelerators, caption parts, min/max sizes, message hook,
// tooltips, resize zones and detaching.
#include "ui_fixture.h"

#include <commctrl.h>

namespace sorvix::ui::test {
namespace {

class HostTest : public HostFixture {};

TEST_F(HostTest, PressAndReleaseOnOneElementClicks) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    Send(WM_MOUSEMOVE, 0, 20, 20);
    EXPECT_EQ(host->Hovered(), h);
    EXPECT_EQ(Count(HostEvent::MouseEnter, h), 1);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    EXPECT_TRUE(host->IsPressed());
    EXPECT_EQ(host->Pressed(), h);
    EXPECT_EQ(host->Focused(), h);
    EXPECT_EQ(Count(HostEvent::Press, h), 1);
    EXPECT_EQ(Count(HostEvent::FocusGained, h), 1);
    Send(WM_LBUTTONUP, 0, 22, 21);
    EXPECT_FALSE(host->IsPressed());
    EXPECT_EQ(Count(HostEvent::Release, h), 1);
    ASSERT_EQ(Count(HostEvent::Click, h), 1);
    EXPECT_EQ(a.Got(UIM_CLICK), 1);
    for (auto& e : events) {
        if (e.kind == HostEvent::Click) {
            EXPECT_EQ(e.lParam, Point(22, 21));
            EXPECT_EQ(e.elementKind, 5);
        }
    }
}

TEST_F(HostTest, ReleaseOverAnotherElementDoesNotClick) {
    MakeHost();
    Block a, b;
    ElementHandle ha = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    ElementHandle hb = b.Create(window, {100, 10, 50, 50}, 0xFF00FF00);
    Send(WM_MOUSEMOVE, 0, 20, 20);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 120, 20);   // during the press, moves go to the pressed one
    EXPECT_EQ(b.Got(UIM_MOUSEENTER), 0);
    Send(WM_LBUTTONUP, 0, 120, 20);
    EXPECT_EQ(Count(HostEvent::Release, ha), 1);
    EXPECT_EQ(Count(HostEvent::Click), 0);
    EXPECT_EQ(a.Got(UIM_CLICK), 0);
    EXPECT_EQ(a.Got(UIM_MOUSELEAVE), 1);
    EXPECT_EQ(b.Got(UIM_MOUSEENTER), 1);
    EXPECT_EQ(host->Hovered(), hb);
}

TEST_F(HostTest, DoubleClickArrivesAsMarkedSecondPressAndRaisesOnce) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    Click(20, 20);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 20, 20);
    Send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_EQ(Count(HostEvent::DoubleClick, h), 1);
    EXPECT_EQ(Count(HostEvent::Press, h), 2);
    EXPECT_EQ(Count(HostEvent::Click, h), 2);
    int marked = 0;
    for (auto& [m, lp] : a.got) marked += m == WM_LBUTTONDOWN;
    EXPECT_EQ(marked, 2);
    EXPECT_EQ(a.Got(WM_LBUTTONDBLCLK), 0);
}

TEST_F(HostTest, MouseLeavingTheWindowLeavesTheHoveredElementOnce) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    Send(WM_MOUSEMOVE, 0, 20, 20);
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(a.Got(UIM_MOUSELEAVE), 1);
    EXPECT_EQ(Count(HostEvent::MouseLeave, h), 1);
    EXPECT_EQ(host->Hovered(), 0u);
}

TEST_F(HostTest, RightButtonRaisesRightPressAndReleaseWithTheElement) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 20, 20);
    Send(WM_RBUTTONUP, 0, 20, 20);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 200, 200);   // over no element: nothing
    EXPECT_EQ(Count(HostEvent::RightPress), 1);
    EXPECT_EQ(Count(HostEvent::RightPress, h), 1);
    EXPECT_EQ(Count(HostEvent::RightRelease, h), 1);
    EXPECT_EQ(Count(HostEvent::Click), 0);
}

// A list view selects the row under the mouse on a right press, and the
// application's right-press handler opens the row menu: the element must have
// had the press by the time the handler runs (for the release as well).
TEST_F(HostTest, ElementTakesTheRightButtonBeforeTheHandlerHears) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    int downsSeenByPress = -1, upsSeenByRelease = -1;
    host->SetRightPressHandler([&](HWND, ElementHandle, WPARAM, LPARAM, int) {
        downsSeenByPress = a.Got(WM_RBUTTONDOWN);
    });
    host->SetRightReleaseHandler([&](HWND, ElementHandle, WPARAM, LPARAM, int) {
        upsSeenByRelease = a.Got(WM_RBUTTONUP);
    });
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 20, 20);
    Send(WM_RBUTTONUP, 0, 20, 20);
    EXPECT_EQ(downsSeenByPress, 1);
    EXPECT_EQ(upsSeenByRelease, 1);
    EXPECT_EQ(host->Hovered(), h);
}

TEST_F(HostTest, NonFocusableElementTakesPressOnlyWhenItAsks) {
    MakeHost();
    Block plain, asking;
    plain.Create(window, {10, 10, 50, 50}, 0xFF0000FF, false);
    ElementHandle ha = asking.Create(window, {100, 10, 50, 50}, 0xFF0000FF, false);
    asking.answers[UIM_WANTPRESS] = 0;
    Click(20, 20);
    EXPECT_EQ(Count(HostEvent::Press), 0);
    EXPECT_EQ(Count(HostEvent::Click), 0);
    Click(120, 20);
    EXPECT_EQ(Count(HostEvent::Click, ha), 1);
    EXPECT_EQ(host->Focused(), 0u);   // the focus still goes only to focusable ones
}

TEST_F(HostTest, TabWalksTheElementTreeInDrawingOrderAndWraps) {
    MakeHost();
    Block a, b, hidden, disabled, unfocusable, c;
    a.Create(window, {10, 10, 20, 20}, 0xFF000000);
    b.Create(window, {40, 10, 20, 20}, 0xFF000000);
    hidden.Create(window, {70, 10, 20, 20}, 0xFF000000);
    disabled.Create(window, {100, 10, 20, 20}, 0xFF000000);
    unfocusable.Create(window, {130, 10, 20, 20}, 0xFF000000, false);
    c.Create(window, {160, 10, 20, 20}, 0xFF000000);
    hidden.Visible(false);
    disabled.Disabled(true);
    Block child, grandchild, underHidden, underUnfocusable;
    child.Create(a.Handle(), {12, 12, 5, 5}, 0xFF000000);
    grandchild.Create(child.Handle(), {13, 13, 2, 2}, 0xFF000000);
    underHidden.Create(hidden.Handle(), {72, 12, 5, 5}, 0xFF000000);        // not shown: skipped
    underUnfocusable.Create(unfocusable.Handle(), {132, 12, 5, 5}, 0xFF000000);   // shown: a stop
    auto tab = [&] { SendMessageW(window, WM_KEYDOWN, VK_TAB, 0); };
    const ElementHandle expected[] = {a.Handle(), child.Handle(), grandchild.Handle(), b.Handle(),
                                      underUnfocusable.Handle(), c.Handle(), a.Handle()};
    for (ElementHandle e : expected) {   // no focus: the first eligible element first
        tab();
        EXPECT_EQ(host->Focused(), e);
    }
}

TEST_F(HostTest, TabWithNoFocusFocusesTheOnlyEligibleElement) {
    MakeHost();
    Block off, only;
    off.Create(window, {10, 10, 20, 20}, 0xFF000000, false);
    only.Create(window, {40, 10, 20, 20}, 0xFF000000);
    SendMessageW(window, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(host->Focused(), only.Handle());
    Block container, inner;   // and one that is a child
    container.Create(window, {100, 100, 50, 50}, 0xFF000000, false);
    inner.Create(container.Handle(), {110, 110, 10, 10}, 0xFF000000);
    only.Focusable(false);
    SendMessageW(window, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(host->Focused(), inner.Handle());
}

TEST_F(HostTest, TabWithNoOtherCandidateKeepsTheFocus) {
    MakeHost();
    Block only, other;
    only.Create(window, {10, 10, 20, 20}, 0xFF000000);
    other.Create(window, {40, 10, 20, 20}, 0xFF000000, false);
    host->SetFocus(only.Handle());
    SendMessageW(window, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(host->Focused(), only.Handle());
}

// The application finds its own caption buttons by kind (the appearance
// button is kind 64), and the kinds follow the style bits right to left.
TEST_F(HostTest, CaptionButtonsAreFoundByKind) {
    AttachOptions o;
    o.styleFlags = 87;   // icon, title, close, minimise and the appearance button
    MakeHost(o);
    std::vector<ElementHandle> buttons = host->CaptionButtons();
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(host->CaptionButton(CaptionButtonKind::Close), buttons[0]);
    EXPECT_EQ(host->CaptionButton(CaptionButtonKind::Minimize), buttons[1]);
    EXPECT_EQ(host->CaptionButton(CaptionButtonKind::Appearance), buttons[2]);
    EXPECT_EQ(host->CaptionButton(CaptionButtonKind::Maximize), 0u);
    EXPECT_EQ(host->CaptionButtonKindOf(buttons[2]), CaptionButtonKind::Appearance);
    EXPECT_EQ(host->CaptionButtonKindOf(host->TitleElement()), std::nullopt);
    // A click on it reaches the click handler with kind code 1.
    UiRect r = UiElement::FromHandle(buttons[2])->Rect();
    Click(static_cast<int>(r.x + 5), static_cast<int>(r.y + 5));
    ASSERT_EQ(Count(HostEvent::Click, buttons[2]), 1);
    EXPECT_EQ(events.back().elementKind, 1);
}

// Element blocks posted for later delivery belong to the host; a window that
// goes before it delivers them frees them.
TEST_F(HostTest, PostedElementMessagesAreFreedWhenTheWindowGoes) {
    MakeHost();
    Block a;
    a.Create(window, {10, 10, 20, 20}, 0xFF000000);
    int before = ElementMessage::Outstanding();
    for (int i = 0; i < 50; ++i) a.PostEvent(WM_USER + 1, i, 0);
    host->PostToElement(a.Handle(), WM_USER + 2, 0, 0);
    EXPECT_EQ(ElementMessage::Outstanding(), before + 51);
    DestroyWindow(window);
    window = nullptr;
    Pump();
    EXPECT_EQ(ElementMessage::Outstanding(), before);
    EXPECT_EQ(a.Got(WM_USER + 1), 0);   // the element went with its window
}

TEST_F(HostTest, EnterAndSpaceClickTheFocusedElementWithZeroArguments) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 20, 20}, 0xFF000000);
    host->SetFocus(h);
    for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_SPACE)}) {
        events.clear();
        SendMessageW(window, WM_KEYDOWN, key, 0x1C0001);
        ASSERT_EQ(Count(HostEvent::Click, h), 1) << key;
        EXPECT_EQ(events.back().wParam, 0u);
        EXPECT_EQ(events.back().lParam, 0);
    }
    EXPECT_EQ(a.Got(UIM_CLICK), 2);
    // A disabled focused element is not clicked (disabling also took the focus).
    a.Disabled(true);
    events.clear();
    SendMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Count(HostEvent::Click), 0);
    EXPECT_EQ(host->Focused(), 0u);
}

// The procedure the host replaces, recording the system characters it gets.
int gOldSysChars = 0;
LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SYSCHAR) {
        ++gOldSysChars;
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

TEST_F(HostTest, AltAcceleratorClicksTheMarkedButtonAndOtherKeysPassOn) {
    static bool registered = RegisterHostClass(std::wstring(L"KvRecording"), {}, {}, {}, &RecordingProc);
    ASSERT_TRUE(registered);
    window = CreateHostWindow(nullptr, "t", 0, 0, 300, 200, L"KvRecording");
    host = std::make_unique<UiHost>();
    AttachOptions o;
    o.styleFlags = 0;
    host->Attach(window, o);
    RecordEvents();
    UiButton save;
    ElementHandle h = save.Create(window, {10, 10, 80, 24}, "&Save");
    ASSERT_EQ(host->Accelerators().size(), 1u);
    EXPECT_EQ(host->Accelerators()[0].second, L'S');
    gOldSysChars = 0;
    EXPECT_EQ(SendMessageW(window, WM_SYSCHAR, 's', 0), 0);
    EXPECT_EQ(Count(HostEvent::Click, h), 1);
    EXPECT_EQ(gOldSysChars, 0);
    SendMessageW(window, WM_SYSCHAR, 'q', 0);
    EXPECT_EQ(gOldSysChars, 1);
    EXPECT_EQ(Count(HostEvent::Click), 1);
    // A hidden element's accelerator does nothing.
    save.Visible(false);
    SendMessageW(window, WM_SYSCHAR, 'S', 0);
    EXPECT_EQ(Count(HostEvent::Click), 1);
    EXPECT_EQ(gOldSysChars, 2);
}

TEST_F(HostTest, StandardCaptionHasIconTitleAndButtonsRightToLeft) {
    AttachOptions o;
    o.styleFlags = kStyleStandard;
    MakeHost(o, 400, 300);
    EXPECT_EQ(host->StyleFlags(), 1 | 2 | 4 | 8 | 16 | 512 | 1024);
    EXPECT_NE(host->IconElement(), 0u);
    EXPECT_NE(host->TitleElement(), 0u);
    auto buttons = host->CaptionButtons();
    ASSERT_EQ(buttons.size(), 3u);
    UiRect close = UiElement::FromHandle(buttons[0])->Rect();
    UiRect max = UiElement::FromHandle(buttons[1])->Rect();
    UiRect min = UiElement::FromHandle(buttons[2])->Rect();
    EXPECT_TRUE(close.SameAs({400 - 12 - 39, 7, 39, 19}));
    EXPECT_TRUE(max.SameAs({close.x - 28, 7, 28, 19}));
    EXPECT_TRUE(min.SameAs({max.x - 28, 7, 28, 19}));
    auto* title = static_cast<UiLabel*>(UiElement::FromHandle(host->TitleElement()));
    EXPECT_EQ(title->Caption(), "Kv test");
    SetWindowTextW(window, L"\u4E2D");
    EXPECT_EQ(title->Caption(), "\xD6\xD0");
    // Clicking the close button closes the window.
    Click(static_cast<int>(close.x) + 5, 12);
    Pump();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(HostTest, DoubleClickInTheTopBandMaximisesOnlyWithTheMaximiseBit) {
    AttachOptions o;
    o.styleFlags = kStyleClose;     // no maximise bit
    MakeHost(o, 300, 200, WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX, true);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 15);
    Pump();
    EXPECT_FALSE(IsZoomed(window));
    host.reset();
    DestroyWindow(window);
    o.styleFlags = kStyleClose | kStyleMaximize;
    MakeHost(o, 300, 200, WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX, true);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 15);
    PumpFor(50);
    EXPECT_TRUE(IsZoomed(window));
}

TEST_F(HostTest, MinMaxInfoCoversTheWorkAreaPlusTheShadowMargin) {
    AttachOptions o;
    o.styleFlags = kStyleClose | kStyleMinimize;
    MakeHost(o);
    MINMAXINFO mm{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(mm.ptMaxPosition.x, work.left - 7);
    EXPECT_EQ(mm.ptMaxPosition.y, work.top - 7);
    EXPECT_EQ(mm.ptMaxSize.x, work.right - work.left + 14);
    EXPECT_EQ(mm.ptMaxSize.y, work.bottom - work.top + 14);
    EXPECT_EQ(mm.ptMinTrackSize.x, 2 * 28 + 11 + 35 + 1);
    EXPECT_EQ(mm.ptMinTrackSize.y, 38);
}

TEST_F(HostTest, MessageHookSeesEverythingAndCanCancelTheClose) {
    MakeHost({}, 300, 200, WS_POPUP | WS_SYSMENU, true);
    int seen = 0;
    host->SetMessageHook([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        ++seen;
        return -1;
    });
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    Click(20, 20);
    EXPECT_EQ(Count(HostEvent::Click, h), 1);   // -1 for everything: unchanged
    EXPECT_GT(seen, 0);
    host->SetCloseEffect(1);
    host->SetMessageHook([](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CLOSE ? 0 : -1; });
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(host->ClosingFrames(), 0);
}

TEST_F(HostTest, TooltipFollowsTheHoveredElement) {
    MakeHost();
    Block tipped, plain;
    tipped.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    plain.Create(window, {100, 10, 50, 50}, 0xFF0000FF);
    tipped.Tooltip("hello");
    HWND tips = host->TooltipWindow();
    ASSERT_NE(tips, nullptr);
    Send(WM_MOUSEMOVE, 0, 20, 20);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    Send(WM_MOUSEMOVE, 0, 120, 20);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 0);
}

TEST_F(HostTest, ResizeZonesTakeTheMouseFromElements) {
    MakeHost({}, 300, 200, WS_POPUP | WS_THICKFRAME);
    Block a;
    a.Create(window, {0, 0, 300, 200}, 0xFF0000FF);
    Send(WM_MOUSEMOVE, 0, 150, 100);
    EXPECT_EQ(host->Hovered(), a.Handle());
    Send(WM_MOUSEMOVE, 0, 3, 100);   // left band
    EXPECT_EQ(host->Hovered(), 0u);
    EXPECT_EQ(a.Got(UIM_MOUSELEAVE), 1);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 295, 195);   // bottom-right zone: no press
    EXPECT_EQ(Count(HostEvent::Press), 0);
}

TEST_F(HostTest, DeactivationDropsThePressAndActivationRestoresFocusLook) {
    MakeHost();
    Block a;
    a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    Send(WM_MOUSEMOVE, 0, 20, 20);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(host->IsPressed());
    EXPECT_EQ(a.Got(UIM_KILLFOCUS), 1);
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(a.Got(UIM_SETFOCUS), 2);
}

TEST_F(HostTest, DetachRestoresTheWindowAndForgetsTheElements) {
    MakeHost();
    Block a;
    a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    host->Detach();
    EXPECT_EQ(UiHost::FromWindow(window), nullptr);
    EXPECT_EQ(a.Handle(), 0u);
    EXPECT_EQ(a.Got(WM_DESTROY), 1);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(PassThroughWindowProc()));
    // Messages after detaching reach no element.
    Click(20, 20);
    EXPECT_EQ(a.Got(UIM_CLICK), 0);
}

TEST_F(HostTest, ResizingRebuildsTheBufferAndKeepsCaptionButtonsAtTheRight) {
    AttachOptions o;
    o.styleFlags = kStyleClose;
    o.colour = 0x0000FF;
    MakeHost(o, 300, 200);
    int sized = 0;
    host->SetSizeHandler([&](HWND, int w, int h) {
        ++sized;
        EXPECT_EQ(w, 500);
        EXPECT_EQ(h, 260);
    });
    SetWindowPos(window, nullptr, 0, 0, 500, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    EXPECT_EQ(sized, 1);
    EXPECT_EQ(host->Size().cx, 500);
    UiRect close = UiElement::FromHandle(host->CaptionButtons()[0])->Rect();
    EXPECT_TRUE(close.SameAs({500 - 12 - 39, 7, 39, 19}));
    EXPECT_GE(R(host->PixelAt(450, 200)), 250);   // the new area is composed
    MINMAXINFO mm{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 28 + 11 + 35 + 1);
}

TEST_F(HostTest, CursorIsTheHoveredElementsOrTheDefault) {
    MakeHost();
    Block edit, plain;
    edit.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    edit.Cursor(32513);   // I-beam
    plain.Create(window, {100, 10, 50, 50}, 0xFF0000FF);
    Send(WM_MOUSEMOVE, 0, 20, 20);
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
    Send(WM_MOUSEMOVE, 0, 120, 20);
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(HostTest, PostedFocusRequestGivesTheElementTheFocus) {
    MakeHost();
    Block a;
    ElementHandle h = a.Create(window, {10, 10, 50, 50}, 0xFF0000FF);
    PostMessageW(window, UIM_SETFOCUS, 0, h);
    Pump();
    EXPECT_EQ(host->Focused(), h);
    EXPECT_EQ(a.Got(UIM_SETFOCUS), 1);
}

}  // namespace
}  // namespace sorvix::ui::test
