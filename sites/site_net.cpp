// The real SiteNet: HttpClient::Request with the address only (GET) for the
// magnet site, fetchPage for everything else, both with the configured
// limits. A fresh HttpClient per request keeps concurrent searches (a
// superseded one still waiting on its answer) apart.
#include "net/fetch_page.h"
#include "net/http_client.h"
#include "sites/site_net.h"

namespace sorvix {
namespace {

class NetworkSiteNet : public SiteNet {
public:
    explicit NetworkSiteNet(const NetConfig& limits) : limits_(limits) {}

    NetAnswer Request(const Text& url) override {
        HttpClient client(limits_);
        NetAnswer answer;
        answer.body = client.Request(url);
        answer.status = client.lastStatus();
        answer.httpStatus = client.lastHttpStatus();
        return answer;
    }
    NetAnswer FetchPage(const Text& url) override {
        NetAnswer answer;
        answer.body = fetchPage(url, limits_, &answer.status, &answer.httpStatus);
        return answer;
    }

private:
    const NetConfig limits_;
};

}  // namespace

std::unique_ptr<SiteNet> MakeNetworkSiteNet(const NetConfig& limits) {
    return std::make_unique<NetworkSiteNet>(limits);
}

}  // namespace sorvix
