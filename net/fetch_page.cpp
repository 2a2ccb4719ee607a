// fetchPage: address splitting, the lazily opened process-wide session, the
// GET with its fixed accept line, chunk sizing from Content-Length and the
// read. Covered by tests/net/fetch_page_test.cpp.
#include "net/fetch_page.h"

#include <mutex>

#include "net/body_reader.h"
#include "net/gbk_text.h"
#include "net/fetch_page_detail.h"
#include "net/request_chain.h"
#include "net/transport.h"

namespace sorvix {

using namespace net_detail;

namespace {

constexpr const char* kPageAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr std::size_t kDefaultChunk = 10240;
constexpr std::size_t kMaxChunk = 102400;

// One session for the process, opened on first use. Searches and start-up may
// overlap, so the opening is guarded; a failed open is retried next time. The
// session is deliberately never closed: it lives until the process ends.
TransportSession* PageSession() {
    static std::mutex mutex;
    static TransportSession* session = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    if (!session) {
        SessionParams params;
        params.agent = kPageAgent;
        session = PlatformTransport()->OpenSession(params).release();
    }
    return session;
}

std::size_t ChunkSize(const std::optional<std::string>& contentLength) {
    if (!contentLength) return kDefaultChunk;
    long long value = ParseDecimal(*contentLength, static_cast<long long>(1) << 50);
    if (value <= 0) return kDefaultChunk;
    if (value + 1 > static_cast<long long>(kMaxChunk)) return kMaxChunk;
    return static_cast<std::size_t>(value + 1);
}

}  // namespace

namespace net_detail {

std::size_t PageChunkSize(const std::optional<std::string>& contentLength) {
    return ChunkSize(contentLength);
}

Bytes FetchPageWith(TransportSession* session, const Text& url, const NetConfig& config,
                    NetStatus& status, int* httpStatus) {
    if (httpStatus) *httpStatus = 0;
    if (url.empty()) {
        status = NetStatus::BadAddress;
        return {};
    }
    std::optional<HttpTarget> address = SplitHttpUrl(url.substr(0, url.find('#')));
    if (!address) {
        status = NetStatus::BadAddress;
        return {};
    }
    const Clock::time_point deadline = DeadlineFrom(config);

    if (!session) session = PageSession();
    if (!session) {
        status = NetStatus::SessionFailed;
        return {};
    }
    Hop hop;
    hop.connection = session->Connect({address->host, address->port, address->user, address->password},
                                      config, deadline);
    if (!hop.connection) {
        status = NetStatus::ConnectFailed;
        return {};
    }
    // The session is always direct, so the proxy options that would go on the
    // connection carry empty values and change nothing; they are not set.

    RequestParams requestParams;
    requestParams.verb = "GET";
    requestParams.path = MakeWirePath(address->path);
    requestParams.version = "HTTP/1.0";
    requestParams.flags = kFlagReload | kFlagNoCacheWrite | (address->https ? kFlagSecure : 0);
    requestParams.acceptType = "Accept: */* \r\n";
    hop.request = hop.connection->OpenRequest(requestParams);
    if (!hop.request) {
        status = NetStatus::RequestFailed;
        return {};
    }
    status = SendFollowing(*session, hop, *address, requestParams, "Accept: */*\r\n\r\n",
                           std::string(), config, deadline);
    if (httpStatus && hop.request) *httpStatus = StatusCodeOf(hop.request->RawHeaders().value_or(""));
    if (status != NetStatus::Ok) return {};
    Bytes body;
    status = ReadBody(*hop.request, ChunkSize(hop.request->ContentLength()), config, deadline, body);
    if (status == NetStatus::TimedOut || status == NetStatus::TooLarge) body.clear();
    return body;
}

}  // namespace net_detail

Bytes fetchPage(const Text& url) { return fetchPage(url, DefaultNetConfig()); }

Bytes fetchPage(const Text& url, const NetConfig& config, NetStatus* status, int* httpStatus) {
    NetStatus local = NetStatus::Ok;
    Bytes body;
    try {
        body = net_detail::FetchPageWith(nullptr, url, config, local, httpStatus);
    } catch (const std::exception&) {
        // Only allocation can throw here; the handles are owned and closed on
        // the way out, and nothing collected survives the unwinding.
        local = NetStatus::ReadFailed;
        body.clear();
    }
    if (status) *status = local;
    return body;
}

}  // namespace sorvix
