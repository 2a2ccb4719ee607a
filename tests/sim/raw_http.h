// A bare HTTP client for the simulator's own tests: one GET over the
// simulator's socket layer, reading until the server closes. It knows nothing
// of the program's net layer, so the simulator can be checked on its own.
#pragma once
#include <chrono>
#include <cstdlib>
#include <string>

#include "tools/loopback/socket.h"

namespace sorvix::test {

struct RawAnswer {
    bool connected = false;
    bool gotHeader = false;   // a full header block arrived
    bool reset = false;       // the read ended in an error (connection reset)
    int status = 0;
    std::string head;
    std::string body;
    long contentLength = -1;
    double seconds = 0;
};

// Waits at most timeoutMs for the answer to end.
inline RawAnswer RawGet(std::uint16_t port, const std::string& target, int timeoutMs = 5000) {
    using namespace sorvix::loopback;
    RawAnswer a;
    auto t0 = std::chrono::steady_clock::now();
    Socket s = ConnectLoopback(port);
    if (!s) return a;
    a.connected = true;
    std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
    SendAll(s, req.data(), req.size());
    std::string all;
    char buf[65536];
    for (;;) {
        double left = timeoutMs - std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (left <= 0) break;
        if (WaitReadable(s, static_cast<int>(left)) != WaitResult::kReady) break;
        long n = Receive(s, buf, sizeof buf);
        if (n < 0) {
            a.reset = true;
            break;
        }
        if (n == 0) break;
        all.append(buf, static_cast<std::size_t>(n));
    }
    a.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::size_t end = all.find("\r\n\r\n");
    if (end == std::string::npos) return a;
    a.gotHeader = true;
    a.head = all.substr(0, end);
    a.body = all.substr(end + 4);
    if (a.head.size() > 12) a.status = std::atoi(a.head.c_str() + 9);
    std::size_t cl = a.head.find("Content-Length: ");
    if (cl != std::string::npos) a.contentLength = std::atol(a.head.c_str() + cl + 16);
    return a;
}

}  // namespace sorvix::test
