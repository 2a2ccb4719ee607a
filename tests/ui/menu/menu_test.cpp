// Popup menu: measuring, item operations, the shared edit menu, and the modal
// loop driven by real window messages from a script that runs one step per
// timer tick inside the loop: clicks, hover, keys and outside presses, with
// the outcome checked by the command the opener receives, the popups still
// open, the highlighted item and the popup's composed pixels.
#include "ui_fixture.h"

#include "ui/edit.h"
#include "ui/menu.h"

#include <functional>

namespace sorvix::ui::test {
namespace {

// Runs steps inside a menu loop, one per tick of a thread timer; a step that
// returns false runs again on the next tick. After the last step any menu
// still open is closed, so a failing test cannot hang in the loop.
class MenuScript {
public:
    using Step = std::function<bool()>;
    explicit MenuScript(std::vector<Step> steps) : steps_(std::move(steps)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 1, &Tick);
    }
    ~MenuScript() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    size_t StepsRun() const { return next_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        MenuScript* s = current_;
        if (!s) return;
        if (s->next_ < s->steps_.size()) {
            if (s->steps_[s->next_]()) ++s->next_;
            return;
        }
        std::vector<HWND> open = UiMenu::OpenPopups();
        if (!open.empty()) PostMessageW(open.front(), WM_CLOSE, 0, 0);
    }
    static inline MenuScript* current_ = nullptr;
    std::vector<Step> steps_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
};

// Shorthands for steps.
MenuScript::Step Do(std::function<void()> fn) {
    return [fn] {
        fn();
        return true;
    };
}

HWND Top() {
    auto open = UiMenu::OpenPopups();
    return open.empty() ? nullptr : open.front();
}
size_t OpenCount() { return UiMenu::OpenPopups().size(); }

void MouseTo(HWND popup, int x, int y) { SendMessageW(popup, WM_MOUSEMOVE, 0, Point(x, y)); }
void ClickAt(HWND popup, int x, int y) {
    MouseTo(popup, x, y);
    SendMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
    SendMessageW(popup, WM_LBUTTONUP, 0, Point(x, y));
}
void Key(HWND target, WPARAM key) { PostMessageW(target, WM_KEYDOWN, key, 1); }

// Records each WM_COMMAND's wParam and lParam.
class CommandBlock : public Block {
public:
    std::vector<std::pair<WPARAM, LPARAM>> commands;

protected:
    LRESULT HandleMessage(UINT m, WPARAM wp, LPARAM lp) override {
        if (m == WM_COMMAND) commands.emplace_back(wp, lp);
        return Block::HandleMessage(m, wp, lp);
    }
};

class MenuTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        MakeHost();
        opener.Create(window, {10, 40, 100, 30}, ArgbAt(0xFFFFFF, 255));
        focused.Create(window, {10, 80, 100, 30}, ArgbAt(0xFFFFFF, 255));
        host->SetFocus(focused.Handle());
    }

    // Commands 101, 102 ...: "&Alpha", "&Beta" (disabled), separator, "&Gamma",
    // "&Delta" (hidden), "&Alpine".
    void MakeTestMenu() {
        menu.AddItem("&Alpha", kMenuNormal, kMenuCommand, true, 101);
        menu.AddItem("&Beta", kMenuDisabled, kMenuCommand, true, 102);
        menu.AddItem("", kMenuNormal, kMenuSeparator, true, 0);
        menu.AddItem("&Gamma", kMenuNormal, kMenuCommand, true, 104);
        menu.AddItem("&Delta", kMenuHidden, kMenuCommand, true, 105);
        menu.AddItem("&Alpine", kMenuNormal, kMenuCommand, true, 106);
    }

    // Centre of an item's row in popup client pixels.
    POINT RowPoint(const UiMenu& m, int index) const { return {40, m.ItemTop(index) + 11}; }
    void ClickItem(const UiMenu& m, int index) {
        POINT p = RowPoint(m, index);
        ClickAt(UiMenu::ActivePopup(), p.x, p.y);
    }

    uintptr_t Run(UiMenu& m, std::vector<MenuScript::Step> steps, ElementHandle openerElement) {
        MenuScript script(std::move(steps));
        uintptr_t r = m.PopupAt(window, 200, 150, openerElement);
        stepsRun = script.StepsRun();
        return r;
    }

    UiMenu menu;
    CommandBlock opener;
    Block focused;
    size_t stepsRun = 0;
};

// ---- Measuring and item operations ---------------------------------------------------

TEST_F(MenuTest, HeightIsPaddingPlusRowsOfVisibleItems) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> items;   // kind, state
        int height;
    };
    const Case cases[] = {
        {"command and separator", {{kMenuCommand, 0}, {kMenuSeparator, 0}}, 16 + 22 + 3},
        {"hidden items take no room", {{kMenuCommand, 0}, {kMenuCommand, kMenuHidden}, {kMenuSeparator, kMenuHidden}}, 16 + 22},
        {"disabled items keep theirs", {{kMenuCommand, kMenuDisabled}, {kMenuCommand, 0}}, 16 + 44},
        {"no items", {}, 16},
    };
    for (const Case& c : cases) {
        UiMenu m;
        for (auto [kind, state] : c.items) m.AddItem("Item", state, kind, true, 1);
        EXPECT_EQ(m.Measure().cy, c.height) << c.name;
    }
    // The popup window is that high, and its box ends 6 pixels above its edge.
    UiMenu m;
    m.AddItem("Item", 0, kMenuCommand, true, 1);
    m.AddItem("", 0, kMenuSeparator, true, 0);
    RECT r{};
    uint32_t boxBottom = 0, belowShadow = 1;
    Run(m,
        {Do([&] {
            GetWindowRect(Top(), &r);
            UiHost* h = UiHost::FromWindow(Top());
            boxBottom = h->PixelAt(40, 41 - 7);
            belowShadow = h->PixelAt(40, 41 - 1);
        })},
        0);
    EXPECT_EQ(r.bottom - r.top, 41);
    EXPECT_GE(A(boxBottom), 200) << std::hex << boxBottom;
    EXPECT_EQ(A(belowShadow), 0) << std::hex << belowShadow;
}

TEST_F(MenuTest, WidthFollowsTheWidestTextAndGrowsForSubmenus) {
    UiMenu shortMenu, longMenu, withSub, sub;
    shortMenu.AddItem("Go", 0, kMenuCommand, true, 1);
    longMenu.AddItem("Go", 0, kMenuCommand, true, 1);
    longMenu.AddItem("A much longer item text", 0, kMenuCommand, true, 2);
    longMenu.AddItem("A much longer item text that is hidden", kMenuHidden, kMenuCommand, true, 3);
    withSub.AddItem("A much longer item text", 0, kMenuCommand, true, 2);
    MenuItemOptions o;
    o.submenu = &sub;
    withSub.AddItem("More", 0, kMenuSubmenu, true, 0, o);
    int shortWidth = shortMenu.Measure().cx, longWidth = longMenu.Measure().cx;
    EXPECT_GT(shortWidth, 50);               // text + 50
    EXPECT_LT(shortWidth, 50 + 30);
    EXPECT_GT(longWidth, shortWidth + 80);   // the hidden, longer text does not count
    EXPECT_LT(longWidth, 50 + 23 * 8);
    EXPECT_EQ(withSub.Measure().cx, longWidth + 15);
}

TEST_F(MenuTest, BadIndicesChangeNothing) {
    UiMenu m;
    m.AddItem("one", 0, kMenuCommand, true, 1);
    m.AddItem("two", kMenuDisabled, kMenuCommand, true, 2);
    m.AddItem("three", 0, kMenuCommand, true, 3);
    for (int bad : {0, -1, 4, 5}) {
        EXPECT_EQ(m.ItemState(bad, kMenuHidden), 0) << bad;
        EXPECT_EQ(m.ItemText(bad, Text("x")), "") << bad;
        EXPECT_EQ(m.RemoveItem(bad), 0) << bad;
        EXPECT_FALSE(m.IsValidIndex(bad)) << bad;
        EXPECT_EQ(m.ItemTop(bad), -1) << bad;
    }
    ASSERT_EQ(m.ItemCount(), 3);
    EXPECT_EQ(m.ItemState(2), kMenuDisabled);
    EXPECT_EQ(m.ItemText(3), "three");
    EXPECT_EQ(m.Measure().cy, 16 + 3 * 22);
    EXPECT_EQ(m.ItemState(2, kMenuNormal), kMenuNormal);
    EXPECT_EQ(m.ItemText(1, Text("first")), "first");
    EXPECT_EQ(m.RemoveItem(1), 1);
    EXPECT_EQ(m.ItemText(1), "two");
    m.Clear();
    EXPECT_EQ(m.ItemCount(), 0);
}

TEST_F(MenuTest, TheSharedEditMenuIsBuiltAtStart) {
    UiMenu& m = EditContextMenu();
    ASSERT_EQ(m.ItemCount(), 5);
    struct Expect {
        const wchar_t* text;
        int kind;
        uintptr_t command;
    };
    const Expect expect[] = {{L"剪切(&T)", kMenuCommand, 88},
                             {L"复制(&C)", kMenuCommand, 67},
                             {L"粘贴(&P)", kMenuCommand, 86},
                             {L"", kMenuSeparator, 0},
                             {L"全部选择(&A)", kMenuCommand, 65}};
    for (int i = 0; i < 5; ++i) {
        const UiMenu::Item& item = m.Items()[static_cast<size_t>(i)];
        EXPECT_EQ(item.text, expect[i].text) << i;
        EXPECT_EQ(m.ItemText(i + 1), WideToGbk(expect[i].text)) << i;
        EXPECT_EQ(item.itemKind, expect[i].kind) << i;
        if (expect[i].kind == kMenuCommand) {
            EXPECT_TRUE(item.sendsCommand) << i;
            EXPECT_EQ(item.command, expect[i].command) << i;
        }
    }
    EXPECT_EQ(m.Measure().cy, 16 + 4 * 22 + 3);
}

// ---- Choosing ------------------------------------------------------------------------

TEST_F(MenuTest, ClickedCommandReachesTheOpenerNotTheFocusedElement) {
    MakeTestMenu();
    CommandBlock box;
    box.Create(window, {150, 40, 100, 30}, ArgbAt(0xFFFFFF, 255));
    uintptr_t r = Run(menu, {Do([&] { ClickItem(menu, 4); })}, box.Handle());
    EXPECT_EQ(r, 104u);
    ASSERT_EQ(box.commands.size(), 1u);
    EXPECT_EQ(box.commands[0].first, 104u);
    EXPECT_EQ(box.commands[0].second, static_cast<LPARAM>(box.Handle()));
    EXPECT_EQ(focused.Got(WM_COMMAND), 0);
    EXPECT_TRUE(UiMenu::OpenPopups().empty());
    EXPECT_EQ(menu.OwnerElement(), box.Handle());
}

TEST_F(MenuTest, ARightButtonReleaseChoosesTooAndTheOwnerKeepsTheActivation) {
    MakeTestMenu();
    HWND activeBefore = GetActiveWindow();
    HWND activeInside = reinterpret_cast<HWND>(1);
    uintptr_t r = Run(menu,
                      {Do([&] {
                          POINT p = RowPoint(menu, 6);
                          HWND popup = Top();
                          MouseTo(popup, p.x, p.y);
                          SendMessageW(popup, WM_RBUTTONDOWN, MK_RBUTTON, Point(p.x, p.y));
                          activeInside = GetActiveWindow();
                          SendMessageW(popup, WM_RBUTTONUP, 0, Point(p.x, p.y));
                      })},
                      opener.Handle());
    EXPECT_EQ(r, 106u);
    EXPECT_EQ(activeInside, activeBefore);
    ASSERT_EQ(opener.commands.size(), 1u);
}

TEST_F(MenuTest, OwnerGoingAwayClosesTheMenu) {
    menu.AddItem("One", 0, kMenuCommand, true, 1);
    HWND other = CreateHostWindow(nullptr, "owner", 10, 10, 200, 150);
    UiHost otherHost;
    AttachOptions o;
    o.styleFlags = 0;
    ASSERT_TRUE(otherHost.Attach(other, o));
    MenuScript script({Do([&] { DestroyWindow(other); })});
    EXPECT_EQ(menu.PopupAt(other, 50, 50, 0), 0u);
    EXPECT_EQ(script.StepsRun(), 1u);
    EXPECT_TRUE(UiMenu::OpenPopups().empty());
}

TEST_F(MenuTest, WithoutAnOpenerTheOwnerHostHandsTheCommandToItsFocus) {
    MakeTestMenu();
    uintptr_t r = Run(menu, {Do([&] { ClickItem(menu, 1); })}, 0);
    EXPECT_EQ(r, 101u);
    EXPECT_EQ(focused.Got(WM_COMMAND), 1);
    EXPECT_EQ(opener.Got(WM_COMMAND), 0);
}

TEST_F(MenuTest, ProcedureItemIsCalledAndSendsNoCommand) {
    int calls = 0;
    MenuItemOptions o;
    o.procedure = [&] {
        ++calls;
        // Runs after the popup is gone: another menu may open from here.
        EXPECT_TRUE(UiMenu::OpenPopups().empty());
    };
    menu.AddItem("Run", 0, kMenuCommand, false, 0, o);
    uintptr_t r = Run(menu, {Do([&] { ClickItem(menu, 1); })}, opener.Handle());
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(opener.Got(WM_COMMAND), 0);
    EXPECT_EQ(focused.Got(WM_COMMAND), 0);
}

TEST_F(MenuTest, ClicksThatChooseNothingLeaveTheMenuOpen) {
    MakeTestMenu();
    UiMenu sub;
    sub.AddItem("Inner", 0, kMenuCommand, true, 201);
    MenuItemOptions o;
    o.submenu = &sub;
    menu.AddItem("&More", 0, kMenuSubmenu, true, 0, o);   // item 7
    bool stillOpen[4] = {};
    uintptr_t r = Run(menu,
                      {Do([&] { ClickItem(menu, 2); }),                       // disabled
                       Do([&] { stillOpen[0] = OpenCount() == 1; }),
                       Do([&] { ClickAt(Top(), 60, menu.ItemTop(3) + 1); }),  // separator
                       Do([&] { stillOpen[1] = OpenCount() == 1; }),
                       Do([&] { ClickAt(Top(), 3, 3); }),                     // the shadow margin
                       Do([&] { stillOpen[2] = OpenCount() == 1; }),
                       Do([&] { ClickItem(menu, 7); }),                       // submenu row: opens it
                       Do([&] { stillOpen[3] = OpenCount() == 2 && IsWindowVisible(Top()); }),
                       Do([&] { ClickAt(UiMenu::ActivePopup(), 40, sub.ItemTop(1) + 11); })},
                      opener.Handle());
    EXPECT_TRUE(stillOpen[0]) << "disabled item";
    EXPECT_TRUE(stillOpen[1]) << "separator";
    EXPECT_TRUE(stillOpen[2]) << "margin";
    EXPECT_TRUE(stillOpen[3]) << "submenu row";
    EXPECT_EQ(r, 201u);
    ASSERT_EQ(opener.commands.size(), 1u);
    EXPECT_EQ(opener.commands[0].first, 201u);
    EXPECT_TRUE(UiMenu::OpenPopups().empty());
}

// ---- Closing -------------------------------------------------------------------------

TEST_F(MenuTest, EscapeAndPressesOutsideCloseWithoutACommand) {
    struct Case {
        const char* name;
        std::function<void(HWND owner)> act;
    };
    const Case cases[] = {
        {"Esc to the popup", [](HWND) { Key(UiMenu::ActivePopup(), VK_ESCAPE); }},
        {"Esc to the owner window", [](HWND owner) { Key(owner, VK_ESCAPE); }},
        {"left press on the owner", [](HWND owner) { PostMessageW(owner, WM_LBUTTONDOWN, MK_LBUTTON, Point(20, 50)); }},
        {"right press on the owner", [](HWND owner) { PostMessageW(owner, WM_RBUTTONDOWN, MK_RBUTTON, Point(20, 50)); }},
        {"Alt pressed and released", [](HWND owner) {
             PostMessageW(owner, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
             PostMessageW(owner, WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xE0000001u));
         }},
    };
    for (const Case& c : cases) {
        UiMenu m;
        m.AddItem("&Alpha", 0, kMenuCommand, true, 101);
        opener.got.clear();
        HWND owner = window;
        uintptr_t r = Run(m, {Do([&] { c.act(owner); })}, opener.Handle());
        EXPECT_EQ(r, 0u) << c.name;
        EXPECT_EQ(stepsRun, 1u) << c.name;
        EXPECT_EQ(opener.Got(WM_COMMAND), 0) << c.name;
        // The closing press went no further.
        EXPECT_EQ(opener.Got(WM_LBUTTONDOWN), 0) << c.name;
        EXPECT_TRUE(UiMenu::OpenPopups().empty()) << c.name;
    }
}

TEST_F(MenuTest, EscapeInASubmenuClosesOnlyTheSubmenu) {
    UiMenu sub;
    sub.AddItem("&Inner", 0, kMenuCommand, true, 201);
    MenuItemOptions o;
    o.submenu = &sub;
    menu.AddItem("&Outer", 0, kMenuCommand, true, 101);
    menu.AddItem("&More", 0, kMenuSubmenu, true, 0, o);
    size_t afterOpen = 0, afterEsc = 0;
    int parentHot = 0;
    uintptr_t r = Run(menu,
                      {Do([&] { Key(Top(), 'M'); }),   // opens the submenu
                       Do([&] { afterOpen = OpenCount(); }),
                       Do([&] { Key(UiMenu::ActivePopup(), VK_ESCAPE); }),
                       Do([&] {
                           afterEsc = OpenCount();
                           parentHot = UiMenu::HotItem(Top());
                       }),
                       Do([&] { Key(Top(), VK_ESCAPE); })},
                      opener.Handle());
    EXPECT_EQ(afterOpen, 2u);
    EXPECT_EQ(afterEsc, 1u);
    EXPECT_EQ(parentHot, 2);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(stepsRun, 5u);
}

// ---- Keyboard ------------------------------------------------------------------------

TEST_F(MenuTest, ArrowsSkipSeparatorsDisabledAndHiddenItemsAndWrap) {
    MakeTestMenu();   // selectable: 1, 4, 6
    std::vector<int> hot;
    auto record = Do([&] { hot.push_back(UiMenu::HotItem(Top())); });
    std::vector<MenuScript::Step> steps;
    for (WPARAM k : {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_UP, VK_UP, VK_END, VK_HOME}) {
        steps.push_back(Do([k] { Key(Top(), k); }));
        steps.push_back(record);
    }
    steps.push_back(Do([] { Key(Top(), VK_DOWN); }));
    steps.push_back(Do([] { Key(Top(), VK_RETURN); }));
    uintptr_t r = Run(menu, steps, opener.Handle());
    EXPECT_EQ(hot, (std::vector<int>{1, 4, 6, 1, 6, 4, 6, 1}));
    EXPECT_EQ(r, 104u);
    EXPECT_EQ(opener.commands.size(), 1u);
}

TEST_F(MenuTest, AccessKeysChooseOrCycleAndLeaveNoCharacterBehind) {
    MakeTestMenu();
    // "g" names one item; "a" names two (Alpha, Alpine); "b" a disabled one.
    struct Case {
        const char* name;
        std::vector<WPARAM> keys;
        uintptr_t command;
    };
    const Case cases[] = {
        {"single match chooses", {'G'}, 104},
        {"disabled item is not chosen", {'B', VK_ESCAPE}, 0},
        {"hidden item is not chosen", {'D', VK_ESCAPE}, 0},
        {"shared key cycles, Enter chooses", {'A', 'A', VK_RETURN}, 106},
        {"shared key wraps", {'A', 'A', 'A', VK_RETURN}, 101},
    };
    for (const Case& c : cases) {
        focused.got.clear();
        std::vector<MenuScript::Step> steps;
        // Sent to the owner window: the menu takes the keyboard wherever the
        // system delivers it.
        for (WPARAM k : c.keys) steps.push_back(Do([this, k] { Key(window, k); }));
        uintptr_t r = Run(menu, steps, opener.Handle());
        EXPECT_EQ(r, c.command) << c.name;
        PumpFor(30);
        EXPECT_EQ(focused.Got(WM_CHAR), 0) << c.name;
        EXPECT_EQ(focused.Got(WM_KEYDOWN), 0) << c.name;
    }
}

TEST_F(MenuTest, EditMenuCopyByItsAccessKeyAndItemStatesSetBeforeShowing) {
    UiMenu& m = EditContextMenu();
    CommandBlock box;
    box.Create(window, {150, 40, 100, 30}, ArgbAt(0xFFFFFF, 255));
    // As an edit box without a selection sets it: cut and copy disabled.
    m.ItemState(kEditMenuCutItem, kMenuDisabled);
    m.ItemState(kEditMenuCopyItem, kMenuDisabled);
    uintptr_t none = Run(m, {Do([] { Key(Top(), 'C'); }), Do([] { Key(Top(), VK_ESCAPE); })}, box.Handle());
    m.ItemState(kEditMenuCutItem, kMenuNormal);
    m.ItemState(kEditMenuCopyItem, kMenuNormal);
    uintptr_t copy = Run(m, {Do([] { Key(Top(), 'C'); })}, box.Handle());
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(copy, static_cast<uintptr_t>(kEditCommandCopy));
    ASSERT_EQ(box.commands.size(), 1u);
    EXPECT_EQ(box.commands[0].first, static_cast<WPARAM>('C'));
}

TEST_F(MenuTest, KeysOpenAndLeaveSubmenus) {
    UiMenu sub;
    sub.AddItem("", 0, kMenuSeparator, true, 0);
    sub.AddItem("&First", kMenuDisabled, kMenuCommand, true, 201);
    sub.AddItem("&Second", 0, kMenuCommand, true, 202);
    MenuItemOptions o;
    o.submenu = &sub;
    menu.AddItem("&Outer", 0, kMenuCommand, true, 101);
    menu.AddItem("&More", 0, kMenuSubmenu, true, 0, o);
    int subHot = 0;
    size_t afterLeft = 0;
    uintptr_t r = Run(menu,
                      {Do([] { Key(Top(), VK_END); }),
                       Do([] { Key(Top(), VK_RIGHT); }),
                       Do([&] { subHot = UiMenu::HotItem(UiMenu::ActivePopup()); }),
                       Do([] { Key(UiMenu::ActivePopup(), VK_LEFT); }),
                       Do([&] { afterLeft = OpenCount(); }),
                       Do([] { Key(Top(), VK_RETURN); }),   // Enter on the submenu row opens it
                       Do([] { Key(UiMenu::ActivePopup(), VK_RETURN); })},
                      opener.Handle());
    EXPECT_EQ(subHot, 3);   // the first selectable item
    EXPECT_EQ(afterLeft, 1u);
    EXPECT_EQ(r, 202u);
}

// ---- Mouse hover and submenus ----------------------------------------------------------

TEST_F(MenuTest, HoveringASubmenuRowOpensItAfterTheDelay) {
    UiMenu sub;
    sub.AddItem("Inner", 0, kMenuCommand, true, 201);
    MenuItemOptions o;
    o.submenu = &sub;
    menu.AddItem("Outer", 0, kMenuCommand, true, 101);
    menu.AddItem("More", 0, kMenuSubmenu, true, 0, o);
    DWORD entered = 0, opened = 0;
    size_t early = 0;
    RECT parentRect{}, subRect{};
    uintptr_t r = Run(menu,
                      {Do([&] {
                           POINT p = RowPoint(menu, 2);
                           MouseTo(Top(), p.x, p.y);
                           entered = GetTickCount();
                       }),
                       Do([&] { early = OpenCount(); }),
                       [&] {
                           if (OpenCount() < 2) return GetTickCount() - entered > 3000;
                           opened = GetTickCount();
                           GetWindowRect(Top(), &parentRect);
                           GetWindowRect(UiMenu::ActivePopup(), &subRect);
                           return true;
                       },
                       // Back onto the command row: the submenu closes after the delay.
                       Do([&] {
                           POINT p = RowPoint(menu, 1);
                           MouseTo(Top(), p.x, p.y);
                       }),
                       [&] { return OpenCount() == 1 || GetTickCount() - opened > 3000; },
                       Do([] { Key(Top(), VK_ESCAPE); })},
                      opener.Handle());
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(early, 1u);
    ASSERT_NE(opened, 0u);
    EXPECT_GE(opened - entered, 450u);
    // Beside the row: to the right of the parent, its first row level with it.
    EXPECT_GT(subRect.left, parentRect.left + 20);
    EXPECT_LE(subRect.left, parentRect.right);
    EXPECT_EQ(subRect.top + kMenuPadding, parentRect.top + menu.ItemTop(2));
}

// ---- Placement and pixels --------------------------------------------------------------

TEST_F(MenuTest, PopupStaysInsideTheWorkArea) {
    menu.AddItem("A rather long item text", 0, kMenuCommand, true, 1);
    menu.AddItem("Second", 0, kMenuCommand, true, 2);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SIZE size = menu.Measure();
    struct Case {
        const char* name;
        POINT at;
        POINT expect;   // top-left of the popup
    };
    const Case cases[] = {
        {"room below right", {work.left + 100, work.top + 100}, {work.left + 100, work.top + 100}},
        {"flipped left and up at the far corner", {work.right - 5, work.bottom - 5},
         {work.right - 5 - size.cx, work.bottom - 5 - size.cy}},
        {"clamped past the near corner", {work.left - 50, work.top - 50}, {work.left, work.top}},
    };
    for (const Case& c : cases) {
        RECT got{};
        MenuScript script({Do([&] { GetWindowRect(Top(), &got); })});
        menu.PopupAt(window, c.at.x, c.at.y, 0);
        EXPECT_EQ(got.left, c.expect.x) << c.name;
        EXPECT_EQ(got.top, c.expect.y) << c.name;
        EXPECT_EQ(got.right - got.left, size.cx) << c.name;
        EXPECT_EQ(got.bottom - got.top, size.cy) << c.name;
    }
}

TEST_F(MenuTest, PopupPixelsShowTheBoxTheHotRowAndTheDisabledRowAtHalfAlpha) {
    menu.AddItem("MMMMMM", 0, kMenuCommand, true, 1);
    menu.AddItem("MMMMMM", kMenuDisabled, kMenuCommand, true, 2);
    menu.AddItem("", 0, kMenuSeparator, true, 0);
    menu.AddItem("MMMMMM", 0, kMenuCommand, true, 3);
    uint32_t corner = 1, box = 0, hotFill = 0, separator = 0;
    int inkNormal = 0, inkDisabled = 0;
    UINT flags = 0;
    // Dark text pixels in an item's row (text starts 38 px from the popup's left).
    auto ink = [&](UiHost* h, int index) {
        int n = 0, top = menu.ItemTop(index);
        for (int y = top; y < top + 22; ++y)
            for (int x = 38; x < 38 + 60; ++x) n += G(h->PixelAt(x, y)) < 120;
        return n;
    };
    Run(menu,
        {Do([&] {
             HWND p = Top();
             UiHost* h = UiHost::FromWindow(p);
             flags = static_cast<UINT>(reinterpret_cast<uintptr_t>(GetPropW(p, L"Kv_Wnd_Flags")));
             corner = h->PixelAt(0, 0);
             box = h->PixelAt(34, menu.ItemTop(1) + 11);   // between icon column and text
             separator = h->PixelAt(60, menu.ItemTop(3) + 1);
             inkNormal = ink(h, 1);
             inkDisabled = ink(h, 2);
             POINT pt = RowPoint(menu, 4);
             MouseTo(p, pt.x, pt.y);
             hotFill = h->PixelAt(34, menu.ItemTop(4) + 11);
         }),
         Do([] { Key(Top(), VK_ESCAPE); })},
        0);
    EXPECT_EQ(flags, 1u);
    EXPECT_EQ(A(corner), 0) << std::hex << corner;   // outside the shadow: transparent
    EXPECT_GE(A(box), 230);                          // white box
    EXPECT_GE(R(box), 225);
    EXPECT_GE(B(box), 225);
    // Separator line 0xCCC3B7 (red B7, green C3, blue CC) over white.
    EXPECT_NEAR(R(separator), 0xB7, 12);
    EXPECT_NEAR(B(separator), 0xCC, 12);
    // Hot fill: RGB 48, 134, 198 mostly.
    EXPECT_LT(R(hotFill), 90) << std::hex << hotFill;
    EXPECT_GT(B(hotFill), 170) << std::hex << hotFill;
    EXPECT_GT(inkNormal, 30);
    EXPECT_EQ(inkDisabled, 0);   // half alpha over white is never dark
}

// ---- Loop behaviour ------------------------------------------------------------------

TEST_F(MenuTest, OneLoopPerThreadAndQuitIsPassedOn) {
    menu.AddItem("One", 0, kMenuCommand, true, 1);
    UiMenu other;
    other.AddItem("Two", 0, kMenuCommand, true, 2);
    uintptr_t nested = 99;
    uintptr_t r = Run(menu,
                      {Do([&] { nested = other.PopupAt(window, 10, 10, 0); }),
                       Do([] { PostQuitMessage(7); })},
                      0);
    EXPECT_EQ(nested, 0u);
    EXPECT_EQ(r, 0u);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(MenuTest, EmptyOrAllHiddenMenuShowsNothing) {
    EXPECT_EQ(menu.PopupAt(window, 10, 10, 0), 0u);
    menu.AddItem("Gone", kMenuHidden, kMenuCommand, true, 1);
    EXPECT_EQ(menu.PopupAt(window, 10, 10, 0), 0u);
}

}  // namespace
}  // namespace sorvix::ui::test
