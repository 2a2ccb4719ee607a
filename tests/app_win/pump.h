// Message pumping for the window tests: they run the window's thread
// themselves, so waiting for something means dispatching this thread's
// messages until it happens.
#pragma once

#include <windows.h>

namespace sorvix::app {

// Runs this thread's messages until done() or ms have passed; false on time-out.
template <class F>
bool PumpUntil(F done, int ms = 15000) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG msg;
    while (!done()) {
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

}  // namespace sorvix::app
