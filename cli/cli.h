// sorvix-cli without its process: argument parsing, configuration, running a
// source's routine against a console view and printing the result, and the
// share-index "open link" resolution. main() (sorvix_cli_main.cpp) only
// gathers the UTF-8 arguments and the configuration path and ties Ctrl-C to
// the run's cancel token; tests call RunCli directly with their own streams.
//
//   sorvix-cli search --source N|LABEL [--page TEXT] [--format table|tsv|json]
//                     [--verbose] KEYWORD
//   sorvix-cli search --source all|N,LABEL,... [--page TEXT] [--format ...] KEYWORD
//   sorvix-cli resolve URL
//
// Fan-out (--source all, or a list with a comma): the sources run at once
// (app/core/fan_out.h), each to its end. table/tsv: the merged rows on stdout,
// renumbered, with a last column 来源 naming the source (and, in brackets,
// the others that had the same link); after them one line per source on
// stderr: "[LABEL] N rows, T ms, OUTCOME" (OUTCOME ok, no results,
// failed: WHY or cancelled; ", cut short at 1000 pages" when the walk hit
// the page cap). json: {"keyword", "sources": [{"source", "label", "rows",
// "ms", "outcome", "requests", "failedRequests", "cutShort", "messages"}],
// "rows": [{"source", "label", "alsoFrom": [N...], "cells": [8 texts]}]}.
// Boxes of the routines are not printed (json keeps them per source).
// A single source whose walk hit the page cap says so on stderr.
//
// Output: rows on stdout; status texts on stderr. table: the aligned table,
// message boxes as lines after it; stderr gets the operation label as it
// changes and the data label once at the end. tsv: a header line and one
// line per row, fields split by tabs, with tab, line feed, carriage return
// and backslash in a field written as \t \n \r \\; message boxes go to
// stderr. json: one object on stdout, nothing on stderr; its "requests" list
// holds one {"url", "failure"} object per request, failure null or why the
// answer was no use ("timed out", "connection refused", "HTTP 404", "body too
// large", ...). In table and tsv form a failed request gets a line
// "sorvix-cli: request failed: URL: WHY" on stderr as it happens. --verbose
// adds every change of both labels (the data label changes with every row) on
// stderr, in every format.
//
// Exit status: 0 when the routine ran to its end (also with no results) or
// the address was resolved; 1 when resolve found no (acceptable) address;
// 2 for bad arguments or an unreadable configuration, with one line on the
// error stream; 130 when the search was cancelled (Ctrl-C): the routine
// stops at its next checkpoint, nothing more goes to stdout, and stderr
// gets "sorvix-cli: cancelled". A second Ctrl-C ends the process at once.
// Covered by tests/sim/cli_test.cpp and tests/sim/cli_process_test.cpp.
#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/core/config.h"
#include "sites/cancel_token.h"
#include "sites/site_net.h"

namespace sorvix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;
inline constexpr int kExitUsage = 2;
// As a shell reports a process ended by SIGINT, so scripts see one status.
inline constexpr int kExitCancelled = 130;

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
    // Cancels the running search (main ties it to Ctrl-C).
    CancelToken cancel{};
};

// args: the arguments after the program name, UTF-8.
int RunCli(const std::vector<std::string>& args, const CliContext& context);

// The source option (1..20) named by a number or by its label (UTF-8, ASCII
// letters compared without case); 0 when nothing matches.
int ParseSource(const std::string& text);

}  // namespace sorvix::cli
