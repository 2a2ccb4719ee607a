// SiteNet: the two ways a site search reads the web, behind one small
// interface so that the site routines run against fixture pages in tests and
// against the real net layer in the program and the console tool.
//
//   Request(url)    the full HTTP request with the address only, method GET
//                   (the magnet site).
//   FetchPage(url)  the simple page fetch (share-index site, disk searches,
//                   share-index detail pages).
//
// Both return the answer body (empty on failure: the site routines treat an
// empty body as a failed request) together with how the call ended, so that
// a caller above the routines can say why a source failed. Both block; both
// are bounded by the net layer's time-outs. Addresses and bodies are bytes
// (addresses are ASCII after percent-encoding).
#pragma once

#include <memory>
#include <string>

#include "net/net_config.h"
#include "net/net_status.h"
#include "text/text.h"

namespace sorvix {

struct NetAnswer {
    Bytes body;
    NetStatus status = NetStatus::Ok;
    int httpStatus = 0;  // of the final answer; 0 when no answer head came

    // Why this answer is no use; empty when it is usable (see FailureReason).
    std::string Failure() const { return FailureReason(status, httpStatus, body.empty()); }
};

class SiteNet {
public:
    virtual ~SiteNet() = default;
    virtual NetAnswer Request(const Text& url) = 0;
    virtual NetAnswer FetchPage(const Text& url) = 0;
};

// The real implementation over net/ (HttpClient::Request and fetchPage) with
// the given limits. Safe to use from several threads at once.
std::unique_ptr<SiteNet> MakeNetworkSiteNet(const NetConfig& limits);

}  // namespace sorvix
