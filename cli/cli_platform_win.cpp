// Windows half of cli_platform.h: the wide command line and environment,
// converted to UTF-8, a console switched to UTF-8 output, and a console
// control handler for Ctrl-C.
#include "cli/cli_platform.h"

#include <windows.h>
#include <shellapi.h>

namespace sorvix::cli {

namespace {

std::string ToUtf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

// The token the control handler cancels. The handler runs on a thread of its
// own; the token is set before the handler is installed.
CancelToken* interruptToken = nullptr;

BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second press: let the default handler end the process.
    if (interruptToken->Cancelled()) return FALSE;
    interruptToken->Cancel();
    return TRUE;
}

}  // namespace

std::vector<std::string> ArgumentsUtf8(int, char**) {
    std::vector<std::string> out;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return out;
    for (int i = 1; i < count; ++i) out.push_back(ToUtf8(wide[i]));
    LocalFree(wide);
    return out;
}

std::filesystem::path ExecutableDir() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::filesystem::current_path();
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);
    }
    return std::filesystem::path(buf).parent_path();
}

void PrepareConsole() {
    // Bytes written to a console are read in its output code page; ours are
    // UTF-8. Redirected output is passed through unchanged either way.
    SetConsoleOutputCP(CP_UTF8);
}

std::string ConfigVariable() {
    DWORD n = GetEnvironmentVariableW(L"SORVIX_CONFIG", nullptr, 0);
    if (n == 0) return {};
    std::wstring buf(n, L'\0');
    DWORD got = GetEnvironmentVariableW(L"SORVIX_CONFIG", buf.data(), n);
    buf.resize(got);
    return ToUtf8(buf.c_str());
}

void CancelOnInterrupt(const CancelToken& token) {
    static CancelToken kept;
    kept = token;
    interruptToken = &kept;
    SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace sorvix::cli
