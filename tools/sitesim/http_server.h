// A small HTTP/1.1 server for the site simulator: one listener on loopback,
// one thread per connection, one request per connection ("Connection: close").
// It can misbehave on purpose (FaultPlan): add latency, reset the connection,
// accept and never answer, break the markup, send a huge body, break off
// in the middle of the body or drip it out slowly, so clients
// can be tested against every way a real site fails.
// Guarantees: every request is reported to the logger before any fault acts;
// Stop() wakes and joins every thread, hung connections included, and
// returns within about 200 ms. Covered by tests/sim/sitesim_test.cpp.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/sitesim/socket.h"

namespace sorvix::sitesim {

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: path and query, still percent-encoded
    std::string path;    // target before '?'
    std::string query;   // target after '?', without it
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The raw (still encoded) value of query key `key`; nullptr when absent.
    const std::string* RawParam(const std::string& key) const;
    std::string Header(const std::string& name) const;  // case-insensitive

    std::vector<std::pair<std::string, std::string>> params;  // raw key, raw value
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

enum class FaultKind {
    kNone,
    kReset,         // read the request, then close with RST
    kHang,          // read the request, never answer, keep the connection open
    kBrokenMarkup,  // answer with a truncated and mangled body
    kHugeBody,      // answer with the page padded to hugeBytes
    kCutBody,       // announce the whole body, send half of it, then reset
    kDrip,          // send the answer in 16-byte pieces, dripMs apart
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
    int dripMs = 200;
};

// Truncates a page at about 60 % (possibly inside a multi-byte character)
// and drops every seventh '>' and '"', so tags and attributes stop closing.
std::string BreakMarkup(const std::string& body);

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    using Logger = std::function<void(const HttpRequest&)>;

    HttpServer(Handler handler, Logger logger);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Start(std::uint16_t port, std::string* error);
    void Stop();
    std::uint16_t Port() const { return port_; }

    void SetFaults(FaultPlan plan);
    FaultPlan Faults() const;

private:
    struct Connection {
        Socket socket;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(Connection& c);
    bool ReadRequest(const Socket& s, HttpRequest* req, int* errorStatus);
    // False when the peer went away or we are stopping.
    bool SendResponse(const Socket& s, const HttpResponse& r, const FaultPlan& plan, FaultKind fault);
    bool SleepUnlessStopping(int ms);
    void ReapFinished(bool all);

    Handler handler_;
    Logger logger_;
    Socket listener_;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requestCount_{0};

    mutable std::mutex mu_;  // guards plan_, connections_
    std::condition_variable stopCv_;
    FaultPlan plan_;
    std::list<std::unique_ptr<Connection>> connections_;
};

// Percent-decoding of a URL component; '+' becomes a space in query values
// only when plusIsSpace is set. Malformed escapes are kept as they are.
std::string PercentDecode(const std::string& s, bool plusIsSpace);

}  // namespace sorvix::sitesim
