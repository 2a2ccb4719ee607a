// HTTP plumbing and fault injection of the site simulator (see http_server.h).
#include "tools/sitesim/http_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace sorvix::sitesim {

namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 1 << 20;
constexpr int kPollMs = 100;
// A client that connects and then says nothing is dropped after this long.
constexpr int kIdleRequestMs = 30000;

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
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 413: return "Payload Too Large";
        case 431: return "Request Header Fields Too Large";
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
    for (const auto& [k, v] : headers) {
        if (EqualsNoCase(k, name)) return v;
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
        case FaultKind::kCutBody: return "cut";
        case FaultKind::kDrip: return "drip";
    }
    return "none";
}

bool ParseFaultName(const std::string& text, FaultKind* kind) {
    for (FaultKind k : {FaultKind::kNone, FaultKind::kReset, FaultKind::kHang, FaultKind::kBrokenMarkup,
                        FaultKind::kHugeBody, FaultKind::kCutBody, FaultKind::kDrip}) {
        if (text == FaultName(k)) {
            *kind = k;
            return true;
        }
    }
    return false;
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
        for (auto& c : connections_) {
            if (c->socket) ShutdownBoth(c->socket);
        }
    }
    stopCv_.notify_all();
    acceptThread_.join();
    ReapFinished(true);
    listener_.Close();
}

void HttpServer::SetFaults(FaultPlan plan) {
    std::lock_guard<std::mutex> lock(mu_);
    plan_ = std::move(plan);
}

FaultPlan HttpServer::Faults() const {
    std::lock_guard<std::mutex> lock(mu_);
    return plan_;
}

bool HttpServer::SleepUnlessStopping(int ms) {
    std::unique_lock<std::mutex> lock(mu_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

void HttpServer::ReapFinished(bool all) {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = connections_.erase(it);
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
    while (!stopping_) {
        ReapFinished(false);
        WaitResult w = WaitReadable(listener_, kPollMs);
        if (w != WaitResult::kReady) continue;
        Socket s = Accept(listener_);
        if (!s) continue;
        auto conn = std::make_unique<Connection>();
        conn->socket = std::move(s);
        Connection* raw = conn.get();
        std::lock_guard<std::mutex> lock(mu_);
        if (stopping_) break;  // the socket closes with conn
        connections_.push_back(std::move(conn));
        raw->thread = std::thread([this, raw] {
            Serve(*raw);
            raw->done = true;
        });
    }
}

bool HttpServer::ReadRequest(const Socket& s, HttpRequest* req, int* errorStatus) {
    std::string buf;
    std::size_t headerEnd = std::string::npos;
    char chunk[4096];
    int idleMs = 0;
    while (headerEnd == std::string::npos) {
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
        buf.append(chunk, static_cast<std::size_t>(n));
        headerEnd = buf.find("\r\n\r\n");
        if (headerEnd == std::string::npos && buf.size() > kMaxHeaderBytes) {
            *errorStatus = 431;
            return false;
        }
    }
    std::string head = buf.substr(0, headerEnd);
    std::string rest = buf.substr(headerEnd + 4);

    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t sp1 = requestLine.find(' ');
    std::size_t sp2 = sp1 == std::string::npos ? std::string::npos : requestLine.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) {
        *errorStatus = 400;
        return false;
    }
    req->method = requestLine.substr(0, sp1);
    req->target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    // An absolute-form target (as sent to a proxy) is reduced to its path.
    if (req->target.rfind("http://", 0) == 0) {
        std::size_t slash = req->target.find('/', 7);
        req->target = slash == std::string::npos ? "/" : req->target.substr(slash);
    }
    std::size_t q = req->target.find('?');
    req->path = req->target.substr(0, q);
    req->query = q == std::string::npos ? std::string() : req->target.substr(q + 1);
    std::size_t pos = 0;
    while (pos <= req->query.size() && !req->query.empty()) {
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

    std::size_t lineStart = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (lineStart < head.size()) {
        std::size_t e = head.find("\r\n", lineStart);
        std::string line = head.substr(lineStart, e == std::string::npos ? std::string::npos : e - lineStart);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            req->headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        }
        if (e == std::string::npos) break;
        lineStart = e + 2;
    }

    std::size_t contentLength = 0;
    std::string cl = req->Header("Content-Length");
    if (!cl.empty()) {
        contentLength = static_cast<std::size_t>(std::strtoull(cl.c_str(), nullptr, 10));
        if (contentLength > kMaxBodyBytes) {
            *errorStatus = 413;
            return false;
        }
    }
    while (rest.size() < contentLength) {
        if (stopping_) return false;
        if (WaitReadable(s, kPollMs) != WaitResult::kReady) continue;
        long n = Receive(s, chunk, sizeof chunk);
        if (n <= 0) return false;
        rest.append(chunk, static_cast<std::size_t>(n));
    }
    req->body = rest.substr(0, contentLength);
    return true;
}

bool HttpServer::SendResponse(const Socket& s, const HttpResponse& r, const FaultPlan& plan, FaultKind fault) {
    std::size_t total = r.body.size();
    if (fault == FaultKind::kHugeBody && plan.hugeBytes > total) total = plan.hugeBytes;
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + StatusText(r.status) + "\r\n";
    head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(total) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& [k, v] : r.headers) head += k + ": " + v + "\r\n";
    head += "\r\n";
    if (fault == FaultKind::kDrip) {
        // Header and body alike, a few bytes at a time: a client that only
        // limits each single wait would never give up.
        std::string all = head + r.body;
        for (std::size_t i = 0; i < all.size(); i += 16) {
            if (!SendAll(s, all.data() + i, std::min<std::size_t>(16, all.size() - i))) return false;
            if (!SleepUnlessStopping(plan.dripMs)) return false;
        }
        return true;
    }
    if (!SendAll(s, head.data(), head.size())) return false;
    if (fault == FaultKind::kCutBody) return SendAll(s, r.body.data(), r.body.size() / 2);
    if (!SendAll(s, r.body.data(), r.body.size())) return false;
    // The padding is an HTML comment after the page, streamed in pieces so a
    // huge answer costs no huge buffer here.
    std::size_t left = total - r.body.size();
    std::string pad(64 * 1024, 'x');
    while (left > 0 && !stopping_) {
        std::size_t n = std::min(left, pad.size());
        if (!SendAll(s, pad.data(), n)) return false;
        left -= n;
    }
    return !stopping_;
}

void HttpServer::Serve(Connection& c) {
    HttpRequest req;
    int errorStatus = 0;
    if (!ReadRequest(c.socket, &req, &errorStatus)) {
        if (errorStatus != 0) {
            HttpResponse r;
            r.status = errorStatus;
            r.contentType = "text/plain";
            r.body = StatusText(errorStatus);
            SendResponse(c.socket, r, FaultPlan{}, FaultKind::kNone);
            ShutdownSend(c.socket);
        }
        return;
    }
    int number = ++requestCount_;
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

    HttpResponse r = handler_(req);
    if (fault == FaultKind::kBrokenMarkup) r.body = BreakMarkup(r.body);
    bool sent = SendResponse(c.socket, r, plan, fault);
    if (fault == FaultKind::kCutBody && sent) {
        // Give the half body a moment to leave before the reset overtakes it.
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

}  // namespace sorvix::sitesim
