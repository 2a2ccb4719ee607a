// Edit boxes as the main window shows them: the keyword box (font size 15,
// white at alpha 50 behind black text) focused, with a selection and the
// caret; the page box; a password box; and a multi-line box with more lines
// than it shows, so its vertical scroll bar is up.
#include "tools/uidemo/demo.h"

#include "ui/edit.h"
#include "ui/text_elements.h"

using namespace sorvix::ui;
using uidemo::U8;

namespace {

int EditScene(uidemo::SceneArgs& args) {
    HWND w = args.window;
    LabelOptions lo;
    lo.alpha = 255;
    UiLabel keywordLabel, pageLabel, passwordLabel, notesLabel;
    keywordLabel.Create(w, {50, 51, 60, 24}, U8("关键词："), lo);
    pageLabel.Create(w, {600, 500, 50, 24}, U8("页码："), lo);
    passwordLabel.Create(w, {50, 101, 60, 24}, U8("密码："), lo);
    notesLabel.Create(w, {50, 151, 60, 24}, U8("备注："), lo);

    EditOptions boxLook;
    boxLook.textColour = ArgbAt(0x000000, 255);
    boxLook.backColour = ArgbAt(0xFFFFFF, 50);
    boxLook.size = 15;
    UiEdit keyword, page, password, notes;
    keyword.Create(w, {110, 51, 482, 28}, U8("Kelvane 编辑框 selection"), boxLook);
    page.Create(w, {650, 500, 30, 24}, "1", boxLook);
    EditOptions secret = boxLook;
    secret.inputMode = kEditPassword;
    password.Create(w, {110, 99, 200, 28}, "hunter2", secret);
    EditOptions multi = boxLook;
    multi.multiLine = true;
    multi.rounded = true;
    Text lines;
    for (int i = 1; i <= 12; ++i) {
        lines += U8("第") + std::to_string(i) + U8(" 行：多行编辑框的文字") + (i < 12 ? "\r\n" : "");
    }
    notes.Create(w, {110, 149, 360, 150}, lines, multi);

    // The keyword box has the focus, "编辑框" selected and the caret after it.
    args.host.SetFocus(keyword.Handle());
    keyword.Selection(EditSelection{{1, 8}, {1, 11}});
    uidemo::PumpFor(args.screenshot ? 400 : 0);
    if (!args.screenshot) {
        MSG msg;
        while (IsWindow(w) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return 0;
    }
    keyword.Selection(EditSelection{{1, 8}, {1, 11}});   // the blink may have hidden the caret
    args.host.Redraw();
    if (!uidemo::WriteHostShot(args.host, args.screenshot)) return 1;

    // A blank picture fails: the selection band must be blue, the caret dark.
    int band = uidemo::CountPixels(args.host, 110, 51, 592, 79, [](uint32_t p) {
        int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        return b > 200 && r < 110 && g > 110 && g < 190;
    });
    UiRect caret = keyword.CaretRect();
    int cx = static_cast<int>(110 + caret.x), cy = static_cast<int>(51 + caret.y);
    int dark = uidemo::CountPixels(args.host, cx, cy, cx + 1, cy + static_cast<int>(caret.h),
                                   [](uint32_t p) { return ((p >> 8) & 0xFF) < 60; });
    bool bar = notes.VerticalBarShown();
    std::printf("selection pixels %d, caret pixels %d, scroll bar %d\n", band, dark, bar ? 1 : 0);
    return band > 200 && dark > 8 && bar ? 0 : 1;
}

}  // namespace

UIDEMO_SCENE("edit", EditScene);
