// HttpClient::Request: header completion, the send, the body and header reads
// and the header scan with the cookie merge. The platform work goes through
// the Transport interface; this file decides what is sent and what the caller
// gets back. Covered by tests/net/http_client_test.cpp.
#include "net/http_client.h"

#include "net/body_reader.h"
#include "net/gbk_text.h"
#include "net/request_chain.h"
#include "net/transport.h"
#include "text/text.h"

namespace sorvix {

using namespace net_detail;

namespace {

constexpr const char* kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; TOVRA; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
constexpr std::size_t kReadBlock = 1024;

// The value of the first User-Agent line (any case), up to its line end or
// the end of the block; the default agent when there is no such line. An
// empty value stays empty: the next lines are never part of it.
std::string AgentFrom(const Text& headers) {
    constexpr std::string_view kName = "User-Agent:";
    std::size_t at = IndexOf(headers, kName, 0, true);
    if (at == std::string::npos) return kDefaultAgent;
    std::string_view rest = std::string_view(headers).substr(at + kName.size());
    return Trim(rest.substr(0, rest.find("\r\n")));
}

void CompleteHeaders(Text& headers, const Text& url, const Text* cookies) {
    if (!Contains(headers, "Referer:")) {
        headers = headers.empty() ? "Referer: " + url : headers + "\r\nReferer: " + url;
    }
    if (!Contains(headers, "Accept:")) headers += "\r\nAccept: */*";
    if (!Contains(headers, "Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
    if (!Contains(headers, "Content-Type:")) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (cookies && !cookies->empty()) headers += "\r\nCookie: " + *cookies;
}

void ScanHeaders(const Text& responseHeaders, Text& location, Text& returnedCookies) {
    returnedCookies.clear();
    for (const std::string& line : Split(responseHeaders, "\r\n")) {
        if (Contains(line, "Location:")) {
            location = Trim(line.substr(IndexOf(line, ":") + 1));
        }
        if (Contains(line, "Set-Cookie")) {
            returnedCookies += Trim(TextBetween(line, "Set-Cookie:", ";"));
            returnedCookies += "; ";
        }
    }
    returnedCookies.resize(returnedCookies.size() >= 2 ? returnedCookies.size() - 2 : 0);
}

}  // namespace

HttpClient::HttpClient() : HttpClient(DefaultNetConfig()) {}

HttpClient::HttpClient(const NetConfig& config, std::shared_ptr<Transport> transport)
    : config_(config), transport_(transport ? std::move(transport) : PlatformTransport()) {}

HttpClient::~HttpClient() = default;

Bytes HttpClient::Request(const Text& url, int method, const Text& bodyText, Text* cookies,
                          Text* returnedCookies, Text* headers, Text* location, bool noRedirect,
                          Bytes* bodyBytes, const std::optional<Text>& proxy,
                          Text* responseHeaders) try {
    // Arguments the caller left out are worked on as empty locals, so the
    // steps below read the same whichever were supplied; `cookies` alone is
    // kept as a pointer because "not supplied" changes the request.
    Text localReturned, localHeaders, localLocation, localResponse;
    Bytes localBody;
    Text& outReturned = returnedCookies ? *returnedCookies : localReturned;
    Text& hdrs = headers ? *headers : localHeaders;
    Text& loc = location ? *location : localLocation;
    Bytes& body = bodyBytes ? *bodyBytes : localBody;
    Text& outResponse = responseHeaders ? *responseHeaders : localResponse;

    lastHttpStatus_ = 0;
    const Clock::time_point deadline = DeadlineFrom(config_);
    const bool https = ToLower(url.substr(0, 5)) == "https";

    SessionParams sessionParams;
    sessionParams.agent = AgentFrom(hdrs);
    if (proxy) sessionParams.proxy = "http=" + *proxy;
    std::unique_ptr<TransportSession> session = transport_->OpenSession(sessionParams);
    if (!session) {
        lastStatus_ = NetStatus::SessionFailed;
        return {};
    }

    HttpTarget target;
    target.https = https;
    target.host = UrlHost(url);
    target.port = UrlPort(url);
    if (target.port == 0) target.port = https ? 443 : 80;
    target.path = UrlPath(url);
    Hop hop;
    hop.connection = session->Connect({target.host, target.port, "", ""}, config_, deadline);
    if (!hop.connection) {
        lastStatus_ = NetStatus::ConnectFailed;
        return {};
    }

    RequestParams requestParams;
    requestParams.verb = method == 1 ? "POST" : "GET";
    requestParams.path = MakeWirePath(target.path);
    requestParams.version = "HTTP/1.1";
    requestParams.flags = kFlagReload | kFlagNeedFile;
    if (cookies) requestParams.flags |= kFlagNoCookies;
    if (noRedirect) requestParams.flags |= kFlagNoAutoRedirect;
    requestParams.flags |= https ? kFlagSecure : kFlagIgnoreRedirectToHttps;
    hop.request = hop.connection->OpenRequest(requestParams);
    if (!hop.request) {
        lastStatus_ = NetStatus::RequestFailed;
        return {};
    }

    CompleteHeaders(hdrs, url, cookies);
    if (method != 0 && body.empty()) body = bodyText;

    Bytes answer;
    NetStatus status = SendFollowing(*session, hop, target, requestParams, hdrs,
                                     method != 0 ? body : Bytes(), config_, deadline);
    if (status == NetStatus::Ok) {
        status = ReadBody(*hop.request, kReadBlock, config_, deadline, answer);
        // Past our own limits the answer is dropped whole; a body that broke
        // off keeps what arrived, and the status tells the caller.
        if (status == NetStatus::TimedOut || status == NetStatus::TooLarge) answer.clear();
    }
    outResponse = hop.request ? hop.request->RawHeaders().value_or(Text()) : Text();
    hop.Close();
    session.reset();

    ScanHeaders(outResponse, loc, outReturned);
    if (cookies) CookieJar::Merge(*cookies, outReturned);
    if (loc.empty()) loc = outResponse;
    lastStatus_ = status;
    lastHttpStatus_ = StatusCodeOf(outResponse);
    return answer;
} catch (const std::exception&) {
    // The call never raises: an allocation failing on the way (the size
    // ceiling keeps that unlikely) ends it like a broken transfer.
    lastStatus_ = NetStatus::ReadFailed;
    return {};
}

}  // namespace sorvix
