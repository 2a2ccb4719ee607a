// Kelvane timing harness (Windows; run under Wine with a display):
//   scripts/wine-run.sh --display build/windows/bench/ui/ui_bench.exe
// Measures, on an 869 x 550 layered host with thirty elements:
//   1. recomposing the whole client area and presenting it with
//      UpdateLayeredWindow;
//   2. one hover cross-fade step (recompose + present of the element's
//      rectangle while its transition runs), for a 96 x 28 button;
//   3. repainting a button's state into its own buffer.
// Prints milliseconds per operation (median of several rounds).
#include "ui/host.h"
#include "ui/text_elements.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace sorvix::ui;

namespace {

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

template <class Fn>
double MedianMs(int rounds, int perRound, Fn fn) {
    std::vector<double> samples;
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        for (int i = 0; i < perRound; ++i) fn();
        samples.push_back((Now() - start) / perRound);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main() {
    UiStart();
    HWND window = CreateHostWindow(nullptr, "Kelvane bench", 0, 0, 869, 550);
    UiHost host;
    AttachOptions options;
    options.alpha = 255;
    options.colour = 0x606060;
    options.styleFlags = 1 | 2 | 4 | 16 | 64;
    host.Attach(window, options);
    host.Show(0);

    std::vector<std::unique_ptr<UiElement>> elements;
    for (int i = 0; i < 10; ++i) {
        auto b = std::make_unique<UiButton>();
        b->Create(window, {20.0f + (i % 5) * 110, 50.0f + (i / 5) * 40, 96, 28}, "Button");
        elements.push_back(std::move(b));
    }
    for (int i = 0; i < 10; ++i) {
        auto o = std::make_unique<UiOption>();
        o->Create(window, {20.0f + i * 82, 150, 80, 26}, "Option");
        o->Checked(i % 3 == 0);
        elements.push_back(std::move(o));
    }
    for (int i = 0; i < 10; ++i) {
        auto l = std::make_unique<UiLabel>();
        l->Create(window, {20.0f + (i % 2) * 420, 200.0f + (i / 2) * 30, 400, 24}, "Label text 0123456789");
        elements.push_back(std::move(l));
    }
    const UiRect all{0, 0, 869, 550};

    double whole = MedianMs(7, 20, [&] { host.Recompose(all, true); });
    double composeOnly = MedianMs(7, 20, [&] { host.Recompose(all, false); });
    double presentOnly = MedianMs(7, 20, [&] { host.Present(); });

    auto* button = static_cast<UiButton*>(elements[0].get());
    // Start a hover fade and hold it at step 2 of 4 (no messages are pumped,
    // so the timer does not advance it while we measure).
    button->SendEvent(UIM_MOUSEENTER, 0, 0);
    SendMessageW(window, WM_TIMER, button->Handle() + 1, 0);
    SendMessageW(window, WM_TIMER, button->Handle() + 1, 0);
    UiRect r = button->Rect();
    double fadeStep = MedianMs(7, 200, [&] { host.Recompose(r, true); });
    double fadeCompose = MedianMs(7, 200, [&] { host.Recompose(r, false); });
    double repaint = MedianMs(7, 200, [&] { button->SendEvent(WM_PAINT, 0, 0); });

    std::printf("Kelvane, 869x550 layered host, %zu elements (+ caption)\n", elements.size());
    std::printf("  recompose + present whole host : %8.3f ms\n", whole);
    std::printf("    of which composing           : %8.3f ms\n", composeOnly);
    std::printf("    of which presenting          : %8.3f ms\n", presentOnly);
    std::printf("  one hover cross-fade step      : %8.3f ms\n", fadeStep);
    std::printf("    of which composing           : %8.3f ms\n", fadeCompose);
    std::printf("  repaint one button state       : %8.3f ms\n", repaint);
    DestroyWindow(window);
    return 0;
}
