// libFuzzer target over the parsers of the network layer that read what a
// server sends or what a page names: the URL helpers (UrlHost, UrlPort,
// UrlPath, MakeWirePath), the address split and the redirect resolution, the
// header helpers, UrlDecode and the cookie merge. The first byte picks which
// one; the rest splits at the first zero byte into two inputs. Beyond "no
// crash, no sanitizer report": a wire path is printable ASCII without spaces,
// a split address has a printable host and a port in 1..65535, a merge gives
// the same text back as it writes into its first argument, with no space but
// the one after each ";".
//   tests/fuzz/run.sh net_fuzz [seconds]
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http_client.h"
#include "net/request_chain.h"
#include "net/transport.h"
#include "text/text.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckTarget(const std::optional<sorvix::net_detail::HttpTarget>& t) {
    if (!t) return;
    Check(!t->host.empty() && t->port >= 1 && t->port <= 65535);
    for (unsigned char c : t->host) Check(c > 0x20 && c < 0x7F);
    Check(!t->path.empty() && t->path[0] == '/');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t zero = all.find('\0');
    const std::string a = all.substr(0, zero);
    const std::string b = zero == std::string::npos ? std::string() : all.substr(zero + 1);
    using namespace sorvix;
    switch (data[0] % 5) {
        case 0: {
            (void)UrlHost(a, (data[0] & 8) != 0, (data[0] & 16) != 0);
            (void)UrlPort(a);
            const std::string wire = MakeWirePath(UrlPath(a));
            for (unsigned char c : wire) Check(c > 0x20 && c < 0x7F);
            break;
        }
        case 1: {
            CheckTarget(net_detail::SplitHttpUrl(a));
            if (auto base = net_detail::SplitHttpUrl("http://h.example:81/dir/page?q=1")) {
                CheckTarget(net_detail::ResolveLocation(*base, a));
            }
            break;
        }
        case 2: {
            (void)net_detail::StatusCodeOf(a);
            (void)net_detail::HeaderValue(a, b);
            break;
        }
        case 3: {
            const Text decoded = UrlDecode(a);
            Check(decoded.find('\0') == std::string::npos);
            break;
        }
        default: {
            Text oldCookies = a;
            Text newCookies = b;
            const Text merged = CookieJar::Merge(oldCookies, newCookies);
            Check(merged == oldCookies);
            // Items lose their spaces; only the "; " between them has one.
            for (std::size_t i = 0; i < merged.size(); ++i) {
                if (merged[i] == ' ') Check(i > 0 && merged[i - 1] == ';');
            }
            break;
        }
    }
    return 0;
}
