// The result table's row actions, "打开链接" (open link) and "复制链接" (copy
// link), decided by the site code of the search that filled the table:
//
//   "1" magnet results     the link must pass CheckLink as a magnet link;
//   "3" disk results       the link must pass CheckLink as a web page;
//   "2" share-index rows   the link is the entry's detail page: it must pass
//                          as a web page, is fetched off the caller's thread
//                          (RowPlatform::RunInBackground), and the download
//                          address found between the "dbutton" markers must
//                          pass as a share-index download (web page, ed2k
//                          file link or thunder link with a safe inner
//                          address); the result is carried back with
//                          RowPlatform::RunOnWindow and opened there.
//   anything else          (no search yet) nothing happens.
//
// An allowed link is opened with its scheme named as the shell class; a
// refused one shows "抱歉：" with the error icon and never reaches the shell.
// A detail page without the markers (or no row selected) shows "没有找到地址".
// Copy puts the row's link on the clipboard for every site kind.
// Covered by tests/app/row_actions_test.cpp.
#pragma once

#include <functional>
#include <string>

#include "app/core/app_view.h"
#include "app/core/link_check.h"
#include "sites/site_net.h"
#include "text/text.h"

namespace sorvix {

inline constexpr std::string_view kSorryTitle = "\xB1\xA7\xC7\xB8\xA3\xBA";   // 抱歉：
inline constexpr std::string_view kNoAddressText =
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD\xB5\xD8\xD6\xB7";   // 没有找到地址
inline constexpr std::string_view kUnsafeLinkText =
    "\xD5\xE2\xB8\xF6\xC1\xB4\xBD\xD3\xB2\xBB\xB0\xB2\xC8\xAB\xA3\xAC"
    "\xB2\xBB\xC4\xDC\xB4\xF2\xBF\xAA\xA3\xA1";   // 这个链接不安全，不能打开！
inline constexpr std::string_view kOpenLinkItem = "\xB4\xF2\xBF\xAA\xC1\xB4\xBD\xD3";   // 打开链接
inline constexpr std::string_view kCopyLinkItem = "\xB8\xB4\xD6\xC6\xC1\xB4\xBD\xD3";   // 复制链接

// What the row actions need from the platform.
class RowPlatform {
public:
    virtual ~RowPlatform() = default;
    // Opens an allowed link through the shell with `scheme` as its class.
    virtual void OpenLink(const Text& link, const std::string& scheme) = 0;
    // Puts GBK text on the clipboard; false when the clipboard refused.
    virtual bool CopyText(const Text& text) = 0;
    // Runs `job` on some other thread (the detail page fetch).
    virtual void RunInBackground(std::function<void()> job) = 0;
    // Runs `step` on the window's thread (where the actions were asked).
    virtual void RunOnWindow(std::function<void()> step) = 0;
};

class RowActions {
public:
    // view: the main window's view (table, message boxes); siteCode: the
    // site code of the search that ran last. All must outlive the actions
    // and every background job they start.
    RowActions(AppView& view, SiteNet& net, RowPlatform& platform, std::function<Text()> siteCode);

    void OpenRowLink();
    void CopyRowLink();

    // The error box "抱歉：" with `text` (also used by the update notice's
    // refused download address).
    static void ShowSorry(AppView& view, std::string_view text);

private:
    Text SelectedLink();
    void OpenChecked(const Text& link, LinkUse use);

    AppView& view_;
    SiteNet& net_;
    RowPlatform& platform_;
    std::function<Text()> siteCode_;
};

}  // namespace sorvix
