// The patterns and markers the site routines read pages with, in GBK. Each is
// written here once: the routines, their tests, the simulator and the
// benchmarks all name these, so a change to a site's markup is made in one
// place and everything that checks it follows. Patterns are for RegexObject
// with its defaults (case ignored, multi-line, global); markers are for
// TextBetween.
#pragma once

#include <array>
#include <string_view>

namespace sorvix::site_pattern {

// ---- Magnet site (source 1) ----------------------------------------------------
inline constexpr std::string_view kMagnetSearchPath = "/search?keyword=";
inline constexpr std::string_view kMagnetPageKey = "&p=";
// The probe's zero-results notice: "没有找到有关" ... "的结果".
inline constexpr std::string_view kMagnetNothingFoundStart =
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD\xD3\xD0\xB9\xD8";   // 没有找到有关
inline constexpr std::string_view kMagnetNothingFoundEnd = "\xB5\xC4\xBD\xE1\xB9\xFB";   // 的结果
inline constexpr std::string_view kMagnetPagesStart = "totalPages:";
inline constexpr std::string_view kMagnetPagesEnd = ",";
// One entry: name, date, size, file count, link.
inline constexpr std::string_view kMagnetEntry =
    R"re(<h5 class="h">(.*?)</h5>[\s\S]*?prop_val">(.*?)</span>[\s\S]*?prop_val">(.*?)</span>[\s\S]*?prop_val">(.*?)</span>[\s\S]*?href="(.*?)">)re";
inline constexpr std::string_view kMagnetHighlightOpen = "<span class='highlight'>";
inline constexpr std::string_view kMagnetHighlightClose = "</span>";

// ---- Share-index site (source 2) -----------------------------------------------
inline constexpr std::string_view kShareSearchPath = "/s/name/";
inline constexpr std::string_view kSharePagesStart = "<span class=\"pcount\">\xB9\xB2";   // <span class="pcount">共
inline constexpr std::string_view kSharePagesEnd = "\xD2\xB3&nbsp;&nbsp;</span>";         // 页&nbsp;&nbsp;</span>
inline constexpr std::string_view kShareZeroStart =
    "\xCB\xD1\xCB\xF7\xD7\xCA\xD4\xB4\xC3\xFB:&nbsp;"
    "<span style=\"background:#EF0FFF;color:white;\">&nbsp;";   // 搜索资源名:&nbsp;<span ...>&nbsp;
inline constexpr std::string_view kShareZeroEnd =
    "&nbsp;(\xB9\xB2\xD5\xD2\xB5\xBD<b>0</b>\xCF\xEE)";          // &nbsp;(共找到<b>0</b>项)

// One field of an entry: matched alone, then cut out of the match text.
struct FieldPattern {
    std::string_view pattern;
    std::string_view start;   // field = TextBetween(match text, start, end)
    std::string_view end;
};

enum ShareField { kShareName, kShareDate, kShareCategory, kShareSize, kShareOwner, kShareLink, kShareFieldCount };

// Indexed by ShareField: name, date, category code, size, owner text, link path.
inline constexpr std::array<FieldPattern, kShareFieldCount> kShareFields = {{
    {R"(<a class="blue" target="_blank" title=".*? href=")", R"(<a class="blue" target="_blank" title=")",
     R"(" href=")"},
    {R"(<td> 20.*? </td>)", "<td> 20", " </td>"},
    {R"(href="/c/.*?">)", R"(href="/c/)", R"(">)"},
    {R"(<td class="t2">.*?</td>)", R"(<td class="t2">)", "</td>"},
    {R"(<a target="_blank" title=".*?")", R"(<a target="_blank" title=")",
     "\xD7\xCA\xD4\xB4\xA3\xAC\xB5\xE3\xBB\xF7\xB2\xE9\xBF\xB4\xB8\xC3\xD3\xC3\xBB\xA7\xB7\xD6\xCF\xED"
     "\xB5\xC4\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE\""},   // 资源，点击查看该用户分享的所有文件"
    {R"(href="/r.*?">)", R"(href=")", R"(">)"},
}};

// The detail page's real download address.
inline constexpr std::string_view kShareDownloadStart = R"(<a class="dbutton" href=")";
inline constexpr std::string_view kShareDownloadEnd = R"(" target="_blank")";

// ---- Custom search page (disk sources 3..20) -----------------------------------
inline constexpr std::string_view kDiskNoHits = "\xCB\xD1\xCB\xF7\xCE\xDE\xBD\xE1\xB9\xFB";   // 搜索无结果
// The hit: a link line, eleven tabs, the title, ten tabs, "</a>", a line feed.
inline constexpr std::string_view kDiskHit =
    "<a class=\"cse-search-result_content_item_top_a\" href=\"(.*?)\" target=\"_blank\" "
    "rel=\"external nofollow\" onclick=\"(.*?)\" >\n"
    "\t\t\t\t\t\t\t\t\t\t\t(.*?)\t\t\t\t\t\t\t\t\t\t</a>\n";
inline constexpr std::string_view kDiskTitleStart = "');\" >\n";
inline constexpr std::string_view kDiskTitleEnd = "</a>";
inline constexpr std::string_view kDiskLinkStart = "<a class=\"cse-search-result_content_item_top_a\" href=\"";
inline constexpr std::string_view kDiskLinkEnd = "\"";

}  // namespace sorvix::site_pattern
