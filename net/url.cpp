// URL helpers: UrlHost, UrlPort, UrlPath and the wire form of an object path.
// They split addresses the way the request routine connects: host lower-cased,
// port from the host's last ":" or the scheme's default, path from the first
// "/" after the host with query and fragment. Covered by url_cookie_test.cpp.
#include <cstdio>

#include "net/gbk_text.h"
#include "net/http_client.h"
#include "net/transport.h"
#include "text/text.h"

namespace sorvix {

using namespace net_detail;

namespace {

bool StartsWithHttps(const Text& url) { return ToLower(url.substr(0, 5)) == "https"; }

}  // namespace

Text UrlHost(const Text& url, bool domainOnly, bool keepPort) {
    Text u = ToLower(url);
    if (u.empty() || u.back() != '/') u += '/';
    Text host;
    if (u.compare(0, 8, "https://") == 0) {
        host = TextBetween(u, "https://", "/");
    } else {
        if (!Contains(u, "http://")) u = "http://" + u;
        host = TextBetween(u, "http://", "/");
    }
    if (domainOnly) {
        std::vector<std::string> labels = Split(host, ".");
        if (labels.size() >= 2) host = labels[labels.size() - 2] + "." + labels.back();
    }
    if (!keepPort) {
        std::size_t colon = IndexOf(host, ":");
        if (colon != std::string::npos) host.resize(colon);
    }
    return host;
}

int UrlPort(const Text& url) {
    Text host = UrlHost(url, false, true);
    std::size_t colon = LastIndexOf(host, ":");
    if (colon == std::string::npos) return StartsWithHttps(url) ? 443 : 80;
    // A port that is missing, not a number or out of range reads as 0; the
    // request routine then uses the scheme's default, as the platform does.
    long long port = ParseDecimal(std::string_view(host).substr(colon + 1), 65535);
    return port < 0 ? 0 : static_cast<int>(port);
}

Text UrlPath(const Text& url) {
    Text host = UrlHost(url);
    // The host is searched after the scheme: a short host such as "t" or "p"
    // would otherwise be found inside "http" itself and the path would start
    // at the slashes of "://".
    std::size_t from = 0;
    Text lowered = ToLower(url.substr(0, 8));
    if (lowered.compare(0, 8, "https://") == 0) {
        from = 8;
    } else if (lowered.compare(0, 7, "http://") == 0) {
        from = 7;
    }
    std::size_t at = IndexOf(url, host, from, true);
    if (at == std::string::npos) at = from;
    std::size_t slash = IndexOf(url, "/", at + host.size(), true);
    if (slash == std::string::npos) return "/";
    return url.substr(slash);
}

std::string MakeWirePath(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7F) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace sorvix
