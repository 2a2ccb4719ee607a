// DiskSearch: sources 3..20, one page at a time through the custom search
// page. The page comes from the page box (start offset 10 × (page − 1), "0"
// for a box that reads exactly "1"), the disk kind from the option's variant.
// The answer is percent-decoded as a whole; title and link are cut from each
// match's whole text with markers, not from its groups. No closing notice.
// Covered by tests/sites/disk_search_test.cpp.
#include "sites/site_patterns.h"
#include "sites/site_search.h"
#include "sites/site_texts.h"
#include "text/regex/regex_object.h"
#include "text/text.h"

namespace sorvix {
namespace {

constexpr std::string_view kNoOperation = site_text::kNoOperation;
constexpr std::string_view kTrying = site_text::kTryingToReach;
constexpr std::string_view kShared = "\xB7\xD6\xCF\xED";                    // 分享
constexpr std::string_view kBaiduShared = "\xB0\xD9\xB6\xC8\xB7\xD6\xCF\xED";  // 百度分享

// Option label (also the disk-type text), wp, file-type text, start text.
constexpr std::array<DiskSearchVariant, kDiskVariantCount> kVariants = {{
    {"\xB0\xD9\xB6\xC8\xCD\xF8\xC5\xCC", "15", kBaiduShared, kNoOperation},  // 百度网盘
    {"\xBB\xAA\xCE\xAA\xCD\xF8\xC5\xCC", "6", kShared, kTrying},             // 华为网盘
    {"\xD1\xB8\xC0\xD7\xBF\xEC\xB4\xAB", "4", kShared, kTrying},             // 迅雷快传
    {"QQ\xD0\xFD\xB7\xE7", "30", kShared, kTrying},                          // QQ旋风
    {"\xBD\xF0\xC9\xBD\xBF\xEC\xC5\xCC", "11", kShared, kTrying},            // 金山快盘
    {"\xC7\xA7\xC4\xD4\xCD\xF8\xC5\xCC", "9", kShared, kTrying},             // 千脑网盘
    {"360\xD4\xC6\xC5\xCC", "3", kShared, kTrying},                          // 360云盘
    {"\xCC\xDA\xD1\xB6\xCE\xA2\xD4\xC6", "10", kShared, kTrying},            // 腾讯微云
    {"\xD2\xBB\xC4\xBE\xBA\xCC\xCD\xF8\xC5\xCC", "5", kShared, kTrying},     // 一木禾网盘
    {"\xB3\xC7\xCD\xA8\xCD\xF8\xC5\xCC", "12", kShared, kTrying},            // 城通网盘
    {"\xC7\xA7\xBE\xFC\xCD\xF2\xC2\xED", "14", kShared, kTrying},            // 千军万马
    {"YunFile\xCD\xF8\xC5\xCC", "8", kShared, kTrying},                      // YunFile网盘
    {"vdisk\xCD\xFE\xC5\xCC", "7", kShared, kTrying},                        // vdisk威盘
    {"115\xCD\xF8\xC5\xCC", "1", kShared, kTrying},                          // 115网盘
    {"\xCA\xA2\xB4\xF3\xCD\xF8\xC5\xCC", "13", kShared, kTrying},            // 盛大网盘
    {"RayFile", "2", kShared, kTrying},                                      // RayFile
    {"\xCD\xF8\xC5\xCC\xCB\xD1\xD7\xCA\xD4\xB4", "100", kShared, kTrying},   // 网盘搜资源
    {"\xD2\xF4\xC0\xD6", "26", kShared, kTrying},                            // 音乐
}};

constexpr int kFirstDiskOption = 3;

constexpr std::string_view kNoHitsHead = "\xCB\xD1\xCB\xF7";                       // 搜索
constexpr std::string_view kNoHitsTail = "\xCE\xDE\xBD\xE1\xB9\xFB";               // 无结果


Text CleanTitle(std::string_view title) {
    Text out = Replace(title, "<b>...</b>");
    out = Replace(out, "<b>");
    return Replace(out, "</b>");
}

// "0" for a box that reads exactly "1"; otherwise page − 1 followed by "0",
// so a box that is not a number gives "-10" and "01" gives "00".
Text StartOffset(const Text& pageBox) {
    if (pageBox == "1") return "0";
    return ToDecimalText(static_cast<long long>(ToInt(pageBox)) - 1) + "0";
}

}  // namespace

const std::array<DiskSearchVariant, kDiskVariantCount>& DiskSearchVariants() { return kVariants; }

const DiskSearchVariant* DiskVariantForOption(int option) {
    const int index = option - kFirstDiskOption;
    if (index < 0 || index >= kDiskVariantCount) return nullptr;
    return &kVariants[static_cast<size_t>(index)];
}

void DiskSearch(const SiteContext& context, const DiskSearchVariant& variant,
                std::string_view encodedSearchBase) {
    SiteView& view = context.view;
    RegexObject hits;

    view.SetLabel(StatusLabel::Operation, Text(variant.startText));
    view.SetLabel(StatusLabel::Data, Text(site_text::kNoData));
    view.ClearRows();

    const Text start = StartOffset(view.BoxText(EditBox::Page));
    if (context.cancel.Cancelled()) return;
    // The window program pumped pending input once per byte while encoding the
    // keyword; a worker thread has nothing to pump, so that is left out.
    const Text url = SearchBaseDecode(encodedSearchBase) + UrlEncode(view.BoxText(EditBox::Keyword)) +
                     "&wp=" + Text(variant.wp) + "&start=" + start;
    const Text answer = UrlDecode(BytesToText(context.net.FetchPage(url).body));
    if (context.cancel.Cancelled()) return;

    view.SetLabel(StatusLabel::Data, Text(site_text::kNoData));
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearching));

    if (Find(answer, site_pattern::kDiskNoHits) > 0) {
        ShowNotice(view, Text(kNoHitsHead) + view.BoxText(EditBox::Keyword) + Text(kNoHitsTail));
    } else {
        hits.Search(site_pattern::kDiskHit, answer);
        const int count = hits.MatchCount();
        for (int n = 1; n <= count; ++n) {
            if (context.cancel.Cancelled()) return;
            const int row = view.AppendRow();
            const Text match = hits.MatchText(n);
            const Text title = CleanTitle(TextBetween(match, site_pattern::kDiskTitleStart, site_pattern::kDiskTitleEnd));
            const Text link = TextBetween(match, site_pattern::kDiskLinkStart, site_pattern::kDiskLinkEnd);
            view.SetCell(row, kNumberColumn, ToDecimalText(n));
            view.SetCell(row, kNameColumn, title);
            view.SetCell(row, kDateColumn, Text(site_text::kDontKnow));
            view.SetCell(row, kSizeColumn, Text(site_text::kDontKnow));
            view.SetCell(row, kFileCountColumn, Text(site_text::kDontKnow));
            view.SetCell(row, kLinkColumn, link);
            view.SetCell(row, kFileTypeColumn, Text(variant.fileTypeText));
            view.SetCell(row, kDiskTypeColumn, Text(variant.optionLabel));
            view.SetLabel(StatusLabel::Data, site_text::DataObtained(row));
        }
    }

    if (context.cancel.Cancelled()) return;
    view.SetLabel(StatusLabel::Operation, Text(site_text::kSearchFinished));
}

}  // namespace sorvix
