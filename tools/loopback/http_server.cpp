// HTTP plumbing and fault injection of the loopback server (see http_server.h).
#include "tools/loopback/http_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sorvix::loopback {

namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 1 << 20;
constexpr int kPollMs = 100;
// The accept loop also joins finished connections; it polls more often so
// that their threads do not linger (the leak tests count threads).
constexpr int kAcceptPollMs = 20;
// A client that connects and then stops sending is dropped after this long.
constexpr int kIdleRequestMs = 10000;
constexpr std::size_t kMaxRecorded = 10000;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

const char* StatusText(int status) {
    switch (status) {
        case 200: return "OK";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 307: return "Temporary Redirect";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 413: return "Payload Too Large";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string PercentDecode(const std::string& s, bool plusIsSpace) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '%' && i + 2 < s.size()) {
            int h = HexValue(s[i + 1]);
            int l = HexValue(s[i + 2]);
            if (h >= 0 && l >= 0) {
                out.push_back(static_cast<char>(h * 16 + l));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsSpace && c == '+' ? ' ' : c);
    }
    return out;
}

const std::string* HttpRequest::RawParam(const std::string& key) const {
    for (const auto& [k, v] : params) {
        if (k == key) return &v;
    }
    return nullptr;
}

std::string HttpRequest::Header(const std::string& name) const {
    for (const std::string& line : headerLines) {
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && EqualsNoCase(Trim(line.substr(0, colon)), name)) {
            return Trim(line.substr(colon + 1));
        }
    }
    return {};
}

const char* FaultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::kNone: return "none";
        case FaultKind::kReset: return "reset";
        case FaultKind::kHang: return "hang";
        case FaultKind::kBrokenMarkup: return "broken";
        case FaultKind::kHugeBody: return "huge";
        case FaultKind::kHugeHeaders: return "huge-headers";
        case FaultKind::kCutBody: return "cut";
        case FaultKind::kDrip: return "drip";
        case FaultKind::kDripBody: return "drip-body";
        case FaultKind::kBadChunking: return "bad-chunking";
        case FaultKind::kRedirectLoop: return "redirect-loop";
    }
    return "none";
}

bool ParseFaultName(const std::string& text, FaultKind* kind) {
    for (FaultKind k : {FaultKind::kNone, FaultKind::kReset, FaultKind::kHang, FaultKind::kBrokenMarkup,
                        FaultKind::kHugeBody, FaultKind::kHugeHeaders, FaultKind::kCutBody, FaultKind::kDrip,
                        FaultKind::kDripBody, FaultKind::kBadChunking, FaultKind::kRedirectLoop}) {
        if (text == FaultName(k)) {
            *kind = k;
            return true;
        }
    }
    return false;
}

FaultPlan Fault(FaultKind kind, const std::string& pathContains) {
    FaultPlan plan;
    plan.kind = kind;
    plan.pathContains = pathContains;
    return plan;
}

std::string BreakMarkup(const std::string& body) {
    std::string cut = body.substr(0, body.size() * 6 / 10);
    std::string out;
    out.reserve(cut.size());
    int gt = 0;
    int quote = 0;
    for (char c : cut) {
        if (c == '>' && ++gt % 7 == 0) continue;
        if (c == '"' && ++quote % 7 == 0) continue;
        out.push_back(c);
    }
    return out;
}

std::string ResponseHead(const HttpResponse& r, std::size_t bodyLength) {
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " +
                       (r.reason.empty() ? std::string(StatusText(r.status)) : r.reason) + "\r\n";
    if (!r.contentType.empty()) head += "Content-Type: " + r.contentType + "\r\n";
    for (const auto& [k, v] : r.headers) head += k + ": " + v + "\r\n";
    if (r.withLength) head += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

HttpResponse MakeResponse(int status, const std::string& reason, const std::vector<std::string>& headerLines,
                          const std::string& body, bool withLength) {
    HttpResponse r;
    r.status = status;
    r.reason = reason;
    r.contentType.clear();
    for (const std::string& line : headerLines) {
        std::size_t sep = line.find(": ");
        if (sep == std::string::npos) {
            r.headers.emplace_back(line, "");
        } else {
            r.headers.emplace_back(line.substr(0, sep), line.substr(sep + 2));
        }
    }
    r.body = body;
    r.withLength = withLength;
    return r;
}

HttpServer::HttpServer() = default;

HttpServer::HttpServer(Handler handler, Logger logger)
    : handler_(std::move(handler)), logger_(std::move(logger)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(std::uint16_t port, std::string* error) {
    if (!InitSockets()) {
        if (error) *error = "sockets unavailable";
        return false;
    }
    listener_ = ListenLoopback(port, &port_, error);
    if (!listener_) return false;
    stopping_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    if (!acceptThread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mu_);
        stopping_ = true;
        // Unblock connections waiting in recv or send; their threads notice
        // the flag at their next poll.
        for (auto& c : live_) {
            if (c->socket) ShutdownBoth(c->socket);
        }
    }
    stopCv_.notify_all();
    acceptThread_.join();
    ReapFinished(true);
    listener_.Close();
}

std::string HttpServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

void HttpServer::SetFaults(FaultPlan plan) {
    std::lock_guard<std::mutex> lock(mu_);
    plan_ = std::move(plan);
}

FaultPlan HttpServer::Faults() const {
    std::lock_guard<std::mutex> lock(mu_);
    return plan_;
}

void HttpServer::Route(const std::string& target, HttpResponse response) {
    std::lock_guard<std::mutex> lock(mu_);
    routes_[target] = std::move(response);
}

std::vector<HttpRequest> HttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return std::vector<HttpRequest>(requests_.begin(), requests_.end());
}

void HttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mu_);
    requests_.clear();
}

void HttpServer::WaitIdle() const {
    for (int i = 0; i < 500 && busy_.load() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::uint16_t HttpServer::RefusedPort() {
    if (!InitSockets()) return 0;
    std::uint16_t port = 0;
    // Bound, listened on and closed again: nothing accepts on this port now.
    Socket s = ListenLoopback(0, &port, nullptr);
    s.Close();
    return port;
}

bool HttpServer::SleepUnlessStopping(int ms) {
    std::unique_lock<std::mutex> lock(mu_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

void HttpServer::ReapFinished(bool all) {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (auto it = live_.begin(); it != live_.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = live_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished) {
        if (c->thread.joinable()) c->thread.join();
    }
}

void HttpServer::AcceptLoop() {
    // One thread per connection, so that a connection held open on purpose
    // (hanging, dripping) does not stop others from being served. Finished
    // ones are joined as we go: their handles must not pile up.
    while (!stopping_) {
        ReapFinished(false);
        WaitResult w = WaitReadable(listener_, kAcceptPollMs);
        if (w != WaitResult::kReady) continue;
        Socket s = Accept(listener_);
        if (!s) continue;
        ++connections_;
        auto conn = std::make_unique<Connection>();
        conn->socket = std::move(s);
        Connection* raw = conn.get();
        std::lock_guard<std::mutex> lock(mu_);
        if (stopping_) break;  // the socket closes with conn
        live_.push_back(std::move(conn));
        raw->thread = std::thread([this, raw] {
            Serve(*raw);
            raw->done = true;
        });
    }
}

bool HttpServer::ReadRequest(const Socket& s, HttpRequest* req, int* errorStatus, bool* counted) {
    std::string& buf = req->raw;
    std::size_t headerEnd = std::string::npos;
    std::size_t need = std::string::npos;  // head and body together
    char chunk[8192];
    int idleMs = 0;
    while (need == std::string::npos || buf.size() < need) {
        if (stopping_) return false;
        WaitResult w = WaitReadable(s, kPollMs);
        if (w == WaitResult::kError) return false;
        if (w == WaitResult::kTimeout) {
            idleMs += kPollMs;
            if (idleMs >= kIdleRequestMs) return false;
            continue;
        }
        long n = Receive(s, chunk, sizeof chunk);
        if (n <= 0) return false;
        idleMs = 0;
        if (!*counted) {
            *counted = true;
            ++busy_;
        }
        buf.append(chunk, static_cast<std::size_t>(n));
        if (headerEnd != std::string::npos) continue;
        headerEnd = buf.find("\r\n\r\n");
        // However the head was split into reads, a head over the limit is refused.
        if ((headerEnd == std::string::npos ? buf.size() : headerEnd) > kMaxHeaderBytes) {
            *errorStatus = 431;
            return false;
        }
        if (headerEnd == std::string::npos) continue;

        const std::string head = buf.substr(0, headerEnd);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        std::size_t sp1 = requestLine.find(' ');
        std::size_t sp2 = sp1 == std::string::npos ? std::string::npos : requestLine.find(' ', sp1 + 1);
        if (sp1 == std::string::npos || sp2 == std::string::npos) {
            *errorStatus = 400;
            return false;
        }
        req->method = requestLine.substr(0, sp1);
        req->target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
        req->version = requestLine.substr(sp2 + 1);
        if (req->target.rfind("http://", 0) == 0) {
            std::size_t slash = req->target.find('/', 7);
            req->target = slash == std::string::npos ? "/" : req->target.substr(slash);
        }
        std::size_t lineStart = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
        while (lineStart < head.size()) {
            std::size_t e = head.find("\r\n", lineStart);
            req->headerLines.push_back(
                head.substr(lineStart, e == std::string::npos ? std::string::npos : e - lineStart));
            if (e == std::string::npos) break;
            lineStart = e + 2;
        }
        std::size_t contentLength = 0;
        const std::string cl = req->Header("Content-Length");
        if (!cl.empty()) {
            contentLength = static_cast<std::size_t>(std::strtoull(cl.c_str(), nullptr, 10));
            if (contentLength > kMaxBodyBytes) {
                *errorStatus = 413;
                return false;
            }
        }
        need = headerEnd + 4 + contentLength;
    }
    req->body = buf.substr(headerEnd + 4, need - headerEnd - 4);

    std::size_t q = req->target.find('?');
    req->path = req->target.substr(0, q);
    req->query = q == std::string::npos ? std::string() : req->target.substr(q + 1);
    std::size_t pos = 0;
    while (!req->query.empty()) {
        std::size_t amp = req->query.find('&', pos);
        std::string item = req->query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        if (!item.empty()) {
            std::size_t eq = item.find('=');
            if (eq == std::string::npos) {
                req->params.emplace_back(item, "");
            } else {
                req->params.emplace_back(item.substr(0, eq), item.substr(eq + 1));
            }
        }
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return true;
}

HttpResponse HttpServer::Answer(const HttpRequest& req) {
    if (handler_) return handler_(req);
    std::lock_guard<std::mutex> lock(mu_);
    auto it = routes_.find(req.target);
    if (it == routes_.end()) it = routes_.find(req.path);
    if (it != routes_.end()) return it->second;
    HttpResponse none;
    none.status = 404;
    none.contentType = "text/html";
    none.body = "no route";
    return none;
}

bool HttpServer::Drip(const Socket& s, const std::string& data, std::size_t from, const FaultPlan& plan) {
    // Pieces dripMs apart; the first waits too when something went before it.
    const std::size_t piece = std::max<std::size_t>(1, plan.dripBytes);
    for (std::size_t i = from; i < data.size(); i += piece) {
        if (i > 0 && !SleepUnlessStopping(plan.dripMs)) return false;
        if (!SendAll(s, data.data() + i, std::min(piece, data.size() - i))) return false;
    }
    return true;
}

bool HttpServer::SendResponse(const Socket& s, const HttpRequest& req, const HttpResponse& given,
                              const FaultPlan& plan, FaultKind fault) {
    HttpResponse r = given;
    if (fault == FaultKind::kBrokenMarkup) r.body = BreakMarkup(r.body);
    if (fault == FaultKind::kRedirectLoop) {
        r.status = 302;
        r.reason.clear();
        r.headers = {{"Location", req.target}};
        r.body = "redirected to itself";
    }
    if (fault == FaultKind::kBadChunking) {
        // A proper first chunk, then a size line that is no number, then the
        // rest as if it were a chunk, and a last chunk.
        r.withLength = false;
        r.headers.emplace_back("Transfer-Encoding", "chunked");
        const std::size_t half = r.body.size() / 2;
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", half);
        r.body = std::string(size) + r.body.substr(0, half) + "\r\nzz\r\n" + r.body.substr(half) + "\r\n0\r\n\r\n";
    }
    std::size_t total = r.body.size();
    if (fault == FaultKind::kHugeBody && plan.hugeBytes > total) total = plan.hugeBytes;
    const std::string head = ResponseHead(r, total);

    if (fault == FaultKind::kDrip || fault == FaultKind::kDripBody) {
        // A client that only limits each single wait would never give up.
        const std::string all = head + r.body;
        if (fault == FaultKind::kDripBody && !SendAll(s, head.data(), head.size())) return false;
        return Drip(s, all, fault == FaultKind::kDripBody ? head.size() : 0, plan);
    }
    if (fault == FaultKind::kHugeHeaders) {
        // Filler lines between the status line and the answer's own headers,
        // streamed, so a huge head costs no huge buffer here.
        const std::size_t statusEnd = head.find("\r\n") + 2;
        if (!SendAll(s, head.data(), statusEnd)) return false;
        std::string line;
        for (std::size_t sent = 0, n = 0; sent < plan.hugeBytes && !stopping_; sent += line.size(), ++n) {
            line = "X-Filler-" + std::to_string(n) + ": " + std::string(1000, 'h') + "\r\n";
            if (!SendAll(s, line.data(), line.size())) return false;
        }
        if (!SendAll(s, head.data() + statusEnd, head.size() - statusEnd)) return false;
        return SendAll(s, r.body.data(), r.body.size());
    }
    if (!SendAll(s, head.data(), head.size())) return false;
    if (fault == FaultKind::kCutBody) {
        const std::size_t cut = plan.cutBytes > 0 ? std::min(plan.cutBytes, r.body.size()) : r.body.size() / 2;
        return SendAll(s, r.body.data(), cut);
    }
    if (!SendAll(s, r.body.data(), r.body.size())) return false;
    // The padding comes after the page, streamed in pieces so a huge answer
    // costs no huge buffer here.
    std::size_t left = total - r.body.size();
    const std::string pad(64 * 1024, 'x');
    while (left > 0 && !stopping_) {
        std::size_t n = std::min(left, pad.size());
        if (!SendAll(s, pad.data(), n)) return false;
        left -= n;
    }
    return !stopping_;
}

void HttpServer::Serve(Connection& c) {
    // A connection counts as busy from its first byte (see WaitIdle). The
    // request is recorded before it is answered, so once a client has its
    // answer the request is already in Requests().
    bool counted = false;
    struct BusyRelease {
        std::atomic<int>& busy;
        const bool& counted;
        ~BusyRelease() {
            if (counted) --busy;
        }
    } release{busy_, counted};

    HttpRequest req;
    int errorStatus = 0;
    if (!ReadRequest(c.socket, &req, &errorStatus, &counted)) {
        if (errorStatus != 0) {
            HttpResponse r;
            r.status = errorStatus;
            r.contentType = "text/plain";
            r.body = StatusText(errorStatus);
            SendResponse(c.socket, req, r, FaultPlan{}, FaultKind::kNone);
            ShutdownSend(c.socket);
        }
        return;
    }
    int number = ++requestCount_;
    {
        std::lock_guard<std::mutex> lock(mu_);
        requests_.push_back(req);
        if (requests_.size() > kMaxRecorded) requests_.pop_front();
    }
    if (logger_) logger_(req);

    FaultPlan plan = Faults();
    bool hit = plan.kind != FaultKind::kNone && number >= plan.fromRequest &&
               (plan.toRequest == 0 || number <= plan.toRequest) &&
               (plan.pathContains.empty() || req.target.find(plan.pathContains) != std::string::npos);
    if (plan.latencyMs > 0 && !SleepUnlessStopping(plan.latencyMs)) return;

    FaultKind fault = hit ? plan.kind : FaultKind::kNone;
    if (fault == FaultKind::kReset) {
        // Under the lock: Stop() may be reading the descriptor right now.
        std::lock_guard<std::mutex> lock(mu_);
        AbortiveClose(c.socket);
        return;
    }
    if (fault == FaultKind::kHang) {
        // Hold the connection until the client gives up or we stop.
        char sink[1024];
        while (!stopping_) {
            WaitResult w = WaitReadable(c.socket, kPollMs);
            if (w == WaitResult::kError) break;
            if (w == WaitResult::kReady && Receive(c.socket, sink, sizeof sink) <= 0) break;
        }
        return;
    }

    HttpResponse r = fault == FaultKind::kRedirectLoop ? HttpResponse{} : Answer(req);
    bool sent = SendResponse(c.socket, req, r, plan, fault);
    if (fault == FaultKind::kCutBody && sent) {
        // Give the part sent a moment to leave before the reset overtakes it.
        SleepUnlessStopping(50);
        std::lock_guard<std::mutex> lock(mu_);
        AbortiveClose(c.socket);
        return;
    }
    ShutdownSend(c.socket);
    // Let the client read to the end before the socket closes; closing with
    // unread input would turn our FIN into a reset on some stacks.
    char sink[1024];
    for (int i = 0; i < 20 && !stopping_; ++i) {
        WaitResult w = WaitReadable(c.socket, kPollMs);
        if (w != WaitResult::kReady || Receive(c.socket, sink, sizeof sink) <= 0) break;
    }
}

}  // namespace sorvix::loopback
