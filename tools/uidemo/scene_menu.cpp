// An open popup menu over the host: commands with access keys, a disabled
// item, a checked one, a separator and a submenu that is open beside its row,
// with one of its items highlighted. The picture is taken from the screen,
// since the popups are windows of their own above the host.
#include "tools/uidemo/demo.h"

#include "ui/menu.h"
#include "ui/text_elements.h"

#include <cstdio>

namespace {

using namespace sorvix::ui;

struct MenuShot {
    const char* path = nullptr;
    RECT area{};
    bool written = false;
    int failures = 0;
};
MenuShot gShot;

// Counts pixels of a popup's composed buffer for which test is true.
int CountPopupPixels(HWND popup, bool (*test)(uint32_t)) {
    UiHost* h = UiHost::FromWindow(popup);
    if (!h) return 0;
    SIZE s = h->Size();
    int n = 0;
    for (int y = 0; y < s.cy; ++y)
        for (int x = 0; x < s.cx; ++x) n += test(h->PixelAt(x, y));
    return n;
}

// Steps run inside the menu loop, one per timer tick.
int gStep = 0;
UINT_PTR gTimer = 0;
UiMenu* gMenu = nullptr;
UiMenu* gSub = nullptr;

void CALLBACK Drive(HWND, UINT, UINT_PTR, DWORD) {
    std::vector<HWND> open = UiMenu::OpenPopups();
    if (open.empty()) return;
    HWND top = open.front();
    switch (gStep++) {
    case 0:
        // Keyboard: to the submenu row (the last item) and into it.
        PostMessageW(top, WM_KEYDOWN, VK_END, 1);
        PostMessageW(top, WM_KEYDOWN, VK_RIGHT, 1);
        break;
    case 1:
        PostMessageW(UiMenu::ActivePopup(), WM_KEYDOWN, VK_DOWN, 1);
        break;
    case 2:
    case 3:
        break;   // let the popups present
    case 4: {
        if (open.size() != 2) ++gShot.failures;
        // Blue hot fill in both popups: the open submenu row and its hot item.
        auto blue = [](uint32_t p) {
            return (p & 0xFF) > 150 && ((p >> 16) & 0xFF) < 100 && (p >> 24) > 200;
        };
        for (HWND w : open) {
            if (CountPopupPixels(w, blue) < 150) ++gShot.failures;
        }
        // Dark text in the top popup.
        auto dark = [](uint32_t p) { return ((p >> 8) & 0xFF) < 90 && (p >> 24) > 200; };
        if (CountPopupPixels(top, dark) < 100) ++gShot.failures;
        if (gShot.path) gShot.written = uidemo::WriteScreenShot(gShot.area, gShot.path);
        PostMessageW(UiMenu::ActivePopup(), WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(top, WM_KEYDOWN, VK_ESCAPE, 1);
        KillTimer(nullptr, gTimer);
        break;
    }
    default:
        break;
    }
}

int MenuScene(uidemo::SceneArgs& args) {
    UiLabel label;
    LabelOptions lo;
    lo.colour = 0xFFFFFF;
    lo.alpha = 230;
    label.Create(args.window, {30, 50, 400, 24}, uidemo::U8("右键菜单：禁用项、分隔线和子菜单"), lo);

    UiMenu sub;
    sub.AddItem(uidemo::U8("按名称(&N)"), kMenuNormal, kMenuCommand, true, 301);
    sub.AddItem(uidemo::U8("按大小(&S)"), kMenuChecked, kMenuCommand, true, 302);
    sub.AddItem(uidemo::U8("按时间(&D)"), kMenuNormal, kMenuCommand, true, 303);

    UiMenu menu;
    MenuItemOptions subItem;
    subItem.submenu = &sub;
    menu.AddItem(uidemo::U8("打开链接(&O)"), kMenuNormal, kMenuCommand, true, 201);
    menu.AddItem(uidemo::U8("复制链接(&C)"), kMenuNormal, kMenuCommand, true, 202);
    menu.AddItem(uidemo::U8("下载(&D)"), kMenuDisabled, kMenuCommand, true, 203);
    menu.AddItem({}, kMenuNormal, kMenuSeparator, true, 0);
    menu.AddItem(uidemo::U8("显示网格线(&G)"), kMenuChecked, kMenuCommand, true, 204);
    menu.AddItem(uidemo::U8("排序方式(&R)"), kMenuNormal, kMenuSubmenu, true, 0, subItem);
    gMenu = &menu;
    gSub = &sub;

    uidemo::PumpFor(300);
    RECT wr{};
    GetWindowRect(args.window, &wr);
    int x = wr.left + 120, y = wr.top + 90;
    if (!args.screenshot) {
        menu.PopupAt(args.window, x, y, 0);
        return 0;
    }
    gShot.path = args.screenshot;
    // The host's top-left part, where the popups open.
    gShot.area = {wr.left, wr.top, wr.left + 520, wr.top + 320};
    gStep = 0;
    gTimer = SetTimer(nullptr, 0, 60, &Drive);
    menu.PopupAt(args.window, x, y, 0);
    KillTimer(nullptr, gTimer);
    if (!gShot.written) {
        std::fprintf(stderr, "menu scene: no picture written\n");
        return 1;
    }
    if (gShot.failures) {
        std::fprintf(stderr, "menu scene: %d pixel checks failed\n", gShot.failures);
        return 1;
    }
    return 0;
}

}  // namespace

UIDEMO_SCENE("menu", MenuScene);
