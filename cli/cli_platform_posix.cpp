// POSIX half of cli_platform.h: arguments are already UTF-8 bytes.
#include "cli/cli_platform.h"

#include <cstdlib>
#include <system_error>

namespace sorvix::cli {

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

}  // namespace sorvix::cli
