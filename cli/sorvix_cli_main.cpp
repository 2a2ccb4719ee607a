// sorvix-cli: the site searches without a window. See cli/cli.h.
#include <iostream>

#include "cli/cli.h"
#include "cli/cli_platform.h"

int main(int argc, char** argv) {
    using namespace sorvix::cli;
    PrepareConsole();
    std::ios::sync_with_stdio(true);
    std::string named = ConfigVariable();
    CliContext context{std::cout, std::cerr, {}, false, nullptr, sorvix::CancelToken()};
    if (!named.empty()) {
        context.configPath = std::filesystem::path(std::u8string(named.begin(), named.end()));
        context.configRequired = true;
    } else {
        context.configPath = ExecutableDir() / "sorvix.ini";
    }
    CancelOnInterrupt(context.cancel);
    return RunCli(ArgumentsUtf8(argc, argv), context);
}
