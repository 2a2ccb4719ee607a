// Output forms of sorvix-cli: JSON strings, the display width of UTF-8 text
// on a terminal (CJK characters take two columns), the aligned result table
// and tab-separated rows. Input texts here are UTF-8. Covered by tests/sim/cli_test.cpp.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace sorvix::cli {

// A JSON string literal, quotes included. Invalid UTF-8 bytes become U+FFFD,
// so the output is valid JSON whatever the input.
std::string JsonString(std::string_view utf8);

// Terminal columns the text takes: 2 for East Asian wide and full-width
// characters, 0 for combining marks, 1 otherwise.
int DisplayWidth(std::string_view utf8);

// A cell as one terminal line: control characters (the tabs around disk
// search titles) become spaces, runs of them one space, and the ends are
// trimmed.
std::string OneLine(std::string_view utf8);

// Header and rows as columns padded to their widest cell, two spaces apart,
// with a rule under the header. Every row is padded or cut to the header's
// column count.
std::string FormatTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

// One tab-separated field: backslash, tab, line feed and carriage return
// become \\ \t \n \r, so a field never splits a row or a line and the text
// can be restored exactly.
std::string TsvField(std::string_view utf8);

// Header line and one line per row, fields joined by tabs (TsvField each),
// every line ending with "\n".
std::string FormatTsv(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

}  // namespace sorvix::cli
