// The modal loop shared by the popup menu and the message box: this
// thread's messages, until the caller's condition ends it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

namespace sorvix::ui {

// Runs while `running` answers true. Each message goes to `consume` first;
// one it answers true for (dealt with, or dropped) is not dispatched. `after`
// runs after each message. A WM_QUIT ends the loop and its code is returned:
// the caller posts it again once its windows are gone, so that the thread's
// own loop still sees it.
inline std::optional<WPARAM> RunModalLoop(const std::function<bool()>& running,
                                          const std::function<bool(MSG&)>& consume,
                                          const std::function<void()>& after = {}) {
    MSG msg;
    while (running()) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return msg.wParam;
        if (got == -1) break;
        if (!consume || !consume(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (after) after();
    }
    return std::nullopt;
}

}  // namespace sorvix::ui
