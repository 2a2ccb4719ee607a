// URL splitting, the cookie merge, the GBK-aware helpers and the request
// routine's decisions as seen by the transport (flags, ports, agent, failure
// paths), all without a network.
#include <gtest/gtest.h>

#include "fake_transport.h"
#include "net/fetch_page_detail.h"
#include "net/gbk_text.h"
#include "net/http_client.h"
#include "net/request_chain.h"
#include "text/text.h"

namespace sorvix {
namespace {

using test::FakeScript;
using test::FakeTransport;

TEST(UrlHelpers, SplitAddressesAsTheRequestConnects) {
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"example.com/a/b?q=1", "example.com", 80, "/a/b?q=1"},
        {"https://example.com:8443/x", "example.com", 8443, "/x"},
        {"https://example.com/x", "example.com", 443, "/x"},
        {"HTTPS://Example.COM/x", "example.com", 443, "/x"},
        {"http://example.com", "example.com", 80, "/"},
        {"http://WWW.Example.Com:81/P?Q=A#f", "www.example.com", 81, "/P?Q=A#f"},
        // A one-letter host must not be found inside "http" itself.
        {"http://t/x", "t", 80, "/x"},
        {"http://p:8080/y", "p", 8080, "/y"},
        // GBK in the path is kept as bytes.
        {"http://h.cn/\xD6\xD0\xCE\xC4", "h.cn", 80, "/\xD6\xD0\xCE\xC4"},
        // No port digits: the platform's default is used (0 here).
        {"http://h.cn:/x", "h.cn", 0, "/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(UrlHost(c.url), c.host);
        EXPECT_EQ(UrlPort(c.url), c.port);
        EXPECT_EQ(UrlPath(c.url), c.path);
    }
}

TEST(UrlHelpers, DomainOnlyAndKeepPort) {
    EXPECT_EQ(UrlHost("http://a.b.example.com/x", true), "example.com");
    EXPECT_EQ(UrlHost("http://example.com/x", true), "example.com");
    EXPECT_EQ(UrlHost("http://localhost/x", true), "localhost");
    EXPECT_EQ(UrlHost("http://a.b.example.com:81/x", true, true), "example.com:81");
    EXPECT_EQ(UrlHost("http://a.example.com:81/x", false, true), "a.example.com:81");
}

TEST(UrlHelpers, WirePathPercentEncodesOnlyUnsafeBytes) {
    EXPECT_EQ(MakeWirePath("/s/\xD6\xD0 x?k=%41&b=c"), "/s/%D6%D0%20x?k=%41&b=c");
    EXPECT_EQ(MakeWirePath("/a\r\nX: y"), "/a%0D%0AX:%20y");
}

TEST(CookieMerge, Cases) {
    struct Case {
        const char* oldText;
        const char* newText;
        const char* merged;
        const char* newAfter;
    } cases[] = {
        {"a=1; b=2", "b=3; d=4", "b=3; d=4; a=1", "b=3;d=4"},
        {"a=1", "a=deleted", "", "a=deleted"},
        {"x=a b", "", "x=ab", ""},
        {"a=1; a=2", "", "a=1", ""},
        {"", "", "", ""},
        {"a=1;;b=2;", "", "a=1; b=2", ""},          // empty pieces are no cookies
        {"a=1", "c=5; c=5", "c=5; a=1", "c=5;c=5"},  // exact repeats removed
        // Full-width spaces go; a trail byte A1 followed by lead A1 does not.
        {"n=\xA1\xA1v", "", "n=v", ""},
        {"n=\xB0\xA1\xA1\xA1", "", "n=\xB0\xA1", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.oldText) + " + " + c.newText);
        Text oldText = c.oldText;
        Text newText = c.newText;
        EXPECT_EQ(CookieJar::Merge(oldText, newText), c.merged);
        EXPECT_EQ(oldText, c.merged);
        EXPECT_EQ(newText, c.newAfter);
    }
}

TEST(GbkHelpers, SearchesNeverStartOnTrailBytes) {
    using namespace net_detail;
    // 0x81 0x40 is one character whose trail byte is "@".
    EXPECT_EQ(IndexOf("\x81\x40@", "@"), 2u);
    EXPECT_EQ(ToLower("\x81\x41Z"), "\x81\x41z");  // trail byte "A" untouched
    EXPECT_EQ(Trim("\xA1\xA1 x \xA1\xA1"), "x");
    EXPECT_EQ(TextBetween("A:B;C", "a:", ";"), "B");
    EXPECT_EQ(TextBetween("A:B", "a:", ";"), "");
}

TEST(Redirects, LocationsResolveAgainstTheAnsweringAddress) {
    using namespace net_detail;
    HttpTarget base = *SplitHttpUrl("http://h:81/dir/page?x=1");
    struct Case {
        const char* location;
        const char* host;
        int port;
        const char* path;
        bool https;
    } cases[] = {
        {"/abs?q", "h", 81, "/abs?q", false},
        {"rel", "h", 81, "/dir/rel", false},
        {"https://o.cn/p#frag", "o.cn", 443, "/p", true},
        {"//o.cn:90", "o.cn", 90, "/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        auto t = ResolveLocation(base, c.location);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->host, c.host);
        EXPECT_EQ(t->port, c.port);
        EXPECT_EQ(t->path, c.path);
        EXPECT_EQ(t->https, c.https);
    }
    EXPECT_FALSE(ResolveLocation(base, "ftp://x/").has_value());
    EXPECT_FALSE(SplitHttpUrl("http://h:99999/").has_value());
    EXPECT_FALSE(SplitHttpUrl("http:///x").has_value());
    auto withUser = SplitHttpUrl("http://u:p%40@h/x");
    ASSERT_TRUE(withUser.has_value());
    EXPECT_EQ(withUser->user, "u");
    EXPECT_EQ(withUser->password, "p%40");
    EXPECT_EQ(withUser->host, "h");
}

// ---- HttpClient decisions, seen through the fake transport ---------------------

TEST(HttpClientRequest, FlagsPortsAndAgentFollowTheAddressAndArguments) {
    const std::string kDefaultAgent =
        "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; TOVRA; .NET CLR 2.0.50727; "
        ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
    struct Case {
        const char* name;
        const char* url;
        bool withCookies;
        bool noRedirect;
        const char* headers;
        int port;
        std::uint32_t flags;
        std::string agent;
    } cases[] = {
        {"plain", "Example.com/a?b", false, false, "", 80, 0x80004010u, kDefaultAgent},
        {"https port", "https://e.com:8443/", false, false, "", 8443, 0x80800010u, kDefaultAgent},
        {"https default", "https://e.com", true, true, "", 443, 0x80A80010u, kDefaultAgent},
        {"agent last line", "e.com", false, false, "User-Agent:  me/1 ", 80, 0x80004010u, "me/1"},
        {"agent lower case", "e.com", false, false, "X: 1\r\nuser-agent: low\r\nY: 2", 80,
         0x80004010u, "low"},
        {"agent after others", "e.com", false, false, "X: 1\r\nUser-Agent: tail", 80,
         0x80004010u, "tail"},
        {"empty agent, more lines follow", "e.com", false, false, "Referer: x\r\nUser-Agent:\r\nX: y", 80,
         0x80004010u, ""},
        {"empty agent last", "e.com", false, false, "X: 1\r\nUser-Agent:  ", 80, 0x80004010u, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fake = std::make_shared<FakeTransport>();
        HttpClient client(NetConfig{}, fake);
        Text cookies;
        Text headers = c.headers;
        client.Request(c.url, 0, "", c.withCookies ? &cookies : nullptr, nullptr, &headers,
                       nullptr, c.noRedirect);
        ASSERT_EQ(fake->log->requests.size(), 1u);
        EXPECT_EQ(fake->log->connects[0].port, c.port);
        EXPECT_EQ(fake->log->requests[0].flags, c.flags);
        EXPECT_EQ(fake->log->requests[0].version, "HTTP/1.1");
        EXPECT_EQ(fake->log->sessions[0].agent, c.agent);
        EXPECT_EQ(fake->log->closed, 3);  // request, connection, session
    }
}

TEST(HttpClientRequest, ProxyIsUsedOnlyWhenSupplied) {
    auto fake = std::make_shared<FakeTransport>();
    HttpClient client(NetConfig{}, fake);
    client.Request("e.com", 0, "", nullptr, nullptr, nullptr, nullptr, false, nullptr,
                   Text("10.0.0.1:3128"));
    client.Request("e.com", 0, "", nullptr, nullptr, nullptr, nullptr, false, nullptr, Text(""));
    client.Request("e.com");
    ASSERT_EQ(fake->log->sessions.size(), 3u);
    EXPECT_EQ(fake->log->sessions[0].proxy, "http=10.0.0.1:3128");
    EXPECT_EQ(fake->log->sessions[1].proxy, "http=");
    EXPECT_EQ(fake->log->sessions[2].proxy, "");
}

TEST(HttpClientRequest, EarlyFailuresTouchNoOutputAndCloseWhatWasOpened) {
    struct Case {
        const char* name;
        FakeScript script;
        NetStatus status;
        int closed;
    } cases[] = {
        {"session", test::Failing(&FakeScript::failSession), NetStatus::SessionFailed, 0},
        {"connect", test::Failing(&FakeScript::failConnect), NetStatus::ConnectFailed, 1},
        {"request", test::Failing(&FakeScript::failRequest), NetStatus::RequestFailed, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fake = std::make_shared<FakeTransport>(c.script);
        HttpClient client(NetConfig{}, fake);
        Text cookies = "a=1", returned = "r", headers = "X: 1", location = "l", response = "h";
        Bytes body;
        Bytes result = client.Request("e.com", 1, "form", &cookies, &returned, &headers,
                                      &location, false, &body, std::nullopt, &response);
        EXPECT_EQ(result, "");
        EXPECT_EQ(client.lastStatus(), c.status);
        EXPECT_EQ(headers, "X: 1");  // not completed
        EXPECT_EQ(cookies, "a=1");
        EXPECT_EQ(returned, "r");
        EXPECT_EQ(location, "l");
        EXPECT_EQ(response, "h");
        EXPECT_EQ(body, "");
        EXPECT_EQ(fake->log->closed, c.closed);
    }
}

TEST(HttpClientRequest, HeaderCompletionAndBody) {
    struct Case {
        const char* name;
        const char* headers;
        const char* cookies;  // nullptr: not supplied
        const char* completed;
    } cases[] = {
        {"none", "", nullptr,
         "Referer: e.com/a\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        {"lower-case referer does not count", "referer: x", "",
         "referer: x\r\nReferer: e.com/a\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        {"caller lines kept, cookie line added anyway",
         "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: t\r\nCookie: old",
         "k=v",
         "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: t\r\nCookie: old\r\n"
         "Cookie: k=v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fake = std::make_shared<FakeTransport>();
        HttpClient client(NetConfig{}, fake);
        Text headers = c.headers;
        Text cookies = c.cookies ? c.cookies : "";
        client.Request("e.com/a", 0, "ignored", c.cookies ? &cookies : nullptr, nullptr, &headers);
        EXPECT_EQ(headers, c.completed);
        EXPECT_EQ(fake->log->sentHeaders.at(0), c.completed);
        EXPECT_EQ(fake->log->sentBodies.at(0), "");  // method 0 sends no body
    }
    // Method 2 sends "GET" with a body; bodyBytes wins over bodyText and is
    // filled from it when empty.
    auto fake = std::make_shared<FakeTransport>();
    HttpClient client(NetConfig{}, fake);
    Bytes raw(std::string("a\0b", 3));
    client.Request("e.com", 2, "text", nullptr, nullptr, nullptr, nullptr, false, &raw);
    Bytes empty;
    client.Request("e.com", 1, "text", nullptr, nullptr, nullptr, nullptr, false, &empty);
    EXPECT_EQ(fake->log->requests[0].verb, "GET");
    EXPECT_EQ(fake->log->sentBodies[0], std::string("a\0b", 3));
    EXPECT_EQ(fake->log->requests[1].verb, "POST");
    EXPECT_EQ(fake->log->sentBodies[1], "text");
    EXPECT_EQ(empty, "text");
}

TEST(HttpClientRequest, FailedSendStillScansAndReturnsEmpty) {
    auto fake = std::make_shared<FakeTransport>(test::Failing(&FakeScript::failSend));
    HttpClient client(NetConfig{}, fake);
    Text cookies = "a=1", returned = "x", location, response = "stale";
    EXPECT_EQ(client.Request("e.com", 0, "", &cookies, &returned, nullptr, &location, false,
                             nullptr, std::nullopt, &response),
              "");
    EXPECT_EQ(client.lastStatus(), NetStatus::SendFailed);
    EXPECT_EQ(response, "");
    EXPECT_EQ(returned, "");
    EXPECT_EQ(cookies, "a=1");
    EXPECT_EQ(location, "");
}

TEST(HttpClientRequest, HeaderScan) {
    struct Case {
        const char* name;
        const char* raw;
        const char* location;  // expected; "=" means the raw block itself
        const char* returned;
    } cases[] = {
        {"two cookies with attributes",
         "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; Path=/x\r\n\r\n", "=",
         "a=1; b=2"},
        {"cookie without semicolon", "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n", "=", ""},
        {"last location wins", "HTTP/1.1 200 OK\r\nLocation: /one\r\nLocation:  /two \r\n\r\n",
         "/two", ""},
        {"lower-case names are not scanned",
         "HTTP/1.1 200 OK\r\nlocation: /x\r\nset-cookie: a=1;\r\n\r\n", "=", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeScript script;
        script.rawHeaders = c.raw;
        auto fake = std::make_shared<FakeTransport>(script);
        HttpClient client(NetConfig{}, fake);
        Text returned, location, response;
        client.Request("e.com", 0, "", nullptr, &returned, nullptr, &location, true, nullptr,
                       std::nullopt, &response);
        EXPECT_EQ(response, c.raw);
        EXPECT_EQ(location, std::string(c.location) == "=" ? std::string(c.raw) : c.location);
        EXPECT_EQ(returned, c.returned);
    }
}

// ---- fetchPage decisions ----------------------------------------------------------

TEST(FetchPageRequest, SplitsAddressesAndSetsFlags) {
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
        const char* user;
        const char* password;
        std::uint32_t flags;
    } cases[] = {
        {"http://h.cn/a?b=1#frag", "h.cn", 80, "/a?b=1", "", "", 0x84000000u},
        {"https://h.cn/s", "h.cn", 443, "/s", "", "", 0x84800000u},
        {"HTTPS://u:pw@h.cn:8443", "h.cn", 8443, "/", "u", "pw", 0x84800000u},
        {"http://h.cn?q=1", "h.cn", 80, "/?q=1", "", "", 0x84000000u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        FakeTransport fake;
        auto session = fake.OpenSession({});
        NetStatus status;
        net_detail::FetchPageWith(session.get(), c.url, NetConfig{}, status);
        ASSERT_EQ(fake.log->connects.size(), 1u);
        EXPECT_EQ(fake.log->connects[0].host, c.host);
        EXPECT_EQ(fake.log->connects[0].port, c.port);
        EXPECT_EQ(fake.log->connects[0].user, c.user);
        EXPECT_EQ(fake.log->connects[0].password, c.password);
        EXPECT_EQ(fake.log->requests[0].path, c.path);
        EXPECT_EQ(fake.log->requests[0].flags, c.flags);
        EXPECT_EQ(fake.log->requests[0].version, "HTTP/1.0");
        EXPECT_EQ(fake.log->requests[0].acceptType, std::optional<std::string>("Accept: */* \r\n"));
        EXPECT_EQ(fake.log->sentHeaders[0], "Accept: */*\r\n\r\n");
        EXPECT_EQ(status, NetStatus::Ok);
    }
    for (const char* bad : {"", "ftp://h/x", "h.cn/x", "http://", "http://h:0/", "http://h:1x/",
                            "http://a b/"}) {
        SCOPED_TRACE(bad);
        FakeTransport fake;
        auto session = fake.OpenSession({});
        NetStatus status;
        EXPECT_EQ(net_detail::FetchPageWith(session.get(), bad, NetConfig{}, status), "");
        EXPECT_EQ(status, NetStatus::BadAddress);
        EXPECT_TRUE(fake.log->connects.empty());
    }
}

TEST(FetchPageRequest, ChunkSizeFollowsContentLength) {
    using net_detail::PageChunkSize;
    EXPECT_EQ(PageChunkSize(std::nullopt), 10240u);
    EXPECT_EQ(PageChunkSize("0"), 10240u);
    EXPECT_EQ(PageChunkSize("-5"), 10240u);
    EXPECT_EQ(PageChunkSize("junk"), 10240u);
    EXPECT_EQ(PageChunkSize("1"), 2u);
    EXPECT_EQ(PageChunkSize("102399"), 102400u);
    EXPECT_EQ(PageChunkSize("102400"), 102400u);
    EXPECT_EQ(PageChunkSize("99999999999"), 102400u);

    // A body longer than the chunk is read in several pieces, joined in order.
    FakeScript script;
    script.contentLength = "9";
    script.body = "0123456789abcdefghij0123456789";  // longer than announced
    FakeTransport fake(script);
    auto session = fake.OpenSession({});
    NetStatus status;
    EXPECT_EQ(net_detail::FetchPageWith(session.get(), "http://h/", NetConfig{}, status),
              script.body);
    EXPECT_EQ(fake.log->readSizes.front(), 10u);
    EXPECT_EQ(fake.log->readSizes.size(), 4u);  // three pieces and the end
}

// The size ceiling holds for a body without Content-Length too (WinInet
// reads such a body as it comes; nothing below the reader limits it), for
// both calls: a body of exactly the ceiling arrives, one byte more drops it.
TEST(BodyCeiling, ABodyWithoutLengthStopsAtTheCeiling) {
    NetConfig limits;
    limits.maxBodyBytes = 3000;
    for (std::size_t size : {std::size_t{3000}, std::size_t{3001}, std::size_t{50000}}) {
        SCOPED_TRACE(size);
        FakeScript script;
        script.body = std::string(size, 'z');
        const bool fits = size <= limits.maxBodyBytes;

        auto fake = std::make_shared<FakeTransport>(script);
        HttpClient client(limits, fake);
        EXPECT_EQ(client.Request("e.com"), fits ? script.body : "");
        EXPECT_EQ(client.lastStatus(), fits ? NetStatus::Ok : NetStatus::TooLarge);

        FakeTransport pageFake(script);
        auto session = pageFake.OpenSession({});
        NetStatus status;
        EXPECT_EQ(net_detail::FetchPageWith(session.get(), "http://h/", limits, status), fits ? script.body : "");
        EXPECT_EQ(status, fits ? NetStatus::Ok : NetStatus::TooLarge);
        // Reading stops at the ceiling, not at the end of the body.
        EXPECT_LE(fake->log->readSizes.size(), 4u);
    }
}

TEST(FetchPageRequest, FailuresBeforeTheReadGiveEmptyBytes) {
    struct Case {
        FakeScript script;
        NetStatus status;
    } cases[] = {
        {test::Failing(&FakeScript::failConnect), NetStatus::ConnectFailed},
        {test::Failing(&FakeScript::failRequest), NetStatus::RequestFailed},
        {test::Failing(&FakeScript::failSend), NetStatus::SendFailed},
    };
    for (const Case& c : cases) {
        FakeTransport fake(c.script);
        auto session = fake.OpenSession({});
        NetStatus status;
        EXPECT_EQ(net_detail::FetchPageWith(session.get(), "http://h/", NetConfig{}, status), "");
        EXPECT_EQ(status, c.status);
    }
}

TEST(FailureReason, SaysWhyAnAnswerIsNoUse) {
    struct {
        NetStatus status;
        int http;
        bool empty;
        const char* reason;
    } cases[] = {
        {NetStatus::Ok, 200, false, ""},
        {NetStatus::Ok, 0, false, ""},
        {NetStatus::Ok, 302, false, ""},
        {NetStatus::Ok, 200, true, "empty answer (HTTP 200)"},
        {NetStatus::Ok, 404, false, "HTTP 404"},
        {NetStatus::Ok, 500, true, "HTTP 500"},
        {NetStatus::ConnectFailed, 0, true, "connection refused"},
        {NetStatus::SendFailed, 0, true, "no answer"},
        {NetStatus::TimedOut, 0, true, "timed out"},
        {NetStatus::TimedOut, 200, true, "timed out (HTTP 200)"},
        {NetStatus::TooLarge, 200, true, "body too large (HTTP 200)"},
        {NetStatus::ReadFailed, 200, false, "answer broke off (HTTP 200)"},
        {NetStatus::RedirectLoop, 302, true, "redirect loop (HTTP 302)"},
        {NetStatus::BadAddress, 0, true, "bad address"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FailureReason(c.status, c.http, c.empty), c.reason) << NetStatusName(c.status) << " " << c.http;
    }
}

}  // namespace
}  // namespace sorvix
