// The loopback server on its own, through bare sockets: routes, the record of
// every request byte, each fault at the byte level (what arrives and when),
// a refused port, and Stop() and WaitIdle() around connections held open.
// Runs natively and under Wine (Winsock).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "raw_http.h"
#include "tools/loopback/http_server.h"

namespace sorvix {
namespace {

using loopback::Fault;
using loopback::FaultKind;
using loopback::FaultPlan;
using loopback::HttpServer;
using loopback::MakeResponse;
using test::RawGet;

double SecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Sends `request` as is and reads until the server closes, noting when the
// first byte and the end of the head arrived.
struct Timed {
    std::string all;
    double firstByte = -1;
    double headDone = -1;
    double end = 0;
    bool reset = false;
};

Timed Exchange(std::uint16_t port, const std::string& request, int timeoutMs = 10000) {
    using namespace loopback;
    Timed t;
    auto t0 = std::chrono::steady_clock::now();
    Socket s = ConnectLoopback(port);
    if (!s) return t;
    SendAll(s, request.data(), request.size());
    char buf[65536];
    while (SecondsSince(t0) * 1000 < timeoutMs) {
        if (WaitReadable(s, 100) != WaitResult::kReady) continue;
        long n = Receive(s, buf, sizeof buf);
        if (n < 0) t.reset = true;
        if (n <= 0) break;
        if (t.firstByte < 0) t.firstByte = SecondsSince(t0);
        t.all.append(buf, static_cast<std::size_t>(n));
        if (t.headDone < 0 && t.all.find("\r\n\r\n") != std::string::npos) t.headDone = SecondsSince(t0);
    }
    t.end = SecondsSince(t0);
    return t;
}

class LoopbackServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Start(0, &error)) << error;
    }
    HttpServer server;
};

TEST_F(LoopbackServerTest, RoutesMatchTheTargetFirstThenThePath) {
    server.Route("/a", MakeResponse(200, "OK", {"X-Which: path"}, "by path"));
    server.Route("/a?k=1", MakeResponse(201, "Made", {}, "by target"));
    struct {
        const char* target;
        int status;
        const char* body;
    } cases[] = {
        {"/a?k=1", 201, "by target"},
        {"/a?k=2", 200, "by path"},
        {"/a", 200, "by path"},
        {"/b", 404, "no route"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        auto a = RawGet(server.Port(), c.target);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.body, c.body);
    }
    // The head as written: status line and reason, the lines in order, the
    // length, the close; nothing added.
    auto made = RawGet(server.Port(), "/a?k=1");
    EXPECT_EQ(made.head, "HTTP/1.1 201 Made\r\nContent-Length: 9\r\nConnection: close");
    auto path = RawGet(server.Port(), "/a");
    EXPECT_EQ(path.head, "HTTP/1.1 200 OK\r\nX-Which: path\r\nContent-Length: 7\r\nConnection: close");
}

TEST_F(LoopbackServerTest, EveryRequestIsRecordedByteForByte) {
    server.Route("/p", MakeResponse(200, "OK", {}, "ok"));
    const std::string request =
        "POST /p?x=%41&y HTTP/1.1\r\nHost: 127.0.0.1\r\nx-odd:  two  blanks \r\nContent-Length: 5\r\n\r\nab\r\nc";
    Timed t = Exchange(server.Port(), request);
    ASSERT_NE(t.all.find("\r\n\r\nok"), std::string::npos) << t.all;
    server.WaitIdle();
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    const auto& r = seen[0];
    EXPECT_EQ(r.raw, request);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/p?x=%41&y");
    EXPECT_EQ(r.path, "/p");
    EXPECT_EQ(r.version, "HTTP/1.1");
    EXPECT_EQ(r.headerLines,
              (std::vector<std::string>{"Host: 127.0.0.1", "x-odd:  two  blanks ", "Content-Length: 5"}));
    EXPECT_EQ(r.Header("X-ODD"), "two  blanks");
    EXPECT_EQ(r.Header("Missing"), "");
    EXPECT_EQ(r.body, "ab\r\nc");
    ASSERT_NE(r.RawParam("x"), nullptr);
    EXPECT_EQ(*r.RawParam("x"), "%41");
    ASSERT_NE(r.RawParam("y"), nullptr);
    EXPECT_EQ(*r.RawParam("y"), "");
    EXPECT_EQ(r.RawParam("z"), nullptr);
    server.ClearRequests();
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(LoopbackServerTest, ABodyArrivingInPiecesIsWaitedFor) {
    server.Route("/p", MakeResponse(200, "OK", {}, "ok"));
    loopback::Socket s = loopback::ConnectLoopback(server.Port());
    const std::string head = "POST /p HTTP/1.1\r\nContent-Length: 6\r\n\r\nabc";
    loopback::SendAll(s, head.data(), head.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(server.Requests().empty()) << "answered before the body was complete";
    loopback::SendAll(s, "def", 3);
    ASSERT_EQ(loopback::WaitReadable(s, 3000), loopback::WaitResult::kReady);
    server.WaitIdle();
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].body, "abcdef");
}

// Each fault as the bytes show it.
TEST_F(LoopbackServerTest, EachFaultSendsWhatItSays) {
    const std::string body = std::string(40, 'a') + std::string(40, 'b');
    server.Route("/f", MakeResponse(200, "OK", {"X-Own: kept"}, body));
    const std::string get = "GET /f?n=1 HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string wholeHead = "HTTP/1.1 200 OK\r\nX-Own: kept\r\nContent-Length: 80\r\nConnection: close\r\n\r\n";

    struct Case {
        const char* name;
        FaultPlan plan;
        std::function<void(const Timed&)> check;
    };
    FaultPlan cut = Fault(FaultKind::kCutBody);
    cut.cutBytes = 10;
    FaultPlan huge = Fault(FaultKind::kHugeHeaders);
    huge.hugeBytes = 200000;
    FaultPlan hugeBody = Fault(FaultKind::kHugeBody);
    hugeBody.hugeBytes = 100000;
    FaultPlan dripBody = Fault(FaultKind::kDripBody);
    dripBody.dripMs = 10;
    dripBody.dripBytes = 8;  // 10 pieces of body
    FaultPlan drip = Fault(FaultKind::kDrip);
    drip.dripMs = 10;
    drip.dripBytes = 1;
    const Case cases[] = {
        {"none", {}, [&](const Timed& t) { EXPECT_EQ(t.all, wholeHead + body); }},
        {"cut after 10 body bytes, then reset", cut,
         [&](const Timed& t) {
             EXPECT_EQ(t.all, wholeHead + body.substr(0, 10));
#ifndef _WIN32
             // Winsock under Wine reports the reset as an orderly end.
             EXPECT_TRUE(t.reset);
#endif
         }},
        {"cut at half by default", Fault(FaultKind::kCutBody),
         [&](const Timed& t) { EXPECT_EQ(t.all, wholeHead + body.substr(0, 40)); }},
        {"reset: nothing at all", Fault(FaultKind::kReset), [&](const Timed& t) { EXPECT_EQ(t.all, ""); }},
        {"huge headers before the answer's own", huge,
         [&](const Timed& t) {
             std::size_t end = t.all.find("\r\n\r\n");
             ASSERT_NE(end, std::string::npos);
             EXPECT_GE(end, 200000u);
             EXPECT_EQ(t.all.rfind("HTTP/1.1 200 OK\r\nX-Filler-0: hhh", 0), 0u);
             EXPECT_NE(t.all.find("\r\nX-Own: kept\r\nContent-Length: 80\r\n"), std::string::npos);
             EXPECT_EQ(t.all.substr(end + 4), body);
         }},
        {"huge body: the page, then padding to the announced size", hugeBody,
         [&](const Timed& t) {
             ASSERT_EQ(t.all.rfind("HTTP/1.1 200 OK\r\nX-Own: kept\r\nContent-Length: 100000\r\n", 0), 0u);
             std::string got = t.all.substr(t.all.find("\r\n\r\n") + 4);
             EXPECT_EQ(got.size(), 100000u);
             EXPECT_EQ(got.substr(0, 80), body);
         }},
        {"bad chunking: one good chunk, then a size that is no number", Fault(FaultKind::kBadChunking),
         [&](const Timed& t) {
             EXPECT_EQ(t.all, "HTTP/1.1 200 OK\r\nX-Own: kept\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                              "28\r\n" + body.substr(0, 40) + "\r\nzz\r\n" + body.substr(40) + "\r\n0\r\n\r\n");
         }},
        {"redirect loop: back to the very target", Fault(FaultKind::kRedirectLoop),
         [&](const Timed& t) {
             EXPECT_EQ(t.all.rfind("HTTP/1.1 302 Found\r\n", 0), 0u) << t.all;
             EXPECT_NE(t.all.find("\r\nLocation: /f?n=1\r\n"), std::string::npos) << t.all;
             EXPECT_EQ(t.all.find("X-Own"), std::string::npos) << "the route's own answer was sent";
         }},
        {"drip the body: the head at once, the body over ten pieces", dripBody,
         [&](const Timed& t) {
             EXPECT_EQ(t.all, wholeHead + body);
             EXPECT_LT(t.headDone, 0.09) << "the head came dripped";
             EXPECT_GE(t.end - t.headDone, 9 * 0.010 * 0.9);
         }},
        {"drip everything: one byte each 10 ms from the status line on", drip,
         [&](const Timed& t) {
             EXPECT_EQ(t.all, wholeHead + body);
             EXPECT_GE(t.headDone, (wholeHead.size() - 1) * 0.010 * 0.9);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetFaults(c.plan);
        Timed t = Exchange(server.Port(), get);
        c.check(t);
    }
}

TEST_F(LoopbackServerTest, AFaultHitsOnlyTargetsContainingItsText) {
    server.Route("/slow", MakeResponse(200, "OK", {}, "s"));
    server.Route("/fine", MakeResponse(200, "OK", {}, "f"));
    FaultPlan plan = Fault(FaultKind::kReset);
    plan.pathContains = "/slow";
    server.SetFaults(plan);
    EXPECT_FALSE(RawGet(server.Port(), "/slow").gotHeader);
    EXPECT_EQ(RawGet(server.Port(), "/fine").body, "f");
    EXPECT_EQ(server.Requests().size(), 2u) << "a faulted request is recorded too";
}

TEST_F(LoopbackServerTest, StopEndsDrippingAndHungConnectionsAtOnce) {
    server.Route("/d", MakeResponse(200, "OK", {}, std::string(1000, 'd')));
    FaultPlan plan = Fault(FaultKind::kDripBody);
    plan.dripMs = 1000;
    plan.pathContains = "/d";
    server.SetFaults(plan);
    std::vector<loopback::Socket> held;
    for (const char* target : {"/d", "/d"}) {
        held.push_back(loopback::ConnectLoopback(server.Port()));
        std::string req = std::string("GET ") + target + " HTTP/1.1\r\n\r\n";
        loopback::SendAll(held.back(), req.data(), req.size());
    }
    held.push_back(loopback::ConnectLoopback(server.Port()));  // never sends a byte
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto t0 = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(SecondsSince(t0), 1.0);
}

TEST_F(LoopbackServerTest, WaitIdleWaitsForServedConnectionsOnly) {
    server.Route("/d", MakeResponse(200, "OK", {}, std::string(5, 'd')));
    FaultPlan plan = Fault(FaultKind::kDripBody);
    plan.dripMs = 100;
    plan.dripBytes = 1;
    server.SetFaults(plan);
    loopback::Socket unused = loopback::ConnectLoopback(server.Port());
    auto t0 = std::chrono::steady_clock::now();
    server.WaitIdle();
    EXPECT_LT(SecondsSince(t0), 0.5) << "a connection that never sent a byte held WaitIdle";

    loopback::Socket dripping = loopback::ConnectLoopback(server.Port());
    std::string req = "GET /d HTTP/1.1\r\n\r\n";
    loopback::SendAll(dripping, req.data(), req.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    t0 = std::chrono::steady_clock::now();
    server.WaitIdle();
    EXPECT_GE(SecondsSince(t0), 0.3) << "WaitIdle returned while the body was still dripping";
    EXPECT_EQ(server.Connections(), 2);
}

TEST(LoopbackServerPorts, TheRefusedPortRefuses) {
    const std::uint16_t port = HttpServer::RefusedPort();
    ASSERT_NE(port, 0);
    auto a = RawGet(port, "/");
    EXPECT_FALSE(a.connected);
}

}  // namespace
}  // namespace sorvix
