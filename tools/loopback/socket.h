// Minimal blocking TCP sockets for the loopback HTTP server and the bare
// clients of its tests: a loopback listener, accepted connections, waits with
// a time-out and an abortive close (RST). Two halves implement it:
// socket_posix.cpp (BSD sockets) and socket_win.cpp (Winsock), so the server
// runs in-process both natively and under Wine.
// Every Socket owns its descriptor and closes it once; it is move-only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sorvix::loopback {

class Socket {
public:
    // A descriptor that fits both SOCKET (UINT_PTR) and int.
    using Native = std::intptr_t;
    static constexpr Native kInvalid = -1;

    Socket() = default;
    explicit Socket(Native s) : s_(s) {}
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& o) noexcept : s_(o.s_) { o.s_ = kInvalid; }
    Socket& operator=(Socket&& o) noexcept {
        if (this != &o) {
            Close();
            s_ = o.s_;
            o.s_ = kInvalid;
        }
        return *this;
    }

    explicit operator bool() const { return s_ != kInvalid; }
    Native Get() const { return s_; }
    void Close();

private:
    Native s_ = kInvalid;
};

// Starts the platform's socket library once per process (WSAStartup); a no-op
// natively. Returns false when sockets cannot be used at all.
bool InitSockets();

// Listens on 127.0.0.1:port (0 picks a free port). On success *boundPort
// holds the port actually bound. Address reuse is on so a restarted
// server can take its port back at once.
Socket ListenLoopback(std::uint16_t port, std::uint16_t* boundPort, std::string* error);

enum class WaitResult { kReady, kTimeout, kError };
// Waits until the socket is readable (data, a pending connection or the
// peer's close) or timeoutMs passes.
WaitResult WaitReadable(const Socket& s, int timeoutMs);

Socket Accept(const Socket& listener);

// Connects to 127.0.0.1:port (tests use it as a bare client).
Socket ConnectLoopback(std::uint16_t port);

// Both return the byte count, 0 for an orderly close by the peer, -1 on error.
long Receive(const Socket& s, char* buf, std::size_t len);
// Sends the whole buffer; false when the peer went away.
bool SendAll(const Socket& s, const char* data, std::size_t len);

// Ends our sending side; the peer then reads end-of-stream.
void ShutdownSend(const Socket& s);
// Wakes any thread blocked on the socket (used when the server stops).
void ShutdownBoth(const Socket& s);
// Closes with linger 0 so the peer sees a connection reset instead of a FIN.
void AbortiveClose(Socket& s);

}  // namespace sorvix::loopback
