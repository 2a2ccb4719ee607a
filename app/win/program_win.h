// The program: its objects, start-up in its fixed order and the message
// loop. WinMain makes one Program and runs it; the window tests make one in
// their own process with a configuration of their own.
//
// Start (Start()): the library (UiStart, which also builds the edit boxes'
// shared context menu), the top-level window "Sorvix神器V1.0 ..." of 869 x 550
// at 50, 50, then OnStartupWindowCreated on it:
//   1 default font "宋体" 13 (the old one stays if that fails)
//   2-3 the main host attached with style flags 87
//   4 background picture "bj.jpg" beside the executable over 0x606060
//   5 the title label's colouring
//   6 the update notice (may end the program: Start() answers false)
//   7 the colour settings from "参数.txt"
//   8 BuildMainWindow
//   12 the paging controls hidden (before the show, so no frame has them)
//   9 Show with effect 7 and the close effect 7
//   10 the click and right-press handlers
//   11 a short worker thread seeds the program's random numbers from the
//      tick count and ends (joined at the latest by Shutdown)
// Covered by tests/app_win/main_window_test.cpp and tests/e2e.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "app/core/appearance.h"
#include "app/core/config.h"
#include "app/core/row_actions.h"
#include "app/core/search_flow.h"
#include "app/win/appearance_window_win.h"
#include "app/win/main_window_win.h"
#include "app/win/platform_win.h"
#include "app/win/update_notice_win.h"
#include "app/win/window_view_win.h"
#include "sites/site_net.h"
#include "ui/host.h"

namespace sorvix::app {

// The program's random numbers, seeded once by the start-up's seed thread.
// Any thread may use it.
class RandomSource {
public:
    void Seed(uint32_t seed);
    uint32_t Next();
    // The seed and the thread that gave it; nothing before the first Seed.
    std::optional<uint32_t> SeedValue() const;
    DWORD SeedThread() const;

private:
    mutable std::mutex mutex_;
    std::minstd_rand engine_;
    std::optional<uint32_t> seed_;
    DWORD seedThread_ = 0;
};
RandomSource& ProgramRandom();

// "Sorvix神器V1.0" and the credit line.
extern const std::string_view kMainTitle;

struct ProgramSetup {
    std::filesystem::path programDir;   // where bj.jpg and 参数.txt live
    Config config;
    UpdateHooks updateHooks;
    bool show = true;                   // false: built but never shown (tests)
};

class Program {
public:
    explicit Program(ProgramSetup setup);
    ~Program();

    // Start-up as above; false when the update notice ended the program.
    bool Start();
    // The message loop until the main window is gone; the exit code.
    int Run();
    // Stops searches and row jobs, releases waiting workers, destroys the
    // window. True when every worker has ended within `waitMs`.
    bool Shutdown(int waitMs = 1000);

    HWND Window() const { return window_; }
    ui::UiHost& Host() { return host_; }
    MainWindow& Main() { return main_; }
    WindowAppView& View() { return *view_; }
    SearchFlow& Flow() { return *flow_; }
    RowActions& Rows() { return *rows_; }
    Win32RowPlatform& Platform() { return *platform_; }
    AppearanceWindow& Appearance() { return *appearance_; }
    const ColourSettings& Colours() const { return colours_; }
    // Milliseconds from the process start to the first presentation.
    double StartupMs() const { return startupMs_; }
    // Milliseconds from the process start to the moment the window is built
    // and its first frame is about to be presented.
    double ReadyMs() const { return readyMs_; }
    // Milliseconds from the process start to the first frame of the show
    // (the window appearing); 0 when the window was not shown.
    double FirstFrameMs() const { return firstFrameMs_; }
    // Where the start-up went: each step's name with the milliseconds since
    // the process start at which it ended, in order (the start-up report
    // and the benchmark print them).
    struct StartupMark {
        const char* step;
        double ms;
    };
    const std::vector<StartupMark>& StartupMarks() const { return marks_; }

private:
    void OnStartupWindowCreated();
    void Mark(const char* step);

    ProgramSetup setup_;
    HWND window_ = nullptr;
    ui::UiHost host_;
    MainWindow main_;
    ColourSettings colours_;
    std::unique_ptr<SiteNet> net_;
    std::unique_ptr<WindowAppView> view_;
    std::unique_ptr<SearchFlow> flow_;
    std::unique_ptr<Win32RowPlatform> platform_;
    std::unique_ptr<RowActions> rows_;
    std::unique_ptr<AppearanceWindow> appearance_;
    std::thread seeder_;
    bool ended_ = false;
    double startupMs_ = 0;
    double readyMs_ = 0;
    double firstFrameMs_ = 0;
    std::vector<StartupMark> marks_;
};

// The directory of the running executable, without a trailing separator.
std::filesystem::path ExecutableDir();

// Milliseconds since this process was created.
double MillisecondsSinceProcessStart();

}  // namespace sorvix::app
