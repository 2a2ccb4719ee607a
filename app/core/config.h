// Configuration: the site addresses, the stored search base and the network
// time-outs, read from sorvix.ini beside the executable (the file named by the
// environment variable SORVIX_CONFIG instead, when set), with compiled-in
// defaults that point at loopback.
//
// File format: UTF-8, optional BOM; "[section]" lines, "key = value" lines,
// blank lines, and comments from ";" or "#" (at the start of a line, or after
// a blank inside a value). Unknown sections and keys are ignored. Every line
// that is none of these is reported once, with its number, and otherwise
// ignored; so is a time-out that is not a positive number. A missing file gives
// the defaults and no problem. A path that names something other than a
// readable file (a directory, a file without read permission, a read that
// breaks off) gives the defaults, fileRead false and the reason in `error`;
// LoadConfig never throws for it. Covered by tests/app/config_test.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_config.h"
#include "text/text.h"

namespace sorvix {

// Compiled-in defaults. The search base is kept only in the encoded form
// that SearchBaseDecode reads (made with tools/searchbase-encode); it decodes
// to "http://127.0.0.1:8933/cse?q=".
inline constexpr std::string_view kDefaultMagnetAddress = "http://127.0.0.1:8931";
inline constexpr std::string_view kDefaultShareIndexAddress = "http://127.0.0.1:8932";
extern const std::string_view kDefaultSearchBaseEncoded;
inline constexpr std::string_view kDefaultBlogAddress = "http://127.0.0.1:8934";

struct Config {
    Text magnet{kDefaultMagnetAddress};          // no trailing slash
    Text shareIndex{kDefaultShareIndexAddress};  // no trailing slash; prefixes its links
    Text searchBaseEncoded{kDefaultSearchBaseEncoded};  // decode with SearchBaseDecode
    Text blog{kDefaultBlogAddress};              // empty: no update check
    NetConfig network;                           // time-outs and limits of every request
    // Result pages one magnet or share-index walk may have requested at once
    // (1: strictly one after the other, as the walks always did).
    int pagesInFlight = 1;
    // Sources a fan-out search runs at once.
    int sourcesInFlight = 6;
};

// Bounds of the two counts above; a value outside is reported and ignored.
inline constexpr int kMaxPagesInFlight = 16;
inline constexpr int kMaxSourcesInFlight = 20;

struct ConfigLoad {
    Config config;
    bool fileRead = false;               // false: the file was missing or unreadable
    bool missing = false;                // nothing at all at the path (not an error)
    std::string error;                   // UTF-8, why an existing path was not read; empty otherwise
    std::vector<std::string> problems;   // UTF-8, one per bad line: "sorvix.ini:7: ..."
};

// Keys: [sites] magnet, shareindex, searchbase (plain address; stored encoded),
// blog; [network] connect_timeout_ms, send_timeout_ms, receive_timeout_ms,
// overall_deadline_ms, low_speed_bytes_per_s and low_speed_window_ms (the
// low-speed rule of NetConfig; 0 in either switches it off), pages_in_flight
// (1..16) and sources_in_flight (1..20).
// Site addresses lose trailing slashes. Values are UTF-8 in the file and GBK in
// the Config.
ConfigLoad LoadConfig(const std::filesystem::path& path);

// Parses file contents (for tests and for callers that read the file themselves).
ConfigLoad ParseConfig(std::string_view contents, std::string_view fileName = "sorvix.ini");

// SORVIX_CONFIG when set and not empty, else exeDir / "sorvix.ini".
std::filesystem::path ConfigPath(const std::filesystem::path& exeDir);

}  // namespace sorvix
