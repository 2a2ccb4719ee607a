// Page renderers of the site simulator (see pages.h).
#include "tools/sitesim/pages.h"

#include <algorithm>
#include <string>
#include <vector>

#include "sites/site_patterns.h"

namespace sorvix::sitesim {

namespace {

// UTF-8 texts of the pages, kept in one place.
#define U8_NOT_FOUND_OPEN "\xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE6\x9C\x89\xE5\x85\xB3"  // 没有找到有关
#define U8_OF_RESULTS "\xE7\x9A\x84\xE7\xBB\x93\xE6\x9E\x9C"                                      // 的结果
#define U8_NO_HITS "\xE6\x90\x9C\xE7\xB4\xA2\xE6\x97\xA0\xE7\xBB\x93\xE6\x9E\x9C"                  // 搜索无结果

const char* const kCategoryNames[] = {
    "",
    "\xE8\xA7\x86\xE9\xA2\x91",  // 视频
    "\xE9\x9F\xB3\xE4\xB9\x90",  // 音乐
    "\xE6\x9C\xAA\xE7\x9F\xA5",  // 未知
    "\xE6\x96\x87\xE6\xA1\xA3",  // 文档
    "\xE8\xBD\xAF\xE4\xBB\xB6",  // 软件
    "\xE5\x85\xB6\xE5\xAE\x83",  // 其它
};

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Wraps every occurrence of every term (ASCII case ignored) in open/close,
// as the sites mark the searched words.
std::string Highlight(const std::string& name, const std::vector<std::string>& terms, const std::string& open,
                      const std::string& close) {
    std::vector<bool> marked(name.size(), false);
    for (const std::string& t : terms) {
        if (t.empty()) continue;
        for (std::size_t i = 0; i + t.size() <= name.size(); ++i) {
            std::size_t k = 0;
            while (k < t.size() && FoldAscii(name[i + k]) == FoldAscii(t[k])) ++k;
            if (k == t.size()) std::fill(marked.begin() + i, marked.begin() + i + t.size(), true);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (marked[i] && (i == 0 || !marked[i - 1])) out += open;
        out += name[i];
        if (marked[i] && (i + 1 == name.size() || !marked[i + 1])) out += close;
    }
    return out;
}

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
           "</title>\n</head>\n<body>\n";
}

const char* const kTail = "</body>\n</html>\n";

int PageCount(std::size_t hits, int pageSize) {
    return static_cast<int>((hits + static_cast<std::size_t>(pageSize) - 1) / static_cast<std::size_t>(pageSize));
}

std::vector<const Resource*> Slice(const std::vector<const Resource*>& all, long first, int count) {
    std::vector<const Resource*> out;
    for (long i = first; i >= 0 && i < static_cast<long>(all.size()) && i < first + count; ++i) {
        out.push_back(all[static_cast<std::size_t>(i)]);
    }
    return out;
}

}  // namespace

std::string HtmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string PercentEscapeNonAscii(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string MagnetSearchPage(const std::string& keyword, int page) {
    std::vector<const Resource*> hits = Search(keyword);
    std::string kw = HtmlEscape(keyword);
    std::string out = Head(kw + " - BT\xE6\xA8\xB1\xE6\xA1\x83 \xE7\xA3\x81\xE5\x8A\x9B\xE6\x90\x9C\xE7\xB4\xA2");  // BT樱桃 磁力搜索
    out += "<div class=\"header\"><form action=\"/search\"><input name=\"keyword\" value=\"" + kw +
           "\"></form></div>\n";
    if (hits.empty()) {
        out += "<div class=\"no-result\"><p>" U8_NOT_FOUND_OPEN " " + kw + " " U8_OF_RESULTS
               "\xEF\xBC\x8C\xE8\xAF\xB7\xE6\x8D\xA2\xE4\xB8\xAA\xE5\x85\xB3\xE9\x94\xAE\xE8\xAF\x8D\xE8\xAF\x95\xE8\xAF\x95</p></div>\n";  // ，请换个关键词试试
        return out + kTail;
    }
    int pages = PageCount(hits.size(), kMagnetPageSize);
    int shown = page <= 0 ? 1 : page;
    std::vector<std::string> terms = KeywordTerms(keyword);
    out += "<div class=\"search-stat\">\xE6\x89\xBE\xE5\x88\xB0\xE7\xBA\xA6 " + std::to_string(hits.size()) +
           " \xE6\x9D\xA1\xE7\xBB\x93\xE6\x9E\x9C</div>\n<div class=\"search-list\">\n";  // 找到约 N 条结果
    for (const Resource* r : Slice(hits, static_cast<long>(shown - 1) * kMagnetPageSize, kMagnetPageSize)) {
        out += "<div class=\"search-item\">\n<div class=\"item-title\"><h5 class=\"h\">" +
               Highlight(HtmlEscape(r->name), terms, std::string(sorvix::site_pattern::kMagnetHighlightOpen),
                         std::string(sorvix::site_pattern::kMagnetHighlightClose)) + "</h5></div>\n";
        out += "<div class=\"item-list\"><p>" + HtmlEscape(r->name) + " <span class=\"size\">" + r->size +
               "</span></p></div>\n";
        out += "<div class=\"item-bar\"><span>\xE6\x94\xB6\xE5\xBD\x95\xE6\x97\xB6\xE9\x97\xB4\xEF\xBC\x9A</span>"  // 收录时间：
               "<span class=\"prop_val\">" + r->date + "</span> "
               "<span>\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xA7\xE5\xB0\x8F\xEF\xBC\x9A</span>"  // 文件大小：
               "<span class=\"prop_val\">" + r->size + "</span> "
               "<span>\xE6\x96\x87\xE4\xBB\xB6\xE6\x95\xB0\xEF\xBC\x9A</span>"  // 文件数：
               "<span class=\"prop_val\">" + std::to_string(r->fileCount) + "</span> "
               "<a class=\"download\" href=\"magnet:?xt=urn:btih:" + InfoHash(r->name) +
               "\">\xE7\xA3\x81\xE5\x8A\x9B\xE9\x93\xBE\xE6\x8E\xA5</a></div>\n</div>\n";  // 磁力链接
    }
    out += "</div>\n<div class=\"pagination\" id=\"pager\"></div>\n<script>\nvar pagerConfig = {currentPage:" +
           std::to_string(shown) + ", totalPages:" + std::to_string(pages) + ", pageSize:" +
           std::to_string(kMagnetPageSize) + "};\n</script>\n";
    return out + kTail;
}

std::string ShareIndexSearchPage(const std::string& keyword, int page) {
    std::vector<const Resource*> hits = Search(keyword);
    std::string kw = HtmlEscape(keyword);
    std::string out = Head(kw + " - \xE7\x9B\x98\xE5\xA4\x9A\xE5\xA4\x9A");  // 盘多多
    // 搜索资源名:&nbsp;<span ...>&nbsp;KW&nbsp;(共找到<b>N</b>项)</span>
    out += "<div class=\"search-info\">\xE6\x90\x9C\xE7\xB4\xA2\xE8\xB5\x84\xE6\xBA\x90\xE5\x90\x8D:&nbsp;"
           "<span style=\"background:#EF0FFF;color:white;\">&nbsp;" + kw +
           "&nbsp;(\xE5\x85\xB1\xE6\x89\xBE\xE5\x88\xB0<b>" + std::to_string(hits.size()) +
           "</b>\xE9\xA1\xB9)</span></div>\n";
    if (hits.empty()) return out + kTail;
    int pages = PageCount(hits.size(), kShareIndexPageSize);
    int shown = page <= 0 ? 1 : page;
    out += "<table class=\"list\">\n<tr><th>\xE6\x96\x87\xE4\xBB\xB6\xE5\x90\x8D</th><th>\xE6\x97\xB6\xE9\x97\xB4</th>"
           "<th>\xE5\x88\x86\xE7\xB1\xBB</th><th>\xE5\xA4\xA7\xE5\xB0\x8F</th><th>\xE5\x88\x86\xE4\xBA\xAB</th></tr>\n";
    for (const Resource* r : Slice(hits, static_cast<long>(shown - 1) * kShareIndexPageSize, kShareIndexPageSize)) {
        std::string name = HtmlEscape(r->name);
        if (r->percentName) name = PercentEscapeNonAscii(name);
        std::string id = std::to_string(r->id);
        out += "<tr>\n<td class=\"t1\"><a class=\"blue\" target=\"_blank\" title=\"" + name + "\" href=\"/r/" + id +
               "\">" + name + "</a></td>\n";
        out += "<td> " + r->date + " </td>\n";
        out += "<td class=\"t3\"><a href=\"/c/" + std::to_string(r->category) + "\">" +
               kCategoryNames[r->category] + "</a></td>\n";
        out += "<td class=\"t2\">" + r->size + "</td>\n";
        // <a target="_blank" title="DISK资源，点击查看该用户分享的所有文件" ...>
        out += "<td class=\"t4\"><a target=\"_blank\" title=\"" + r->disk +
               "\xE8\xB5\x84\xE6\xBA\x90\xEF\xBC\x8C\xE7\x82\xB9\xE5\x87\xBB\xE6\x9F\xA5\xE7\x9C\x8B\xE8\xAF\xA5"
               "\xE7\x94\xA8\xE6\x88\xB7\xE5\x88\x86\xE4\xBA\xAB\xE7\x9A\x84\xE6\x89\x80\xE6\x9C\x89\xE6\x96\x87"
               "\xE4\xBB\xB6\" href=\"/u/" + std::to_string(r->id % 97) + "\">" + r->disk + "</a></td>\n</tr>\n";
    }
    out += "</table>\n";
    // <span class="pcount">共N页&nbsp;&nbsp;</span>
    out += "<div class=\"pager\"><span class=\"pcount\">\xE5\x85\xB1" + std::to_string(pages) +
           "\xE9\xA1\xB5&nbsp;&nbsp;</span>";
    if (shown < pages) {
        out += "<a class=\"next\" href=\"/s/name/" + PercentEscapeNonAscii(kw) + "/" + std::to_string(shown + 1) +
               "\">\xE4\xB8\x8B\xE4\xB8\x80\xE9\xA1\xB5</a>";  // 下一页
    }
    out += "</div>\n";
    return out + kTail;
}

std::string RealAddress(const Resource& r, const std::string& siteBase) {
    // A page that hands out a local program must be refused by the reader.
    if (r.hostileLink) return "file:///C:/Windows/System32/calc.exe";
    std::string http = siteBase + "/dl/" + std::to_string(r.id);
    switch (r.id % 3) {
        case 1:
            return "ed2k://|file|sorvix-" + std::to_string(r.id) + ".bin|" + std::to_string(1048576 + r.id) + "|" +
                   InfoHash(r.name).substr(0, 32) + "|/";
        case 2:
            return "thunder://" + Base64("AA" + http + "ZZ");
        default:
            return http;
    }
}

std::string ShareIndexDetailPage(const Resource& r, const std::string& siteBase) {
    std::string name = HtmlEscape(r.name);
    std::string out = Head(name + " - \xE7\x9B\x98\xE5\xA4\x9A\xE5\xA4\x9A");
    out += "<div class=\"file-info\">\n<h1>" + name + "</h1>\n<p>" + r.size + " | " + r.date + " | " +
           kCategoryNames[r.category] + "</p>\n";
    if (r.expired) {
        // 该分享已失效
        out += "<div class=\"notice\">\xE8\xAF\xA5\xE5\x88\x86\xE4\xBA\xAB\xE5\xB7\xB2\xE5\xA4\xB1\xE6\x95\x88</div>\n";
    } else {
        out += std::string(sorvix::site_pattern::kShareDownloadStart) + RealAddress(r, siteBase) +
               std::string(sorvix::site_pattern::kShareDownloadEnd) + ">\xE8\xBF\x9B\xE5\x85\xA5\xE7\xBD\x91\xE7\x9B\x98\xE4\xB8\x8B\xE8\xBD\xBD</a>\n";  // 进入网盘下载
    }
    out += "</div>\n";
    return out + kTail;
}

std::string CustomSearchPage(const std::string& keyword, const std::string& wp, long start,
                             const std::string& linkBase) {
    std::vector<const Resource*> hits = Search(keyword);
    std::string kw = HtmlEscape(keyword);
    std::string out = Head(kw + " - \xE7\xBD\x91\xE7\x9B\x98\xE6\x90\x9C\xE7\xB4\xA2");  // 网盘搜索
    out += "<div class=\"cse-search-box\"><input name=\"q\" value=\"" + kw + "\"><input type=\"hidden\" name=\"wp\" value=\"" +
           HtmlEscape(wp) + "\"></div>\n";
    if (hits.empty()) {
        out += "<div class=\"cse-search-result_empty\">" U8_NO_HITS
               "\xEF\xBC\x8C\xE8\xAF\xB7\xE6\x9B\xB4\xE6\x8D\xA2\xE5\x85\xB3\xE9\x94\xAE\xE8\xAF\x8D</div>\n";  // ，请更换关键词
        return out + kTail;
    }
    if (start < 0) start = 0;
    std::vector<std::string> terms = KeywordTerms(keyword);
    out += "<div class=\"cse-search-result_info\">\xE6\x89\xBE\xE5\x88\xB0\xE7\xBA\xA6 " + std::to_string(hits.size()) +
           " \xE6\x9D\xA1\xE7\xBB\x93\xE6\x9E\x9C</div>\n<div class=\"cse-search-result_content\">\n";
    for (const Resource* r : Slice(hits, start, kCustomSearchPageSize)) {
        std::string id = std::to_string(r->id);
        // The share address carries a %-escaped query part, as the real page's
        // tracking parameters do; the reader decodes the whole page.
        std::string link = linkBase + "/share/" + wp + "/" + id + "?from=cse%2Fweb";
        std::string title = Highlight(HtmlEscape(r->name), terms, "<b>", "</b>");
        // Long titles end in a bold ellipsis, as the search page cuts them.
        if (r->name.size() > 40) title += " <b>...</b>";
        out += "<div class=\"cse-search-result_content_item\">\n<div class=\"cse-search-result_content_item_top\">\n";
        out += std::string(sorvix::site_pattern::kDiskLinkStart) + link +
               "\" target=\"_blank\" rel=\"external nofollow\" onclick=\"return cseTrack(this, 'w" + wp + "_" + id +
               "');\" >\n\t\t\t\t\t\t\t\t\t\t\t" + title + "\t\t\t\t\t\t\t\t\t\t</a>\n";
        out += "</div>\n<div class=\"cse-search-result_content_item_mid\">" + r->size + " " + r->date +
               "</div>\n</div>\n";
    }
    out += "</div>\n";
    return out + kTail;
}

std::string AnnouncementPost(const std::string& version, const std::string& blogBase) {
    std::string out = Head("Sorvix\xE7\xA5\x9E\xE5\x99\xA8 " + version);  // Sorvix神器
    // 发布说明
    out += "<article>\n<h1>Sorvix\xE7\xA5\x9E\xE5\x99\xA8 " + version +
           " \xE5\x8F\x91\xE5\xB8\x83\xE8\xAF\xB4\xE6\x98\x8E</h1>\n";
    // 更新内容：^^^...^^^
    out += "<p>\xE6\x9B\xB4\xE6\x96\xB0\xE5\x86\x85\xE5\xAE\xB9\xEF\xBC\x9A^^^"
           "1.\xE4\xBF\xAE\xE5\xA4\x8D\xE6\x90\x9C\xE7\xB4\xA2\xE5\x8D\xA1\xE9\xA1\xBF "  // 1.修复搜索卡顿
           "2.\xE6\x96\xB0\xE5\xA2\x9E\xE9\x9F\xB3\xE4\xB9\x90\xE6\x90\x9C\xE7\xB4\xA2"  // 2.新增音乐搜索
           "^^^</p>\n";
    // 下载地址：@@@...@@@
    out += "<p>\xE4\xB8\x8B\xE8\xBD\xBD\xE5\x9C\xB0\xE5\x9D\x80\xEF\xBC\x9A@@@" + blogBase + "/download/sorvix-" +
           version + ".zip@@@</p>\n</article>\n";
    return out + kTail;
}

std::string BlogHome() {
    return Head("Sorvix blog") + "<h1>Sorvix blog</h1>\n<p><a href=\"" + kAnnouncementPath + "\">Sorvix</a></p>\n" +
           kTail;
}

std::string NotFoundPage(const std::string& target) {
    return Head("404") + "<h1>404 Not Found</h1>\n<p>" + HtmlEscape(target) + "</p>\n" + kTail;
}

}  // namespace sorvix::sitesim
