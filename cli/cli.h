// sorvix-cli without its process: argument parsing, configuration, running a
// source's routine against a console view and printing the result, and the
// share-index "open link" resolution. main() (sorvix_cli_main.cpp) only
// gathers the UTF-8 arguments and the configuration path; tests call RunCli
// directly with their own streams.
//
//   sorvix-cli search --source N|LABEL [--page TEXT] [--format table|json] KEYWORD
//   sorvix-cli resolve URL
//
// Exit status: 0 when the routine ran to its end (also with no results) or
// the address was resolved; 1 when resolve found no (acceptable) address;
// 2 for bad arguments or an unreadable configuration, with one line on the
// error stream. Covered by tests/sim/cli_test.cpp.
#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/core/config.h"
#include "sites/site_net.h"

namespace sorvix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;
inline constexpr int kExitUsage = 2;

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    // The configuration file to read.
    std::filesystem::path configPath;
    // When set, the file must exist (it was named explicitly, as with
    // SORVIX_CONFIG); otherwise a missing file means the defaults.
    bool configRequired = false;
    // Makes the network access from the configuration; tests may wrap it.
    std::function<std::unique_ptr<SiteNet>(const Config&)> makeNet;
};

// args: the arguments after the program name, UTF-8.
int RunCli(const std::vector<std::string>& args, const CliContext& context);

// The source option (1..20) named by a number or by its label (UTF-8, ASCII
// letters compared without case); 0 when nothing matches.
int ParseSource(const std::string& text);

}  // namespace sorvix::cli
