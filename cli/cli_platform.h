// The few things sorvix-cli needs from the platform: its arguments as UTF-8
// (the Windows build reads the wide command line, never the ANSI one), the
// executable's directory (where sorvix.ini lives), a console that shows
// UTF-8 output, and Ctrl-C tied to a cancel token.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "sites/cancel_token.h"

namespace sorvix::cli {

// The arguments after the program name, UTF-8.
std::vector<std::string> ArgumentsUtf8(int argc, char** argv);
std::filesystem::path ExecutableDir();
void PrepareConsole();
// SORVIX_CONFIG as UTF-8; empty when unset.
std::string ConfigVariable();
// From now on the first Ctrl-C (SIGINT; on Windows the console's Ctrl-C or
// Ctrl-Break) cancels `token` instead of ending the process; the next one
// ends it as usual. Call once, before the search starts.
void CancelOnInterrupt(const CancelToken& token);

}  // namespace sorvix::cli
