// The full HTTP request: URL helpers, the cookie merge and HttpClient::Request.
//
// Request opens a session, connects, sends one request whose header block it
// completes with default lines, reads the whole body, reads the raw response
// header block, closes every handle, and then picks the redirect location and
// the cookies out of the response headers. All texts are GBK byte strings.
//
// Guarantees: every call ends within NetConfig::overallDeadlineMs (plus one
// receive time-out); nothing survives a call; concurrent calls on different
// HttpClient objects do not interfere. Covered by tests/net/http_client_test.cpp
// (against the loopback server) and tests/net/url_cookie_test.cpp.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "net/net_config.h"
#include "net/net_status.h"
#include "text/text_types.h"

namespace sorvix {

class Transport;

// The host part of `url`, lower-cased. `domainOnly` keeps the last two labels
// of the host; `keepPort` keeps a ":port" suffix.
Text UrlHost(const Text& url, bool domainOnly = false, bool keepPort = false);
// The port written in `url`, else 443 for an https address, else 80.
int UrlPort(const Text& url);
// The object path with its query (and fragment), "/" when there is none.
Text UrlPath(const Text& url);

class CookieJar {
public:
    // Merges the cookies an answer sets (`newCookies`) into `oldCookies`.
    // Both arguments lose their spaces; `oldCookies` receives the merged text,
    // which is also returned. Items are "name=value", joined by "; ".
    static Text Merge(Text& oldCookies, Text& newCookies);
};

class HttpClient {
public:
    // Uses DefaultNetConfig() and the platform transport.
    HttpClient();
    explicit HttpClient(const NetConfig& config,
                        std::shared_ptr<Transport> transport = nullptr);
    ~HttpClient();

    // One blocking request. Arguments in this order:
    //   url              address, with or without "http://" / "https://"
    //   method           1 sends "POST", anything else "GET"; non-zero sends a body
    //   bodyText         form body used when *bodyBytes is empty
    //   cookies          in/out, optional: nullptr = not supplied (platform
    //                    cookies on). When supplied (even empty) the platform's
    //                    cookies are off and the merged text is written back.
    //   returnedCookies  out: the cookies this answer sets
    //   headers          in/out: extra lines joined by "\r\n"; default lines are
    //                    appended to this very text
    //   location         in/out: the redirect target, or the raw response
    //                    headers when none was named and it came in empty
    //   noRedirect       true stops redirects from being followed
    //   bodyBytes        in/out: raw body; filled from bodyText when empty
    //   proxy            optional "host:port" of an HTTP proxy
    //   responseHeaders  out: the raw response header block ("\r\n" lines)
    // Pointer arguments may be nullptr: the call then works on an empty local.
    // Returns the whole body, or empty bytes on failure (see lastStatus()).
    Bytes Request(const Text& url,
                  int method = 0,
                  const Text& bodyText = Text(),
                  Text* cookies = nullptr,
                  Text* returnedCookies = nullptr,
                  Text* headers = nullptr,
                  Text* location = nullptr,
                  bool noRedirect = false,
                  Bytes* bodyBytes = nullptr,
                  const std::optional<Text>& proxy = std::nullopt,
                  Text* responseHeaders = nullptr);

    // How the last Request on this object ended.
    NetStatus lastStatus() const { return lastStatus_; }
    // The HTTP status of the last Request's final answer; 0 when no answer
    // head came back.
    int lastHttpStatus() const { return lastHttpStatus_; }

private:
    NetConfig config_;
    std::shared_ptr<Transport> transport_;
    NetStatus lastStatus_ = NetStatus::Ok;
    int lastHttpStatus_ = 0;
};

}  // namespace sorvix
