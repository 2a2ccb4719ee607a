// POSIX half of cli_platform.h: arguments are already UTF-8 bytes; SIGINT
// cancels the search once, then has its usual effect.
#include "cli/cli_platform.h"

#include <signal.h>

#include <cstdlib>
#include <system_error>

namespace sorvix::cli {

namespace {

// The token the handler cancels. Cancel() is one lock-free atomic store, so
// it is safe in a signal handler; the token is set before the handler is.
CancelToken* interruptToken = nullptr;

void OnInterrupt(int) { interruptToken->Cancel(); }

}  // namespace

std::vector<std::string> ArgumentsUtf8(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::filesystem::path ExecutableDir() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

void PrepareConsole() {}

std::string ConfigVariable() {
    const char* v = std::getenv("SORVIX_CONFIG");
    return v ? v : "";
}

void CancelOnInterrupt(const CancelToken& token) {
    static CancelToken kept;
    kept = token;
    interruptToken = &kept;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the second SIGINT finds the default action again.
    // SA_RESTART: reads and writes under way are not cut short by it.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace sorvix::cli
