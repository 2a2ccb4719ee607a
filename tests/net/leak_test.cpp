// A thousand requests (200 under Wine, see below) through both routines must leave the process with the
// threads, sockets and handles it had before: natively counted in
// /proc/self/fd and /proc/self/task, under Wine with GetProcessHandleCount
// and a thread snapshot. The loopback server's own workers are waited for
// before each count.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "net/fetch_page.h"
#include "net/http_client.h"
#include "tools/loopback/http_server.h"

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#else
#include <dirent.h>
#endif

namespace sorvix {
namespace {

struct Counts {
    long handles = 0;  // open file descriptors / kernel handles
    long threads = 0;
};

#ifdef _WIN32
Counts Measure() {
    Counts c;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) {
        c.handles = static_cast<long>(handles);
    } else {
        // Wine answers 0 here; count the valid handle values instead. They
        // are small multiples of four, sockets included, handed out lowest
        // first; each probe is a round trip to the Wine server, so only the
        // first 1024 values are probed (a leak per request still shows).
        for (std::uintptr_t v = 4; v < 0x1000; v += 4) {
            DWORD flags;
            if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) ++c.handles;
        }
    }
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++c.threads;
    }
    CloseHandle(snap);
    return c;
}
#else
long CountEntries(const char* dir) {
    long n = 0;
    DIR* d = opendir(dir);
    if (!d) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(d);
    return n;
}
Counts Measure() { return {CountEntries("/proc/self/fd"), CountEntries("/proc/self/task")}; }
#endif

using loopback::FaultKind;
using loopback::FaultPlan;
using loopback::HttpServer;
using loopback::MakeResponse;

// The counts once the loopback server's workers are done.
Counts Settled(HttpServer& server) {
    server.WaitIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return Measure();
}

// Runs `warmUps` rounds (the platform makes some of its workers lazily),
// counts, runs `rounds` more, each of which must succeed, and counts again:
// a little slack for the platform's own bookkeeping is allowed, a leak per
// round would show as hundreds.
void ExpectRoundsLeaveNothing(HttpServer& server, int warmUps, int rounds, const std::function<bool(int)>& round) {
    for (int i = 0; i < warmUps; ++i) ASSERT_TRUE(round(i)) << "warm-up round " << i;
    const Counts before = Settled(server);
    int failures = 0;
    for (int i = 0; i < rounds; ++i) failures += round(i) ? 0 : 1;
    EXPECT_EQ(failures, 0);
    const Counts after = Settled(server);
    EXPECT_LE(after.handles, before.handles + 4) << "before " << before.handles;
    EXPECT_LE(after.threads, before.threads + 1) << "before " << before.threads;
    ::testing::Test::RecordProperty("handles_before", static_cast<int>(before.handles));
    ::testing::Test::RecordProperty("handles_after", static_cast<int>(after.handles));
    std::printf("handles %ld -> %ld, threads %ld -> %ld\n", before.handles, after.handles, before.threads,
                after.threads);
}

TEST(Leaks, ManyRequestsLeaveNoThreadsSocketsOrHandles) {
    HttpServer server;
    ASSERT_TRUE(server.Start());
    server.Route("/ok", MakeResponse(200, "OK", {"Set-Cookie: k=1; Path=/ok"}, "fine"));
    server.Route("/r", MakeResponse(302, "Found", {"Location: /ok"}, "moved"));
    server.Route("/missing", MakeResponse(404, "Not Found", {}, "gone"));
    const int refused = HttpServer::RefusedPort();
    NetConfig config;
    config.receiveTimeoutMs = 2000;
    config.overallDeadlineMs = 5000;

    auto round = [&](int i) {
        HttpClient client(config);
        switch (i % 5) {
            case 0: return client.Request(server.Base() + "/ok") == "fine";
            case 1: return fetchPage(server.Base() + "/missing", config) == "gone";
            case 2: return client.Request(server.Base() + "/r") == "fine";
            case 3: {
                Text cookies = "a=1";
                return client.Request(server.Base() + "/ok", 1, "x=1", &cookies) == "fine";
            }
            default:
                return client.Request("http://127.0.0.1:" + std::to_string(refused) + "/") == "";
        }
    };
    // A thousand natively. Under Wine each request costs 40 ms and more on a
    // busy machine (the platform's own overhead, even for a refused
    // connection), so the run there is 200 requests: a leak per request still
    // shows as a hundred handles, and the suite stays within its time budget.
#ifdef _WIN32
    constexpr int kRounds = 200;
#else
    constexpr int kRounds = 1000;
#endif
    // Warm-up: the page session, the platform's lazily made workers.
    ExpectRoundsLeaveNothing(server, 20, kRounds, round);
}

// Calls ended by the overall deadline (the answer dripped in slower than
// that) leave nothing behind either: on Windows the deadline's watchdog
// closes the request under the blocked read, and it must be joined and the
// handle closed exactly once. Interleaved with plain requests, which must
// keep working (a second close of a reused handle value would break them).
TEST(Leaks, CallsEndedByTheDeadlineLeaveNothingBehind) {
    HttpServer server;
    ASSERT_TRUE(server.Start());
    server.Route("/drip", MakeResponse(200, "OK", {}, std::string(100, 'd')));
    server.Route("/ok", MakeResponse(200, "OK", {}, "fine"));
    FaultPlan drip = loopback::Fault(FaultKind::kDripBody, "/drip");
    drip.dripMs = 40;
    drip.dripBytes = 1;
    server.SetFaults(drip);
    NetConfig config;
    config.receiveTimeoutMs = 2000;
    config.overallDeadlineMs = 300;

    auto round = [&](int) {
        HttpClient client(config);
        const bool dropped = client.Request(server.Base() + "/drip").empty() &&
                             client.lastStatus() == NetStatus::TimedOut;
        NetStatus pageStatus = NetStatus::Ok;
        const bool fine = fetchPage(server.Base() + "/ok", config, &pageStatus) == "fine";
        return dropped && fine && pageStatus == NetStatus::Ok;
    };
    ExpectRoundsLeaveNothing(server, 1, 8, round);
}

}  // namespace
}  // namespace sorvix
