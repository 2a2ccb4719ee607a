// The loopback test server; see loopback_server.h. Sockets differ between
// Winsock and POSIX in a handful of calls, kept behind the small shims below.
#include "loopback_server.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
using SockLen = int;
constexpr SocketHandle kNoSocket = INVALID_SOCKET;
static void CloseSocket(SocketHandle s) { closesocket(s); }
static int SendFlags() { return 0; }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketHandle = int;
using SockLen = socklen_t;
constexpr SocketHandle kNoSocket = -1;
static void CloseSocket(SocketHandle s) { close(s); }
static int SendFlags() { return MSG_NOSIGNAL; }  // a vanished peer must not raise SIGPIPE
#endif

namespace sorvix::test {

namespace {

constexpr int kPollMs = 10;

#ifdef _WIN32
struct WinsockInit {
    WinsockInit() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};
void EnsureSockets() { static WinsockInit init; }
#else
void EnsureSockets() {}
#endif

// Waits until `s` is readable; false on time-out.
bool WaitReadable(SocketHandle s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv) > 0;
}

bool SendAll(SocketHandle s, const char* data, std::size_t size) {
    while (size > 0) {
        int chunk = static_cast<int>(size > 65536 ? 65536 : size);
        int n = send(s, data, chunk, SendFlags());
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string LowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

SocketHandle ListenOnLoopback(int& port) {
    EnsureSockets();
    SocketHandle s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket) return s;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    SockLen len = sizeof addr;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        CloseSocket(s);
        return kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return s;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    std::string wanted = LowerAscii(name) + ":";
    for (const std::string& line : headerLines) {
        if (LowerAscii(line.substr(0, wanted.size())) == wanted) {
            std::string value = line.substr(wanted.size());
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            return value;
        }
    }
    return {};
}

CannedResponse MakeResponse(int status, const std::string& reason,
                            const std::vector<std::string>& headerLines, const std::string& body,
                            bool withLength) {
    std::string raw = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    for (const std::string& line : headerLines) raw += line + "\r\n";
    if (withLength) raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    raw += "Connection: close\r\n\r\n";
    raw += body;
    CannedResponse r;
    r.raw = std::move(raw);
    return r;
}

LoopbackServer::LoopbackServer() {
    notFound_ = MakeResponse(404, "Not Found", {"Content-Type: text/html"}, "no route");
    SocketHandle s = ListenOnLoopback(port_);
    if (s != kNoSocket && listen(s, 64) == 0) {
        listener_ = static_cast<std::intptr_t>(s);
        thread_ = std::thread([this] { Run(); });
    } else if (s != kNoSocket) {
        CloseSocket(s);
    }
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != -1) CloseSocket(static_cast<SocketHandle>(listener_));
}

std::string LoopbackServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

void LoopbackServer::Route(const std::string& target, CannedResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[target] = std::move(response);
}

std::vector<RecordedRequest> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

int LoopbackServer::RefusedPort() {
    int port = 0;
    SocketHandle s = ListenOnLoopback(port);
    // Bound but never listening, then closed: nothing accepts on this port.
    if (s != kNoSocket) CloseSocket(s);
    return port;
}

const CannedResponse& LoopbackServer::Lookup(const std::string& target) const {
    auto it = routes_.find(target);
    if (it == routes_.end()) it = routes_.find(target.substr(0, target.find('?')));
    return it == routes_.end() ? notFound_ : it->second;
}

void LoopbackServer::Run() {
    // One thread per connection, so that a connection held open on purpose
    // (never answering, dripping) does not stop others from being served.
    // Finished workers are joined as we go: their handles must not pile up,
    // since the leak tests count the process's threads and handles.
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers;
    auto reap = [&](bool all) {
        for (auto it = workers.begin(); it != workers.end();) {
            if (all || it->done->load()) {
                it->thread.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
    };
    SocketHandle listener = static_cast<SocketHandle>(listener_);
    while (!stop_) {
        reap(false);
        if (!WaitReadable(listener, kPollMs)) continue;
        SocketHandle client = accept(listener, nullptr, nullptr);
        if (client == kNoSocket) continue;
        ++connections_;
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers.push_back(Worker{std::thread([this, client, done] {
                                     Serve(static_cast<std::intptr_t>(client));
                                     *done = true;
                                 }),
                                 done});
    }
    reap(true);
}

void LoopbackServer::WaitIdle() const {
    // Busy connections count themselves in Serve; wait for them to finish.
    for (int i = 0; i < 500 && busy_.load() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void LoopbackServer::Serve(std::intptr_t handle) {
    SocketHandle s = static_cast<SocketHandle>(handle);
    // A connection counts as busy from its first byte: the platform may open
    // a connection it never uses, and WaitIdle must not wait for that one.
    // The request is recorded before it is answered, so once a client has
    // its answer the connection is already counted.
    struct BusyGuard {
        std::atomic<int>& n;
        bool counted = false;
        void Count() {
            if (!counted) ++n;
            counted = true;
        }
        ~BusyGuard() {
            if (counted) --n;
        }
    } guard{busy_};
    RecordedRequest req;
    char buf[8192];
    std::size_t headEnd = std::string::npos;
    std::size_t need = std::string::npos;  // total bytes of head + body
    auto idleSince = std::chrono::steady_clock::now();
    while (!stop_) {
        if (need != std::string::npos && req.raw.size() >= need) break;
        if (!WaitReadable(s, kPollMs)) {
            // A client that connects and sends nothing (a speculative
            // connection) is dropped after a while rather than blocking us.
            if (std::chrono::steady_clock::now() - idleSince > std::chrono::seconds(10)) break;
            continue;
        }
        int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        guard.Count();
        idleSince = std::chrono::steady_clock::now();
        req.raw.append(buf, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos) {
            headEnd = req.raw.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                std::string head = req.raw.substr(0, headEnd);
                std::size_t lineEnd = head.find("\r\n");
                std::string requestLine = head.substr(0, lineEnd);
                std::size_t sp1 = requestLine.find(' ');
                std::size_t sp2 = requestLine.rfind(' ');
                if (sp1 != std::string::npos && sp2 > sp1) {
                    req.method = requestLine.substr(0, sp1);
                    req.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
                    req.version = requestLine.substr(sp2 + 1);
                }
                while (lineEnd != std::string::npos) {
                    std::size_t next = head.find("\r\n", lineEnd + 2);
                    req.headerLines.push_back(head.substr(lineEnd + 2, next == std::string::npos
                                                                           ? std::string::npos
                                                                           : next - lineEnd - 2));
                    lineEnd = next;
                }
                std::size_t length = 0;
                std::string lengthText = req.Header("Content-Length");
                if (!lengthText.empty()) length = std::stoul(lengthText);
                need = headEnd + 4 + length;
            }
        }
    }
    if (headEnd == std::string::npos || req.raw.size() < need) {
        CloseSocket(s);
        return;
    }
    req.body = req.raw.substr(headEnd + 4);
    CannedResponse response;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(req);
        response = Lookup(req.target);
    }

    switch (response.fault) {
        case Fault::None:
            SendAll(s, response.raw.data(), response.raw.size());
            break;
        case Fault::NeverAnswer:
            // Hold the connection until the client gives up (or we stop).
            while (!stop_) {
                if (!WaitReadable(s, kPollMs)) continue;
                if (recv(s, buf, sizeof buf, 0) <= 0) break;
            }
            break;
        case Fault::ResetMidBody: {
            SendAll(s, response.raw.data(), std::min(response.resetAfter, response.raw.size()));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            linger hard{1, 0};  // close with RST instead of FIN
            setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
            break;
        }
        case Fault::Drip:
        case Fault::DripHead: {
            std::size_t bodyAt = response.raw.find("\r\n\r\n");
            bodyAt = bodyAt == std::string::npos || response.fault == Fault::DripHead ? 0 : bodyAt + 4;
            bool alive = SendAll(s, response.raw.data(), bodyAt);
            for (std::size_t i = bodyAt; alive && !stop_ && i < response.raw.size(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(response.dripMs));
                alive = SendAll(s, response.raw.data() + i, 1);
            }
            break;
        }
    }
    CloseSocket(s);
}

}  // namespace sorvix::test
