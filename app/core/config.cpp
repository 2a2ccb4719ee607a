// Reading sorvix.ini. See config.h for the format and the guarantees.
// Covered by tests/app/config_test.cpp.
#include "app/core/config.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "sites/site_search.h"

namespace sorvix {

// Made with tools/searchbase-encode from "http://127.0.0.1:8933/cse?q=".
const std::string_view kDefaultSearchBaseEncoded =
    "57O73O76O74O83O75O112O68O102O77O68O78O110O73O118O74O81O75O120O76O68O77O65O86O81O"
    "73O119O74O115O67O115O76O75O77O110O78O68O73O115O74O82O75O90O76O106O77O110O70O82O7"
    "3O88O74O82O75O120O76O75O77O116O70O81O73O122O74O48O75O90O76O122O69O66O86O83O73O83"
    "O74O66O75O65O76";

namespace {

std::string_view TrimAscii(std::string_view s) {
    const char* blanks = " \t\r\n";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

// A comment starts at ";" or "#" when it opens the line or follows a blank,
// so that "#" and ";" inside an address stay part of it.
std::string_view StripComment(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if ((line[i] == ';' || line[i] == '#') && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return line.substr(0, i);
    }
    return line;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

Text SiteAddress(std::string_view value) {
    Text address = Utf8ToGbk(value);
    while (!address.empty() && address.back() == '/') address.pop_back();
    return address;
}

// A positive decimal number of milliseconds, at most a day; 0 when invalid.
int Milliseconds(std::string_view value) {
    if (value.empty() || value.size() > 9) return 0;
    int result = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return 0;
        result = result * 10 + (c - '0');
    }
    return result <= 24 * 3600 * 1000 ? result : 0;
}

}  // namespace

ConfigLoad ParseConfig(std::string_view contents, std::string_view fileName) {
    ConfigLoad load;
    load.fileRead = true;
    if (contents.substr(0, 3) == "\xEF\xBB\xBF") contents.remove_prefix(3);

    std::string section;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos <= contents.size()) {
        size_t end = contents.find('\n', pos);
        if (end == std::string_view::npos) end = contents.size();
        std::string_view raw = contents.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        auto problem = [&](const std::string& what) {
            load.problems.push_back(std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + what);
        };

        std::string_view line = TrimAscii(StripComment(raw));
        if (line.empty()) {
            if (end == contents.size()) break;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                problem("malformed section header");
            } else {
                section = Lower(TrimAscii(line.substr(1, line.size() - 2)));
            }
        } else {
            const size_t eq = line.find('=');
            const std::string key = eq == std::string_view::npos ? "" : Lower(TrimAscii(line.substr(0, eq)));
            if (key.empty()) {
                problem("expected key = value");
            } else {
                const std::string_view value = TrimAscii(line.substr(eq + 1));
                Config& c = load.config;
                if (section == "sites") {
                    if (key == "magnet") c.magnet = SiteAddress(value);
                    else if (key == "shareindex") c.shareIndex = SiteAddress(value);
                    else if (key == "searchbase") c.searchBaseEncoded = SearchBaseEncode(Utf8ToGbk(value));
                    else if (key == "blog") c.blog = SiteAddress(value);
                } else if (section == "network" && (key == "pages_in_flight" || key == "sources_in_flight")) {
                    const bool pages = key == "pages_in_flight";
                    const int limit = pages ? kMaxPagesInFlight : kMaxSourcesInFlight;
                    const int number = Milliseconds(value);
                    if (number >= 1 && number <= limit) (pages ? c.pagesInFlight : c.sourcesInFlight) = number;
                    else problem("'" + key + "' needs a number from 1 to " + std::to_string(limit));
                } else if (section == "network") {
                    int* target = key == "connect_timeout_ms"      ? &c.network.connectTimeoutMs
                                  : key == "send_timeout_ms"       ? &c.network.sendTimeoutMs
                                  : key == "receive_timeout_ms"    ? &c.network.receiveTimeoutMs
                                  : key == "overall_deadline_ms"   ? &c.network.overallDeadlineMs
                                  : key == "low_speed_window_ms"   ? &c.network.lowSpeedWindowMs
                                  : key == "low_speed_bytes_per_s" ? &c.network.lowSpeedBytesPerSec
                                                                   : nullptr;
                    // The low-speed rule may be switched off with 0.
                    const bool zeroAllowed = key.rfind("low_speed_", 0) == 0;
                    if (target) {
                        const int number = Milliseconds(value);
                        if (number > 0 || (zeroAllowed && value == "0")) *target = number;
                        else if (zeroAllowed) problem("'" + key + "' needs a number (0: no low-speed rule)");
                        else problem("'" + key + "' needs a positive number of milliseconds");
                    }
                }
            }
        }
        if (end == contents.size()) break;
    }
    return load;
}

ConfigLoad LoadConfig(const std::filesystem::path& path) {
    // Every failure is reported in the result: callers show it, they do not
    // catch it. Stream reads go through istream::read, which turns a failing
    // read (a directory opened for reading on POSIX fails only at the first
    // read) into badbit instead of letting the buffer's exception out.
    ConfigLoad failed;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        failed.missing = true;
        return failed;
    }
    if (ec) {
        failed.error = "cannot be inspected (" + ec.message() + ")";
        return failed;
    }
    if (status.type() == std::filesystem::file_type::directory) {
        failed.error = "is a directory";
        return failed;
    }
    // A pipe or a device could block the start-up for ever or never end.
    if (status.type() != std::filesystem::file_type::regular) {
        failed.error = "is not a regular file";
        return failed;
    }
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            failed.error = "cannot be opened for reading";
            return failed;
        }
        std::string contents;
        char block[8192];
        for (;;) {
            file.read(block, sizeof block);
            contents.append(block, static_cast<size_t>(file.gcount()));
            if (!file) break;
        }
        if (file.bad()) {
            failed.error = "could not be read to its end";
            return failed;
        }
        const std::u8string name = path.filename().u8string();
        return ParseConfig(contents, std::string(name.begin(), name.end()));
    } catch (const std::exception&) {
        failed.error = "could not be read to its end";
        return failed;
    }
}

std::filesystem::path ConfigPath(const std::filesystem::path& exeDir) {
#ifdef _WIN32
    if (const wchar_t* value = _wgetenv(L"SORVIX_CONFIG"); value && *value) return std::filesystem::path(value);
#else
    if (const char* value = std::getenv("SORVIX_CONFIG"); value && *value) return std::filesystem::path(value);
#endif
    return exeDir / "sorvix.ini";
}

}  // namespace sorvix
