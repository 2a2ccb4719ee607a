// The three site searches and what they share.
//
//   MagnetSiteSearch   source 1: probe, then every result page, one row per
//                      entry of the entry pattern; closing notice with the count.
//   ShareIndexSearch   source 2: probe, then every page, rows assembled from six
//                      patterns matched up by position; closing notice without
//                      its final "！".
//   DiskSearch         sources 3..20: the page named by the page box through the
//                      custom search page; no closing notice.
//
// Each routine writes only through the SiteView, reads the web only through
// SiteNet and looks at the CancelToken before each request, page and row: once
// it is set the routine returns at once, writing nothing more and showing no
// closing notice. Covered by tests/sites (fixture pages, recording view).
#pragma once

#include <array>
#include <string_view>

#include "sites/cancel_token.h"
#include "sites/site_net.h"
#include "sites/site_view.h"
#include "text/text.h"

namespace sorvix {

// What every site routine works with. pagesInFlight: how many result pages
// the multi-page walks (magnet, share-index) may have requested at once; 1 is
// the strictly sequential walk. Rows, numbers, texts and boxes are the same
// whatever the value; only the order in which the requests reach the site may
// differ.
struct SiteContext {
    SiteView& view;
    SiteNet& net;
    const CancelToken& cancel;
    int pagesInFlight = 1;
};

// More result pages than any real list has; a walk stops there, and a larger
// count read from a page makes the result cut short.
inline constexpr int kMaxPages = 1000;

// What a routine tells its caller besides what it wrote.
struct SiteSearchResult {
    // The site named more pages than kMaxPages: the walk stopped at the cap
    // and the rows are not the whole result.
    bool cutShort = false;
    int pagesNamed = 0;   // the page count the probe named (0 for disk searches)
};

// Site address: scheme, host and port without a trailing slash, e.g.
// "http://127.0.0.1:8931".
SiteSearchResult MagnetSiteSearch(const SiteContext& context, std::string_view siteAddress);

// Site address as above; it also prefixes the link column.
SiteSearchResult ShareIndexSearch(const SiteContext& context, std::string_view siteAddress);

// One disk option's fixed data.
struct DiskSearchVariant {
    std::string_view optionLabel;   // caption of the site option; also the disk-type text
    std::string_view wp;            // disk-kind number sent as "&wp="
    std::string_view fileTypeText;  // column 7 of every row
    std::string_view startText;     // first text of the operation label
};

inline constexpr int kDiskVariantCount = 18;

// The eighteen variants in the order of site options 3..20.
const std::array<DiskSearchVariant, kDiskVariantCount>& DiskSearchVariants();

// The variant of site option 3..20; nullptr for any other option.
const DiskSearchVariant* DiskVariantForOption(int option);

// encodedSearchBase is the stored form that SearchBaseDecode reads; it is
// decoded again before every request.
void DiskSearch(const SiteContext& context, const DiskSearchVariant& variant,
                std::string_view encodedSearchBase);

// The stored search base -> the address of the custom search page up to and
// including its keyword key. Garbage in gives garbage (or empty) out, never a
// crash.
Text SearchBaseDecode(std::string_view encoded);

// The inverse, used by the encoder tool and by the configuration loader: every
// byte of the result is an ASCII digit or "O". Deterministic.
Text SearchBaseEncode(std::string_view address);

// The share-index detail page at detailAddress -> the real download address
// between '<a class="dbutton" href="' and '" target="_blank"', or empty when
// the fetch fails or the page lacks the markers. The result is still
// untrusted: check it with CheckLink before handing it on.
Text ResolveShareIndexLink(SiteNet& net, std::string_view detailAddress);

}  // namespace sorvix
