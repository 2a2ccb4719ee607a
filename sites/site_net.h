// SiteNet: the two ways a site search reads the web, behind one small
// interface so that the site routines run against fixture pages in tests and
// against the real net layer in the program and the console tool.
//
//   Request(url)    the full HTTP request with the address only, method GET
//                   (the magnet site); returns the answer body, empty on failure.
//   FetchPage(url)  the simple page fetch (share-index site, disk searches,
//                   share-index detail pages); returns the body, empty on failure.
//
// Both block; both are bounded by the net layer's time-outs. Addresses and
// bodies are bytes (addresses are ASCII after percent-encoding).
#pragma once

#include <memory>
#include <string>

#include "net/net_config.h"
#include "text/text.h"

namespace sorvix {

class SiteNet {
public:
    virtual ~SiteNet() = default;
    virtual Bytes Request(const Text& url) = 0;
    virtual Bytes FetchPage(const Text& url) = 0;
};

// The real implementation over net/ (HttpClient::Request and fetchPage) with
// the given limits. Safe to use from several threads at once.
std::unique_ptr<SiteNet> MakeNetworkSiteNet(const NetConfig& limits);

}  // namespace sorvix
