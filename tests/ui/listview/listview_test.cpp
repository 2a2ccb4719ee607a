// The report list driven by real window messages on a host: row numbering,
// cells after clearing, the hidden zero-width column, column alignment, the
// selection rules in both modes (Ctrl, Shift, the right press), the wheel's
// limits, inert arrow keys, text stored without painting for rows out of
// view, tints and grid lines in pixels, rows streamed in from a worker
// thread in order, and the progress bar's fill.
#include "ui_fixture.h"

#include "ui/listview.h"

#include <atomic>
#include <string>
#include <thread>

namespace sorvix::ui::test {
namespace {

struct ColumnSpec {
    const char* heading;
    int width;
};
// The shape of the application's result table: eight columns, the sixth
// (the link) with width 0.
const ColumnSpec kColumns[8] = {{"No", 40},   {"Name", 280}, {"Date", 100}, {"Size", 100},
                                {"Files", 80}, {"Link", 0},   {"Kind", 80},  {"Disk", 80}};

constexpr Argb kHotBack = 0xFFFF0000;        // opaque red
constexpr Argb kSelectedBack = 0xFF0000FF;   // opaque blue

class ListViewTest : public HostFixture {
protected:
    // An 869 x 550 white host with the list where the main window has it.
    void MakeList(ListViewOptions o = {}, bool columns = true) {
        AttachOptions ho;
        ho.colour = 0xFFFFFF;
        MakeHost(ho, 869, 550);
        o.hotBack = o.hotBack ? o.hotBack : kHotBack;
        o.selectedBack = o.selectedBack ? o.selectedBack : kSelectedBack;
        ASSERT_NE(list.Create(window, {51, 130, 768, 344}, o), 0u);
        if (columns) {
            for (const ColumnSpec& c : kColumns) list.InsertColumn(0, c.heading, c.width);
        }
    }

    static std::string CellText(int row, int column) {
        return "r" + std::to_string(row) + "c" + std::to_string(column);
    }
    void Fill(int rows) {
        for (int i = 0; i < rows; ++i) {
            int r = list.InsertItem(0);
            for (int c = 1; c <= 8; ++c) list.SetItemText(r, c, CellText(r, c));
        }
        Pump();
    }

    // Host coordinates of a row's middle (as scrolled now) and a column's left edge.
    int RowY(int row) {
        return static_cast<int>(list.Rect().y + list.ViewRect().Y + (row - 1) * list.RowHeight() +
                                list.ScrollOffset() + list.RowHeight() / 2);
    }
    int ColumnX(int column) {
        float x = list.Rect().x + list.ViewRect().X;
        for (int c = 1; c < column; ++c) x += static_cast<float>(kColumns[c - 1].width);
        return static_cast<int>(x);
    }
    void Press(UINT down, UINT up, int row, WPARAM keys = 0) {
        int x = ColumnX(2) + 100, y = RowY(row);
        Send(WM_MOUSEMOVE, keys, x, y);
        Send(down, keys | (down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON), x, y);
        Send(up, keys, x, y);
    }
    void ClickRow(int row, WPARAM keys = 0) { Press(WM_LBUTTONDOWN, WM_LBUTTONUP, row, keys); }
    void RightClickRow(int row, WPARAM keys = 0) { Press(WM_RBUTTONDOWN, WM_RBUTTONUP, row, keys); }

    // Pixels darker than mid-grey in a host rectangle: drawn text on white.
    int DarkPixels(int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                uint32_t p = host->PixelAt(x, y);
                if (R(p) + G(p) + B(p) < 3 * 100) ++n;
            }
        }
        return n;
    }
    int RowDarkPixels(int row, int x0, int x1) {
        int top = RowY(row) - static_cast<int>(list.RowHeight() / 2) + 1;
        return DarkPixels(x0, top, x1, top + static_cast<int>(list.RowHeight()) - 2);
    }
    uint32_t RowPixel(int row) { return host->PixelAt(ColumnX(2) + 250, RowY(row)); }

    void Wheel(int notches) {
        for (int i = 0; i < std::abs(notches); ++i) {
            SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, notches > 0 ? WHEEL_DELTA : -WHEEL_DELTA),
                         Point(400, 300));
        }
    }
    void Focus() { host->SetFocus(list.Handle()); }

    UiListView list;
};

TEST_F(ListViewTest, LayoutFollowsTheFontLineHeight) {
    MakeList();
    EXPECT_EQ(list.Kind(), 8);
    Gdiplus::Font* font = Lib().defaultFont;
    ASSERT_NE(font, nullptr);
    float line = std::ceil(font->GetHeight(96.0f));
    EXPECT_FLOAT_EQ(list.RowHeight(), line + 6);
    Gdiplus::RectF header = list.HeaderRect(), view = list.ViewRect();
    EXPECT_FLOAT_EQ(header.X, 2);
    EXPECT_FLOAT_EQ(header.Y, 2);
    EXPECT_FLOAT_EQ(header.Width, 764);
    EXPECT_FLOAT_EQ(header.Height, line + 9);
    EXPECT_FLOAT_EQ(view.Y, header.GetBottom());
    EXPECT_FLOAT_EQ(view.GetBottom(), 342);
    EXPECT_FALSE(list.VScroll().Visible());

    ListViewOptions bare;
    bare.noHeader = true;
    UiListView plain;
    plain.Create(window, {10, 10, 200, 100}, bare);
    EXPECT_FLOAT_EQ(plain.HeaderRect().Height, 0);
    EXPECT_FLOAT_EQ(plain.ViewRect().Y, 2);
}

TEST_F(ListViewTest, InsertNumberingAndClearing) {
    MakeList();
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(list.InsertItem(0), i);
    EXPECT_EQ(list.InsertItem(99, "late"), 11);                  // past the end appends
    EXPECT_EQ(list.InsertItem(2, "second"), 2);                  // in the middle
    EXPECT_EQ(list.GetItemText(2, 1), "second");
    EXPECT_EQ(list.GetItemText(12, 1), "late");
    EXPECT_EQ(list.RowCount(), 12);

    // A selection behind the insert point moves with its row.
    list.Selection(5);
    list.InsertItem(1, "first");
    EXPECT_EQ(list.Selection(), 6);
    EXPECT_EQ(list.RowState(6), kRowSelected);
    EXPECT_EQ(list.RowState(5), kRowNormal);

    list.DeleteAllItems();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.Selection(), 0);
    EXPECT_EQ(list.GetItemText(1, 1), "");
    EXPECT_EQ(list.InsertItem(0), 1);
}

TEST_F(ListViewTest, AfterDeleteAllItemsOnlyTheHeaderShows) {
    MakeList();
    Fill(40);
    ClickRow(3);
    list.ScrollPosition(200);
    ASSERT_TRUE(list.VScroll().Visible());
    int headerInk = DarkPixels(60, 132, 810, 130 + static_cast<int>(list.HeaderRect().GetBottom()));
    EXPECT_GT(headerInk, 0);

    list.DeleteAllItems();
    EXPECT_EQ(list.ScrollOffset(), 0);
    EXPECT_EQ(list.FirstVisible(), 0);
    EXPECT_EQ(list.LastVisible(), 0);
    EXPECT_EQ(list.HotRow(), 0);
    EXPECT_EQ(list.CurrentRow(), 0);
    EXPECT_EQ(list.ContentHeight(), 0);
    EXPECT_TRUE(list.SelectedRows().empty());
    Pump();
    EXPECT_FALSE(list.VScroll().Visible());
    int viewTop = 130 + static_cast<int>(list.ViewRect().Y);
    EXPECT_EQ(DarkPixels(55, viewTop, 815, 470), 0);            // no row text, no tint
    EXPECT_EQ(DarkPixels(60, 132, 810, viewTop), headerInk);   // the header as it was
    uint32_t p = host->PixelAt(400, viewTop + 30);
    EXPECT_GE(R(p), 250);
    EXPECT_GE(B(p), 250);                                      // white: no selected tint left
    for (int c = 1; c <= 8; ++c) EXPECT_EQ(list.GetItemText(1, c), "") << c;
}

TEST_F(ListViewTest, CellAddressesAreCheckedEverywhere) {
    MakeList();
    Fill(3);
    struct Case {
        int row, column, result;
    };
    const Case cases[] = {{1, 1, 1}, {3, 8, 1}, {0, 1, 0}, {4, 1, 0}, {-1, 2, 0}, {1, 0, 0}, {1, 9, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(list.SetItemText(c.row, c.column, "x"), c.result) << c.row << "," << c.column;
        EXPECT_EQ(list.GetItemText(c.row, c.column), c.result ? "x" : "") << c.row << "," << c.column;
    }
    EXPECT_EQ(list.RowState(0), 0);
    EXPECT_EQ(list.RowState(4, kRowSelected), 0);
    list.Selection(2);
    EXPECT_EQ(list.Selection(7), 0);                 // a bad row clears the current row
    EXPECT_TRUE(list.SelectedRows().empty());
    EXPECT_EQ(list.RowState(2), kRowNormal);
}

TEST_F(ListViewTest, ZeroWidthColumnTakesNoRoomButKeepsItsCells) {
    MakeList();
    Fill(2);
    const std::string link = "magnet:?xt=urn:btih:0123456789ABCDEF0123456789ABCDEF01234567";
    list.SetItemText(1, 6, link);
    list.SetItemText(1, 7, "");
    EXPECT_EQ(list.GetItemText(1, 6), link);
    EXPECT_EQ(list.ColumnWidth(6), 0);
    // Column 7 starts where column 5 ends; the link, long as it is, puts no
    // ink there, and column 7's own text does.
    int col7 = ColumnX(7);
    EXPECT_EQ(col7, ColumnX(6));
    EXPECT_EQ(RowDarkPixels(1, col7 + 1, col7 + 78), 0);
    list.SetItemText(1, 7, "KIND");
    EXPECT_GT(RowDarkPixels(1, col7 + 1, col7 + 78), 10);
    EXPECT_EQ(list.GetItemText(1, 6), link);
    // Given room, the column shows its text; back at 0 it is gone again.
    list.ColumnWidth(6, 80);
    EXPECT_GT(RowDarkPixels(1, col7 + 1, col7 + 78), 10);
    EXPECT_EQ(list.ColumnWidth(6), 80);
    list.ColumnWidth(6, 0);
    EXPECT_EQ(RowDarkPixels(1, col7 + 6 + 30, col7 + 78), 0);   // "KIND" is short; the link was long
    EXPECT_GT(RowDarkPixels(1, col7 + 1, col7 + 30), 10);
}

TEST_F(ListViewTest, ColumnInsertionPositionsAndAlignment) {
    MakeList({}, false);
    list.InsertColumn(2, "beyond", 100);                 // past the end + 1: nothing
    EXPECT_EQ(list.ColumnCount(), 0);
    list.InsertColumn(1, "FIRST", 300, kAlignFar);       // first column: near anyway
    list.InsertColumn(0, "LAST", 300, kAlignFar);
    list.InsertColumn(2, "MID", 100);                    // between them
    EXPECT_EQ(list.ColumnCount(), 3);
    EXPECT_EQ(list.ColumnText(2), "MID");
    int top = 132, bottom = 130 + static_cast<int>(list.HeaderRect().GetBottom()) - 1;
    int left = 51 + 2;
    // "FIRST" sits at the left of its 300 pixels; "LAST" at the right of its own.
    EXPECT_GT(DarkPixels(left, top, left + 60, bottom), 10);
    EXPECT_EQ(DarkPixels(left + 150, top, left + 298, bottom), 0);
    int last = left + 400;
    EXPECT_EQ(DarkPixels(last + 2, top, last + 200, bottom), 0);
    EXPECT_GT(DarkPixels(last + 240, top, last + 298, bottom), 10);
    // Cells are near-aligned in every column.
    int r = list.InsertItem(0, "A1");
    list.SetItemText(r, 3, "CELL");
    EXPECT_GT(RowDarkPixels(r, last + 2, last + 60), 10);
}

struct SelectionCase {
    const char* name;
    bool singleSelect;
    std::vector<std::pair<int, WPARAM>> clicks;   // row, modifier bits
    std::vector<int> selected;                    // in the order selected
    int current;
};

class ListSelectionTest : public ListViewTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(ListSelectionTest, ClicksWithModifiers) {
    const SelectionCase& c = GetParam();
    ListViewOptions o;
    o.singleSelect = c.singleSelect;
    MakeList(o);
    Fill(10);
    for (auto [row, keys] : c.clicks) ClickRow(row, keys);
    EXPECT_EQ(list.SelectedRows(), c.selected);
    EXPECT_EQ(list.Selection(), c.current);
    for (int r = 1; r <= 10; ++r) {
        bool sel = std::find(c.selected.begin(), c.selected.end(), r) != c.selected.end();
        if (sel) EXPECT_EQ(list.RowState(r), kRowSelected) << r;
        else EXPECT_NE(list.RowState(r), kRowSelected) << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ListSelectionTest,
    ::testing::Values(
        SelectionCase{"SinglePlain", true, {{2, 0}, {5, 0}}, {5}, 5},
        SelectionCase{"SingleCtrlSelectsOnlyOne", true, {{2, 0}, {5, MK_CONTROL}}, {5}, 5},
        SelectionCase{"SingleCtrlOnSelectedKeepsIt", true, {{2, 0}, {2, MK_CONTROL}}, {2}, 2},
        SelectionCase{"SingleShiftSelectsOnlyOne", true, {{2, 0}, {6, MK_SHIFT}}, {6}, 6},
        SelectionCase{"MultiPlainReplaces", false, {{2, 0}, {5, 0}}, {5}, 5},
        SelectionCase{"MultiCtrlAdds", false, {{2, 0}, {5, MK_CONTROL}, {7, MK_CONTROL}}, {2, 5, 7}, 7},
        SelectionCase{"MultiCtrlToggles", false, {{2, 0}, {5, MK_CONTROL}, {2, MK_CONTROL}}, {5}, 2},
        SelectionCase{"MultiShiftDown", false, {{3, 0}, {6, MK_SHIFT}}, {3, 4, 5, 6}, 6},
        SelectionCase{"MultiShiftUp", false, {{6, 0}, {3, MK_SHIFT}}, {6, 5, 4, 3}, 3},
        SelectionCase{"MultiShiftClearsFirst", false, {{1, 0}, {9, MK_CONTROL}, {3, MK_SHIFT}},
                      {9, 8, 7, 6, 5, 4, 3}, 3},
        SelectionCase{"MultiShiftFromToggledRow", false, {{2, 0}, {4, MK_CONTROL}, {4, MK_CONTROL},
                      {6, MK_SHIFT}}, {4, 5, 6}, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListViewTest, CtrlIsReadFromTheKeyboardState) {
    ListViewOptions o;
    o.singleSelect = false;
    MakeList(o);
    Fill(5);
    ClickRow(1);
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE saved = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    ClickRow(3);   // no modifier bits in the message
    keys[VK_CONTROL] = saved;
    SetKeyboardState(keys);
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{1, 3}));
}

TEST_F(ListViewTest, RightPressSelectsTheRowUnderTheMouse) {
    ListViewOptions multi;
    multi.singleSelect = false;
    for (bool single : {true, false}) {
        SCOPED_TRACE(single ? "single" : "multi");
        if (window) TearDown();
        events.clear();
        list.Destroy();
        MakeList(single ? ListViewOptions{} : multi);
        Fill(8);
        int seenAtPress = -1, seenAtRelease = -1;
        host->SetRightPressHandler([&](HWND, ElementHandle e, WPARAM, LPARAM, int) {
            if (e == list.Handle()) seenAtPress = list.Selection();
        });
        host->SetRightReleaseHandler([&](HWND, ElementHandle e, WPARAM, LPARAM, int) {
            if (e == list.Handle()) seenAtRelease = list.Selection();
        });
        int rightClicks = 0;
        list.SetItemRightClickProc([&](UiListView&, WPARAM, int row) { rightClicks += row == 6; });
        ClickRow(2);
        RightClickRow(6);
        EXPECT_EQ(seenAtPress, 6);       // the element takes the press before the event
        EXPECT_EQ(seenAtRelease, 6);     // the menu shown on the release acts on row 6
        EXPECT_EQ(list.Selection(), 6);
        EXPECT_EQ(list.SelectedRows(), std::vector<int>{6});
        EXPECT_EQ(rightClicks, 1);
        if (!single) {
            // A right press on a row of a larger selection keeps it whole.
            ClickRow(3, MK_CONTROL);
            RightClickRow(6);
            EXPECT_EQ(list.SelectedRows(), (std::vector<int>{6, 3}));
            EXPECT_EQ(list.Selection(), 6);
        }
    }
}

TEST_F(ListViewTest, ItemProceduresGetTheRow) {
    MakeList();
    Fill(4);
    std::vector<std::pair<char, int>> calls;
    list.SetItemPressProc([&](UiListView& l, WPARAM, int row) {
        EXPECT_EQ(&l, &list);
        calls.emplace_back('p', row);
    });
    list.SetItemClickProc([&](UiListView&, WPARAM, int row) { calls.emplace_back('c', row); });
    ClickRow(3);
    // A release over another row than the pressed one is no click.
    int x = ColumnX(2) + 10;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, RowY(1));
    Send(WM_MOUSEMOVE, MK_LBUTTON, x, RowY(2));
    Send(WM_LBUTTONUP, 0, x, RowY(2));
    EXPECT_EQ(calls, (std::vector<std::pair<char, int>>{{'p', 3}, {'c', 3}, {'p', 1}}));
}

TEST_F(ListViewTest, WheelStepsAndLimits) {
    MakeList();
    Fill(5);
    ClickRow(1);
    Focus();
    Wheel(-1);                                       // shorter than its view: nothing
    EXPECT_EQ(list.ScrollOffset(), 0);
    EXPECT_FALSE(list.VScroll().Visible());

    Fill(95);
    ASSERT_TRUE(list.VScroll().Visible());
    float rh = list.RowHeight();
    Wheel(1);                                        // at the top already
    EXPECT_EQ(list.ScrollOffset(), 0);
    Wheel(-1);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), -3 * rh);
    EXPECT_EQ(list.VScroll().Position(), static_cast<int>(3 * rh));
    EXPECT_EQ(list.FirstVisible(), 4);
    Wheel(-2);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), -9 * rh);
    Wheel(-100);
    float lowest = -(list.ContentHeight() - list.ViewRect().Height);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), lowest);
    EXPECT_EQ(list.LastVisible(), 100);
    Wheel(1);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), lowest + 3 * rh);
    Wheel(100);
    EXPECT_EQ(list.ScrollOffset(), 0);
    EXPECT_EQ(list.FirstVisible(), 1);
}

TEST_F(ListViewTest, KeysChangeNeitherSelectionNorScroll) {
    MakeList();
    Fill(60);
    ClickRow(4);
    Focus();
    list.ScrollPosition(40);
    float offset = list.ScrollOffset();
    struct Key {
        WPARAM vk;
        LRESULT answer;
    };
    const Key keys[] = {{VK_LEFT, 1}, {VK_UP, 1}, {VK_RIGHT, 1}, {VK_DOWN, 1},
                        {VK_NEXT, 0}, {VK_PRIOR, 0}, {VK_HOME, 0}, {VK_END, 0}, {VK_SPACE, 0}};
    for (const Key& k : keys) {
        EXPECT_EQ(UiElement::DeliverTo(list.Handle(), WM_KEYDOWN, k.vk, 0), k.answer) << k.vk;
        SendMessageW(window, WM_KEYDOWN, k.vk, 0);
        SendMessageW(window, WM_KEYUP, k.vk, 0);
    }
    EXPECT_EQ(list.Selection(), 4);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{4});
    EXPECT_EQ(list.ScrollOffset(), offset);
    EXPECT_EQ(host->Focused(), list.Handle());
}

// A 24 x 24 image list of two solid icons: red, then blue.
HIMAGELIST SolidIcons() {
    HIMAGELIST list = ImageList_Create(24, 24, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (COLORREF c : {RGB(255, 0, 0), RGB(0, 0, 255)}) {
        HDC screen = GetDC(nullptr);
        HBITMAP colour = CreateCompatibleBitmap(screen, 24, 24);
        HBITMAP mask = CreateBitmap(24, 24, 1, 1, nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, colour);
        HBRUSH brush = CreateSolidBrush(c);
        RECT all{0, 0, 24, 24};
        FillRect(dc, &all, brush);
        SelectObject(dc, mask);
        PatBlt(dc, 0, 0, 24, 24, BLACKNESS);   // mask 0: every pixel opaque
        SelectObject(dc, old);
        ImageList_Add(list, colour, mask);
        DeleteObject(brush);
        DeleteDC(dc);
        DeleteObject(colour);
        DeleteObject(mask);
        ReleaseDC(nullptr, screen);
    }
    return list;
}

TEST_F(ListViewTest, ImageListsSizeRowsAndHeaderAndDrawTheIcons) {
    MakeList();
    HIMAGELIST icons = SolidIcons();
    float line = std::ceil(Lib().defaultFont->GetHeight(96.0f));
    list.RowImages(icons);
    list.HeaderImages(icons);
    EXPECT_FLOAT_EQ(list.RowHeight(), 24 + 6);
    EXPECT_FLOAT_EQ(list.HeaderRect().Height, std::max(line + 3, 24.0f) + 6);
    list.InsertItem(0, "icon", 1);                       // blue in cell 1
    list.InsertItem(0, "none");
    EXPECT_EQ(list.ItemImage(1, 1), 1);
    EXPECT_EQ(list.ItemImage(2, 1), -1);
    list.ItemImage(2, 2, 0);                             // red in cell 2
    Pump();
    uint32_t blue = host->PixelAt(ColumnX(1) + 2 + 12, RowY(1));
    uint32_t red = host->PixelAt(ColumnX(2) + 2 + 12, RowY(2));
    EXPECT_GT(B(blue), 200);
    EXPECT_LT(R(blue), 60);
    EXPECT_GT(R(red), 200);
    EXPECT_LT(B(red), 60);
    uint32_t noIcon = host->PixelAt(ColumnX(1) + 14, RowY(2));      // row 2's first cell has none
    EXPECT_FALSE(B(noIcon) > 200 && R(noIcon) < 60);
    list.Destroy();
    ImageList_Destroy(icons);
}

TEST_F(ListViewTest, TabStillMovesTheFocusOn) {
    MakeList();
    Fill(3);
    UiButton next;
    next.Create(window, {60, 500, 80, 26}, "Next");
    Focus();
    SendMessageW(window, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(host->Focused(), next.Handle());
}

// The columns of a 300-pixel view are 400 wide: a horizontal bar of range
// 100 scrolls them, 20 pixels a click on its arrow.
TEST_F(ListViewTest, WideColumnsGetAHorizontalBar) {
    AttachOptions ho;
    ho.colour = 0xFFFFFF;
    MakeHost(ho, 400, 300);
    list.Create(window, {10, 10, 304, 200});           // a view 300 wide
    list.InsertColumn(0, "A", 200);
    list.InsertColumn(0, "B", 200);
    UiScrollBar& h = list.HScroll();
    EXPECT_TRUE(h.Visible());
    EXPECT_EQ(h.Maximum(), 100);
    EXPECT_FALSE(list.VScroll().Visible());
    int r = list.InsertItem(0, "WWWW");
    list.SetItemText(r, 2, "WWWW");
    Pump();
    int y0 = 10 + static_cast<int>(list.ViewRect().Y) + 2, y1 = y0 + static_cast<int>(list.RowHeight()) - 4;
    // Ink edges of the two cells' texts: the right end of column 1's, the
    // left end of column 2's (which starts 200 pixels on).
    auto inkRight = [&](int x0, int x1) {
        for (int x = x1 - 1; x >= x0; --x) {
            if (DarkPixels(x, y0, x + 1, y1) > 0) return x;
        }
        return -1;
    };
    auto inkLeft = [&](int x0, int x1) {
        for (int x = x0; x < x1; ++x) {
            if (DarkPixels(x, y0, x + 1, y1) > 0) return x;
        }
        return -1;
    };
    // (Column 2's text comes within 150 once scrolled.)
    const int end1 = inkRight(12, 150), start2 = inkLeft(205, 300);
    ASSERT_GT(end1, 20);
    ASSERT_GT(start2, 210);
    UiRect bar = h.Rect();
    int x = static_cast<int>(bar.Right()) - 4, y = static_cast<int>(bar.y + 6);
    Send(WM_MOUSEMOVE, 0, x, y);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);               // the forward arrow: 20 pixels on
    Send(WM_LBUTTONUP, 0, x, y);
    EXPECT_EQ(h.Position(), 20);
    EXPECT_EQ(inkRight(12, 150), end1 - 20);              // both texts moved left with the columns
    EXPECT_EQ(inkLeft(185, 300), start2 - 20);
    EXPECT_EQ(DarkPixels(10, y0, 12, y1), 0);             // nothing drawn left of the view
    list.ColumnWidth(2, 50);                              // fits now: bar gone, offset back to 0
    EXPECT_FALSE(h.Visible());
    EXPECT_EQ(inkRight(12, 150), end1);
}

// The focus cue: a dashed frame inside the current row while the list has
// the focus. The strip left of the first cell's text is plain row fill
// without it.
TEST_F(ListViewTest, FocusCueFollowsTheCurrentRowWhileFocused) {
    MakeList();
    Fill(6);
    UiButton other;
    other.Create(window, {60, 500, 80, 26}, "Other");
    auto cueInk = [&](int row) {
        // Inside the row, above the grid line under it.
        int top = static_cast<int>(list.Rect().y + list.RowBox(row).Y);
        int x0 = ColumnX(1), n = 0;
        uint32_t fill = RowPixel(row);
        for (int yy = top + 1; yy < top + static_cast<int>(list.RowHeight()) - 2; ++yy) {
            for (int xx = x0; xx < x0 + 3; ++xx) n += host->PixelAt(xx, yy) != fill;
        }
        return n;
    };
    list.Selection(2);
    EXPECT_EQ(cueInk(2), 0);                              // not focused: no cue
    Focus();
    EXPECT_GT(cueInk(2), 5);
    EXPECT_EQ(cueInk(3), 0);
    list.Selection(4);                                    // the cue moves with the current row
    EXPECT_EQ(cueInk(2), 0);
    EXPECT_GT(cueInk(4), 5);
    ClickRow(5);
    EXPECT_EQ(cueInk(4), 0);
    EXPECT_GT(cueInk(5), 5);
    host->SetFocus(other.Handle());                       // focus gone: so is the cue
    EXPECT_EQ(cueInk(5), 0);
    EXPECT_EQ(list.Selection(), 5);
}

TEST_F(ListViewTest, EnsureVisibleScrollsJustEnoughToShowTheRow) {
    MakeList();
    Fill(100);
    const float view = list.ViewRect().Height, rh = list.RowHeight();
    struct Case {
        int row;
        int startAt;       // scroll position before
        int expected;      // after; -1: the row's bottom on the view's bottom
    };
    const Case cases[] = {
        {60, 0, -1},                                   // below: scrolled down to its bottom
        {1, 600, 0},                                   // above: scrolled up to its top
        {30, 520, 520},                                // in view already: no move
        {0, 300, 300},                                 // no such row
        {101, 300, 300},
    };
    for (const Case& c : cases) {
        list.ScrollPosition(c.startAt);
        ASSERT_EQ(list.ScrollPosition(), c.startAt);
        list.EnsureVisible(c.row);
        Pump();
        int want = c.expected >= 0 ? c.expected : static_cast<int>(c.row * rh - view);
        EXPECT_EQ(list.ScrollPosition(), want) << c.row;
        if (c.row >= 1 && c.row <= 100) {
            EXPECT_GE(list.RowBox(c.row).Y, list.ViewRect().Y) << c.row;
            EXPECT_LE(list.RowBox(c.row).GetBottom(), list.ViewRect().GetBottom()) << c.row;
        }
    }
}

// The icon styles: tiles of rowHeight + 20, as many to a line as the view
// holds, hit-tested and selected like rows.
TEST_F(ListViewTest, IconStylesLayOutTilesThatHitTestAndSelect) {
    for (int style : {kStyleLargeIcons, kStyleSmallIcons}) {
        SCOPED_TRACE(style);
        ListViewOptions o;
        o.style = style;
        o.gridLines = 3;                                  // ignored: tiles have no grid
        MakeList(o, false);
        list.InsertColumn(0, "Name", 100);
        EXPECT_FLOAT_EQ(list.HeaderRect().Height, 0);    // no header in the icon styles
        float line = std::ceil(Lib().defaultFont->GetHeight(96.0f));
        EXPECT_FLOAT_EQ(list.RowHeight(), line + 6);
        EXPECT_FLOAT_EQ(list.TileWidth(), list.RowHeight() + 20);
        const int per = static_cast<int>(list.ViewRect().Width / list.TileWidth());
        EXPECT_EQ(list.TilesPerLine(), per);
        ASSERT_GT(per, 5);
        const int count = 3 * per + 2;                    // three full lines and two tiles
        for (int i = 1; i <= count; ++i) list.InsertItem(0, "t" + std::to_string(i));
        Pump();
        EXPECT_FLOAT_EQ(list.ContentHeight(), 4 * list.RowHeight());
        EXPECT_FALSE(list.VScroll().Visible());
        UiRect lr = list.Rect();
        auto centre = [&](int row) {
            Gdiplus::RectF b = list.RowBox(row);
            return std::make_pair(static_cast<int>(lr.x + b.X + b.Width / 2),
                                  static_cast<int>(lr.y + b.Y + b.Height / 2));
        };
        for (int row : {1, 2, per, per + 1, 2 * per + 3, count}) {
            auto [x, y] = centre(row);
            EXPECT_EQ(list.HitTest(x, y), row) << row;
        }
        // Right of a line's last tile, and past the last tile of the last line.
        Gdiplus::RectF last = list.RowBox(per);
        EXPECT_EQ(list.HitTest(static_cast<int>(lr.x + last.GetRight() + 1), centre(per).second), 0);
        auto [px, py] = centre(count);
        EXPECT_EQ(list.HitTest(px + static_cast<int>(list.TileWidth()), py), 0);

        // A click selects the tile: its fill is the selection tint, its
        // neighbour's is not.
        auto [x, y] = centre(per + 2);
        Send(WM_MOUSEMOVE, 0, x, y);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
        Send(WM_LBUTTONUP, 0, x, y);
        EXPECT_EQ(list.Selection(), per + 2);
        EXPECT_EQ(list.RowState(per + 2), kRowSelected);
        Gdiplus::RectF b = list.RowBox(per + 2);
        uint32_t inside = host->PixelAt(static_cast<int>(lr.x + b.X + 4), static_cast<int>(lr.y + b.GetBottom() - 4));
        uint32_t beside = host->PixelAt(static_cast<int>(lr.x + b.GetRight() + 4), static_cast<int>(lr.y + b.GetBottom() - 4));
        EXPECT_GT(B(inside), 200);
        EXPECT_LT(R(inside), 60);
        EXPECT_GT(R(beside), 200);
        EXPECT_GT(G(beside), 200);
        // Each tile shows its own text: ink in the tile's text area.
        EXPECT_GT(DarkPixels(static_cast<int>(lr.x + list.RowBox(1).X), static_cast<int>(lr.y + list.RowBox(1).Y),
                             static_cast<int>(lr.x + list.RowBox(1).GetRight()),
                             static_cast<int>(lr.y + list.RowBox(1).GetBottom())),
                  5);
        list.Destroy();
        host.reset();
        DestroyWindow(window);
        window = nullptr;
    }
}

TEST_F(ListViewTest, LargeIconTilesPutTheIconAboveTheText) {
    ListViewOptions o;
    o.style = kStyleLargeIcons;
    MakeList(o, false);
    HIMAGELIST icons = SolidIcons();
    list.RowImages(icons);
    list.InsertColumn(0, "Name", 100);
    float line = std::ceil(Lib().defaultFont->GetHeight(96.0f));
    EXPECT_FLOAT_EQ(list.RowHeight(), line + 6 + 24 + 4);
    for (int i = 0; i < 100; ++i) list.InsertItem(0, "tile", i % 2);   // red, blue, red...
    Pump();
    UiRect lr = list.Rect();
    for (int row : {1, 2}) {
        Gdiplus::RectF b = list.RowBox(row);
        uint32_t icon = host->PixelAt(static_cast<int>(lr.x + b.X + b.Width / 2), static_cast<int>(lr.y + b.Y + 2 + 12));
        if (row == 1) {
            EXPECT_GT(R(icon), 200);
            EXPECT_LT(B(icon), 60);
        } else {
            EXPECT_GT(B(icon), 200);
            EXPECT_LT(R(icon), 60);
        }
        // The text line under the icon has ink; the icon's band has no text.
        EXPECT_GT(DarkPixels(static_cast<int>(lr.x + b.X), static_cast<int>(lr.y + b.Y + 30),
                             static_cast<int>(lr.x + b.GetRight()), static_cast<int>(lr.y + b.GetBottom())),
                  5);
    }
    // Enough tiles to scroll: the wheel moves one line of tiles.
    ASSERT_TRUE(list.VScroll().Visible());
    Focus();
    Wheel(-1);
    EXPECT_FLOAT_EQ(list.ScrollOffset(), -list.RowHeight());
    list.Destroy();
    ImageList_Destroy(icons);
}

TEST_F(ListViewTest, TextOfARowOutOfViewIsStoredWithoutPainting) {
    MakeList();
    Fill(100);
    ASSERT_LT(list.LastVisible(), 80);
    int paints = list.PaintCount(), rows = list.RowPaintCount();
    EXPECT_EQ(list.SetItemText(80, 2, "FAR AWAY"), 1);
    Pump();
    EXPECT_EQ(list.PaintCount(), paints);
    EXPECT_EQ(list.RowPaintCount(), rows);
    EXPECT_EQ(list.GetItemText(80, 2), "FAR AWAY");

    // A row in view repaints only itself.
    list.SetItemText(2, 2, "NEAR");
    EXPECT_EQ(list.PaintCount(), paints + 1);
    EXPECT_EQ(list.RowPaintCount(), rows + 1);

    list.SetItemText(80, 2, "");
    list.ScrollPosition(static_cast<int>(79 * list.RowHeight()));
    ASSERT_EQ(list.FirstVisible(), 80);
    int name = ColumnX(2);
    EXPECT_EQ(RowDarkPixels(80, name + 1, name + 270), 0);
    list.SetItemText(80, 2, "FAR AWAY");
    EXPECT_GT(RowDarkPixels(80, name + 1, name + 270), 20);
}

TEST_F(ListViewTest, HoverAndSelectionTintsInPixels) {
    MakeList();
    Fill(6);
    EXPECT_EQ(RowPixel(2), host->PixelAt(ColumnX(2) + 250, RowY(3)));   // both plain
    int x = ColumnX(2) + 250;
    Send(WM_MOUSEMOVE, 0, x, RowY(2));
    EXPECT_EQ(list.HotRow(), 2);
    EXPECT_EQ(list.RowState(2), kRowHot);
    EXPECT_GE(R(RowPixel(2)), 250);
    EXPECT_LE(B(RowPixel(2)), 5);
    ClickRow(4);
    EXPECT_EQ(list.RowState(2), kRowNormal);
    EXPECT_GE(B(RowPixel(4)), 250);
    EXPECT_LE(R(RowPixel(4)), 5);
    Send(WM_MOUSEMOVE, 0, x, RowY(5));
    EXPECT_EQ(list.RowState(4), kRowSelected);     // a selected row stays selected
    EXPECT_EQ(list.RowState(5), kRowHot);
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(list.HotRow(), 0);
    EXPECT_EQ(list.RowState(5), kRowNormal);
    uint32_t plain = RowPixel(5);
    EXPECT_GE(R(plain), 250);
    EXPECT_GE(B(plain), 250);
}

TEST_F(ListViewTest, DefaultTintsShowOnAPlainBackground) {
    // The host's theme colour is its background colour here: a tint of it
    // would not show.
    AttachOptions ho;
    ho.colour = 0x606060;
    MakeHost(ho, 869, 550);
    list.Create(window, {51, 130, 768, 344});
    for (const ColumnSpec& c : kColumns) list.InsertColumn(0, c.heading, c.width);
    Fill(6);
    int plain = G(RowPixel(3));
    ClickRow(2);
    Send(WM_MOUSEMOVE, 0, ColumnX(2) + 250, RowY(4));
    int selected = G(RowPixel(2)), hot = G(RowPixel(4));
    EXPECT_GT(selected, plain + 30);
    EXPECT_GT(hot, plain + 10);
    EXPECT_GT(selected, hot + 10);
}

TEST_F(ListViewTest, GridLinesFollowTheBits) {
    struct Case {
        int bits;
        bool rows, columns;
    };
    for (const Case& c : {Case{3, true, true}, Case{1, true, false}, Case{2, false, true}, Case{0, false, false}}) {
        SCOPED_TRACE(c.bits);
        if (window) TearDown();
        list.Destroy();
        ListViewOptions o;
        o.gridLines = c.bits;
        MakeList(o);
        Fill(3);
        int y = RowY(1);
        int bottom = 130 + static_cast<int>(list.ViewRect().Y + list.RowHeight()) - 1;
        int rightEdge = ColumnX(3) - 1;   // last pixel of column 2
        auto grey = [&](int px, int py) {
            uint32_t p = host->PixelAt(px, py);
            return R(p) < 230;
        };
        EXPECT_EQ(grey(ColumnX(2) + 200, bottom), c.rows);
        EXPECT_EQ(grey(rightEdge, y), c.columns);
    }
}

TEST_F(ListViewTest, WorkerRowsArriveInOrderWithTheirNumbers) {
    MakeList();
    constexpr int kRows = 600;
    std::vector<int> numbers;
    std::atomic<bool> done{false};
    Text seenByWorker;
    int cleared = -1;
    std::thread worker([&] {
        // A first search's rows, a clear, then the real rows: the numbers
        // start again from 1 and nothing of the first search is left.
        for (int i = 0; i < 50; ++i) list.SetItemText(list.InsertItem(0), 2, "old");
        list.DeleteAllItems();
        cleared = list.RowCount();
        for (int i = 0; i < kRows; ++i) {
            int r = list.InsertItem(0);
            numbers.push_back(r);
            for (int c = 1; c <= 8; ++c) list.SetItemText(r, c, CellText(r, c));
        }
        seenByWorker = list.GetItemText(kRows, 8);   // sees its own last write
        done = true;
    });
    while (!done) PumpFor(5);
    worker.join();
    list.Flush();
    EXPECT_EQ(cleared, 0);
    ASSERT_EQ(static_cast<int>(numbers.size()), kRows);
    for (int i = 0; i < kRows; ++i) ASSERT_EQ(numbers[static_cast<size_t>(i)], i + 1);
    EXPECT_EQ(seenByWorker, CellText(kRows, 8));
    EXPECT_EQ(list.RowCount(), kRows);
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= 8; ++c) ASSERT_EQ(list.GetItemText(r, c), CellText(r, c)) << r << "," << c;
    }
    Pump();
    EXPECT_TRUE(list.VScroll().Visible());
    EXPECT_GT(RowDarkPixels(1, ColumnX(2) + 1, ColumnX(3) - 2), 10);   // the first rows are shown
}

TEST_F(ListViewTest, WorkerCallsRacingTheWindowKeepEachThreadsOrder) {
    MakeList();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            int r = list.InsertItem(0, "w");
            list.SetItemText(r, 2, "worker");
        }
        done = true;
    });
    int mine = 0;
    while (!done) {
        // The window's own appends interleave with the worker's; every row
        // keeps the cells its writer gave it.
        int r = list.InsertItem(0, "m");
        list.SetItemText(r, 2, "main");
        ++mine;
        PumpFor(1);
    }
    worker.join();
    list.Flush();
    ASSERT_EQ(list.RowCount(), 300 + mine);
    int workerRows = 0;
    for (int r = 1; r <= list.RowCount(); ++r) {
        Text first = list.GetItemText(r, 1), second = list.GetItemText(r, 2);
        EXPECT_EQ(second, first == "w" ? "worker" : "main") << r;
        workerRows += first == "w";
    }
    EXPECT_EQ(workerRows, 300);
}

TEST_F(ListViewTest, DestroyedListRefusesLateWorkerCalls) {
    MakeList();
    Fill(3);
    std::thread worker([&] { list.InsertItem(0); });
    worker.join();
    list.Destroy();
    Pump();
    EXPECT_EQ(list.InsertItem(0), 0);
    EXPECT_EQ(list.SetItemText(1, 1, "x"), 0);
    EXPECT_EQ(list.GetItemText(1, 1), "");
}

// ---- Progress bar -----------------------------------------------------------------

class ProgressBarTest : public HostFixture {};

TEST_F(ProgressBarTest, FillsItsShareOfTheInnerLength) {
    MakeBlackHost();
    struct Case {
        int position;
        bool vertical;
        int filled;
    };
    const Case cases[] = {{50, false, 100}, {0, false, 0}, {100, false, 200}, {25, true, 50}, {150, false, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        UiProgressBar bar;
        ProgressOptions o;
        o.position = c.position;
        o.vertical = c.vertical;
        o.rounded = false;
        o.trackColour = ArgbAt(0xFFFFFF, 255);
        o.barColour1 = o.barColour2 = ArgbAt(0x0000FF, 255);   // red
        UiRect r = c.vertical ? UiRect{20, 20, 30, 204} : UiRect{20, 20, 204, 30};
        ASSERT_NE(bar.Create(window, r, o), 0u);
        EXPECT_EQ(bar.Kind(), 12);
        EXPECT_EQ(bar.FilledLength(), c.filled);
        // Count the red pixels along the middle line of the inner area.
        int red = 0;
        for (int i = 0; i < 200; ++i) {
            int x = c.vertical ? 35 : 22 + i, y = c.vertical ? 22 + i : 35;
            uint32_t p = host->PixelAt(x, y);
            if (R(p) > 100 && G(p) < 40 && B(p) < 40) ++red;
        }
        EXPECT_EQ(red, c.filled);
        if (c.filled > 0 && !c.vertical) {
            uint32_t last = host->PixelAt(22 + c.filled - 1, 35), next = host->PixelAt(22 + c.filled, 35);
            EXPECT_GT(R(last), 100);
            if (c.filled < 200) {
                EXPECT_GT(G(next), 200);   // the white track right after it
            }
        }
        if (c.vertical) {
            EXPECT_GT(R(host->PixelAt(35, 20 + 204 - 3)), 100);      // grows from the bottom
            EXPECT_GT(G(host->PixelAt(35, 23)), 200);
        }
        bar.Destroy();
        Pump();
    }
}

TEST_F(ProgressBarTest, PositionAndColoursRepaint) {
    MakeBlackHost();
    UiProgressBar bar;
    ProgressOptions o;
    o.rounded = false;
    o.barColour1 = o.barColour2 = ArgbAt(0x0000FF, 255);
    bar.Create(window, {20, 20, 104, 20}, o);
    EXPECT_EQ(G(host->PixelAt(30, 30)) + R(host->PixelAt(30, 30)) > 0, true);   // the track
    bar.Position(50);
    EXPECT_GT(R(host->PixelAt(30, 30)), 100);
    EXPECT_LT(G(host->PixelAt(30, 30)), 40);
    bar.BarColours(ArgbAt(0x00FF00, 255), ArgbAt(0x00FF00, 255));
    EXPECT_GT(G(host->PixelAt(30, 30)), 100);
    std::thread t([&] { bar.Position(0); });
    while (bar.Position() != 0) PumpFor(2);
    t.join();
    EXPECT_EQ(bar.FilledLength(), 0);
}

}  // namespace
}  // namespace sorvix::ui::test
