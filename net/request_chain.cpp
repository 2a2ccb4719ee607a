// See request_chain.h.
#include "net/request_chain.h"

#include "net/gbk_text.h"
#include "text/text.h"

namespace sorvix::net_detail {

std::optional<HttpTarget> SplitHttpUrl(const std::string& url) {
    HttpTarget t;
    std::string lowered = ToLower(url.substr(0, 8));
    std::size_t pos;
    if (lowered.compare(0, 7, "http://") == 0) {
        pos = 7;
    } else if (lowered.compare(0, 8, "https://") == 0) {
        t.https = true;
        pos = 8;
    } else {
        return std::nullopt;
    }
    std::size_t end = url.find_first_of("/?", pos);
    std::string authority =
        url.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    t.path = end == std::string::npos ? "/" : url.substr(end);
    if (t.path[0] == '?') t.path.insert(0, "/");

    std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string userInfo = authority.substr(0, at);
        authority.erase(0, at + 1);
        std::size_t colon = userInfo.find(':');
        t.user = userInfo.substr(0, colon);
        if (colon != std::string::npos) t.password = userInfo.substr(colon + 1);
    }
    t.port = t.https ? 443 : 80;
    std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        std::string portText = authority.substr(colon + 1);
        authority.resize(colon);
        if (!portText.empty()) {
            long long port = ParseDecimal(portText, 65535);
            if (port <= 0 || std::to_string(port) != portText) return std::nullopt;
            t.port = static_cast<int>(port);
        }
    }
    if (authority.empty()) return std::nullopt;
    for (unsigned char c : authority) {
        // A host name is printable ASCII; anything else is a malformed address.
        if (c <= 0x20 || c >= 0x7F) return std::nullopt;
    }
    t.host = authority;
    return t;
}

std::optional<HttpTarget> ResolveLocation(const HttpTarget& base, const std::string& location) {
    std::string loc = location.substr(0, location.find('#'));
    std::string lowered = ToLower(loc.substr(0, 8));
    if (lowered.compare(0, 7, "http://") == 0 || lowered.compare(0, 8, "https://") == 0) {
        return SplitHttpUrl(loc);
    }
    // Another scheme ("ftp:", "javascript:") is not followed.
    std::size_t colon = loc.find(':');
    if (colon != std::string::npos && colon < loc.find_first_of("/?")) return std::nullopt;
    std::string origin = std::string(base.https ? "https://" : "http://") + base.host + ":" +
                         std::to_string(base.port);
    if (loc.compare(0, 2, "//") == 0) return SplitHttpUrl((base.https ? "https:" : "http:") + loc);
    if (!loc.empty() && loc[0] == '/') return SplitHttpUrl(origin + loc);
    std::string dir = base.path.substr(0, base.path.find('?'));
    dir.resize(dir.rfind('/') + 1);
    if (!loc.empty() && loc[0] == '?') dir = base.path.substr(0, base.path.find('?'));
    return SplitHttpUrl(origin + dir + loc);
}

int StatusCodeOf(const std::string& rawHeaders) {
    std::size_t sp = rawHeaders.find(' ');
    if (rawHeaders.compare(0, 5, "HTTP/") != 0 || sp == std::string::npos) return 0;
    long long code = ParseDecimal(std::string_view(rawHeaders).substr(sp + 1), 999);
    return code < 0 ? 0 : static_cast<int>(code);
}

std::optional<std::string> HeaderValue(const std::string& rawHeaders, const std::string& name) {
    std::string wanted = ToLower(name) + ":";
    for (const std::string& line : Split(rawHeaders, "\r\n")) {
        if (ToLower(line.substr(0, wanted.size())) == wanted) return Trim(line.substr(wanted.size()));
    }
    return std::nullopt;
}

NetStatus SendFollowing(TransportSession& session, Hop& hop, HttpTarget target,
                        RequestParams params, const std::string& headers, std::string body,
                        const NetConfig& config, Clock::time_point deadline) {
    const bool follow = (params.flags & kFlagNoAutoRedirect) == 0;
    for (int redirects = 0;; ++redirects) {
        const NetStatus sent = hop.request->Send(headers, body);
        if (sent != NetStatus::Ok) {
            // A send cut short by the deadline (an answer head dripped in
            // slower than that) is a time-out, not a dead server.
            return Clock::now() >= deadline ? NetStatus::TimedOut : sent;
        }
        if (!follow) return NetStatus::Ok;
        std::string raw = hop.request->RawHeaders().value_or(std::string());
        int code = StatusCodeOf(raw);
        if (code != 301 && code != 302 && code != 303 && code != 307 && code != 308) {
            return NetStatus::Ok;
        }
        std::optional<std::string> location = HeaderValue(raw, "Location");
        if (!location || location->empty()) return NetStatus::Ok;
        std::optional<HttpTarget> next = ResolveLocation(target, *location);
        // A target we cannot reach (another scheme, a malformed address)
        // leaves the redirect answer itself as the final one.
        if (!next) return NetStatus::Ok;
        if (redirects >= kMaxRedirects) return NetStatus::RedirectLoop;
        if (Clock::now() >= deadline) return NetStatus::TimedOut;

        // As browsers do: 303, and 301/302 after a POST, continue as a GET
        // without body; 307 and 308 repeat the request as it was.
        if (code == 303 || ((code == 301 || code == 302) && params.verb == "POST") ||
            ((code == 301 || code == 302) && !body.empty())) {
            params.verb = "GET";
            body.clear();
        }
        params.path = MakeWirePath(next->path);
        params.flags = (params.flags & ~kFlagSecure) | (next->https ? kFlagSecure : 0);
        target = *next;
        hop.Close();
        ConnectParams connectParams{target.host, target.port, target.user, target.password};
        hop.connection = session.Connect(connectParams, config, deadline);
        if (!hop.connection) return NetStatus::ConnectFailed;
        hop.request = hop.connection->OpenRequest(params);
        if (!hop.request) return NetStatus::SendFailed;
    }
}

}  // namespace sorvix::net_detail
