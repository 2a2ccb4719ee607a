// The link check. See link_check.h. Covered by tests/app/link_check_test.cpp.
#include "app/core/link_check.h"

namespace sorvix {
namespace {

LinkVerdict Refuse(std::string reason) { return {false, {}, std::move(reason)}; }
LinkVerdict Allow(std::string scheme) { return {true, std::move(scheme), {}}; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Bytes no link of ours may hold anywhere: controls, blank, DEL, quotes,
// backslash (the shell reads it as a path), angle brackets, caret, backtick.
// Bytes of 0x80 and above stay allowed in paths: the pages are percent-decoded
// into GBK before the links are cut out.
bool HasForbiddenByte(std::string_view s, bool allowBar) {
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == ' ' || c == '"' || c == '\'' || c == '\\' || c == '<' ||
            c == '>' || c == '^' || c == '`')
            return true;
        if (c == '|' && !allowBar) return true;
    }
    return false;
}

// scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"; empty when there is
// none. A single letter is a drive letter, not a scheme.
std::string SchemeOf(std::string_view link) {
    size_t i = 0;
    if (link.empty() || !IsAlpha(link[0])) return {};
    while (i < link.size() && (IsAlpha(link[i]) || IsDigit(link[i]) || link[i] == '+' || link[i] == '-' ||
                               link[i] == '.'))
        ++i;
    if (i >= link.size() || link[i] != ':' || i < 2) return {};
    std::string scheme;
    for (size_t k = 0; k < i; ++k) scheme += LowerAscii(link[k]);
    return scheme;
}

// A host name of letters, digits and hyphens in dot-separated labels, or a
// dotted IPv4 address; an optional port 1..65535.
bool IsPlainAuthority(std::string_view authority) {
    if (authority.empty() || authority.find('@') != std::string_view::npos) return false;
    std::string_view host = authority;
    const size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5) return false;
        long value = 0;
        for (char c : port) {
            if (!IsDigit(c)) return false;
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) return false;
    }
    if (host.empty() || host.size() > 253 || host.front() == '.' || host.back() == '.') return false;
    size_t labelLength = 0;
    for (size_t i = 0; i < host.size(); ++i) {
        const char c = host[i];
        if (c == '.') {
            if (labelLength == 0) return false;
            labelLength = 0;
            continue;
        }
        if (!IsAlpha(c) && !IsDigit(c) && c != '-') return false;
        if (c == '-' && (labelLength == 0 || i + 1 == host.size() || host[i + 1] == '.')) return false;
        if (++labelLength > 63) return false;
    }
    return true;
}

LinkVerdict CheckWeb(std::string_view link, const std::string& scheme) {
    if (scheme != "http" && scheme != "https") return Refuse("scheme not allowed: " + scheme);
    std::string_view rest = link.substr(scheme.size() + 1);
    if (rest.substr(0, 2) != "//") return Refuse("web address without //");
    rest.remove_prefix(2);
    const size_t end = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, end);
    if (!IsPlainAuthority(authority)) return Refuse("host is not a plain host name");
    if (HasForbiddenByte(rest, false)) return Refuse("forbidden character");
    return Allow(scheme);
}

LinkVerdict CheckMagnet(std::string_view link) {
    std::string_view rest = link.substr(7);   // after "magnet:"
    if (rest.size() < 2 || rest[0] != '?') return Refuse("magnet link without a query");
    if (HasForbiddenByte(rest, false)) return Refuse("forbidden character");
    return Allow("magnet");
}

// ed2k://|file|name|size|hash|/ : the only ed2k form the share index gives.
LinkVerdict CheckEd2k(std::string_view link) {
    std::string_view rest = link.substr(5);   // after "ed2k:"
    std::string head;
    for (char c : rest.substr(0, 7)) head += LowerAscii(c);
    if (head != "//|file") return Refuse("ed2k link that is not a file link");
    if (HasForbiddenByte(rest, true)) return Refuse("forbidden character");
    return Allow("ed2k");
}

// thunder://BASE64("AA" + address + "ZZ"); the inner address must be a web
// page (so a thunder link inside a thunder link is refused).
LinkVerdict CheckThunder(std::string_view link) {
    std::string_view rest = link.substr(8);   // after "thunder:"
    if (rest.substr(0, 2) != "//") return Refuse("thunder link without //");
    rest.remove_prefix(2);
    while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (rest.empty() || HasForbiddenByte(rest, false)) return Refuse("malformed thunder link");
    const Bytes inner = Base64Decode(rest);
    if (inner.size() < 4 || inner.substr(0, 2) != "AA" || inner.substr(inner.size() - 2) != "ZZ")
        return Refuse("thunder link without its AA...ZZ frame");
    const std::string_view address = std::string_view(inner).substr(2, inner.size() - 4);
    if (address.find('\0') != std::string_view::npos) return Refuse("thunder address holds a zero byte");
    LinkVerdict verdict = CheckLink(address, LinkUse::WebPage);
    if (!verdict.allowed) return Refuse("thunder inner address: " + verdict.reason);
    return Allow("thunder");
}

}  // namespace

LinkVerdict CheckLink(std::string_view link, LinkUse use) {
    if (link.empty()) return Refuse("empty link");
    if (link.size() > 64 * 1024) return Refuse("link too long");
    const std::string scheme = SchemeOf(link);
    if (scheme.empty()) return Refuse("no scheme (a path or bare text)");
    switch (use) {
        case LinkUse::MagnetResult:
            if (scheme != "magnet") return Refuse("scheme not allowed: " + scheme);
            return CheckMagnet(link);
        case LinkUse::WebPage:
            return CheckWeb(link, scheme);
        case LinkUse::ShareIndexDownload:
            if (scheme == "ed2k") return CheckEd2k(link);
            if (scheme == "thunder") return CheckThunder(link);
            return CheckWeb(link, scheme);
    }
    return Refuse("unknown use");
}

}  // namespace sorvix
