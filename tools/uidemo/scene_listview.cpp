// The result table as the main window has it: eight columns (the link
// column hidden), rows of search results scrolled a little so the scroll bar
// shows, one row under the mouse and another selected; a progress bar below.
#include "tools/uidemo/demo.h"

#include "ui/listview.h"
#include "ui/text_elements.h"

#include <cstdio>

namespace {

using namespace sorvix::ui;

struct Heading {
    const char* text;
    int width;
};
const Heading kHeadings[8] = {{"序号", 40},    {"文件名称", 280}, {"收录时间", 100}, {"文件大小", 100},
                              {"文件数量", 80}, {"磁力链接", 0},   {"文件类型", 80},  {"网盘类型", 80}};

const char* const kNames[] = {
    "Ubuntu 24.04 桌面版 镜像.iso", "开源字体合集 第二版", "纪录片 山川 1080p", "公开课 线性代数 全集",
    "Debian 12 netinst.iso",       "摄影作品集 春",       "有声书 西游记 全本", "地图数据 华东 2026",
    "Blender 教程 入门到精通",      "古典音乐 精选 flac",   "天文图片 银河 高清", "编程讲座 编译原理",
};

bool IsSelectedTint(uint32_t p) {
    // White at 102 over the 0x606060 theme: about 0x9C grey.
    int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r > 0x88 && r < 0xB0 && g > 0x88 && g < 0xB0 && b > 0x88 && b < 0xB0;
}
bool IsDarkText(uint32_t p) {
    return ((p >> 16) & 0xFF) < 0x30 && ((p >> 8) & 0xFF) < 0x30 && (p & 0xFF) < 0x30;
}

int ListViewScene(uidemo::SceneArgs& args) {
    static UiListView list;
    static UiProgressBar progress;
    static UiLabel caption;
    ListViewOptions o;
    o.textColour = ArgbAt(0x000000, 255);   // the main window's texts: alpha 255
    list.Create(args.window, {51, 130, 768, 344}, o);
    for (const Heading& h : kHeadings) list.InsertColumn(0, uidemo::U8(h.text), h.width);
    char number[16];
    for (int i = 0; i < 40; ++i) {
        int row = list.InsertItem(0);
        std::snprintf(number, sizeof number, "%d", row);
        list.SetItemText(row, 1, number);
        list.SetItemText(row, 2, uidemo::U8(kNames[i % 12]));
        std::snprintf(number, sizeof number, "2026-%02d-%02d", 1 + i % 12, 1 + (i * 7) % 28);
        list.SetItemText(row, 3, number);
        std::snprintf(number, sizeof number, "%d.%d GB", 1 + i % 7, (i * 3) % 10);
        list.SetItemText(row, 4, number);
        std::snprintf(number, sizeof number, "%d", 1 + (i * 13) % 120);
        list.SetItemText(row, 5, number);
        list.SetItemText(row, 6, "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567");
        list.SetItemText(row, 7, uidemo::U8("磁力"));
        list.SetItemText(row, 8, uidemo::U8("不是网盘"));
    }
    list.Flush();
    uidemo::PumpFor(50);
    // Scrolled by two and a half rows; row 6 selected, the mouse over row 9.
    list.ScrollPosition(static_cast<int>(list.RowHeight() * 2.5f));
    list.Selection(6);
    UiRect r = list.Rect();
    auto rowY = [&](int row) {
        return static_cast<int>(r.y + list.ViewRect().Y + (row - 1) * list.RowHeight() + list.ScrollOffset() +
                                list.RowHeight() / 2);
    };
    // The frames go out first: the window system's own pointer events for
    // the newly shown window arrive before the mouse is put over row 9.
    uidemo::PumpFor(args.screenshot ? 300 : 0);
    SendMessageW(args.window, WM_MOUSEMOVE, 0, MAKELPARAM(300, rowY(9)));

    LabelOptions lo;
    lo.colour = 0xFFFFFF;
    caption.Create(args.window, {51, 494, 300, 24}, uidemo::U8("已获取数据40个"), lo);
    ProgressOptions po;
    po.position = 50;
    progress.Create(args.window, {360, 496, 459, 20}, po);

    uidemo::PumpFor(args.screenshot ? 400 : 0);
    if (!args.screenshot) return 0;
    args.host.Redraw();
    if (!uidemo::WriteHostShot(args.host, args.screenshot)) return 1;
    // A blank or broken picture fails: the selected row's tint, text in the
    // rows, the visible scroll bar and the half-filled bar must all be there.
    int y6 = rowY(6);
    int selected = uidemo::CountPixels(args.host, 400, y6 - 3, 600, y6 + 3, IsSelectedTint);
    int text = uidemo::CountPixels(args.host, 60, static_cast<int>(r.y + 40), 700, static_cast<int>(r.y + 300),
                                   IsDarkText);
    bool scrollBar = list.VScroll().Visible() && list.ScrollOffset() < 0;
    bool hot = list.HotRow() == 9 && list.RowState(9) == kRowHot;
    bool half = progress.FilledLength() == (459 - 4 + 1) / 2;
    std::printf("listview scene: selected tint %d px, text %d px, scroll bar %d, hot %d, half %d\n", selected, text,
                scrollBar, hot, half);
    return selected > 500 && text > 2000 && scrollBar && hot && half ? 0 : 1;
}

}  // namespace

UIDEMO_SCENE("listview", ListViewScene);
