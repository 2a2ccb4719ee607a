// Renders the simulated sites' pages from the data set. Each page has the
// shape the program's site routines read: the magnet site's result list with
// its "totalPages:" counter and "没有找到有关 ... 的结果" notice, the
// share-index site's tables, page counter and zero-results line, its detail
// pages with the "dbutton" download link, the custom search page's hit list
// (with the exact tab layout of its result anchors) and "搜索无结果" notice,
// and the blog's announcement post. All pages are UTF-8.
// Covered by tests/sim/sitesim_test.cpp and the end-to-end tests beside it.
#pragma once
#include <string>

#include "tools/sitesim/dataset.h"

namespace sorvix::sitesim {

inline constexpr int kMagnetPageSize = 10;
inline constexpr int kShareIndexPageSize = 12;
inline constexpr int kCustomSearchPageSize = 10;
inline constexpr const char* kAnnouncementPath = "/post/1d3adc9c_780596c";

// page 0 is the probe (no "p" key): it shows page 1.
std::string MagnetSearchPage(const std::string& keyword, int page);
std::string ShareIndexSearchPage(const std::string& keyword, int page);
// siteBase ("http://127.0.0.1:8932") prefixes the download addresses.
std::string ShareIndexDetailPage(const Resource& r, const std::string& siteBase);
// The download address a detail page offers: an http address on the
// simulator, an ed2k file link or a thunder link, by resource id.
std::string RealAddress(const Resource& r, const std::string& siteBase);
// start is the hit offset; linkBase prefixes the share addresses.
std::string CustomSearchPage(const std::string& keyword, const std::string& wp, long start,
                             const std::string& linkBase);
std::string AnnouncementPost(const std::string& version, const std::string& blogBase);
std::string BlogHome();
std::string NotFoundPage(const std::string& target);

std::string HtmlEscape(const std::string& s);
std::string Base64(const std::string& bytes);
// Every byte outside ASCII as "%XX" (upper-case hex).
std::string PercentEscapeNonAscii(const std::string& s);

}  // namespace sorvix::sitesim
