// A loopback HTTP server for the network tests, run in-process on a thread of
// the test binary (POSIX sockets natively, Winsock under Wine), so the same
// test talks to it through curl natively and through WinInet under Wine.
//
// It records every request byte, answers each request from a table of canned
// responses, one request per connection, and can misbehave on purpose:
// answer never, reset in the middle of the body, or drip the body (or the
// whole answer, head first) slowly.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sorvix::test {

struct RecordedRequest {
    std::string raw;          // every byte received, head and body
    std::string method;       // "GET"
    std::string target;       // path with query, as on the request line
    std::string version;      // "HTTP/1.1"
    std::vector<std::string> headerLines;  // in order, without line ends
    std::string body;
    // Header value by name (case-insensitive), empty when absent.
    std::string Header(const std::string& name) const;
};

enum class Fault {
    None,
    NeverAnswer,   // read the request, then hold the connection silently
    ResetMidBody,  // send `resetAfter` bytes of the answer, then reset (RST)
    Drip,          // send the head, then the body one byte per `dripMs`
    DripHead,      // send the whole answer, head included, one byte per `dripMs`
};

struct CannedResponse {
    std::string raw;  // the exact bytes to answer with
    Fault fault = Fault::None;
    std::size_t resetAfter = 0;
    int dripMs = 0;
};

// A complete answer: status line, the given header lines, Content-Length
// (unless `withLength` is false), "Connection: close" and the body.
CannedResponse MakeResponse(int status, const std::string& reason,
                            const std::vector<std::string>& headerLines,
                            const std::string& body, bool withLength = true);

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string Base() const;

    // Answers requests whose target equals `target`, or, failing any exact
    // match, whose path (target before "?") equals it. Unrouted: 404.
    void Route(const std::string& target, CannedResponse response);
    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();
    // Connections accepted so far.
    int Connections() const { return connections_.load(); }
    // Waits (up to 5 s) until no connection is being served.
    void WaitIdle() const;

    // A loopback port where nothing listens (connection refused).
    static int RefusedPort();

private:
    void Run();
    void Serve(std::intptr_t socket);
    const CannedResponse& Lookup(const std::string& target) const;

    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> busy_{0};
    mutable std::mutex mutex_;
    std::map<std::string, CannedResponse> routes_;
    std::vector<RecordedRequest> requests_;
    CannedResponse notFound_;
    std::thread thread_;
};

}  // namespace sorvix::test
