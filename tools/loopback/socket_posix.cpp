// BSD-socket half of socket.h.
#include "tools/loopback/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sorvix::loopback {

void Socket::Close() {
    if (s_ != kInvalid) {
        ::close(static_cast<int>(s_));
        s_ = kInvalid;
    }
}

bool InitSockets() {
    // A client that goes away mid-answer must not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

Socket ListenLoopback(std::uint16_t port, std::uint16_t* boundPort, std::string* error) {
    Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    if (!s) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    int one = 1;
    ::setsockopt(static_cast<int>(s.Get()), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(static_cast<int>(s.Get()), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(static_cast<int>(s.Get()), 64) != 0) {
        if (error) *error = "bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return {};
    }
    socklen_t len = sizeof addr;
    ::getsockname(static_cast<int>(s.Get()), reinterpret_cast<sockaddr*>(&addr), &len);
    if (boundPort) *boundPort = ntohs(addr.sin_port);
    return s;
}

WaitResult WaitReadable(const Socket& s, int timeoutMs) {
    pollfd p{static_cast<int>(s.Get()), POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) return errno == EINTR ? WaitResult::kTimeout : WaitResult::kError;
    if (r == 0) return WaitResult::kTimeout;
    if (p.revents & POLLNVAL) return WaitResult::kError;
    return WaitResult::kReady;
}

Socket Accept(const Socket& listener) {
    int c = ::accept(static_cast<int>(listener.Get()), nullptr, nullptr);
    if (c < 0) return {};
    int one = 1;
    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return Socket(c);
}

Socket ConnectLoopback(std::uint16_t port) {
    Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    if (!s) return {};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(static_cast<int>(s.Get()), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return {};
    return s;
}

long Receive(const Socket& s, char* buf, std::size_t len) {
    for (;;) {
        ssize_t n = ::recv(static_cast<int>(s.Get()), buf, len, 0);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool SendAll(const Socket& s, const char* data, std::size_t len) {
    while (len > 0) {
        ssize_t n = ::send(static_cast<int>(s.Get()), data, len, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

void ShutdownSend(const Socket& s) { ::shutdown(static_cast<int>(s.Get()), SHUT_WR); }
void ShutdownBoth(const Socket& s) { ::shutdown(static_cast<int>(s.Get()), SHUT_RDWR); }

void AbortiveClose(Socket& s) {
    linger l{1, 0};
    ::setsockopt(static_cast<int>(s.Get()), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    s.Close();
}

}  // namespace sorvix::loopback
