// Peak resident memory of one 30 MB answer on its way from the wire to the
// GBK text a site routine reads, the way the routines read it:
//   page fetch:  UrlDecode(BytesToText(FetchPage(url).body))   (share index, disks)
//   request:     Utf8ToGbk(Request(url).body)                   (magnet site)
// Each path runs in a child process of its own (this program started again),
// which reports the growth of its peak (VmHWM) over its resident size before
// the call; the loopback server runs here in the parent, so its copy of the
// answer is not counted. Goal: under three times the body.
//   build/native/bench/net/big_answer_bench
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "sites/site_net.h"
#include "text/text.h"
#include "tools/loopback/http_server.h"

namespace {

constexpr std::size_t kBodyBytes = 30u << 20;

// kB of the given /proc/self/status line ("VmHWM:", "VmRSS:").
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
    }
    return -1;
}

// A page of UTF-8 rows with Chinese names, percent-escapes and plain markup.
std::string Body() {
    const std::string row =
        "<tr><td>\xE4\xB8\x89\xE4\xBD\x93 %E4%B8%89 volume 1.zip</td><td>2026-12-09</td><td>1.2 GB</td></tr>\n";
    std::string body;
    body.reserve(kBodyBytes);
    while (body.size() + row.size() <= kBodyBytes) body += row;
    body.append(kBodyBytes - body.size(), ' ');
    return body;
}

int Child(const std::string& path, const std::string& url) {
    sorvix::NetConfig limits;
    limits.maxBodyBytes = 64u << 20;
    std::unique_ptr<sorvix::SiteNet> net = sorvix::MakeNetworkSiteNet(limits);
    const long before = StatusKb("VmRSS:");
    sorvix::Text text = path == "fetch" ? sorvix::UrlDecode(sorvix::BytesToText(net->FetchPage(url).body))
                                        : sorvix::Utf8ToGbk(net->Request(url).body);
    const long peak = StatusKb("VmHWM:");
    std::printf("%ld %zu\n", peak - before, text.size());
    return text.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") return Child(argv[2], argv[3]);

    sorvix::loopback::HttpServer server;
    std::string error;
    if (!server.Start(0, &error)) {
        std::fprintf(stderr, "loopback server: %s\n", error.c_str());
        return 1;
    }
    server.Route("/big", sorvix::loopback::MakeResponse(200, "OK", {}, Body()));
    const double bodyMb = static_cast<double>(kBodyBytes) / (1 << 20);
    std::printf("answer body %.0f MB; goal: peak growth under 3x the body (%.0f MB)\n", bodyMb, 3 * bodyMb);
    int failures = 0;
    for (const char* path : {"fetch", "request"}) {
        const std::string command = std::string(argv[0]) + " --child " + path + " " + server.Base() + "/big";
        std::FILE* child = popen(command.c_str(), "r");
        long growthKb = -1;
        std::size_t textBytes = 0;
        if (!child || std::fscanf(child, "%ld %zu", &growthKb, &textBytes) != 2) growthKb = -1;
        const int status = child ? pclose(child) : -1;
        if (growthKb < 0 || status != 0) {
            std::printf("%-8s failed (status %d)\n", path, status);
            ++failures;
            continue;
        }
        const double growthMb = growthKb / 1024.0;
        std::printf("%-8s peak growth %6.1f MB = %.2fx the body (goal < 3.00x), text %zu bytes\n", path,
                    growthMb, growthMb / bodyMb, textBytes);
    }
    return failures == 0 ? 0 : 1;
}
