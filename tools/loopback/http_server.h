// A small HTTP/1.1 server on loopback, the one the network tests and the site
// simulator both run: one listener, one thread per connection, one request
// per connection ("Connection: close"). It answers from a handler or, without
// one, from a table of routes, records every request byte for byte, and can
// misbehave on purpose (FaultPlan) in each way a real site fails: reset, hang,
// drip the answer or only its body, huge headers, a huge body, a body broken
// off, bad chunking, a redirect loop, broken markup, latency. RefusedPort()
// gives a port where nothing listens.
// Guarantees: every request is recorded and reported to the logger before
// any fault acts; Stop() wakes and joins every thread, hung and dripping
// connections included, and returns within about 200 ms.
// Covered by tests/sim/sitesim_test.cpp (faults, raw clients) and
// tests/net/http_client_test.cpp (the program's clients against it).
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/loopback/socket.h"

namespace sorvix::loopback {

struct HttpRequest {
    std::string raw;      // every byte of this request as received, head and body
    std::string method;   // "GET"
    std::string target;   // path and query as sent, still percent-encoded; an
                          // absolute-form target (as sent to a proxy) is reduced to its path
    std::string path;     // target before '?'
    std::string query;    // target after '?', without it
    std::string version;  // "HTTP/1.1"
    std::vector<std::string> headerLines;  // as received, in order, without line ends
    std::string body;
    std::vector<std::pair<std::string, std::string>> params;  // raw key, raw value

    // The raw (still encoded) value of query key `key`; nullptr when absent.
    const std::string* RawParam(const std::string& key) const;
    // The value of the first header line named `name` (case-insensitive),
    // without surrounding blanks; empty when absent.
    std::string Header(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string reason;  // empty: the usual text for the status
    std::string contentType = "text/html; charset=utf-8";  // empty: no Content-Type line
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // after Content-Type, in order
    bool withLength = true;  // false: no Content-Length, the close ends the body
};

// The head as sent: status line, Content-Type, the headers in order,
// Content-Length (of `bodyLength` bytes, when the response has one),
// "Connection: close" and the empty line.
std::string ResponseHead(const HttpResponse& r, std::size_t bodyLength);

// An answer with exactly the given header lines ("Name: value") and no
// Content-Type of its own.
HttpResponse MakeResponse(int status, const std::string& reason, const std::vector<std::string>& headerLines,
                          const std::string& body, bool withLength = true);

enum class FaultKind {
    kNone,
    kReset,         // read the request, then close with RST, answering nothing
    kHang,          // read the request, never answer, keep the connection open
    kBrokenMarkup,  // answer with a truncated and mangled body
    kHugeBody,      // answer with the body padded to hugeBytes
    kHugeHeaders,   // put hugeBytes of filler header lines before the answer's own
    kCutBody,       // announce the whole body, send cutBytes of it (0: half), then reset
    kDrip,          // send the whole answer, head included, dripBytes at a time, dripMs apart
    kDripBody,      // send the head at once, then the body dripBytes at a time, dripMs apart
    kBadChunking,   // a chunked body whose second chunk has a size line that is not hex
    kRedirectLoop,  // answer 302 with the request's own target as Location, every time
};

const char* FaultName(FaultKind kind);
bool ParseFaultName(const std::string& text, FaultKind* kind);

struct FaultPlan {
    int latencyMs = 0;          // delay before every answer (also before a reset)
    FaultKind kind = FaultKind::kNone;
    int fromRequest = 1;        // the fault hits requests fromRequest..toRequest
    int toRequest = 0;          // of this server, counted from 1; 0 = no end
    std::string pathContains;   // and only targets containing this text
    std::size_t hugeBytes = 32u << 20;
    std::size_t cutBytes = 0;
    int dripMs = 200;
    std::size_t dripBytes = 16;
};

// A plan of one fault on every request, or only on targets containing
// `pathContains`.
FaultPlan Fault(FaultKind kind, const std::string& pathContains = "");

// Truncates a page at about 60 % (possibly inside a multi-byte character)
// and drops every seventh '>' and '"', so tags and attributes stop closing.
std::string BreakMarkup(const std::string& body);

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    using Logger = std::function<void(const HttpRequest&)>;

    // Without a handler the server answers from its routes (see Route).
    HttpServer();
    explicit HttpServer(Handler handler, Logger logger = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on 127.0.0.1:port (0 lets the system pick a free port).
    bool Start(std::uint16_t port = 0, std::string* error = nullptr);
    void Stop();
    std::uint16_t Port() const { return port_; }
    std::string Base() const;  // "http://127.0.0.1:<port>"

    void SetFaults(FaultPlan plan);
    FaultPlan Faults() const;

    // The answer, when there is no handler, to requests whose target equals
    // `target` or, failing any exact match, whose path does. Unrouted: 404.
    void Route(const std::string& target, HttpResponse response);

    // The requests read so far, oldest first (at most the newest 10000).
    std::vector<HttpRequest> Requests() const;
    void ClearRequests();
    // Connections accepted so far.
    int Connections() const { return connections_.load(); }
    // Waits (up to 5 s) until no connection that has sent a byte is still
    // being served. A connection the client opened and never used does not
    // count: platforms open such speculative connections.
    void WaitIdle() const;

    // A loopback port where nothing listens (connecting is refused).
    static std::uint16_t RefusedPort();

private:
    struct Connection {
        Socket socket;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(Connection& c);
    bool ReadRequest(const Socket& s, HttpRequest* req, int* errorStatus, bool* counted);
    HttpResponse Answer(const HttpRequest& req);
    // False when the peer went away or we are stopping.
    bool SendResponse(const Socket& s, const HttpRequest& req, const HttpResponse& r, const FaultPlan& plan,
                      FaultKind fault);
    bool Drip(const Socket& s, const std::string& data, std::size_t from, const FaultPlan& plan);
    bool SleepUnlessStopping(int ms);
    void ReapFinished(bool all);

    Handler handler_;
    Logger logger_;
    Socket listener_;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requestCount_{0};
    std::atomic<int> connections_{0};
    std::atomic<int> busy_{0};

    mutable std::mutex mu_;  // guards plan_, live_, routes_, requests_
    std::condition_variable stopCv_;
    FaultPlan plan_;
    std::list<std::unique_ptr<Connection>> live_;
    std::map<std::string, HttpResponse> routes_;
    std::deque<HttpRequest> requests_;
};

// Percent-decoding of a URL component; '+' becomes a space in query values
// only when plusIsSpace is set. Malformed escapes are kept as they are.
std::string PercentDecode(const std::string& s, bool plusIsSpace);

}  // namespace sorvix::loopback
