// The list's icon styles: large-icon tiles (icon above the name) on the
// left, small-icon tiles (icon beside the name) on the right, each with one
// tile selected and carrying the focus cue, and one under the mouse.
#include "tools/uidemo/demo.h"

#include "ui/listview.h"

#include <commctrl.h>

#include <cstdio>

namespace {

using namespace sorvix::ui;

// An image list of `count` plain squares in turning hues, size x size.
HIMAGELIST SquareIcons(int size, int count) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 0);
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < count; ++i) {
        static const COLORREF hues[] = {RGB(230, 90, 60), RGB(60, 150, 230), RGB(90, 190, 90), RGB(230, 180, 40),
                                        RGB(160, 90, 210), RGB(40, 180, 180)};
        HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
        HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, colour);
        HBRUSH fill = CreateSolidBrush(hues[i % 6]);
        RECT all{0, 0, size, size};
        FillRect(dc, &all, fill);
        HBRUSH edge = CreateSolidBrush(RGB(40, 40, 40));
        FrameRect(dc, &all, edge);
        SelectObject(dc, mask);
        PatBlt(dc, 0, 0, size, size, BLACKNESS);   // every pixel opaque
        SelectObject(dc, old);
        ImageList_Add(list, colour, mask);
        DeleteObject(fill);
        DeleteObject(edge);
        DeleteDC(dc);
        DeleteObject(colour);
        DeleteObject(mask);
    }
    ReleaseDC(nullptr, screen);
    return list;
}

const char* const kNames[] = {"文档", "图片", "音乐", "视频", "种子", "压缩包"};

bool IsSelectedTint(uint32_t p) {
    // White at 102 over the 0x606060 theme: about 0x9C grey.
    int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r > 0x88 && r < 0xB0 && g > 0x88 && g < 0xB0 && b > 0x88 && b < 0xB0;
}

int TilesScene(uidemo::SceneArgs& args) {
    static UiListView large, small;
    static HIMAGELIST bigIcons = SquareIcons(32, 6), smallIcons = SquareIcons(16, 6);
    ListViewOptions o;
    o.textColour = ArgbAt(0xFFFFFF, 255);
    o.style = kStyleLargeIcons;
    large.Create(args.window, {30, 60, 400, 420}, o);
    o.style = kStyleSmallIcons;
    small.Create(args.window, {450, 60, 390, 420}, o);
    large.RowImages(bigIcons);
    small.RowImages(smallIcons);
    for (UiListView* list : {&large, &small}) {
        list->InsertColumn(0, "Name", 100);
        for (int i = 0; i < 30; ++i) list->InsertItem(0, uidemo::U8(kNames[i % 6]), i % 6);
        list->Flush();
    }
    uidemo::PumpFor(50);
    large.Selection(7);
    small.Selection(12);
    args.host.SetFocus(large.Handle());   // the focus cue around tile 7
    auto centre = [](UiListView& list, int row) {
        Gdiplus::RectF b = list.RowBox(row);
        UiRect r = list.Rect();
        return MAKELPARAM(static_cast<int>(r.x + b.X + b.Width / 2), static_cast<int>(r.y + b.Y + b.Height / 2));
    };
    // The frames go out first: the window system's own pointer events for
    // the newly shown window arrive before the mouse is put over a tile.
    uidemo::PumpFor(args.screenshot ? 300 : 0);
    SendMessageW(args.window, WM_MOUSEMOVE, 0, centre(small, 3));

    uidemo::PumpFor(args.screenshot ? 400 : 0);
    if (!args.screenshot) return 0;
    args.host.Redraw();
    if (!uidemo::WriteHostShot(args.host, args.screenshot)) return 1;
    // Tiles laid out in lines, a selected tile in each list, a hot one.
    Gdiplus::RectF b = large.RowBox(7);
    UiRect r = large.Rect();
    int tint = uidemo::CountPixels(args.host, static_cast<int>(r.x + b.X), static_cast<int>(r.y + b.Y),
                                   static_cast<int>(r.x + b.GetRight()), static_cast<int>(r.y + b.GetBottom()),
                                   IsSelectedTint);
    bool lines = large.TilesPerLine() > 1 && small.TilesPerLine() > 1 &&
                 large.RowBox(large.TilesPerLine() + 1).Y > large.RowBox(1).Y;
    bool hot = small.HotRow() == 3 && small.RowState(3) == kRowHot;
    std::printf("tiles scene: %d and %d tiles a line, selected tint %d px, hot %d\n", large.TilesPerLine(),
                small.TilesPerLine(), tint, hot);
    return lines && hot && tint > 100 ? 0 : 1;
}

}  // namespace

UIDEMO_SCENE("tiles", TilesScene);
