// ShareIndexSearch: source 2. A probe fetch learns the page count and the
// site's zero-results notice; then every page is fetched (page 1 again) and
// percent-decoded as a whole, and entry n of a page is assembled from match n
// of six separate patterns. Like the site itself, the patterns are not tied
// to each other: a field missing for one entry shifts that field for the
// later entries of the page. ResolveShareIndexLink reads a detail page's real
// download address.
//
// Hazards handled: the page count is capped; every request, page and row is a
// cancel checkpoint. Covered by tests/sites/share_index_test.cpp.
#include <algorithm>
#include <array>

#include "sites/site_search.h"
#include "sites/site_texts.h"
#include "text/regex/regex_object.h"
#include "text/text.h"

namespace sorvix {
namespace {

constexpr std::string_view kSearchPath = "/s/name/";
constexpr std::string_view kPagesStart = "<span class=\"pcount\">\xB9\xB2";  // <span class="pcount">共
constexpr std::string_view kPagesEnd = "\xD2\xB3&nbsp;&nbsp;</span>";        // 页&nbsp;&nbsp;</span>
constexpr std::string_view kZeroStart =
    "\xCB\xD1\xCB\xF7\xD7\xCA\xD4\xB4\xC3\xFB:&nbsp;"
    "<span style=\"background:#EF0FFF;color:white;\">&nbsp;";                  // 搜索资源名:&nbsp;<span ...>&nbsp;
constexpr std::string_view kZeroEnd = "&nbsp;(\xB9\xB2\xD5\xD2\xB5\xBD<b>0</b>\xCF\xEE)";  // &nbsp;(共找到<b>0</b>项)

struct FieldPattern {
    std::string_view pattern;
    std::string_view start;   // field = TextBetween(match text, start, end)
    std::string_view end;
};

// P1 name, P2 date, P3 category code, P4 size, P5 owner text, P6 link path.
constexpr std::array<FieldPattern, 6> kPatterns = {{
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

// Category codes "1".."6" and the file-type word each gives.
constexpr std::array<std::string_view, 6> kCategoryWords = {
    "\xCA\xD3\xC6\xB5",   // 1 视频
    "\xD2\xF4\xC0\xD6",   // 2 音乐
    "\xCE\xB4\xD6\xAA",   // 3 未知
    "\xCE\xC4\xB5\xB5",   // 4 文档
    "\xC8\xED\xBC\xFE",   // 5 软件
    "\xC6\xE4\xCB\xFC",   // 6 其它
};

constexpr int kMaxPages = 1000;   // a larger count is a broken page

constexpr std::string_view kDownloadStart = R"(<a class="dbutton" href=")";
constexpr std::string_view kDownloadEnd = R"(" target="_blank")";

Text ReadPage(SiteNet& net, const Text& url) { return UrlDecode(BytesToText(net.FetchPage(url).body)); }

Text Field(const RegexObject& regex, int n, const FieldPattern& pattern) {
    return TextBetween(regex.MatchText(n), pattern.start, pattern.end);
}

}  // namespace

void ShareIndexSearch(const SiteContext& context, std::string_view siteAddress) {
    SiteView& view = context.view;
    std::array<RegexObject, 6> regex;
    const Text site(siteAddress);
    const Text base = site + Text(kSearchPath);

    view.SetLabel(StatusLabel::Operation, Text(site_text::kNoOperation));
    view.SetLabel(StatusLabel::Data, Text(site_text::kNoData));
    int lastRow = 0;

    if (context.cancel.Cancelled()) return;
    const Text probe = ReadPage(context.net, base + UrlEncode(view.BoxText(EditBox::Keyword)));
    if (context.cancel.Cancelled()) return;

    const int pages = std::min(ToInt(TextBetween(probe, kPagesStart, kPagesEnd)), kMaxPages);
    const Text term = TextBetween(probe, kZeroStart, kZeroEnd);
    if (!term.empty()) {
        ShowNotice(view, Text(site_text::kNotFoundHead) + term + Text(site_text::kNotFoundTail));
        return;
    }

    view.ClearRows();
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearching));

    for (int page = 1; page <= pages; ++page) {
        if (context.cancel.Cancelled()) return;
        const Text url = base + UrlEncode(view.BoxText(EditBox::Keyword)) + "/" + ToDecimalText(page);
        const Text text = ReadPage(context.net, url);
        for (size_t i = 0; i < regex.size(); ++i) regex[i].Search(kPatterns[i].pattern, text);

        const int count = regex[0].MatchCount();
        for (int n = 1; n <= count; ++n) {
            if (context.cancel.Cancelled()) return;
            lastRow = view.AppendRow();
            const Text name = Field(regex[0], n, kPatterns[0]);
            const Text date = Field(regex[1], n, kPatterns[1]);
            const Text category = Field(regex[2], n, kPatterns[2]);
            for (const Text& piece : Split(category, "\r\n")) {
                for (size_t code = 0; code < kCategoryWords.size(); ++code) {
                    if (piece == ToDecimalText(static_cast<long long>(code) + 1))
                        view.SetCell(lastRow, 7, Text(kCategoryWords[code]));
                }
            }
            const Text size = Field(regex[3], n, kPatterns[3]);
            const Text owner = Field(regex[4], n, kPatterns[4]);
            const Text link = site + Field(regex[5], n, kPatterns[5]);
            view.SetLabel(StatusLabel::Data, site_text::DataObtained(lastRow));
            view.SetCell(lastRow, 1, ToDecimalText(lastRow));
            view.SetCell(lastRow, 2, name);
            view.SetCell(lastRow, 3, date);
            view.SetCell(lastRow, 4, size);
            view.SetCell(lastRow, 5, Text(site_text::kDontKnow));
            view.SetCell(lastRow, 6, link);
            view.SetCell(lastRow, 8, owner);
        }
    }

    if (context.cancel.Cancelled()) return;
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearchFinished));
    ShowNotice(view, Text(site_text::kFoundHead) + ToDecimalText(lastRow) + Text(site_text::kFoundTailMenuNoMark));
}

Text ResolveShareIndexLink(SiteNet& net, std::string_view detailAddress) {
    // An empty address (no row selected) fetches nothing.
    if (detailAddress.empty()) return {};
    const Text page = BytesToText(net.FetchPage(Text(detailAddress)).body);
    return TextBetween(page, kDownloadStart, kDownloadEnd);
}

}  // namespace sorvix
