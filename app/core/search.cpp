// The source table, RunSource and the dispatcher. Covered by
// tests/app/search_flow_test.cpp.
#include "app/core/search.h"

#include "sites/site_search.h"

namespace sorvix {
namespace {

constexpr std::string_view kMagnetCode = "1";
constexpr std::string_view kShareIndexCode = "2";
constexpr std::string_view kDiskCode = "3";

std::array<SourceInfo, kSourceCount> MakeSources() {
    std::array<SourceInfo, kSourceCount> sources{};
    sources[0] = {1, "BT\xD3\xA3\xCC\xD2", kMagnetCode, false};        // BT樱桃
    sources[1] = {2, "\xC5\xCC\xB6\xE0\xB6\xE0", kShareIndexCode, false};  // 盘多多
    for (int option = 3; option <= kSourceCount; ++option)
        sources[option - 1] = {option, DiskVariantForOption(option)->optionLabel, kDiskCode, true};
    return sources;
}

}  // namespace

const std::array<SourceInfo, kSourceCount>& Sources() {
    static const std::array<SourceInfo, kSourceCount> sources = MakeSources();
    return sources;
}

const SourceInfo* SourceForOption(int option) {
    if (option < 1 || option > kSourceCount) return nullptr;
    return &Sources()[static_cast<size_t>(option - 1)];
}

Text SourceLabel(int option) {
    const SourceInfo* source = SourceForOption(option);
    return source ? Text(source->label) : Text();
}

Text SiteCodeForOption(int option) {
    const SourceInfo* source = SourceForOption(option);
    return source ? Text(source->siteCode) : Text();
}

bool RunSource(int option, AppView& view, SiteNet& net, const Config& config, const CancelToken& cancel,
               SiteSearchResult* result) {
    if (!SourceForOption(option)) return false;
    const SiteContext context{view, net, cancel, config.pagesInFlight};
    SiteSearchResult ran;
    if (option == 1) {
        ran = MagnetSiteSearch(context, config.magnet);
    } else if (option == 2) {
        ran = ShareIndexSearch(context, config.shareIndex);
    } else {
        DiskSearch(context, *DiskVariantForOption(option), config.searchBaseEncoded);
    }
    if (result) *result = ran;
    return true;
}

void SearchDispatcher(AppView& view, SiteNet& net, const Config& config, const CancelToken& cancel,
                      SiteCodeStore& siteCode) {
    // Every option is asked, in order, even after one has run: the click logic
    // keeps at most one checked, so at most one routine runs.
    for (int option = 1; option <= kSourceCount; ++option) {
        if (cancel.Cancelled()) return;
        if (!view.OptionChecked(option)) continue;
        siteCode.SetUnlessCancelled(SiteCodeForOption(option), cancel);
        RunSource(option, view, net, config, cancel);
    }
}

}  // namespace sorvix
