// CheckLink: the gate every link taken from a web page passes before it is
// handed to the shell or a browser control. Links are parsed, not
// prefix-matched, and checked against an allow-list that depends on what the
// link is for:
//   MagnetResult        magnet:?... only
//   WebPage             http:// or https:// with a plain host (a disk share,
//                       a detail page)
//   ShareIndexDownload  as WebPage, plus ed2k://|file|... links and
//                       thunder:// links whose inner address passes WebPage
// Refused, whatever the use: text without a scheme, local, drive-letter and
// UNC paths, file:, script and shell schemes, every other scheme; user info
// in the authority; control characters, blanks, quotes, backslashes. The
// result names the scheme so that the caller can open the link with that
// scheme as the shell class. Covered by tests/app/link_check_test.cpp (a table
// of hostile links) and its fuzz target.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace sorvix {

enum class LinkUse { MagnetResult, WebPage, ShareIndexDownload };

struct LinkVerdict {
    bool allowed = false;
    std::string scheme;   // lower case: "magnet", "http", "https", "ed2k", "thunder"
    std::string reason;   // why it was refused (ASCII, for diagnostics)
};

LinkVerdict CheckLink(std::string_view link, LinkUse use);

}  // namespace sorvix
