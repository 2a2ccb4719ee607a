// The few things sorvix-cli needs from the platform: its arguments as UTF-8
// (the Windows build reads the wide command line, never the ANSI one), the
// executable's directory (where sorvix.ini lives) and a console that shows
// UTF-8 output.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace sorvix::cli {

// The arguments after the program name, UTF-8.
std::vector<std::string> ArgumentsUtf8(int argc, char** argv);
std::filesystem::path ExecutableDir();
void PrepareConsole();
// SORVIX_CONFIG as UTF-8; empty when unset.
std::string ConfigVariable();

}  // namespace sorvix::cli
