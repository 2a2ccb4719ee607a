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

#include "sites/page_walk.h"
#include "sites/site_patterns.h"
#include "sites/site_search.h"
#include "sites/site_texts.h"
#include "text/regex/regex_object.h"
#include "text/text.h"

namespace sorvix {
namespace {

// Category codes "1".."6" and the file-type word each gives.
constexpr std::array<std::string_view, 6> kCategoryWords = {
    "\xCA\xD3\xC6\xB5",   // 1 视频
    "\xD2\xF4\xC0\xD6",   // 2 音乐
    "\xCE\xB4\xD6\xAA",   // 3 未知
    "\xCE\xC4\xB5\xB5",   // 4 文档
    "\xC8\xED\xBC\xFE",   // 5 软件
    "\xC6\xE4\xCB\xFC",   // 6 其它
};

Text ReadPage(SiteNet& net, const Text& url) { return UrlDecode(BytesToText(net.FetchPage(url).body)); }

// Field f of entry n: match n of that field's pattern, cut by its markers.
Text Field(const std::array<RegexObject, site_pattern::kShareFieldCount>& regex, int n, site_pattern::ShareField f) {
    const site_pattern::FieldPattern& pattern = site_pattern::kShareFields[f];
    return TextBetween(regex[f].MatchText(n), pattern.start, pattern.end);
}

}  // namespace

SiteSearchResult ShareIndexSearch(const SiteContext& context, std::string_view siteAddress) {
    SiteView& view = context.view;
    SiteSearchResult result;
    std::array<RegexObject, site_pattern::kShareFieldCount> regex;
    const Text site(siteAddress);
    const Text base = site + Text(site_pattern::kShareSearchPath);

    view.SetLabel(StatusLabel::Operation, Text(site_text::kNoOperation));
    view.SetLabel(StatusLabel::Data, Text(site_text::kNoData));
    int lastRow = 0;

    if (context.cancel.Cancelled()) return result;
    const Text probe = ReadPage(context.net, base + UrlEncode(view.BoxText(EditBox::Keyword)));
    if (context.cancel.Cancelled()) return result;

    const int named = ToInt(TextBetween(probe, site_pattern::kSharePagesStart, site_pattern::kSharePagesEnd));
    const int pages = std::min(named, kMaxPages);
    const Text term = TextBetween(probe, site_pattern::kShareZeroStart, site_pattern::kShareZeroEnd);
    if (!term.empty()) {
        ShowNotice(view, Text(site_text::kNotFoundHead) + term + Text(site_text::kNotFoundTail));
        return result;
    }
    result.pagesNamed = named;
    result.cutShort = named > kMaxPages;

    view.ClearRows();
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearching));

    // The keyword box is read as each page is asked for.
    PageWalk walk(
        pages, context.pagesInFlight, context.cancel,
        [&](int page) { return base + UrlEncode(view.BoxText(EditBox::Keyword)) + "/" + ToDecimalText(page); },
        [&](const Text& url) { return ReadPage(context.net, url); });

    for (int page = 1; page <= pages; ++page) {
        if (context.cancel.Cancelled()) return result;
        Text text;
        if (!walk.Next(&text)) return result;
        for (size_t i = 0; i < regex.size(); ++i) regex[i].Search(site_pattern::kShareFields[i].pattern, text);

        const int count = regex[site_pattern::kShareName].MatchCount();
        for (int n = 1; n <= count; ++n) {
            if (context.cancel.Cancelled()) return result;
            lastRow = view.AppendRow();
            const Text name = Field(regex, n, site_pattern::kShareName);
            const Text date = Field(regex, n, site_pattern::kShareDate);
            const Text category = Field(regex, n, site_pattern::kShareCategory);
            for (const Text& piece : Split(category, "\r\n")) {
                for (size_t code = 0; code < kCategoryWords.size(); ++code) {
                    if (piece == ToDecimalText(static_cast<long long>(code) + 1))
                        view.SetCell(lastRow, kFileTypeColumn, Text(kCategoryWords[code]));
                }
            }
            const Text size = Field(regex, n, site_pattern::kShareSize);
            const Text owner = Field(regex, n, site_pattern::kShareOwner);
            const Text link = site + Field(regex, n, site_pattern::kShareLink);
            view.SetLabel(StatusLabel::Data, site_text::DataObtained(lastRow));
            view.SetCell(lastRow, kNumberColumn, ToDecimalText(lastRow));
            view.SetCell(lastRow, kNameColumn, name);
            view.SetCell(lastRow, kDateColumn, date);
            view.SetCell(lastRow, kSizeColumn, size);
            view.SetCell(lastRow, kFileCountColumn, Text(site_text::kDontKnow));
            view.SetCell(lastRow, kLinkColumn, link);
            view.SetCell(lastRow, kDiskTypeColumn, owner);
        }
    }

    if (context.cancel.Cancelled()) return result;
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearchFinished));
    ShowNotice(view, Text(site_text::kFoundHead) + ToDecimalText(lastRow) + Text(site_text::kFoundTailMenuNoMark));
    return result;
}

Text ResolveShareIndexLink(SiteNet& net, std::string_view detailAddress) {
    // An empty address (no row selected) fetches nothing.
    if (detailAddress.empty()) return {};
    const Text page = BytesToText(net.FetchPage(Text(detailAddress)).body);
    return TextBetween(page, site_pattern::kShareDownloadStart, site_pattern::kShareDownloadEnd);
}

}  // namespace sorvix
