// MagnetSiteSearch: source 1. A probe request learns whether the site found
// anything and how many result pages there are; then every page is requested
// in turn (page 1 again, the probe is not reused) and every match of the entry
// pattern becomes a row, numbered on across pages.
//
// Hazards handled: the page count comes from the site and is capped (a broken
// or hostile "totalPages:" would otherwise send requests without end); every
// request, page and row is a cancel checkpoint. Covered by
// tests/sites/magnet_site_test.cpp.
#include <algorithm>

#include "sites/page_walk.h"
#include "sites/site_patterns.h"
#include "sites/site_search.h"
#include "sites/site_texts.h"
#include "text/regex/regex_object.h"
#include "text/text.h"

namespace sorvix {
namespace {

constexpr std::string_view kMagnetKind = "\xB4\xC5\xC1\xA6";                      // 磁力
constexpr std::string_view kNotACloudDisk = "\xB2\xBB\xCA\xC7\xCD\xF8\xC5\xCC";  // 不是网盘

Text ReadAnswer(SiteNet& net, const Text& url) { return Utf8ToGbk(net.Request(url).body); }

}  // namespace

SiteSearchResult MagnetSiteSearch(const SiteContext& context, std::string_view siteAddress) {
    SiteView& view = context.view;
    SiteSearchResult result;
    RegexObject entries;
    const Text base = Text(siteAddress) + Text(site_pattern::kMagnetSearchPath);

    view.SetLabel(StatusLabel::Operation, Text(site_text::kNoOperation));
    view.SetLabel(StatusLabel::Data, Text(site_text::kNoData));
    int lastRow = 0;

    if (context.cancel.Cancelled()) return result;
    const Text probe = ReadAnswer(context.net, base + UrlEncode(view.BoxText(EditBox::Keyword)));
    if (context.cancel.Cancelled()) return result;

    const Text phrase = TextBetween(probe, site_pattern::kMagnetNothingFoundStart, site_pattern::kMagnetNothingFoundEnd);
    if (!phrase.empty()) {
        ShowNotice(view, Text(site_text::kNotFoundHead) + phrase + Text(site_text::kNotFoundTail));
        return result;
    }

    view.ClearRows();
    result.pagesNamed = ToInt(TextBetween(probe, site_pattern::kMagnetPagesStart, site_pattern::kMagnetPagesEnd));
    result.cutShort = result.pagesNamed > kMaxPages;
    const int pages = std::min(result.pagesNamed, kMaxPages);
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearching));

    // The keyword box is read as each page is asked for.
    PageWalk walk(
        pages, context.pagesInFlight, context.cancel,
        [&](int page) {
            return base + UrlEncode(view.BoxText(EditBox::Keyword)) + Text(site_pattern::kMagnetPageKey) + ToDecimalText(page);
        },
        [&](const Text& url) { return ReadAnswer(context.net, url); });

    for (int page = 1; page <= pages; ++page) {
        view.PumpPendingInput();
        if (context.cancel.Cancelled()) return result;
        Text text;
        if (!walk.Next(&text)) return result;
        entries.Search(site_pattern::kMagnetEntry, text);
        const int count = entries.MatchCount();
        for (int n = 1; n <= count; ++n) {
            view.PumpPendingInput();
            if (context.cancel.Cancelled()) return result;
            lastRow = view.AppendRow();
            view.SetCell(lastRow, kNumberColumn, ToDecimalText(lastRow));
            view.SetCell(lastRow, kNameColumn,
                         ReplaceEach(entries.GroupText(n, 1), {{site_pattern::kMagnetHighlightOpen, ""}, {site_pattern::kMagnetHighlightClose, ""}}));
            view.SetCell(lastRow, kDateColumn, entries.GroupText(n, 2));
            view.SetCell(lastRow, kSizeColumn, entries.GroupText(n, 3));
            view.SetCell(lastRow, kFileCountColumn, entries.GroupText(n, 4));
            view.SetCell(lastRow, kLinkColumn, entries.GroupText(n, 5));
            view.SetCell(lastRow, kFileTypeColumn, Text(kMagnetKind));
            view.SetCell(lastRow, kDiskTypeColumn, Text(kNotACloudDisk));
            view.SetLabel(StatusLabel::Data, site_text::DataObtained(lastRow));
        }
    }

    if (context.cancel.Cancelled()) return result;
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearchFinished));
    ShowNotice(view, Text(site_text::kFoundHead) + ToDecimalText(lastRow) + Text(site_text::kFoundTailMenu));
    return result;
}

}  // namespace sorvix
