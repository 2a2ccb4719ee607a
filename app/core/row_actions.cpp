// Row actions (see row_actions.h).
#include "app/core/row_actions.h"

#include "app/core/result_table.h"
#include "sites/site_search.h"

namespace sorvix {

RowActions::RowActions(AppView& view, SiteNet& net, RowPlatform& platform, std::function<Text()> siteCode)
    : view_(view), net_(net), platform_(platform), siteCode_(std::move(siteCode)) {}

void RowActions::ShowSorry(AppView& view, std::string_view text) {
    MessageBoxRequest request;
    request.text = Text(text);
    request.title = Text(kSorryTitle);
    request.icon = kIconError;
    request.captions = {Text(kGotItCaption)};
    view.ShowMessageBox(request);
}

Text RowActions::SelectedLink() {
    const int row = view_.SelectedRow();
    return row > 0 ? view_.Cell(row, kLinkColumn) : Text();
}

void RowActions::OpenChecked(const Text& link, LinkUse use) {
    const LinkVerdict verdict = CheckLink(link, use);
    if (!verdict.allowed) {
        ShowSorry(view_, kUnsafeLinkText);
        return;
    }
    platform_.OpenLink(link, verdict.scheme);
}

void RowActions::OpenRowLink() {
    const Text code = siteCode_();
    if (code == "1") {
        OpenChecked(SelectedLink(), LinkUse::MagnetResult);
    } else if (code == "3") {
        OpenChecked(SelectedLink(), LinkUse::WebPage);
    } else if (code == "2") {
        const Text detail = SelectedLink();
        if (detail.empty()) {
            ShowSorry(view_, kNoAddressText);
            return;
        }
        if (!CheckLink(detail, LinkUse::WebPage).allowed) {
            ShowSorry(view_, kUnsafeLinkText);
            return;
        }
        platform_.RunInBackground([this, detail] {
            Text address = ResolveShareIndexLink(net_, detail);
            platform_.RunOnWindow([this, address] {
                if (address.empty()) {
                    ShowSorry(view_, kNoAddressText);
                    return;
                }
                OpenChecked(address, LinkUse::ShareIndexDownload);
            });
        });
    }
}

void RowActions::CopyRowLink() {
    const Text code = siteCode_();
    if (code != "1" && code != "2" && code != "3") return;
    platform_.CopyText(SelectedLink());
}

}  // namespace sorvix
