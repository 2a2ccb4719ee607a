// Update notice and blog link (see update_notice_win.h).
#include "app/win/update_notice_win.h"

#include <algorithm>

#include "app/core/link_check.h"
#include "app/core/row_actions.h"
#include "app/core/update_check.h"
#include "app/win/controls_win.h"
#include "app/win/platform_win.h"
#include "net/fetch_page.h"
#include "ui/base.h"

namespace sorvix::app {

bool CheckForUpdate(const Config& config, const UpdateHooks& hooks) {
    const Text address = AnnouncementAddress(config.blog);
    if (address.empty()) return true;
    NetConfig limits = config.network;
    limits.connectTimeoutMs = std::min(limits.connectTimeoutMs, kUpdateCheckLimitMs);
    limits.sendTimeoutMs = std::min(limits.sendTimeoutMs, kUpdateCheckLimitMs);
    limits.receiveTimeoutMs = std::min(limits.receiveTimeoutMs, kUpdateCheckLimitMs);
    limits.overallDeadlineMs = std::min(limits.overallDeadlineMs, kUpdateCheckLimitMs);
    const UpdateNotice notice = DecideUpdate(fetchPage(address, limits));
    if (!notice.prompt) return true;

    const std::wstring text = ui::GbkToWide(UpdatePromptText(notice.notes));
    const std::wstring caption = ui::GbkToWide(kUpdateCaption);
    const int answer = hooks.ask ? hooks.ask(text, caption)
                                 : MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_TASKMODAL);
    if (answer == IDYES) {
        if (notice.linkAllowed) {
            if (hooks.open) hooks.open(notice.downloadLink, notice.linkScheme);
            else ShellOpenLink(nullptr, notice.downloadLink, notice.linkScheme);
        } else {
            ShowLibraryBox(nullptr, Text(kUnsafeLinkText), Text(kSorryTitle), kIconError,
                           {Text(kGotItCaption)}, nullptr);
        }
    }
    return false;
}

void OpenBlog(const Config& config, const std::function<void(const Text& link, const std::string& scheme)>& open) {
    const Text home = BlogHomeAddress(config.blog);
    const LinkVerdict verdict = CheckLink(home, LinkUse::WebPage);
    if (verdict.allowed && open) open(home, verdict.scheme);
}

}  // namespace sorvix::app
