// Sending a request and following its redirects, shared by HttpClient and
// fetchPage. The platform is never left to follow redirects itself: WinInet
// follows a redirect loop for ever inside one blocking send, beyond any
// deadline. Here each hop is a fresh request, the hops are counted and the
// deadline is checked between them. Covered by http_client_test.cpp.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "net/transport.h"

namespace sorvix::net_detail {

inline constexpr int kMaxRedirects = 10;

// An http or https address split into its parts.
struct HttpTarget {
    bool https = false;
    std::string host;
    int port = 80;
    std::string path;  // object path with query, starting with "/"
    std::string user;
    std::string password;
};

// Splits "http[s]://[user[:password]@]host[:port][/path][?query]". The
// fragment must already be cut. nullopt for anything else.
std::optional<HttpTarget> SplitHttpUrl(const std::string& url);

// Resolves a Location value against the address that answered.
std::optional<HttpTarget> ResolveLocation(const HttpTarget& base, const std::string& location);

// The status code of a raw header block ("HTTP/1.1 302 Found..."), 0 if none.
int StatusCodeOf(const std::string& rawHeaders);
// The value of the first header line called `name` (case-insensitive).
std::optional<std::string> HeaderValue(const std::string& rawHeaders, const std::string& name);

struct Hop {
    std::unique_ptr<TransportConnection> connection;
    std::unique_ptr<TransportRequest> request;
    void Close() {
        request.reset();  // leaf first
        connection.reset();
    }
};

// Sends on `hop` (already opened for `target` with `params`), then, unless
// `params.flags` has kFlagNoAutoRedirect, follows redirect answers with new
// hops. On return `hop` holds the final request. Ok, ConnectFailed (a server
// that could not be reached), SendFailed (nothing came back), TimedOut (the
// deadline passed during a send or between hops) or RedirectLoop.
NetStatus SendFollowing(TransportSession& session, Hop& hop, HttpTarget target,
                        RequestParams params, const std::string& headers, std::string body,
                        const NetConfig& config, Clock::time_point deadline);

}  // namespace sorvix::net_detail
