// The WinInet transport. The ANSI ("A") entry points are used throughout, on
// purpose: texts are GBK bytes, and WinInet widens A arguments with the ANSI
// code page and narrows them back with the same page before they go on the
// wire, so header bytes arrive unchanged under code page 936 and 1252 alike.
// Host and path are ASCII by construction (MakeWirePath percent-encodes the
// path), so the code page never touches them. Covered by the net tests run
// under Wine (http_client_test, fetch_page_test).
//
// Time-outs go on the connection and the request handle: set on the session
// handle they are ignored. A single receive time-out does not bound a call
// (a server dripping one byte per receive window keeps it alive), so reads
// take only what InternetQueryDataAvailable reports and the caller checks its
// deadline between reads. The platform never follows redirects itself (it
// follows a redirect loop for ever): request_chain.cpp does.
//
// The overall deadline: per-call time-outs do not bound a send whose answer
// head arrives one byte per receive window, so every request has a watchdog
// thread (DeadlineWatch) that closes the request handle when the deadline
// passes; the platform documents that closing a handle from another thread
// cancels a call blocked on it. (Wine 8's WinInet notices the close only when
// the call's current socket wait ends: body reads still stop at the next
// byte, but a dripped answer head runs to its end there: measured, a 91-byte
// head dripped at 100 ms a byte holds a call with a 2.5 s deadline for 9.1 s,
// i.e. for as long as the server takes to send the head.) The handle then
// belongs to the watchdog: the request never passes it to the platform again
// and never closes it a second time, and the watchdog is stopped and joined
// before the request closes the handle itself, so it cannot close the handle
// of a finished request.
// Hazard: closing a request whose announced content is not read yet makes the
// platform read the rest away first (as fast as the server sends it), so an
// answer dropped at the size ceiling still costs its whole transfer; an
// announced length over the ceiling is therefore refused before reading.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "net/transport.h"
#include "net/unique_handle.h"

namespace sorvix {

using namespace net_detail;

namespace {

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) {
        DWORD saved = GetLastError();
        InternetCloseHandle(h);
        SetLastError(saved);
    }
};
using InternetHandle = UniqueHandle<InternetTraits>;

DWORD ClampMs(long long ms) {
    return static_cast<DWORD>(std::clamp<long long>(ms, 1, 0x7FFFFFFF));
}

void SetTimeouts(HINTERNET h, const NetConfig& config, Clock::time_point deadline) {
    long long left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    DWORD connect = ClampMs(std::min<long long>(config.connectTimeoutMs, left));
    DWORD send = ClampMs(std::min<long long>(config.sendTimeoutMs, left));
    DWORD receive = ClampMs(std::min<long long>(config.receiveTimeoutMs, left));
    InternetSetOptionA(h, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(h, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof send);
    InternetSetOptionA(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

std::optional<std::string> QueryText(HINTERNET request, DWORD query, DWORD initialSize) {
    // The buffer grows to what the platform asks for, so a header block of
    // any length is read whole.
    std::vector<char> buffer(initialSize + 1, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = static_cast<DWORD>(buffer.size() - 1);
        if (HttpQueryInfoA(request, query, buffer.data(), &length, nullptr)) {
            return std::string(buffer.data(), std::min<size_t>(length, buffer.size() - 1));
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        buffer.assign(static_cast<size_t>(length) + 2, '\0');
    }
    return std::nullopt;
}

// Owns a request handle and closes it at the latest when `deadline` passes.
// Use() gives the handle for the next platform call, or nullptr once the
// watchdog has closed it (the platform fails a call on a null handle
// cleanly). One watchdog thread per request, ended and joined in the
// destructor before the handle is closed there.
class DeadlineWatch {
public:
    DeadlineWatch(HINTERNET request, Clock::time_point deadline) : request_(request), deadline_(deadline) {
        try {
            thread_ = std::thread([this] { Watch(); });
        } catch (...) {
            InternetTraits::Close(request_);  // no watchdog, no request
            throw;
        }
    }

    ~DeadlineWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        wake_.notify_all();
        thread_.join();
        // From here on nobody else holds the handle.
        if (!expired_) InternetTraits::Close(request_);
    }

    DeadlineWatch(const DeadlineWatch&) = delete;
    DeadlineWatch& operator=(const DeadlineWatch&) = delete;

    HINTERNET Use() {
        std::lock_guard<std::mutex> lock(mutex_);
        return expired_ ? nullptr : request_;
    }

    // True once the deadline has closed the handle.
    bool Expired() {
        std::lock_guard<std::mutex> lock(mutex_);
        return expired_;
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_until(lock, deadline_, [this] { return finished_; })) return;
        // Under the lock, so a caller gets either the handle before this (its
        // call then fails as the handle goes) or nullptr after it. What stays
        // open: a caller that took the handle just before the close, and
        // enters the platform just after another thread has been given the
        // same handle value anew; the window is a few instructions wide.
        expired_ = true;
        InternetTraits::Close(request_);
    }

    HINTERNET request_;
    const Clock::time_point deadline_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool finished_ = false;
    bool expired_ = false;
    std::thread thread_;
};

class WinRequest final : public TransportRequest {
public:
    WinRequest(HINTERNET request, Clock::time_point deadline) : watch_(request, deadline) {}

    NetStatus Send(const std::string& headers, const std::string& body) override {
        const bool sent = HttpSendRequestA(watch_.Use(), headers.empty() ? nullptr : headers.data(),
                                           static_cast<DWORD>(headers.size()),
                                           body.empty() ? nullptr : const_cast<char*>(body.data()),
                                           static_cast<DWORD>(body.size())) != FALSE;
        const DWORD error = sent ? 0 : GetLastError();
        // Kept now: once the deadline has taken the handle, the answer's
        // head is still there for the caller, as with the other transport.
        rawHeaders_ = sent ? QueryText(watch_.Use(), HTTP_QUERY_RAW_HEADERS_CRLF, 5000) : std::nullopt;
        contentLength_ = sent ? QueryText(watch_.Use(), HTTP_QUERY_CONTENT_LENGTH, 32) : std::nullopt;
        if (sent) return NetStatus::Ok;
        return error == ERROR_INTERNET_CANNOT_CONNECT || error == ERROR_INTERNET_NAME_NOT_RESOLVED
                   ? NetStatus::ConnectFailed
                   : NetStatus::SendFailed;
    }

    ReadResult Read(char* buffer, std::size_t max) override {
        // Ask how much is there only when the last answer is used up: a read
        // of at most that much returns at once, and the query halves the
        // calls on a large body.
        if (available_ == 0) {
            DWORD available = 0;
            if (!InternetQueryDataAvailable(watch_.Use(), &available, 0, 0)) return Failed();
            if (available == 0) return {0, NetStatus::Ok};
            available_ = available;
        }
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(available_, max));
        DWORD got = 0;
        if (!InternetReadFile(watch_.Use(), buffer, want, &got)) return Failed();
        // A zero read while data was announced means the stream ended early.
        if (got == 0) return Failed();
        available_ -= got;
        return {got, NetStatus::Ok};
    }

    std::optional<std::string> RawHeaders() override { return rawHeaders_; }

    std::optional<std::string> ContentLength() override { return contentLength_; }

private:
    ReadResult Failed() {
        return {0, watch_.Expired() ? NetStatus::TimedOut : NetStatus::ReadFailed};
    }

    DeadlineWatch watch_;
    DWORD available_ = 0;  // bytes announced by the last query, not yet read
    std::optional<std::string> rawHeaders_;     // of the last successful send
    std::optional<std::string> contentLength_;
};

class WinConnection final : public TransportConnection {
public:
    WinConnection(InternetHandle connection, const NetConfig& config, Clock::time_point deadline)
        : connection_(std::move(connection)), config_(config), deadline_(deadline) {}

    std::unique_ptr<TransportRequest> OpenRequest(const RequestParams& p) override {
        const char* acceptTypes[2] = {p.acceptType ? p.acceptType->c_str() : nullptr, nullptr};
        InternetHandle request(HttpOpenRequestA(connection_.Get(), p.verb.c_str(), p.path.c_str(),
                                                p.version.c_str(), nullptr,
                                                p.acceptType ? acceptTypes : nullptr,
                                                p.flags | INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
        if (!request) return nullptr;
        SetTimeouts(request.Get(), config_, deadline_);
        return std::make_unique<WinRequest>(request.Release(), deadline_);
    }

private:
    InternetHandle connection_;
    NetConfig config_;
    Clock::time_point deadline_;
};

class WinSession final : public TransportSession {
public:
    explicit WinSession(InternetHandle session) : session_(std::move(session)) {}

    std::unique_ptr<TransportConnection> Connect(const ConnectParams& p, const NetConfig& config,
                                                 Clock::time_point deadline) override {
        InternetHandle connection(InternetConnectA(
            session_.Get(), p.host.c_str(), static_cast<INTERNET_PORT>(p.port), p.user.c_str(),
            p.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection) return nullptr;
        SetTimeouts(connection.Get(), config, deadline);
        return std::make_unique<WinConnection>(std::move(connection), config, deadline);
    }

private:
    InternetHandle session_;
};

class WinTransport final : public Transport {
public:
    std::unique_ptr<TransportSession> OpenSession(const SessionParams& p) override {
        InternetHandle session(
            p.proxy.empty()
                ? InternetOpenA(p.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, "", "", 0)
                : InternetOpenA(p.agent.c_str(), INTERNET_OPEN_TYPE_PROXY, p.proxy.c_str(), "", 0));
        if (!session) return nullptr;
        return std::make_unique<WinSession>(std::move(session));
    }
};

}  // namespace

std::shared_ptr<Transport> PlatformTransport() {
    static std::shared_ptr<Transport> transport = std::make_shared<WinTransport>();
    return transport;
}

}  // namespace sorvix
