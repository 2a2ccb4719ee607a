#include <gtest/gtest.h>
#include <cstdio>
#include "loopback_server.h"
#include "net/fetch_page.h"
#include "net/http_client.h"
#include "net/transport.h"
using namespace sorvix;
using namespace sorvix::test;
static void Dump(const LoopbackServer& s) {
    for (auto& r : s.Requests()) { printf("----REQ\n%s\n----END\n", r.raw.c_str()); }
}
TEST(Probe, Wire) {
    LoopbackServer s;
    s.Route("/a", MakeResponse(200, "OK", {"Set-Cookie: a=1; path=/c", "X-Y:z"}, "hello"));
    s.Route("/r", MakeResponse(302, "Found", {"Location: /a"}, "moved"));
    s.Route("/loop", MakeResponse(302, "Found", {"Location: /loop"}, "loop"));
    s.Route("/pr", MakeResponse(302, "Found", {"Location: /a"}, "moved"));
    NetConfig c; c.receiveTimeoutMs = 1000; c.overallDeadlineMs = 3000;
    HttpClient h(c);
    Text rc, hd, loc, rh; Text ck;
    Bytes b = h.Request(s.Base() + "/a?q=1", 0, "", &ck, &rc, &hd, &loc, false, nullptr, std::nullopt, &rh);
    printf("body=[%s] rh=[%s] rc=[%s] ck=[%s]\n", b.c_str(), rh.c_str(), rc.c_str(), ck.c_str());
    b = h.Request(s.Base() + "/r");
    printf("redirect body=[%s] status=%s\n", b.c_str(), NetStatusName(h.lastStatus()));
    Text hd2 = "User-Agent: me\r\nX-A: \xD6\xD0"; rh.clear();
    Bytes pb;
    b = h.Request(s.Base() + "/pr", 1, "x=1&y=2", nullptr, nullptr, &hd2, nullptr, false, &pb, std::nullopt, &rh);
    printf("post body=[%s] rh=[%s]\n", b.c_str(), rh.c_str());
    auto t0 = Clock::now();
    b = h.Request(s.Base() + "/loop");
    printf("loop body=[%s] status=%s ms=%d\n", b.c_str(), NetStatusName(h.lastStatus()), (int)std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now()-t0).count());
    NetStatus st;
    b = fetchPage(s.Base() + "/a#frag", c, &st);
    printf("fetch body=[%s] %s\n", b.c_str(), NetStatusName(st));
    b = fetchPage(s.Base() + "/\xD6\xD0?k=\xD6\xD0", c, &st);
    Text hd3 = "X-A: 1\r\nuser-agent: lower\r\nCookie: z=9";
    Text ck3 = "k=1; m=2";
    b = h.Request(s.Base() + "/a", 2, "", &ck3, nullptr, &hd3, nullptr, true);
    Dump(s);
}
