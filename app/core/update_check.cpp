// Update notice decisions (see update_check.h).
#include "app/core/update_check.h"

#include "app/core/link_check.h"

namespace sorvix {
namespace {

constexpr std::string_view kNotesMarker = "^^^";
constexpr std::string_view kLinkMarker = "@@@";
constexpr std::string_view kPromptHead =
    "\xB7\xA2\xCF\xD6\xD0\xC2\xB0\xE6\xB1\xBE\xA3\xA1\xCA\xC7\xB7\xF1\xB8\xFC\xD0\xC2\xA3\xBF\xA3\xA1"  // 发现新版本！是否更新？！
    "\r\n\r\n"
    "\xB1\xBE\xB4\xCE\xB8\xFC\xD0\xC2\xA3\xBA"   // 本次更新：
    "\r\n";

Text WithoutTrailingSlash(std::string_view host) {
    while (!host.empty() && host.back() == '/') host.remove_suffix(1);
    return Text(host);
}

}  // namespace

Text AnnouncementAddress(std::string_view blogHost) {
    Text host = WithoutTrailingSlash(blogHost);
    return host.empty() ? Text() : host + Text(kAnnouncementPath);
}

Text BlogHomeAddress(std::string_view blogHost) {
    Text host = WithoutTrailingSlash(blogHost);
    return host.empty() ? Text() : host + "/";
}

UpdateNotice DecideUpdate(std::string_view postBytes) {
    UpdateNotice notice;
    const Text raw = BytesToText(postBytes);
    if (raw.empty()) return notice;   // unreadable: start without a prompt
    if (Find(raw, kOwnVersion, 1, true) > 0) return notice;
    notice.prompt = true;
    const Text decoded = UrlDecode(raw);
    notice.notes = TextBetween(decoded, kNotesMarker, kNotesMarker, 1, true);
    notice.downloadLink = TextBetween(decoded, kLinkMarker, kLinkMarker, 1, true);
    const LinkVerdict verdict = CheckLink(notice.downloadLink, LinkUse::WebPage);
    notice.linkAllowed = verdict.allowed;
    if (verdict.allowed) notice.linkScheme = verdict.scheme;
    return notice;
}

Text UpdatePromptText(const Text& notes) {
    return Text(kPromptHead) + notes;
}

}  // namespace sorvix
