// Kelvane message box: the library's own modal box, a small layered host
// window with its owner's look, a caption (title and close button), an
// optional 40 x 40 icon, the message and a row of buttons. It grows to fit
// the text, beeps when it shows an icon, stays on top and runs its own
// message loop until a button, Esc or the close button ends it.
//
//   int code = UiMessageBox(mainWindow, text, {.icon = kBoxIconQuestion,
//                                              .captions = {gotIt},
//                                              .showEffect = 1, .closeEffect = 7});
//
// Guarantees:
// - The box is a window of the calling thread and its loop receives only that
//   thread's messages: the thread's other windows keep painting and getting
//   timers, but their keyboard and mouse input is dropped (never delivered
//   later). Windows of other threads are not blocked, so a box asked for by
//   a search thread leaves the main window painting and answering.
// - GDI+ objects are never shared across threads: the box makes its own
//   font, pictures and brushes, and its owner's background picture is copied
//   on the owner's thread (UiHost::LookOf).
// - It returns only after the box window is gone. Esc and the close button
//   give kBoxCancel (1) for every button set.
// Covered by tests/ui/msgbox/msgbox_test.cpp (Wine + Xvfb).
#pragma once

#include "ui/host.h"

#include <functional>
#include <vector>

namespace sorvix::ui {

// Result codes: the platform's dialog results minus one.
enum : int {
    kBoxOk = 0,
    kBoxCancel = 1,
    kBoxAbort = 2,
    kBoxRetry = 3,
    kBoxIgnore = 4,
    kBoxYes = 5,
    kBoxNo = 6,
};

// Icons (also the MessageBeep sound played for them).
enum : int {
    kBoxIconNone = 0,
    kBoxIconError = 16,
    kBoxIconQuestion = 32,
    kBoxIconWarning = 48,
    kBoxIconInformation = 64,
    kBoxIconSuccess = 128,
};

// Standard button sets, buttons from right to left:
//   0 "确认" (Ok)
//   1 "取消" (Cancel), "确认" (Ok)
//   2 "忽略" (Ignore), "重试" (Retry), "放弃" (Abort)
//   3 "取消" (Cancel), "否(&N)" (No), "是(&Y)" (Yes)
//   4 "否(&N)" (No), "是(&Y)" (Yes)
//   5 "取消" (Cancel), "重试" (Retry)
inline constexpr int kBoxButtonSets = 6;

// "提示：" (notice), the default title.
inline constexpr char kBoxDefaultTitle[] = "\xCC\xE1\xCA\xBE\xA3\xBA";

struct MessageBoxOptions {
    int buttonSet = 0;                    // 0..5; another value counts as 0
    Text title = kBoxDefaultTitle;        // GBK
    int icon = kBoxIconNone;
    // Called once the box is built (buttons, text, before it is shown), on
    // the box's thread, with (box window, box width, box height).
    std::function<void(HWND box, int width, int height)> onCreated;
    bool playSound = true;                // beep when there is an icon
    bool centreOnOwner = true;            // else (or with a dead owner) the work area
    int styleFlags = kStyleTitle | kStyleClose;
    // Button captions (GBK), RIGHTMOST FIRST; empty: the set's own. The codes
    // still come from buttonSet, position by position; a button beyond the
    // set's count gives kBoxCancel.
    std::vector<Text> captions;
    int defaultButton = 1;                // position (1 = rightmost) that gets the focus
    bool skinnedButtons = true;           // 70 x 26 image buttons; false: 70 x 24 plain buttons
    int showEffect = 0;                   // UiHost::Show kind; 0 shows at once
    int closeEffect = 0;                  // UiHost::SetCloseEffect kind; 0 none
};

// Shows the box and returns the chosen button's code (kBoxOk ... kBoxNo),
// kBoxCancel when it was closed without a button. A WM_QUIT that ends the
// loop is posted again for the thread's own loop once the box is gone.
int UiMessageBox(HWND owner, const Text& text, const MessageBoxOptions& options = {});

// The sound the box plays; MessageBeep unless replaced (tests record it).
// Returns the previous function.
using MessageBoxBeepFn = BOOL(WINAPI*)(UINT);
MessageBoxBeepFn SetMessageBoxBeep(MessageBoxBeepFn beep);

}  // namespace sorvix::ui
