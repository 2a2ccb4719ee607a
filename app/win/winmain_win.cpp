// sorvix.exe: the program a user starts.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app/win/program_win.h"

namespace {

// "--startup-report FILE": start as usual, write how long the start took to
// FILE once the window is shown, and end (the package test and the start-up
// benchmark use it).
std::wstring StartupReportPath() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring path;
    for (int i = 1; argv && i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == L"--startup-report") path = argv[i + 1];
    if (argv) LocalFree(argv);
    return path;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace sorvix;
    const std::wstring report = StartupReportPath();
    app::ProgramSetup setup;
    setup.programDir = app::ExecutableDir();
    setup.config = LoadConfig(ConfigPath(setup.programDir)).config;
    // One program object for the whole run; its members are the application
    // objects, made empty here and attached when their window is built.
    auto* program = new app::Program(std::move(setup));
    if (!program->Start()) {
        ExitProcess(0);
    }
    if (!report.empty()) {
        if (FILE* f = _wfopen(report.c_str(), L"wb")) {
            std::fprintf(f, "ready_ms=%.1f\nfirst_frame_ms=%.1f\nshown_ms=%.1f\n", program->ReadyMs(),
                         program->FirstFrameMs(), program->StartupMs());
            for (const app::Program::StartupMark& mark : program->StartupMarks())
                std::fprintf(f, "mark %s=%.1f\n", mark.step, mark.ms);
            std::fclose(f);
        }
        PostMessageW(program->Window(), WM_CLOSE, 0, 0);
    }
    const int code = program->Run();
    // A search or a detail page fetch may still wait on the network (its
    // time-outs bound it): end without waiting for it.
    if (!program->Shutdown(500)) ExitProcess(static_cast<UINT>(code));
    delete program;
    return code;
}
