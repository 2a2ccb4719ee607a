// A notice as the application shows it: the library's message box with the
// question icon and one skinned button "知道了", fading in over the demo
// window. The picture is taken from the screen while the box is up, so the
// box shows above its owner.
#include "tools/uidemo/demo.h"

#include "ui/msgbox.h"

#include <algorithm>
#include <cstdlib>

namespace {

using namespace sorvix::ui;

constexpr UINT_PTR kShotTimer = 1;
constexpr UINT kShotDelayMs = 700;   // after the 200 ms fade-in
constexpr UINT kShotRetryMs = 200;
constexpr int kMaxWaits = 25;

struct Shot {
    const char* path = nullptr;
    HWND owner = nullptr;
    HWND box = nullptr;
    int code = 1;
    int waits = 0;
} gShot;

// Runs inside the box's modal loop: writes the picture, checks that the box
// is really there (its icon's blue, its text, its button), then closes it.
void CALLBACK TakeShot(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    RECT owner{}, box{};
    GetWindowRect(gShot.owner, &owner);
    GetWindowRect(gShot.box, &box);
    // The fade-in may still be running on a loaded machine: wait (a few
    // more ticks at most) until the screen shows the box's finished picture.
    if (UiHost* h = UiHost::FromWindow(gShot.box); h && ++gShot.waits < kMaxWaits) {
        HDC screen = GetDC(nullptr);
        COLORREF shown = GetPixel(screen, box.left + 100, box.top + 100);
        ReleaseDC(nullptr, screen);
        uint32_t p = h->PixelAt(100, 100);
        int drawnRed = static_cast<int>((p >> 16) & 0xFF);
        if (std::abs(static_cast<int>(GetRValue(shown)) - drawnRed) > 8) {
            SetTimer(window, kShotTimer, kShotRetryMs, &TakeShot);
            return;
        }
    }
    RECT area{std::min(owner.left, box.left), std::min(owner.top, box.top), std::max(owner.right, box.right),
              std::max(owner.bottom, box.bottom)};
    bool written = uidemo::WriteScreenShot(area, gShot.path);
    UiHost* host = UiHost::FromWindow(gShot.box);
    bool ok = written && host;
    if (host) {
        uint32_t icon = host->PixelAt(36, 60);
        bool blue = (icon & 0xFF) > ((icon >> 16) & 0xFF) + 60;
        SIZE size = host->Size();
        int text = uidemo::CountPixels(*host, 85, 43, size.cx - 20, size.cy - 45, [](uint32_t p) {
            return (p >> 24) > 150 && ((p >> 16) & 0xFF) < 90 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90;
        });
        int button = uidemo::CountPixels(*host, size.cx - 83, size.cy - 35, size.cx - 13, size.cy - 9, [](uint32_t p) {
            return (p >> 24) > 200 && ((p >> 16) & 0xFF) > 200;
        });
        ok = ok && blue && text > 40 && button > 500;
    }
    gShot.code = ok ? 0 : 1;
    PostMessageW(gShot.box, WM_KEYDOWN, VK_ESCAPE, 0);
}

int MessageBoxScene(uidemo::SceneArgs& args) {
    uidemo::PumpFor(args.screenshot ? 400 : 0);
    gShot.path = args.screenshot;
    gShot.owner = args.window;
    MessageBoxOptions o;
    o.icon = kBoxIconQuestion;
    o.captions = {uidemo::U8("知道了")};
    o.showEffect = 1;
    o.closeEffect = 7;
    o.onCreated = [&](HWND box, int, int) {
        gShot.box = box;
        if (args.screenshot) SetTimer(args.window, kShotTimer, kShotDelayMs, &TakeShot);
    };
    UiMessageBox(args.window, uidemo::U8("没有找到与关键词相关的资源，\n请换一个关键词或另一个来源再试。"), o);
    return args.screenshot ? gShot.code : 0;
}

}  // namespace

UIDEMO_SCENE("msgbox", MessageBoxScene);
