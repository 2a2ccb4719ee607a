// Winsock half of socket.h.
#include "tools/loopback/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>


namespace sorvix::loopback {

namespace {
SOCKET S(const Socket& s) { return static_cast<SOCKET>(s.Get()); }
std::string WsaError(const char* what) { return std::string(what) + ": WSA error " + std::to_string(WSAGetLastError()); }
}  // namespace

void Socket::Close() {
    if (s_ != kInvalid) {
        ::closesocket(static_cast<SOCKET>(s_));
        s_ = kInvalid;
    }
}

bool InitSockets() {
    // Started once and never cleaned up: other threads may still hold
    // sockets at process exit, and the process end releases Winsock anyway.
    static bool ok = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

Socket ListenLoopback(std::uint16_t port, std::uint16_t* boundPort, std::string* error) {
    if (!InitSockets()) {
        if (error) *error = "WSAStartup failed";
        return {};
    }
    SOCKET raw = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (raw == INVALID_SOCKET) {
        if (error) *error = WsaError("socket");
        return {};
    }
    Socket s(static_cast<Socket::Native>(raw));
    // SO_EXCLUSIVEADDRUSE would refuse a quick restart; plain reuse matches
    // what the POSIX half does.
    BOOL one = TRUE;
    ::setsockopt(raw, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(raw, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(raw, 64) != 0) {
        if (error) *error = WsaError(("bind 127.0.0.1:" + std::to_string(port)).c_str());
        return {};
    }
    int len = sizeof addr;
    ::getsockname(raw, reinterpret_cast<sockaddr*>(&addr), &len);
    if (boundPort) *boundPort = ntohs(addr.sin_port);
    return s;
}

WaitResult WaitReadable(const Socket& s, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(S(s), &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int r = ::select(0, &set, nullptr, nullptr, &tv);
    if (r == SOCKET_ERROR) return WaitResult::kError;
    return r == 0 ? WaitResult::kTimeout : WaitResult::kReady;
}

Socket Accept(const Socket& listener) {
    SOCKET c = ::accept(S(listener), nullptr, nullptr);
    if (c == INVALID_SOCKET) return {};
    BOOL one = TRUE;
    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return Socket(static_cast<Socket::Native>(c));
}

Socket ConnectLoopback(std::uint16_t port) {
    if (!InitSockets()) return {};
    SOCKET raw = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (raw == INVALID_SOCKET) return {};
    Socket s(static_cast<Socket::Native>(raw));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(raw, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return {};
    return s;
}

long Receive(const Socket& s, char* buf, std::size_t len) {
    int n = ::recv(S(s), buf, static_cast<int>(len > 0x7fffffff ? 0x7fffffff : len), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

bool SendAll(const Socket& s, const char* data, std::size_t len) {
    while (len > 0) {
        int chunk = static_cast<int>(len > 0x100000 ? 0x100000 : len);
        int n = ::send(S(s), data, chunk, 0);
        if (n == SOCKET_ERROR || n <= 0) return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

void ShutdownSend(const Socket& s) { ::shutdown(S(s), SD_SEND); }
void ShutdownBoth(const Socket& s) { ::shutdown(S(s), SD_BOTH); }

void AbortiveClose(Socket& s) {
    linger l{1, 0};
    ::setsockopt(S(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    s.Close();
}

}  // namespace sorvix::loopback
