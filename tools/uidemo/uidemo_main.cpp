// Kelvane demo: one layered host of the main window's size with every element
// kind of the library's first issue: caption (icon, title, buttons), buttons
// in their states (normal, hot, pressed, focused, disabled), checked and
// unchecked options, labels (plain, red, bordered, word-wrapped), a picture
// with an animated GIF, an icon picture and an image button.
//
//   uidemo.exe                      opens the window until it is closed
//   uidemo.exe --screenshot F.bmp   composes, writes the host's own composed
//                                   buffer (over a grey desk) as a 24-bit BMP
//                                   and exits; exit code 0 on success
//   uidemo.exe --scene NAME [...]   one control's scene instead (demo.h)
#include "ui/host.h"
#include "ui/picture.h"
#include "ui/resources/art.h"
#include "ui/text_elements.h"
#include "tools/uidemo/demo.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace sorvix::ui;
using uidemo::PumpFor;
using uidemo::U8;

namespace {

// A small animated GIF of our own: four 8 x 8 frames, each a solid colour.
std::string DemoGif() {
    std::string g = "GIF89a";
    g += std::string("\x08\x00\x08\x00\xF1\x00\x00", 7);
    g += std::string("\x20\x60\xE0\x20\xC0\x40\xF0\xA0\x20\xE0\x30\x30", 12);
    g += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int i = 0; i < 4; ++i) {
        g += std::string("\x21\xF9\x04\x00\x14\x00\x00\x00", 8);
        g += std::string("\x2C\x00\x00\x00\x00\x08\x00\x08\x00\x00", 10);
        // LZW (code size 2) kept at 3-bit codes by a clear code before every
        // pixel, so the table never grows: clear, pixel, clear, pixel, ... end.
        std::vector<int> codes;
        for (int p = 0; p < 64; ++p) {
            codes.push_back(4);
            codes.push_back(i);
        }
        codes.push_back(5);
        std::string data;
        unsigned acc = 0;
        int nbits = 0;
        for (int code : codes) {
            acc |= static_cast<unsigned>(code) << nbits;
            nbits += 3;
            while (nbits >= 8) {
                data += static_cast<char>(acc & 0xFF);
                acc >>= 8;
                nbits -= 8;
            }
        }
        if (nbits) data += static_cast<char>(acc & 0xFF);
        g += '\x02';
        for (size_t off = 0; off < data.size(); off += 255) {
            size_t len = std::min<size_t>(255, data.size() - off);
            g += static_cast<char>(len);
            g += data.substr(off, len);
        }
        g += '\x00';
    }
    g += ";";
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    const char* screenshot = nullptr;
    const char* sceneName = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = argv[i + 1];
        if (std::strcmp(argv[i], "--scene") == 0) sceneName = argv[i + 1];
    }
    uidemo::SceneFn scene = nullptr;
    if (sceneName) {
        for (const auto& entry : uidemo::Scenes())
            if (std::strcmp(entry.name, sceneName) == 0) scene = entry.run;
        if (!scene) {
            std::fprintf(stderr, "no scene named %s\n", sceneName);
            return 2;
        }
    }
    UiStart();
    HWND window = CreateHostWindow(nullptr, U8("Sorvix神器V1.0 — Kelvane 演示"), {}, {}, 869, 550);
    if (!window) return 2;
    // The program's icon from our artwork, for the caption icon.
    auto ico = art::AppIconFile();
    auto* dir = const_cast<PBYTE>(reinterpret_cast<const BYTE*>(ico.data()));
    int offset = LookupIconIdFromDirectoryEx(dir, TRUE, 16, 16, LR_DEFAULTCOLOR);
    if (offset > 0 && static_cast<size_t>(offset) < ico.size()) {
        HICON small = CreateIconFromResourceEx(dir + offset, static_cast<DWORD>(ico.size() - offset), TRUE,
                                               0x00030000, 16, 16, LR_DEFAULTCOLOR);
        if (small) SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
    UiHost host;
    AttachOptions options;
    options.alpha = 255;
    options.colour = 0x606060;
    options.styleFlags = 1 | 2 | 4 | 8 | 16 | 64;
    host.Attach(window, options);
    host.SetCloseEffect(7);

    if (scene) {
        host.Show(7, 200);
        uidemo::SceneArgs args{window, host, screenshot};
        int code = scene(args);
        if (screenshot) {
            std::printf("scene %s: exit %d\n", sceneName, code);
            if (IsWindow(window)) DestroyWindow(window);
            return code;
        }
        MSG msg;
        while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return code;
    }

    // Buttons in their five states.
    const char* stateNames[] = {"普通", "悬停", "按下", "焦点", "禁用"};
    std::vector<std::unique_ptr<UiButton>> buttons;
    for (int i = 0; i < 5; ++i) {
        auto b = std::make_unique<UiButton>();
        TextOptions to;
        to.alpha = 255;
        b->Create(window, {30.0f + i * 110, 50, 96, 28}, U8(stateNames[i]), to);
        buttons.push_back(std::move(b));
    }
    UiButton accel;
    accel.Create(window, {590, 50, 110, 28}, U8("搜索(&S)"));

    // Twenty options in two rows, like the source picker; a few checked.
    std::vector<std::unique_ptr<UiOption>> options20;
    for (int i = 0; i < 20; ++i) {
        auto o = std::make_unique<UiOption>();
        TextOptions to;
        to.colour = 0xFFFFFF;
        to.alpha = 255;
        char name[32];
        std::snprintf(name, sizeof(name), "来源%d", i + 1);
        o->Create(window, {30.0f + (i % 10) * 82, 100.0f + (i / 10) * 30, 80, 26}, U8(name), to);
        if (i == 0 || i == 7 || i == 13) o->Checked(true);
        options20.push_back(std::move(o));
    }

    // Labels.
    UiLabel plain, red, bordered, wrapped;
    LabelOptions lo;
    lo.colour = 0xFFFFFF;
    lo.alpha = 255;
    plain.Create(window, {30, 175, 380, 22}, U8("状态：就绪，共 0 条结果"), lo);
    LabelOptions ro = lo;
    ro.colour = 0x0000FF;
    ro.size = 16;
    red.Create(window, {30, 200, 380, 26}, U8("红色标签 Red caption"), ro);
    LabelOptions bo = lo;
    bo.borderStyle = 1;
    bo.backgroundMode = 1;
    bo.background1 = ArgbAt(0xFFFFFF, 60);
    bo.background2 = ArgbAt(0x000000, 40);
    bo.horizontalAlign = 1;
    bordered.Create(window, {30, 232, 380, 28}, U8("带边框与渐变的标签"), bo);
    LabelOptions wo = lo;
    wo.wordWrap = true;
    wo.verticalAlign = 0;
    wo.effect = 4;
    wrapped.Create(window, {430, 175, 400, 90},
                   U8("自动换行的标签：Kelvane 把每个元素画进自己的缓冲区，再由宿主合成，"
                      "通过分层窗口呈现，悬停时交叉淡入淡出。"),
                   wo);

    // Pictures: an animated GIF and the window icon; an image button.
    UiPicture gif, icon;
    PictureOptions po;
    po.sizeMode = 2;
    gif.CreateFromBytes(window, {30, 280, 64, 64}, DemoGif(), po);
    icon.Create(window, {110, 280, 32, 32}, LoadIconW(nullptr, IDI_INFORMATION), po);
    UiImageButton yes, no;
    yes.Create(window, {170, 285, 90, 30}, U8("知道了"));
    no.Create(window, {270, 285, 90, 30}, U8("取消"));

    // A panel element with a child that overhangs it: clipped to the panel.
    UiLabel panel, overhang;
    LabelOptions pan = lo;
    pan.borderStyle = 2;
    pan.backgroundMode = 1;
    pan.background1 = ArgbAt(0x805020, 200);
    pan.background2 = ArgbAt(0x402010, 200);
    panel.Create(window, {430, 280, 200, 80}, U8("父元素"), pan);
    LabelOptions ov = lo;
    ov.backgroundMode = 1;
    ov.background1 = ArgbAt(0x20A0F0, 230);
    ov.background2 = ArgbAt(0x2060C0, 230);
    overhang.Create(panel.Handle(), {560, 320, 120, 60}, U8("子元素被裁剪"), ov);

    UiLabel status;
    status.Create(window, {30, 500, 800, 22}, U8("点击按钮或选项；Tab 移动焦点；Alt+S 点击搜索"), lo);
    host.SetClickHandler([&](HWND, ElementHandle element, WPARAM, LPARAM, int kind) {
        char line[96];
        std::snprintf(line, sizeof(line), "clicked element %u (kind %d)", element, kind);
        status.Caption(std::string(line));
    });

    host.Show(7, 200);
    // Put the buttons into their states: hot, pressed, focused, disabled.
    buttons[1]->SendEvent(UIM_MOUSEENTER, 0, 0);
    buttons[2]->SendEvent(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    host.SetFocus(buttons[3]->Handle());
    buttons[4]->Disabled(true);
    PumpFor(screenshot ? 600 : 0);

    if (screenshot) {
        host.Redraw();
        bool ok = uidemo::WriteHostShot(host, screenshot);
        std::printf("%s %s\n", ok ? "wrote" : "failed to write", screenshot);
        // A blank or broken picture fails the run: the red label must show
        // red pixels and the caption title white ones.
        int red = uidemo::CountPixels(host, 30, 200, 410, 226, [](uint32_t p) {
            return ((p >> 16) & 0xFF) > 150 && ((p >> 8) & 0xFF) < 80 && (p & 0xFF) < 80;
        });
        int white = uidemo::CountPixels(host, 33, 9, 300, 29, [](uint32_t p) {
            return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) > 200;
        });
        std::printf("red label pixels %d, white title pixels %d\n", red, white);
        DestroyWindow(window);
        if (!ok) return 1;
        return red > 50 && white > 50 ? 0 : 3;
    }
    MSG msg;
    while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
