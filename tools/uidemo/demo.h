// What the demo's scenes share. The plain demo (no --scene) shows the first
// set of element kinds; each scene_<name>.cpp shows one control in use on a
// fresh host window of the main window's size and registers itself with
// UIDEMO_SCENE, so adding a scene needs no other edit:
//
//   uidemo.exe --scene NAME                     opens the scene until closed
//   uidemo.exe --scene NAME --screenshot F.bmp  sets it up, writes F, exits
//
// CMake adds a test uidemo_<name> per scene file that keeps its picture as
// build/windows/artifacts/uidemo-<name>.bmp.
#pragma once

#include "ui/host.h"

#include <vector>

namespace uidemo {

using sorvix::ui::Text;

struct SceneArgs {
    HWND window;                 // the scene's host window, attached and shown
    sorvix::ui::UiHost& host;
    const char* screenshot;      // null: interactive run
};

// Returns the process exit code: 0 when the scene (and its picture) is right.
using SceneFn = int (*)(SceneArgs&);

struct SceneEntry {
    const char* name;
    SceneFn run;
};
std::vector<SceneEntry>& Scenes();

struct SceneRegistrar {
    SceneRegistrar(const char* name, SceneFn run) { Scenes().push_back({name, run}); }
};
#define UIDEMO_SCENE(name, fn) static ::uidemo::SceneRegistrar uidemoScene_##fn(name, fn)

// Texts are written in UTF-8 in the demo and turned into GBK here.
Text U8(const char* utf8);

// Runs this thread's messages for at least ms milliseconds.
void PumpFor(DWORD ms);

// The host's own composed buffer over a grey desk, as a 24-bit BMP.
bool WriteHostShot(const sorvix::ui::UiHost& host, const char* path);

// What the screen shows inside `area` (screen coordinates), as a 24-bit BMP:
// for scenes with popups (menus, message boxes) above the host window.
bool WriteScreenShot(const RECT& area, const char* path);

// Counts the host pixels in [x0, x1) x [y0, y1) for which test is true.
int CountPixels(const sorvix::ui::UiHost& host, int x0, int y0, int x1, int y1, bool (*test)(uint32_t));

}  // namespace uidemo
