// One transport interface under HttpClient and fetchPage, shaped like the
// platform's handle chain: session -> connection -> request. The Windows build
// implements it with WinInet (transport_win.cpp), the native build with libcurl
// (transport_posix.cpp); both behave the same as seen from the server and from
// the caller (see tests/net/http_client_test.cpp for the remaining wire
// differences). Objects close on destruction; a request must be destroyed
// before its connection, a connection before its session (leaf first).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/net_config.h"
#include "net/net_status.h"

namespace sorvix {

// Request flags, with the platform's values so that both transports and the
// tests speak the same language.
inline constexpr std::uint32_t kFlagReload = 0x80000000u;
inline constexpr std::uint32_t kFlagNoCacheWrite = 0x04000000u;
inline constexpr std::uint32_t kFlagSecure = 0x00800000u;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;
inline constexpr std::uint32_t kFlagNoCookies = 0x00080000u;
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000u;
inline constexpr std::uint32_t kFlagNeedFile = 0x00000010u;

using Clock = std::chrono::steady_clock;

struct SessionParams {
    std::string agent;
    // Empty: direct access. Otherwise a proxy list such as "http=host:port".
    std::string proxy;
};

struct ConnectParams {
    std::string host;  // ASCII host name or address
    int port = 80;
    std::string user;
    std::string password;
};

struct RequestParams {
    std::string verb;     // "GET" or "POST"
    std::string path;     // object path with query, ASCII-safe (see MakeWirePath)
    std::string version;  // "HTTP/1.1" or "HTTP/1.0"
    std::uint32_t flags = 0;
    // One accept-type entry handed to the request object, or none.
    std::optional<std::string> acceptType;
};

struct ReadResult {
    std::size_t got = 0;               // 0 with status Ok: end of body
    NetStatus status = NetStatus::Ok;  // ReadFailed / TimedOut / TooLarge
};

class TransportRequest {
public:
    virtual ~TransportRequest() = default;
    // Sends the request with the extra header block (lines joined by "\r\n",
    // passed through byte for byte) and the body, and waits for the answer's
    // header. Ok when an answer head came back; ConnectFailed when the
    // server could not be reached (refused, unknown host); SendFailed for
    // anything else (reset, no answer within the time-outs).
    virtual NetStatus Send(const std::string& headers, const std::string& body) = 0;
    // Reads up to `max` body bytes. Returns as soon as some bytes are there,
    // so that the caller can check its deadline between reads.
    virtual ReadResult Read(char* buffer, std::size_t max) = 0;
    // Hands the whole body over at once, without a copy, when the transport
    // already holds all of it (the native one receives the answer inside
    // Send) and nothing has been read yet; then Read has nothing left. False
    // otherwise (also when the transfer failed: Read then says how).
    virtual bool TakeBody(std::string& body) {
        (void)body;
        return false;
    }
    // The raw header block of the final answer, lines joined by "\r\n" and
    // ending with an empty line; nullopt when there is none.
    virtual std::optional<std::string> RawHeaders() = 0;
    // The Content-Length header's text, nullopt when absent.
    virtual std::optional<std::string> ContentLength() = 0;
};

class TransportConnection {
public:
    virtual ~TransportConnection() = default;
    virtual std::unique_ptr<TransportRequest> OpenRequest(const RequestParams& params) = 0;
};

class TransportSession {
public:
    virtual ~TransportSession() = default;
    // Thread-safe: the page fetch shares one session between threads.
    virtual std::unique_ptr<TransportConnection> Connect(const ConnectParams& params,
                                                         const NetConfig& config,
                                                         Clock::time_point deadline) = 0;
};

class Transport {
public:
    virtual ~Transport() = default;
    virtual std::unique_ptr<TransportSession> OpenSession(const SessionParams& params) = 0;
};

// The platform's transport (WinInet on Windows, libcurl elsewhere); one
// shared instance for the process.
std::shared_ptr<Transport> PlatformTransport();

// The object path as it goes on the wire: bytes that are not printable ASCII
// (controls, space, DEL and every byte of 0x80 and above, i.e. GBK text) are
// percent-encoded, so that the request line is the same whatever the ANSI code
// page and whichever transport carries it. Existing "%xx" stay as they are.
std::string MakeWirePath(const std::string& path);

}  // namespace sorvix
