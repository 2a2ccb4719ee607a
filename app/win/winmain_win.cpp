// sorvix.exe: the program a user starts.
#include <windows.h>

#include <cstdio>

#include "app/win/program_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace sorvix;
    app::ProgramSetup setup;
    setup.programDir = app::ExecutableDir();
    setup.config = LoadConfig(ConfigPath(setup.programDir)).config;
    // One program object for the whole run; its members are the application
    // objects, made empty here and attached when their window is built.
    auto* program = new app::Program(std::move(setup));
    if (!program->Start()) {
        ExitProcess(0);
    }
    const int code = program->Run();
    // A search or a detail page fetch may still wait on the network (its
    // time-outs bound it): end without waiting for it.
    if (!program->Shutdown(500)) ExitProcess(static_cast<UINT>(code));
    delete program;
    return code;
}
