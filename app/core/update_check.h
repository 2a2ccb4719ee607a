// The update notice's decisions, apart from the network and the dialog: the
// announcement and blog home addresses from the configured blog host, and
// what one read of the announcement post means.
//
//   - no blog host configured: no check at all;
//   - an empty answer (the post could not be read): start normally;
//   - a post that names the own version "V1.0" (any case): start normally;
//   - otherwise: prompt with the notes between "^^^" and "^^^" of the
//     percent-decoded post, offering the address between "@@@" and "@@@",
//     which is opened only when CheckLink allows it as a web page.
// Covered by tests/app/update_check_test.cpp.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace sorvix {

inline constexpr std::string_view kOwnVersion = "V1.0";
inline constexpr std::string_view kAnnouncementPath = "/post/1d3adc9c_780596c";
inline constexpr std::string_view kUpdateCaption = "\xD0\xC5\xCF\xA2\xA3\xBA";   // 信息：
// How long start-up waits for the post at most.
inline constexpr int kUpdateCheckLimitMs = 3000;

// Empty when no blog host is configured.
Text AnnouncementAddress(std::string_view blogHost);
Text BlogHomeAddress(std::string_view blogHost);

struct UpdateNotice {
    bool prompt = false;     // a newer version is announced
    Text notes;              // GBK, between the "^^^" markers
    Text downloadLink;       // GBK, between the "@@@" markers
    bool linkAllowed = false;  // downloadLink passes CheckLink as a web page
    std::string linkScheme;    // "http" or "https" when allowed
};

// One read of the post (its bytes as they came).
UpdateNotice DecideUpdate(std::string_view postBytes);

// "发现新版本！是否更新？！\r\n\r\n本次更新：\r\n" + notes.
Text UpdatePromptText(const Text& notes);

}  // namespace sorvix
